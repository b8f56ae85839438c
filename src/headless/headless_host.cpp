#include "headless/headless_host.h"

#include <algorithm>
#include <cstdio>

#include "cpu/illegal_opcode.h"
#include "hardware/machine.h"
#include "link/upload_flow.h"

namespace vantrel::headless {

namespace {

// The boxes show at most 256 characters of the name.
constexpr std::size_t shownNameLimit = 256;

}  // namespace

std::string filePromptText(int kind, const std::string& fileName, const std::string& reason) {
    const std::string name = fileName.substr(0, shownNameLimit);
    std::string text;
    switch (kind) {
    case promptCannotOpen: text = "Can't open file " + name + "."; break;
    case promptOverwrite: text = "Overwrite file " + name + "?"; break;
    case promptBadData: text = "The file " + name + " contains bad data."; break;
    default: text = "Link message " + std::to_string(kind) + " about " + name; break;
    }
    return reason.empty() ? text : text + " " + reason + ".";
}

std::vector<std::string> HeadlessHost::messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
}

std::vector<std::string> HeadlessHost::savedNames() const {
    std::lock_guard lock(mutex_);
    return savedNames_;
}

std::vector<std::string> HeadlessHost::writtenNames() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> written;
    for (const std::string& name : savedNames_) {
        // A name refused once may have been written by a later send under it.
        const auto saved = std::count(savedNames_.begin(), savedNames_.end(), name);
        const auto refused = std::count(refusedNames_.begin(), refusedNames_.end(), name);
        if (saved > refused && std::find(written.begin(), written.end(), name) == written.end())
            written.push_back(name);
    }
    return written;
}

std::vector<std::string> HeadlessHost::failedWrites() const {
    std::lock_guard lock(mutex_);
    return failedWrites_;
}

void HeadlessHost::note(const std::string& text) {
    std::lock_guard lock(mutex_);
    messages_.push_back(text);
    if (out) {
        std::fprintf(out, "%s\n", text.c_str());
        std::fflush(out);
    }
}

int HeadlessHost::filePrompt(int kind, bool isError, const std::string& fileName, const std::string& reason) {
    std::string text = filePromptText(kind, fileName, reason);
    int answer = 0;
    if (!isError) {
        answer = overwrite ? 1 : 0;
        text += answer ? " Yes (--overwrite)." : " No (no --overwrite).";
    }
    if (kind == promptCannotOpen || (kind == promptOverwrite && answer == 0)) {
        std::lock_guard lock(mutex_);
        if (std::find(savedNames_.begin(), savedNames_.end(), fileName) != savedNames_.end()) {
            refusedNames_.push_back(fileName);
            if (kind == promptCannotOpen)
                failedWrites_.push_back(reason.empty() ? fileName : fileName + " (" + reason + ")");
        }
    }
    note(text);
    return answer;
}

void HeadlessHost::uploadHint(int code) {
    // Code 2 is the calculator's own abort, which the window only beeps for.
    if (code == hintNotWaiting) note(uploadHintText);
}

bool HeadlessHost::askSaveName(std::string& name, bool backup) {
    if (!receivePath) {
        note("The calculator sends variables; refused (no --receive FILE).");
        return false;
    }
    name = withVariableFileExtension(*receivePath, backup);
    std::lock_guard lock(mutex_);
    savedNames_.push_back(name);
    return true;
}

int HeadlessHost::illegalOpcode(const IllegalOpcodeSnapshot& snapshot) {
    char text[96];
    std::snprintf(text, sizeof text, "Illegal instruction before PC=0x%04X; emulation stopped.",
                  static_cast<unsigned>(snapshot.registers.pc));
    note(text);
    return 0;
}

void HeadlessHost::postLinkActive(uint32_t value) { m_.linkActive.store(value); }

}  // namespace vantrel::headless
