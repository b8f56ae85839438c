// The link's dialogs and message boxes: the upload hint, the file prompts, the
// Save-As dialog for received variables, and the Open dialog of the Upload command.
#pragma once

#include <optional>
#include <string>

#include "session/calculator/front_end.h"

class QWidget;

namespace vantrel {

// notWaiting: the box telling the user how to put the calculator into its receive
// screen, with a beep; aborted: only the beep (when beepOnErrors is on).
void showLinkHint(QWidget* owner, LinkHint hint, bool beepOnErrors);

// An error box (false), or the overwrite question (true unless the user says No).
bool showFilePrompt(QWidget* owner, FilePrompt kind, const std::string& fileName,
                    const std::string& reason = {});

// The Save-As dialog for received variables, which suggests a file named after the
// first variable (firstVariable; "backup" for a memory backup); a file name without
// extension gets ".85b" for a memory backup, else ".85g". None when the user cancelled.
std::optional<std::string> askSaveFileName(QWidget* owner, bool backup,
                                           const std::string& firstVariable = {});

// The Open dialog "Choose File to Upload"; nothing when cancelled.
std::optional<std::string> chooseUploadFileDialog(QWidget* owner);

}  // namespace vantrel
