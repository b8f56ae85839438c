// The Upload command: bring the calculator into its receive screen, let the user pick
// a variable file, and hand it to the link engine. The flow knows no toolkit: it asks
// an UploadDialogs object for the Open dialog and for its sleeps, so the window, the
// headless runner and the tests can all drive it.
#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace vantrel {

struct Machine;

// Key codes typed on the calculator by the upload.
inline constexpr uint32_t keySecond = 0x36;   // [2nd]
inline constexpr uint32_t keyLinkBase = 0x28; // [x-VAR], whose second function is [LINK]
inline constexpr uint32_t keyF2 = 0x34;       // [F2]
inline constexpr uint32_t keyOn = 0x29;       // [ON]

inline constexpr int autoLinkAttempts = 3;
inline constexpr uint16_t autoLinkKeyWaitMs = 100;
inline constexpr std::chrono::milliseconds autoLinkSettleTime{500};
inline constexpr uint16_t cancelKeyWaitMs = 200;

// Texts of the Open and Save-As dialogs.
inline constexpr const char* uploadDialogTitle = "Choose File to Upload";
inline constexpr const char* variableFileFilter = "Vantrel-Files (*.85?)";
inline constexpr const char* allFilesFilter = "All files (*)";

class UploadDialogs {
public:
    virtual ~UploadDialogs() = default;
    // The Open dialog: an existing file, or nothing when the user cancelled.
    virtual std::optional<std::string> chooseUploadFile() = 0;
    // The pause after each automatic link attempt. The calling thread blocks here;
    // the window may repaint meanwhile but must not take input or run its timer.
    virtual void sleepFor(std::chrono::milliseconds duration);
};

// The whole command, on the user-interface thread. Does nothing while the calculator
// is off.
void uploadFile(Machine& m, bool autoLinkOnUpload, UploadDialogs& dialogs);

// The second half of the command, after a file was chosen (also used for a file
// dropped on the window or named on the command line).
void uploadChosenFile(Machine& m, const std::string& path);

// The name a Save-As dialog returns for received variables: when the file name has
// no extension, ".85b" is appended for a memory backup and ".85g" for anything else.
// Only the last part of the path counts, and a leading dot (a hidden file) is no
// extension.
std::string withVariableFileExtension(std::string path, bool backup);

// True for names that look like variable files: "*.85" followed by one character.
bool isVariableFileName(const std::string& path);

}  // namespace vantrel
