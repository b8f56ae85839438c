#include "cpu/emulation_thread.h"

#include "cpu/run_cpu.h"
#include "hardware/machine.h"

namespace vantrel {

EmulationThread::EmulationThread(Machine& machine, std::function<void(int)> onExit)
    : machine_(machine),
      completion_(std::make_shared<Completion>()),
      thread_(routine, std::ref(machine), completion_, std::move(onExit)) {}

EmulationThread::~EmulationThread() {
    if (thread_.joinable()) stop();
}

void EmulationThread::routine(Machine& machine, std::shared_ptr<Completion> completion,
                              std::function<void(int)> onExit) {
    machine.control.waitForStart();
    const int code = runCpu(machine);
    {
        std::lock_guard lock(completion->mutex);
        completion->exitCode = code;
        completion->finished = true;
    }
    completion->cv.notify_all();
    if (onExit) onExit(code);
}

bool EmulationThread::stop(std::chrono::milliseconds timeout) {
    if (!thread_.joinable()) return false;
    machine_.control.post(EmuRequest::Stop);
    machine_.control.resume();
    std::unique_lock lock(completion_->mutex);
    if (!completion_->cv.wait_for(lock, timeout, [&] { return completion_->finished; })) {
        lock.unlock();
        thread_.detach();
        return false;
    }
    lock.unlock();
    thread_.join();
    return true;
}

bool EmulationThread::finished() const {
    std::lock_guard lock(completion_->mutex);
    return completion_->finished;
}

int EmulationThread::exitCode() const {
    std::lock_guard lock(completion_->mutex);
    return completion_->exitCode;
}

}  // namespace vantrel
