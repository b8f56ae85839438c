#include "headless/session.h"

#include <thread>

#include "cpu/emulation_thread.h"
#include "hardware/ports.h"
#include "hardware/rom_state.h"

namespace vantrel::headless {

Session::Session(std::string romPath, std::string ramPath)
    : romPath_(std::move(romPath)), ramPath_(std::move(ramPath)), machine_(std::make_unique<Machine>()) {}

Session::~Session() {
    // A thread that would not stop may still run on the machine; it must outlive us.
    if (abandoned_) (void)machine_.release();
}

int Session::load(bool testRomVersion) {
    const int result = loadRomImage(*machine_, romPath_);
    usable_ = result == romLoaded || (result == romWrongVersion && !testRomVersion);
    if (usable_) loadStateFile(*machine_, ramPath_);
    return result;
}

void Session::tick() {
    machine_->keyLatch.store(0);
    machine_->control.post(EmuRequest::Interrupt);
    machine_->control.resume();
}

RunResult Session::run(std::chrono::milliseconds duration, const std::atomic<bool>* endEarly) {
    RunResult result;
    if (!usable_ || abandoned_) return result;

    // Heap-held so that a thread that does not stop can be left running safely.
    auto thread = std::make_unique<EmulationThread>(*machine_);
    const auto start = std::chrono::steady_clock::now();
    auto next = start;
    while (!thread->finished() && !(endEarly && endEarly->load())) {
        tick();  // the first tick starts the thread, as the window's first timer tick does
        next += tickPeriod;
        if (next - start > duration) break;
        std::this_thread::sleep_until(next);
    }

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

bool Session::save() {
    if (!usable_ || abandoned_) return false;
    return saveStateFile(*machine_, ramPath_);
}

}  // namespace vantrel::headless
