#include "session/calculator/messages.h"

#include "files/file_io.h"
#include "hardware/memory_map.h"
#include "hardware/state_block.h"

namespace vantrel {

namespace {

// The boxes show at most 256 characters of the name.
constexpr std::size_t shownNameLimit = 256;

}  // namespace

std::string programTitle() { return std::string(programName) + " " + programVersion; }

const char* romMessage(const RomLoadResult& result) {
    return result.outcome == RomLoad::wrongVersion ? wrongRomVersionText : romLoadFailedText;
}

std::string romProblemText(const RomLoadResult& result) {
    switch (result.outcome) {
        case RomLoad::loaded:
            return {};
        case RomLoad::missing:
            return "There is no such file.";
        case RomLoad::unreadable:
            return result.failure ? "The file cannot be read: " + result.failure->reason + "."
                                  : "The file cannot be read.";
        case RomLoad::tooShort:
            return "The file has " + std::to_string(result.bytesRead) +
                   " bytes; a TI-85 ROM image has " + std::to_string(romSize) + ".";
        case RomLoad::wrongVersion:
            return "The file is not the TI-85's ROM version 10.0.";
    }
    return {};
}

std::string romProblemLines(const RomLoadResult& result, const std::string& romPath,
                            const char* lineBreak) {
    return romMessage(result) + (lineBreak + romPath) + ": " + romProblemText(result);
}

std::string stateFileProblemText(const StateLoadResult& result) {
    switch (result.outcome) {
        case StateLoad::wrongSize:
            return "It has " + std::to_string(result.size) + " bytes; a state file has exactly " +
                   std::to_string(stateFileSize) + " (" +
                   std::to_string(stateFileSize + stateBlockSize) +
                   " when written in the hardware model).";
        case StateLoad::badBlock:
            return result.blockProblem;
        case StateLoad::unreadable:
            return "It cannot be read: " +
                   (result.failure ? result.failure->reason : std::string()) + ".";
        default:
            return {};
    }
}

std::string stateFileInUseLine(const std::string& ramPath, long holder) {
    return "Another running Vantrel" +
           (holder > 0 ? " (process " + std::to_string(holder) + ")" : std::string()) +
           " has the state file " + ramPath + ".";
}

std::string filePromptText(FilePrompt kind, const std::string& fileName,
                           const std::string& reason) {
    // Cut by characters, never inside one.
    std::size_t end = 0;
    for (std::size_t shown = 0; end < fileName.size() && shown < shownNameLimit; ++shown) {
        ++end;
        while (end < fileName.size() && (static_cast<unsigned char>(fileName[end]) & 0xC0) == 0x80)
            ++end;
    }
    const std::string name = fileName.substr(0, end);
    std::string text;
    switch (kind) {
        case FilePrompt::cannotOpen:
            text = "Can't open file \n" + name + ".";
            break;
        case FilePrompt::overwrite:
            text = "Overwrite file \n" + name + "?";
            break;
        case FilePrompt::badData:
            text = "The file \n" + name + " \ncontains bad data.";
            break;
        case FilePrompt::damaged:
            text = "The checksum of the file \n" + name +
                   " \ndoes not match its data: it may be damaged. Upload it all the same?";
            break;
    }
    if (!reason.empty()) text += "\n" + reason;
    return text;
}

std::string oneLine(const std::string& text) {
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n') {
            line += text[i];
            continue;
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        while (i + 1 < text.size() && text[i + 1] == ' ') ++i;
        if (!line.empty()) line += ' ';
    }
    return line;
}

}  // namespace vantrel
