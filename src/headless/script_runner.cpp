#include "headless/script_runner.h"

#include <thread>

#include "hardware/hardware_clock.h"
#include "headless/headless_front_end.h"
#include "session/calculator/calculator.h"
#include "session/calculator/timer_tick.h"
#include "session/debug/debug_session.h"
#include "session/keys/key_table.h"
#include "session/screenshots/lcd_recording.h"
#include "session/screenshots/png_file.h"
#include "session/screenshots/screenshot.h"
#include "text/ascii_case.h"

namespace vantrel::headless {

namespace {

using Clock = std::chrono::steady_clock;

// The one PC key the script types with.
constexpr int32_t typedKeySource = 0;

std::string keyLabel(const ScriptEvent& event) {
    return event.text.empty() ? "key code " + std::to_string(event.code) : event.text;
}

// The name's extension in lower case, empty without one.
std::string lowerExtension(const std::string& path) {
    const auto dot = path.find_last_of('.');
    const auto slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string extension = path.substr(dot + 1);
    for (char& c : extension) c = asciiLower(c);
    return extension;
}

// The LCD now as a frame of the recording, at ms from the start. A failure ends the
// recording (its file removed) and is kept for the report.
void recordFrame(Calculator& calculator, const RunOptions& options, RunResult& result,
                 std::chrono::milliseconds ms) {
    if (!options.recording || !options.recording->recording()) return;
    const Result<> added =
        options.recording->addFrame(calculator.lcdPicture(), static_cast<uint64_t>(ms.count()));
    if (!added) result.recordingFailure = added.failure();
}

// Carries out one event; true when it pressed a key that the next tick releases.
bool perform(Calculator& calculator, HeadlessFrontEnd& frontEnd, const ScriptEvent& event,
             const RunOptions& options) {
    switch (event.action) {
        case ScriptAction::key: {
            const auto index = keyIndexOfCode(event.code);
            if (!index) {
                frontEnd.note("No key has code " + std::to_string(event.code) + ".");
                return false;
            }
            if (calculator.pressKey(*index) != PressOutcome::queued)
                frontEnd.note("Key " + keyLabel(event) +
                              " not taken (calculator off); --inject reaches it.");
            return true;
        }
        case ScriptAction::character: {
            const PressOutcome outcome =
                calculator.pcKeyDown(typedKeySource, PcKey::other, event.character);
            if (outcome == PressOutcome::ignored) {
                frontEnd.note("No calculator key types \"" + event.text + "\" here.");
                return false;
            }
            if (outcome != PressOutcome::queued)
                frontEnd.note("Typed \"" + event.text + "\" not taken (calculator off).");
            return true;
        }
        case ScriptAction::inject:
            calculator.injectKey(static_cast<KeyCode>(event.code));
            return false;
        case ScriptAction::upload:
            if (!calculator.calculatorOn()) {
                frontEnd.note("Upload of " + event.text + ": the calculator is off; nothing done.");
                return false;
            }
            calculator.upload(options.autoLinkOnUpload, event.text);
            return false;
    }
    return false;
}

// The hardware model's keys are typed: pressed in emulated time, one after the other.
bool performHardware(Calculator& calculator, HeadlessFrontEnd& frontEnd, const ScriptEvent& event,
                     const RunOptions& options) {
    switch (event.action) {
        case ScriptAction::key:
        case ScriptAction::inject:
            if (!keyIndexOfCode(event.code))
                frontEnd.note("No key has code " + std::to_string(event.code) + ".");
            else
                calculator.injectKey(static_cast<KeyCode>(event.code));
            return false;
        case ScriptAction::character:
            if (calculator.typeCharacter(event.character) == PressOutcome::ignored)
                frontEnd.note("No calculator key types \"" + event.text + "\" here.");
            return false;
        case ScriptAction::upload: {
            // The link needs the loop running while the upload waits for it.
            const std::optional<uint64_t> at = calculator.restingAtLimit();
            calculator.clearRunLimit();
            perform(calculator, frontEnd, event, options);
            if (at) calculator.setRunLimit(*at);
            return false;
        }
    }
    return false;
}

// What both models' runs note as they end: the events done, the wall time, a stop in
// the debugger, and whether the calculator's thread stopped.
void endRun(Calculator& calculator, RunResult& result, std::size_t eventsDone,
            Clock::time_point start) {
    result.eventsDone = eventsDone;
    result.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    if (calculator.stoppedForDebugger()) {
        result.stoppedForDebugger = true;
        result.stopText = calculator.debugger().stopText();
        result.stopLine = calculator.debugger().stateLine();
    }
    result.stopped = calculator.stop();
}

// Waits for the loop to rest at its limit; false when it ended, the debugger stopped
// it or the run is to end early.
bool reachLimit(Calculator& calculator, const std::atomic<bool>* endEarly) {
    for (;;) {
        if (calculator.waitForRunLimit(std::chrono::milliseconds(100))) return true;
        if (calculator.loopEnd() || calculator.stoppedForDebugger() ||
            (endEarly && endEarly->load()))
            return false;
    }
}

RunResult runHardwareScript(Calculator& calculator, HeadlessFrontEnd& frontEnd,
                            const RunOptions& options, const std::atomic<bool>* endEarly) {
    RunResult result;
    const uint64_t base = calculator.emulatedClock();
    const auto emulated = [&](std::chrono::milliseconds ms) {
        return static_cast<uint64_t>(ms.count()) * tStatesPerMs;
    };
    const uint64_t step = emulated(timerPeriod);
    uint64_t limit = base;
    calculator.setRunLimit(limit);
    const auto wallStart = Clock::now();
    calculator.start();
    std::size_t nextEvent = 0;
    uint64_t previousDone = 0;
    while (reachLimit(calculator, endEarly)) {
        const uint64_t now = limit - base;
        while (nextEvent < options.events.size()) {
            const ScriptEvent& event = options.events[nextEvent];
            const bool due =
                event.atMs ? now >= static_cast<uint64_t>(*event.atMs) * tStatesPerMs
                           : calculator.asleep() || now - previousDone >= emulated(settleLimit);
            if (!due) break;
            performHardware(calculator, frontEnd, event, options);
            ++nextEvent;
            previousDone = now;
        }
        recordFrame(calculator, options, result, std::chrono::milliseconds(now / tStatesPerMs));
        if (options.untilSleep && nextEvent == options.events.size() && calculator.asleep()) {
            result.asleep = true;
            break;
        }
        if (now >= emulated(options.duration)) break;
        limit += step;
        calculator.setRunLimit(limit);
    }
    endRun(calculator, result, nextEvent, wallStart);
    if (!result.stopped) return result;
    result.emulatedMs = (calculator.emulatedClock() - base) / tStatesPerMs;
    return result;
}

RunResult runClassicScript(Calculator& calculator, HeadlessFrontEnd& frontEnd,
                           const RunOptions& options, const std::atomic<bool>* endEarly) {
    RunResult result;
    calculator.start();
    const auto start = Clock::now();
    // The recording covers the whole run: the LCD as it starts, however long the
    // first tick takes to come.
    recordFrame(calculator, options, result, std::chrono::milliseconds(0));
    auto next = start;
    auto previousDone = start;
    std::size_t nextEvent = 0;
    bool releasePending = false;
    bool ticked = false;
    while (!calculator.loopEnd() && !calculator.stoppedForDebugger() &&
           !(endEarly && endEarly->load())) {
        const auto now = Clock::now();
        if (releasePending) {
            // Held for one tick, then let go as the mouse button or PC key would be.
            if (calculator.pcKeyHeld())
                calculator.pcKeyUp(typedKeySource);
            else
                calculator.releaseMouse();
            releasePending = false;
            previousDone = now;
        }
        while (nextEvent < options.events.size() && !releasePending) {
            const ScriptEvent& event = options.events[nextEvent];
            const bool due =
                event.atMs ? now - start >= std::chrono::milliseconds(*event.atMs)
                           : (ticked && calculator.asleep()) || now - previousDone >= settleLimit;
            if (!due) break;
            releasePending = perform(calculator, frontEnd, event, options);
            ++nextEvent;
            previousDone = Clock::now();
        }
        if (options.untilSleep && ticked && nextEvent == options.events.size() && !releasePending &&
            calculator.asleep()) {
            result.asleep = true;
            break;
        }
        calculator.tick();  // the first tick starts the thread, as the window's does
        ticked = true;
        recordFrame(calculator, options, result,
                    std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start));
        next += timerPeriod;
        if (next - start > options.duration) break;
        // An upload blocks the timer as it blocks the window's; ticks missed meanwhile
        // are not made up in a burst.
        if (Clock::now() > next + timerPeriod) next = Clock::now();
        std::this_thread::sleep_until(next);
    }
    endRun(calculator, result, nextEvent, start);
    return result;
}

}  // namespace

