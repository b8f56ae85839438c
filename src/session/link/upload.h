// The Upload command: bring the calculator into its receive screen, let the user pick
// a variable file, and hand its packets to the link engine. The flow knows no
// toolkit: it asks the front end for the Open dialog, its sleeps and its prompts.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "link/variable_file.h"
#include "link/variable_list.h"
#include "text/failure.h"

namespace vantrel {

class Machine;
class FrontEnd;

inline constexpr int autoLinkAttempts = 3;
inline constexpr uint16_t autoLinkKeyWaitMs = 100;
inline constexpr std::chrono::milliseconds autoLinkSettleTime{500};
inline constexpr uint16_t cancelKeyWaitMs = 200;

// Texts of the Open and Save-As dialogs.
inline constexpr const char* uploadDialogTitle = "Choose File to Upload";
inline constexpr const char* variableFileFilter = "Vantrel-Files (*.85?)";
inline constexpr const char* allFilesFilter = "All files (*)";

// The whole command, on the front end's thread: the automatic link attempts (typing
// [2nd] [LINK] [F2] while the calculator is not in its receive screen), then the file
// (given, or from the Open dialog), then the transfer. Without a file the calculator
// is taken back out of the screen with [ON] twice. Does nothing while it is off.
void uploadFile(Machine& m, FrontEnd& frontEnd, bool autoLinkOnUpload,
                const std::optional<std::string>& givenFile = std::nullopt);

// The second half: the file read into packets and handed to the link engine while the
// loop is held, then an interrupt that wakes the calculator to take them.
void uploadChosenFile(Machine& m, FrontEnd& frontEnd, const std::string& path);

// A file read for an upload: its packets, and whether its checksum agrees with them
// (read: variables or checksumMismatch).
struct UploadFile {
    VariableList packets;
    VariableFileRead read = VariableFileRead::variables;
    int variables() const;
};
// Fails with the system's error when the file cannot be read, and as bad input, saying
// what is wrong in a sentence, when it is far too large or holds no whole variable.
Result<UploadFile> readUploadFile(const std::string& path);
inline constexpr const char* damagedFileText =
    "Its checksum does not match its data: it may be damaged.";

// The file read into packets and handed to the link engine while the loop is held. A
// calculator that is not waiting gets the hint instead (false). A file that cannot be
// read or holds no whole variables is told, and one whose checksum does not agree is
// sent only when the front end confirms it; otherwise the calculator's wait is ended
// with EOT.
bool startUpload(Machine& m, FrontEnd& frontEnd, const std::string& path);

// The name a Save-As dialog returns for received variables: when the file name has
// no extension, ".85b" is appended for a memory backup and ".85g" for anything else.
// Only the last part of the path counts, and a leading dot (a hidden file) is no
// extension.
std::string withVariableFileExtension(std::string path, bool backup);

// True for names that look like variable files: "*.85" followed by one character.
bool isVariableFileName(const std::string& path);

}  // namespace vantrel
