#include "session/upload.h"

#include <cerrno>
#include <vector>

#include "files/file_io.h"
#include "hardware/key_codes.h"
#include "link/variable_file.h"
#include "machine/bus.h"
#include "machine/interrupts.h"
#include "session/front_end.h"
#include "session/receive_screen.h"

namespace vantrel {

bool startUpload(Machine& m, FrontEnd& frontEnd, const std::string& path) {
    // The emulation loop rests (at an instruction boundary or inside a host call)
    // while this thread works on the engine.
    HoldGuard guard(m.control);
    if (!screenShowsWaiting(m)) {
        frontEnd.linkHint(LinkHint::notWaiting);
        return false;
    }
    {
        VariableList packets;
        std::vector<uint8_t> bytes;
        int error = 0;
        // One byte over the limit tells a file that is too large from one that fits.
        if (!readFileBytes(path, bytes, maxVariableFileSize + 1, &error))
            frontEnd.filePrompt(error == EFBIG ? FilePrompt::badData : FilePrompt::cannotOpen, path,
                                error == EFBIG ? std::string() : errorText(error));
        else if (decodeVariableFile(bytes, packets) == VariableFileRead::badData)
            frontEnd.filePrompt(FilePrompt::badData, path, {});
        // Without packets the engine ends the calculator's wait with EOT.
        m.link.startUpload(std::move(packets));
    }
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

std::string whyNotReadable(const std::string& path) {
    const int error = readableError(path);
    return error == 0 ? std::string() : errorText(error);
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
