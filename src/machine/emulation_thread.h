// The emulation thread: created waiting for its first resume, runs the loop of the
// machine's model once (runCpu, or runHardware), and keeps the code that ended it.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "machine/loop_end.h"

namespace vantrel {

class Machine;

class EmulationThread {
public:
    // onExit runs on the emulation thread after the loop returned, with how it ended.
    explicit EmulationThread(Machine& machine, std::function<void(LoopEnd)> onExit = {});
    ~EmulationThread();
    EmulationThread(const EmulationThread&) = delete;
    EmulationThread& operator=(const EmulationThread&) = delete;

    // Post Stop, resume, and wait at most the timeout. True when the thread ended;
    // false when it did not (it is then left to itself and the machine must not be
    // touched again) or had already been stopped.
    bool stop(std::chrono::milliseconds timeout = stopTimeout);

    bool finished() const;
    // How the loop ended; nothing while it runs.
    std::optional<LoopEnd> loopEnd() const;

    // How long the program waits for the loop to serve its Stop.
    static constexpr std::chrono::milliseconds stopTimeout{4000};

private:
    // What the thread reports back. Shared with the thread itself, so that a thread
    // left to itself after a timed-out stop never writes into a destroyed object.
    struct Completion {
        std::mutex mutex;
        std::condition_variable cv;
        bool finished = false;
        LoopEnd loopEnd = LoopEnd::stopped;
    };

    static void routine(Machine& machine, std::shared_ptr<Completion> completion,
                        std::function<void(LoopEnd)> onExit);

    Machine& machine_;
    std::shared_ptr<Completion> completion_;
    std::thread thread_;
};

}  // namespace vantrel
