// One headless run of a calculator: the window's 50 ms timer, and a script of keys,
// typed text, injected keys and uploads played against it.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "hardware/lcd_picture.h"
#include "hardware/lcd_shades.h"
#include "headless/script_event.h"
#include "machine/loop_end.h"
#include "text/failure.h"

namespace vantrel {
class Calculator;
class LcdRecording;
}  // namespace vantrel

namespace vantrel::headless {

class HeadlessFrontEnd;

struct RunOptions {
    // The run time; with untilSleep the limit on it.
    std::chrono::milliseconds duration{1000};
    // End once the calculator sleeps in HALT with no key pending, the link idle and
    // the script done.
    bool untilSleep = false;
    std::vector<ScriptEvent> events;
    bool autoLinkOnUpload = true;
    // Started by the caller: a frame at every tick where the LCD changed, finished at
    // the end of the run.
    LcdRecording* recording = nullptr;
};

struct RunResult {
    bool stopped = false;                  // the thread ended (by Stop, or by itself)
    std::chrono::milliseconds elapsed{0};  // from the start to the end of the script's loop
    std::optional<uint64_t> emulatedMs;    // the hardware model's emulated time run
    std::optional<LoopEnd> loopEnd;        // how, once it ended
    bool asleep = false;                   // ended by untilSleep
    std::size_t eventsDone = 0;
    uint16_t pc = 0;
    uint16_t sp = 0;
    uint8_t bank = 0;
    bool calculatorOn = false;
    // The debugger stopped it (a breakpoint): where and why, and the instruction there.
    bool stoppedForDebugger = false;
    std::string stopText;
    std::string stopLine;
    // Why the recording failed (it then left no file).
    std::optional<Failure> recordingFailure;
};

// Starts the calculator's thread, ticks every 50 ms while playing the script, then
// stops it (at most 4000 ms). In the hardware model the times (the duration, "@MS",
// the settle limit) are emulated: the loop is let on by a run limit 50 ms of emulated
// time at a step and the script acts only while it rests there, so that the same run
// gives the same bytes every time (an upload, which needs the loop running while the
// link works, is the exception). Ends early when the loop ends by itself, when the
// debugger stops it, or when endEarly (set from a signal handler, say) becomes true.
RunResult runScript(Calculator& calculator, HeadlessFrontEnd& frontEnd, const RunOptions& options,
                    const std::atomic<bool>* endEarly = nullptr);

// How long an event without a time waits for the calculator to sleep again.
inline constexpr std::chrono::milliseconds settleLimit{1000};

// "bmp" or "png" from the name's extension, in any case; empty for anything else.
std::string lcdPictureFormat(const std::string& path);

// Whether the name ends in ".gif", in any case.
bool isGifName(const std::string& path);

// The LCD as the window shows it, as a BMP or PNG file by the name's extension, in the
// given colours (0x00BBGGRR).
Result<> writeLcdPicture(const LcdShades& lcd, const std::string& path, uint32_t foreground,
                         uint32_t background);

}  // namespace vantrel::headless
