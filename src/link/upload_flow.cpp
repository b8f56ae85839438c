#include "link/upload_flow.h"

#include <thread>

#include "hardware/machine.h"
#include "hardware/ports.h"
#include "hardware/timer.h"
#include "link/receive_screen.h"

namespace vantrel {

void UploadDialogs::sleepFor(std::chrono::milliseconds duration) {
    std::this_thread::sleep_for(duration);
}

void uploadChosenFile(Machine& m, const std::string& path) {
    m.link.startUpload(m, path);
    // Also wakes a calculator paused in HALT so that it sees the first packet.
    requestInterrupt(m);
}

void uploadFile(Machine& m, bool autoLinkOnUpload, UploadDialogs& dialogs) {
    if (!calculatorOn(m)) return;

    if (autoLinkOnUpload) {
        for (int attempt = 0; attempt < autoLinkAttempts; ++attempt) {
            if (screenShowsWaiting(m)) break;
            // The first interrupt gets a calculator that sits in HALT going, so that
            // it scans the keys that follow.
            requestInterrupt(m);
            injectKey(m, keySecond, autoLinkKeyWaitMs);
            injectKey(m, keyLinkBase, autoLinkKeyWaitMs);
            injectKey(m, keyF2, autoLinkKeyWaitMs);
            dialogs.sleepFor(autoLinkSettleTime);
        }
    }

    if (const auto path = dialogs.chooseUploadFile()) {
        uploadChosenFile(m, *path);
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
