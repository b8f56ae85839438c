#include "headless/headless_front_end.h"

#include <algorithm>
#include <cstdio>

#include "machine/host_interface.h"
#include "session/calculator/messages.h"
#include "session/link/upload.h"
#include "z80/cpu_registers.h"

namespace vantrel::headless {

std::vector<std::string> HeadlessFrontEnd::messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
}

std::vector<std::string> HeadlessFrontEnd::savedNames() const {
    std::lock_guard lock(mutex_);
    return savedNames_;
}

std::vector<std::string> HeadlessFrontEnd::writtenNames() const {
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

std::vector<std::string> HeadlessFrontEnd::failedWrites() const {
    std::lock_guard lock(mutex_);
    return failedWrites_;
}

void HeadlessFrontEnd::note(const std::string& text) {
    std::lock_guard lock(mutex_);
    messages_.push_back(text);
    if (out) {
        std::fprintf(out, "%s\n", text.c_str());
        std::fflush(out);
    }
}

std::vector<std::string> HeadlessFrontEnd::uploads() const {
    std::lock_guard lock(mutex_);
    return uploads_;
}

std::size_t HeadlessFrontEnd::refusedUploads() const {
    std::lock_guard lock(mutex_);
    return refusedUploads_;
}

bool HeadlessFrontEnd::anythingReceived() const {
    std::lock_guard lock(mutex_);
    return received_;
}

void HeadlessFrontEnd::uploadStarted(const std::string& path, int variables) {
    std::lock_guard lock(mutex_);
    uploads_.push_back(path + " (" + std::to_string(variables) +
                       (variables == 1 ? " variable)" : " variables)"));
}

bool HeadlessFrontEnd::filePrompt(FilePrompt kind, const std::string& fileName,
                                  const std::string& reason) {
    std::string text = oneLine(filePromptText(kind, fileName, reason));
    const bool answer =
        (kind == FilePrompt::overwrite && overwrite) || (kind == FilePrompt::damaged && force);
    if (kind == FilePrompt::overwrite)
        text += answer ? " Yes (--overwrite)." : " No (no --overwrite).";
    if (kind == FilePrompt::damaged) text += answer ? " Yes (--force)." : " No (no --force).";
    {
        std::lock_guard lock(mutex_);
        // Received variables meet the overwrite question and can fail to be written;
        // everything else is about a file to upload.
        const bool received =
            std::find(savedNames_.begin(), savedNames_.end(), fileName) != savedNames_.end();
        if (received && (kind == FilePrompt::cannotOpen || !answer)) {
            refusedNames_.push_back(fileName);
            if (kind == FilePrompt::cannotOpen)
                failedWrites_.push_back(reason.empty() ? fileName : fileName + " (" + reason + ")");
        }
        if (!received && kind != FilePrompt::overwrite && !answer) ++refusedUploads_;
    }
    note(text);
    return answer;
}

void HeadlessFrontEnd::linkHint(LinkHint hint) {
    // The calculator's own abort is only a beep in the window.
    if (hint == LinkHint::notWaiting) note(oneLine(uploadHintText));
    if (hint == LinkHint::debuggerStopped) note(oneLine(debuggerStoppedUploadText));
}

std::optional<std::string> HeadlessFrontEnd::askSaveName(bool backup) {
    {
        std::lock_guard lock(mutex_);
        received_ = true;
    }
    if (!receivePath) {
        note("The calculator sends variables; refused (no --receive FILE).");
        return std::nullopt;
    }
    const std::string name = withVariableFileExtension(*receivePath, backup);
    std::lock_guard lock(mutex_);
    savedNames_.push_back(name);
    return name;
}

IllegalOpcodeAnswer HeadlessFrontEnd::illegalOpcode(const IllegalOpcodeSnapshot& snapshot) {
    char text[96];
    std::snprintf(text, sizeof text, "Illegal instruction before PC=0x%04X; emulation stopped.",
                  static_cast<unsigned>(snapshot.registers.pc));
    note(text);
    return IllegalOpcodeAnswer::stop;
}

}  // namespace vantrel::headless
