#include "session/link/upload.h"

#include <algorithm>
#include <cerrno>
#include <vector>

#include "files/file_io.h"
#include "hardware/key_codes.h"
#include "link/variable_file.h"
#include "machine/bus.h"
#include "machine/interrupts.h"
#include "session/calculator/front_end.h"
#include "session/link/receive_screen.h"

namespace vantrel {

Result<UploadFile> readUploadFile(const std::string& path) {
    // One byte over the limit tells a file that is too large from one that fits.
    const auto bytes = readFileBytes(path, maxVariableFileSize + 1);
    if (!bytes) {
        if (bytes.failure().code == EFBIG)
            return Failure::badData("It is larger than any variable file.");
        return bytes.failure();
    }
    UploadFile file;
    file.read = decodeVariableFile(*bytes, file.packets);
    switch (file.read) {
        case VariableFileRead::variables:
        case VariableFileRead::checksumMismatch:
            return file;
        case VariableFileRead::noVariables:
            return Failure::badData("It holds no whole variable.");
        case VariableFileRead::truncated:
            return Failure::badData("It ends inside a variable: it was cut short, or is damaged.");
        case VariableFileRead::badData:
            break;
    }
    return Failure::badData("It is not a variable file.");
}

int UploadFile::variables() const {
    return static_cast<int>(
        std::count_if(packets.entries().begin(), packets.entries().end(),
                      [](const LinkPacket& p) { return p.commandId == cmdVar; }));
}

bool startUpload(Machine& m, FrontEnd& frontEnd, const std::string& path) {
    auto waiting = [&] {
        // The emulation loop rests (at an instruction boundary or inside a host call)
        // while this thread looks at the screen.
        HoldGuard guard(m.control);
        if (screenShowsWaiting(m)) return true;
        frontEnd.linkHint(LinkHint::notWaiting);
        return false;
    };
    if (!waiting()) return false;
    // Read, and asked about, while the calculator runs on in its receive screen.
    Result<UploadFile> file = readUploadFile(path);
    bool send = file.ok();
    if (!file) {
        const Failure& failure = file.failure();
        frontEnd.filePrompt(
            failure.code == Failure::badInput ? FilePrompt::badData : FilePrompt::cannotOpen, path,
            failure.reason);
    } else if (file->read == VariableFileRead::checksumMismatch) {
        send = frontEnd.filePrompt(FilePrompt::damaged, path, {});
    }
    HoldGuard guard(m.control);
    if (!screenShowsWaiting(m)) {
        frontEnd.linkHint(LinkHint::notWaiting);
        return false;
    }
    if (send) frontEnd.uploadStarted(path, file->variables());
    // Without packets the engine ends the calculator's wait with EOT.
    m.link.startUpload(send ? std::move(file->packets) : VariableList{});
    return true;
}

void uploadChosenFile(Machine& m, FrontEnd& frontEnd, const std::string& path) {
    // Also wakes a calculator paused in HALT so that it sees the first packet.
    if (startUpload(m, frontEnd, path)) requestInterrupt(m);
}

void uploadFile(Machine& m, FrontEnd& frontEnd, bool autoLinkOnUpload,
                const std::optional<std::string>& givenFile) {
    if (!calculatorOn(m)) return;

    if (autoLinkOnUpload) {
        for (int attempt = 0; attempt < autoLinkAttempts; ++attempt) {
            if (screenShowsWaiting(m)) break;
            // The first interrupt gets a calculator that sits in HALT going, so that
            // it scans the keys that follow.
            requestInterrupt(m);
            injectKey(m, keySecond, autoLinkKeyWaitMs);
            injectKey(m, keyXVar, autoLinkKeyWaitMs);  // [LINK] is its second function
            injectKey(m, keyF2, autoLinkKeyWaitMs);
            frontEnd.sleepFor(autoLinkSettleTime);
        }
    }

    if (const auto path = givenFile ? givenFile : frontEnd.chooseUploadFile()) {
        uploadChosenFile(m, frontEnd, *path);
        return;
    }
    // Back out of whatever the link attempts (or the user) left on the screen.
    injectKey(m, keyOn, cancelKeyWaitMs);
    injectKey(m, keyOn, cancelKeyWaitMs);
}

std::string withVariableFileExtension(std::string path, bool backup) {
    const auto slash = path.find_last_of('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    if (nameStart == path.size()) return path;  // no file name at all
    if (path.find('.', nameStart + 1) == std::string::npos) path += backup ? ".85b" : ".85g";
    return path;
}

bool isVariableFileName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.size() < 5) return false;
    const std::string tail = name.substr(name.size() - 4, 3);
    return tail == ".85";
}

}  // namespace vantrel
