// The link's dialogs and message boxes: the upload hint, the file prompts, the
// Save-As dialog for received variables, and the Open dialog of the Upload command.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "link/upload_flow.h"

class QWidget;
class QString;

namespace vantrel {

// Code 1: the box telling the user how to put the calculator into its receive
// screen; any other code only beeps (when beepOnErrors is on).
void showLinkHint(QWidget* owner, int code, bool beepOnErrors);

// Kinds 1 (cannot open), 2 (overwrite?), 3 (bad data). An error box answers 0; the
// overwrite question answers 1 unless the user says No.
int showFilePrompt(QWidget* owner, int kind, bool isError, const std::string& fileName,
                   const std::string& reason = {});

// The text of a file prompt, the name cut to 256 characters, and the reason (the
// system's text of the error) on a line of its own after it.
QString filePromptText(int kind, const std::string& fileName, const std::string& reason = {});

// The Save-As dialog for received variables; a file name without extension gets
// ".85b" for a memory backup, else ".85g". False when the user cancelled.
bool askSaveFileName(QWidget* owner, std::string& name, bool backup);

// The Open dialog "Choose File to Upload"; nothing when cancelled.
std::optional<std::string> chooseUploadFileDialog(QWidget* owner);

// The Qt side of the Upload command. The pauses between the automatic link attempts
// block the user-interface thread like the key waits do: no timer tick runs and no
// input is taken. The owner is repainted synchronously every few milliseconds so
// that the calculator's screen follows the keys being typed.
class QtUploadDialogs : public UploadDialogs {
public:
    explicit QtUploadDialogs(QWidget* owner) : owner_(owner) {}
    std::optional<std::string> chooseUploadFile() override;
    void sleepFor(std::chrono::milliseconds duration) override;

private:
    QWidget* owner_;
};

// The same flow for a file chosen beforehand (dropped on the window or named on the
// command line): the link attempts run as for the Upload command, and the file
// takes the Open dialog's place.
class QtGivenFileUpload : public QtUploadDialogs {
public:
    QtGivenFileUpload(QWidget* owner, std::string path) : QtUploadDialogs(owner), path_(std::move(path)) {}
    std::optional<std::string> chooseUploadFile() override { return path_; }

private:
    std::string path_;
};

}  // namespace vantrel