std::string lcdPictureFormat(const std::string& path) {
    const std::string extension = lowerExtension(path);
    return extension == "bmp" || extension == "png" ? extension : std::string();
}

bool isGifName(const std::string& path) { return lowerExtension(path) == "gif"; }

Result<> writeLcdPicture(const LcdShades& lcd, const std::string& path, uint32_t foreground,
                         uint32_t background) {
    const std::string format = lcdPictureFormat(path);
    if (format == "bmp") return writeBitmapFile(buildLcdDib(lcd, foreground, background, 1), path);
    if (format == "png") return writePngFile(buildLcdPng(lcd, foreground, background, 1), path);
    return Failure::badData("not a .bmp or .png name");
}

RunResult runScript(Calculator& calculator, HeadlessFrontEnd& frontEnd, const RunOptions& options,
                    const std::atomic<bool>* endEarly) {
    RunResult result;
    if (!calculator.usable() || calculator.abandoned()) return result;
    if (calculator.hardwareModel()) {
        result = runHardwareScript(calculator, frontEnd, options, endEarly);
    } else {
        result = runClassicScript(calculator, frontEnd, options, endEarly);
    }
    if (!result.stopped) return result;
    // The last picture, shown to the end of the run (emulated time in the hardware model).
    const auto end =
        calculator.hardwareModel()
            ? std::chrono::milliseconds(static_cast<int64_t>(result.emulatedMs.value_or(0)))
            : result.elapsed;
    recordFrame(calculator, options, result, end);
    if (options.recording && options.recording->recording())
        if (const Result<> finished = options.recording->finish(static_cast<uint64_t>(end.count()));
            !finished)
            result.recordingFailure = finished.failure();
    result.loopEnd = calculator.loopEnd();
    const CpuRegisters regs = calculator.registers();
    result.pc = regs.pc;
    result.sp = regs.sp;
    result.bank = calculator.romBank();
    result.calculatorOn = calculator.calculatorOn();
    return result;
}

}  // namespace vantrel::headless
