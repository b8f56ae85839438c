#include "headless/session.h"

#include <thread>

#include "cpu/emulation_thread.h"
#include "hardware/lcd_picture.h"
#include "hardware/ports.h"
#include "hardware/rom_state.h"
#include "hardware/timer.h"
#include "headless/key_names.h"
#include "headless/png_file.h"
#include "link/upload_flow.h"
#include "shell/common/screenshot.h"

namespace vantrel::headless {

namespace {

using Clock = std::chrono::steady_clock;

// The Open dialog of the Upload command, answered with the file from the script.
class ScriptedUploadDialogs : public UploadDialogs {
public:
    explicit ScriptedUploadDialogs(std::string path) : path_(std::move(path)) {}
    std::optional<std::string> chooseUploadFile() override { return path_; }

private:
    std::string path_;
};

// The one PC key the script types with.
constexpr int32_t typedKeySource = 0;

std::string keyLabel(const ScriptEvent& event) {
    return event.text.empty() ? "key code " + std::to_string(event.code) : event.text;
}

}  // namespace

std::string lcdPictureFormat(const std::string& path) {
    const auto dot = path.find_last_of('.');
    const auto slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string extension = path.substr(dot + 1);
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return extension == "bmp" || extension == "png" ? extension : std::string();
}

Session::Session(std::string romPath, std::string ramPath)
    : romPath_(std::move(romPath)),
      ramPath_(std::move(ramPath)),
      machine_(std::make_unique<Machine>()),
      host_(std::make_unique<HeadlessHost>(*machine_)),
      keypad_(*machine_) {
    machine_->setHost(host_.get());
}

Session::~Session() {
    // A thread that would not stop may still run on the machine, and calls the host;
    // both must outlive us.
    if (abandoned_) {
        (void)host_.release();
        (void)machine_.release();
    }
}

int Session::load(bool testRomVersion) {
    const int result = loadRomImage(*machine_, romPath_);
    usable_ = result == romLoaded || (result == romWrongVersion && !testRomVersion);
    if (usable_) loadStateFile(*machine_, ramPath_);
    return result;
}

bool Session::asleep() const {
    return machine_->control.pendingCode() == code(EmuRequest::Pause) && !keypad_.keyPending() &&
           machine_->linkActive.load() == 0;
}

bool Session::perform(const ScriptEvent& event, const RunOptions& options) {
    Machine& m = *machine_;
    switch (event.action) {
    case ScriptAction::key: {
        const auto index = keyIndexByCode(event.code);
        if (!index) {
            host_->note("No key has code " + std::to_string(event.code) + ".");
            return false;
        }
        // A click in the middle of the skin key, as the mouse gives it.
        const KeyRect& rect = keyRects[static_cast<std::size_t>(*index)];
        const PressOutcome outcome =
            keypad_.pressAt((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2, nullptr);
        if (outcome != PressOutcome::queued)
            host_->note("Key " + keyLabel(event) +
                        " not taken (calculator off); --inject reaches it.");
        return true;
    }
    case ScriptAction::character: {
        // Script steps wait for the calculator to sleep, so the shifts it holds now
        // are the ones the key is delivered under.
        if (!keypad_.mapPcChar(event.character)) {
            host_->note("No calculator key types \"" + event.text + "\" here.");
            return false;
        }
        if (keypad_.keyboardPress(nullptr, typedKeySource, PcKey::other, event.character) !=
            PressOutcome::queued)
            host_->note("Typed \"" + event.text + "\" not taken (calculator off).");
        return true;
    }
    case ScriptAction::inject:
        injectKey(m, static_cast<uint32_t>(event.code), autoLinkKeyWaitMs);
        return false;
    case ScriptAction::upload: {
        if (!calculatorOn(m)) {
            host_->note("Upload of " + event.text + ": the calculator is off; nothing done.");
            return false;
        }
        ScriptedUploadDialogs dialogs(event.text);
        uploadFile(m, options.autoLinkOnUpload, dialogs);
        return false;
    }
    }
    return false;
}

RunResult Session::run(const RunOptions& options, const std::atomic<bool>* endEarly) {
    RunResult result;
    if (!usable_ || abandoned_) return result;

    // Heap-held so that a thread that does not stop can be left running safely.
    auto thread = std::make_unique<EmulationThread>(*machine_);
    const auto start = Clock::now();
    auto next = start;
    auto previousDone = start;
    std::size_t nextEvent = 0;
    bool releasePending = false;
    bool ticked = false;
    while (!thread->finished() && !(endEarly && endEarly->load())) {
        const auto now = Clock::now();
        if (releasePending) {
            // Held for one tick, then let go as the mouse button or PC key would be.
            if (keypad_.mouseDown)
                keypad_.releaseMouse(nullptr);
            else
                keypad_.keyboardRelease(nullptr, typedKeySource);
            releasePending = false;
            previousDone = now;
        }
        while (nextEvent < options.events.size() && !releasePending) {
            const ScriptEvent& event = options.events[nextEvent];
            const bool due = event.atMs ? now - start >= std::chrono::milliseconds(*event.atMs)
                                        : (ticked && asleep()) || now - previousDone >= settleLimit;
            if (!due) break;
            releasePending = perform(event, options);
            ++nextEvent;
            previousDone = Clock::now();
        }
        if (options.untilSleep && ticked && nextEvent == options.events.size() && !releasePending &&
            asleep()) {
            result.asleep = true;
            break;
        }
        timerTick(*machine_, keypad_);  // the first tick starts the thread, as the window's does
        ticked = true;
        next += tickPeriod;
        if (next - start > options.duration) break;
        // An upload blocks the timer as it blocks the window's; ticks missed meanwhile
        // are not made up in a burst.
        if (Clock::now() > next + tickPeriod) next = Clock::now();
        std::this_thread::sleep_until(next);
    }
    result.eventsDone = nextEvent;
    keypad_.clear();  // presses still waiting are not for the next run

    result.stopped = thread->finished() || thread->stop();
    if (!result.stopped) {
        abandoned_ = true;
        (void)thread.release();
        return result;
    }
    result.exitCode = thread->exitCode();
    const Machine& m = *machine_;
    result.pc = m.regs.pc;
    result.sp = m.regs.sp;
    result.bank = m.mem.state.romBank;
    result.calculatorOn = calculatorOn(m);
    return result;
}

bool Session::save(std::string* why) {
    if (!usable_ || abandoned_) {
        if (why) *why = "the calculator did not run";
        return false;
    }
    return saveStateFile(*machine_, ramPath_, why);
}

bool Session::writeLcdPicture(const std::string& path, uint32_t foreground, uint32_t background) {
    if (abandoned_) return false;
    const std::string format = lcdPictureFormat(path);
    const LcdBytes lcd = lcdMemoryCopy(*machine_);
    if (format == "bmp") return writeBitmapFile(buildLcdDib(lcd.data(), foreground, background), path);
    if (format == "png") return writePngFile(buildLcdPng(lcd.data(), foreground, background), path);
    return false;
}

}  // namespace vantrel::headless
