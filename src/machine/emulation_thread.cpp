#include "machine/emulation_thread.h"

#include "machine/hardware_loop.h"
#include "machine/machine.h"
#include "machine/run_loop.h"

namespace vantrel {

EmulationThread::EmulationThread(Machine& machine, std::function<void(LoopEnd)> onExit)
    : machine_(machine),
      completion_(std::make_shared<Completion>()),
      thread_(routine, std::ref(machine), completion_, std::move(onExit)) {}

EmulationThread::~EmulationThread() {
    if (thread_.joinable()) stop();
}

void EmulationThread::routine(Machine& machine, std::shared_ptr<Completion> completion,
                              std::function<void(LoopEnd)> onExit) {
    machine.control.waitForStart();
    const LoopEnd end =
        machine.model == MachineModel::hardware ? runHardware(machine) : runCpu(machine);
    {
        std::lock_guard lock(completion->mutex);
        completion->loopEnd = end;
        completion->finished = true;
    }
    completion->cv.notify_all();
    if (onExit) onExit(end);
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

std::optional<LoopEnd> EmulationThread::loopEnd() const {
    std::lock_guard lock(completion_->mutex);
    if (!completion_->finished) return std::nullopt;
    return completion_->loopEnd;
}

}  // namespace vantrel
