// One headless run of the calculator: the machine, its ROM and state file, the
// emulation thread driven by the window's 50 ms timer with a real keypad, and a
// script of keys, typed text, injected keys and uploads.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "hardware/keypad.h"
#include "hardware/machine.h"
#include "headless/headless_host.h"
#include "headless/script_event.h"

namespace vantrel {
class EmulationThread;
}

namespace vantrel::headless {

struct RunOptions {
    // The run time; with untilSleep the limit on it.
    std::chrono::milliseconds duration{1000};
    // End once the calculator sleeps in HALT with no key pending, the link idle and
    // the script done.
    bool untilSleep = false;
    std::vector<ScriptEvent> events;
    bool autoLinkOnUpload = true;
};

struct RunResult {
    bool stopped = false;   // the thread ended (by Stop, or by itself)
    int exitCode = 0;       // the loop's return value: 2 Stop, 5 Abort; 0 when not ended
    bool asleep = false;    // ended by untilSleep
    std::size_t eventsDone = 0;
    uint16_t pc = 0;
    uint16_t sp = 0;
    uint8_t bank = 0;
    bool calculatorOn = false;
};

class Session {
public:
    Session(std::string romPath, std::string ramPath);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Loads the ROM image; when it is usable (1, or -2 while the version test is not
    // wanted) also the state file, or makes a cold start. Returns loadRomImage's result.
    int load(bool testRomVersion);
    bool usable() const { return usable_; }

    // Runs the emulation thread, ticking every 50 ms and playing the script, then
    // stops it (at most 4000 ms). Ends early when the loop ends by itself or when
    // endEarly (set from a signal handler, say) becomes true.
    RunResult run(const RunOptions& options, const std::atomic<bool>* endEarly = nullptr);
    RunResult run(std::chrono::milliseconds duration, const std::atomic<bool>* endEarly = nullptr) {
        RunOptions options;
        options.duration = duration;
        return run(options, endEarly);
    }

    // Writes the state file. Refused after a run whose thread did not stop, since
    // the machine then still belongs to that thread. why (when given) tells a failure.
    bool save(std::string* why = nullptr);

    // The LCD as the window shows it (blank while the calculator is off), as a BMP or
    // PNG file by the name's extension, in the given colours (0x00BBGGRR). Refused
    // like save().
    bool writeLcdPicture(const std::string& path, uint32_t foreground, uint32_t background);

    // Not to be touched after a run whose thread did not stop.
    Machine& machine() { return *machine_; }
    HeadlessHost& host() { return *host_; }
    const std::string& romPath() const { return romPath_; }
    const std::string& ramPath() const { return ramPath_; }

    static constexpr std::chrono::milliseconds tickPeriod{50};
    // How long an event without a time waits for the calculator to sleep again.
    static constexpr std::chrono::milliseconds settleLimit{1000};

private:
    bool asleep() const;
    // Carries out one event; true when it pressed a key that the next tick releases.
    bool perform(const ScriptEvent& event, const RunOptions& options);

    std::string romPath_;
    std::string ramPath_;
    std::unique_ptr<Machine> machine_;
    std::unique_ptr<HeadlessHost> host_;  // heap-held for the same reason as the machine
    Keypad keypad_;
    bool usable_ = false;
    bool abandoned_ = false;  // the thread did not stop: machine and thread are its own
};

// "bmp" or "png" from the name's extension, in any case; empty for anything else.
std::string lcdPictureFormat(const std::string& path);

}  // namespace vantrel::headless
