// The program's own texts that more than one front end shows: the title, the ROM
// messages, the link's prompts and hints. A window shows the line breaks; a log joins
// the lines (oneLine).
#pragma once

#include <string>

#include "session/calculator/front_end.h"
#include "session/calculator/machine_files.h"

namespace vantrel {

inline constexpr const char* programName = "Vantrel";
inline constexpr const char* programVersion = VANTREL_VERSION;
// "Vantrel 2.0": the window's title and the caption of its message boxes.
std::string programTitle();

inline constexpr const char* romLoadFailedText = "Loading romfile failed.";
inline constexpr const char* wrongRomVersionText = "Wrong ROM version. Version 10.0 needed.";
// The message for a ROM that the calculator cannot run on.
const char* romMessage(const RomLoadResult& result);
// What is wrong with the ROM image file, in a sentence, for the line under romMessage().
std::string romProblemText(const RomLoadResult& result);
// Both, with the file between them: "Loading romfile failed.", then after the break
// (a line break, or a blank for a log line) "PATH: There is no such file."
std::string romProblemLines(const RomLoadResult& result, const std::string& romPath,
                            const char* lineBreak = "\n");

inline constexpr const char* uploadHintText =
    "To upload a file first press\n[2nd] [LINK] [F2] on the calculator.";
inline constexpr const char* debuggerStoppedUploadText =
    "The calculator is stopped in the debugger.\nContinue it, then upload the file.";

// What is wrong with a file at the state path that is no state file, in a sentence;
// empty for a state file or none.
std::string stateFileProblemText(const StateLoadResult& result);
// "Another running Vantrel (process 1234) has the state file NAME."
std::string stateFileInUseLine(const std::string& ramPath, long holder);

// The file prompt with the name (at most 256 characters of it), then the reason on a
// line of its own when there is one.
std::string filePromptText(FilePrompt kind, const std::string& fileName,
                           const std::string& reason = {});

// The text on one line: each line break, with the blanks around it, becomes one blank.
std::string oneLine(const std::string& text);

}  // namespace vantrel
