#include "cpu/emulation_thread.h"

#include "cpu/run_cpu.h"
#include "hardware/machine.h"

namespace vantrel {

EmulationThread::EmulationThread(Machine& machine, std::function<void(int)> onExit)
    : machine_(machine), onExit_(std::move(onExit)), thread_([this] { routine(); }) {}

EmulationThread::~EmulationThread() {
    if (thread_.joinable()) stop();
}

void EmulationThread::routine() {
    machine_.control.waitForStart();
    const int code = runCpu(machine_);
    {
        std::lock_guard lock(mutex_);
        exitCode_ = code;
        finished_ = true;
    }
    cv_.notify_all();
    if (onExit_) onExit_(code);
}

bool EmulationThread::stop(std::chrono::milliseconds timeout) {
    if (!thread_.joinable()) return false;
    machine_.control.post(EmuRequest::Stop);
    machine_.control.resume();
    std::unique_lock lock(mutex_);
    if (!cv_.wait_for(lock, timeout, [&] { return finished_; })) {
        lock.unlock();
        thread_.detach();
        return false;
    }
    lock.unlock();
    thread_.join();
    return true;
}

bool EmulationThread::finished() const {
    std::lock_guard lock(mutex_);
    return finished_;
}

int EmulationThread::exitCode() const {
    std::lock_guard lock(mutex_);
    return exitCode_;
}

}  // namespace vantrel
