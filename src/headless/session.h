// One headless run of the calculator: the machine, its ROM and state file, and the
// emulation thread driven by a 50 ms tick in place of the window's timer.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "hardware/machine.h"

namespace vantrel {
class EmulationThread;
}

namespace vantrel::headless {

struct RunResult {
    bool stopped = false;  // the thread ended (by Stop, or by itself)
    int exitCode = 0;      // the loop's return value: 2 Stop, 5 Abort; 0 when not ended
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

    // Runs the emulation thread for the given time, ticking every 50 ms, then stops
    // it (at most 4000 ms). Ends early when the loop ends by itself or when
    // endEarly (set from a signal handler, say) becomes true.
    RunResult run(std::chrono::milliseconds duration, const std::atomic<bool>* endEarly = nullptr);

    // Writes the state file. Refused after a run whose thread did not stop, since
    // the machine then still belongs to that thread.
    bool save();

    // The machine, for what later runs grow (keys, uploads, LCD pictures). Not to be
    // touched after a run whose thread did not stop.
    Machine& machine() { return *machine_; }
    const std::string& romPath() const { return romPath_; }
    const std::string& ramPath() const { return ramPath_; }

    static constexpr std::chrono::milliseconds tickPeriod{50};

private:
    // What the window's timer does until the real timer logic drives the machine.
    void tick();

    std::string romPath_;
    std::string ramPath_;
    std::unique_ptr<Machine> machine_;
    bool usable_ = false;
    bool abandoned_ = false;  // the thread did not stop: machine and thread are its own
};

}  // namespace vantrel::headless
