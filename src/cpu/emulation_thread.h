// The emulation thread: created waiting for its first resume, runs runCpu once,
// and keeps the code that ended the loop.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace vantrel {

struct Machine;

class EmulationThread {
public:
    // onExit runs on the emulation thread after the loop returned, with its code.
    explicit EmulationThread(Machine& machine, std::function<void(int)> onExit = {});
    ~EmulationThread();
    EmulationThread(const EmulationThread&) = delete;
    EmulationThread& operator=(const EmulationThread&) = delete;

    // Post Stop, resume, and wait at most the timeout. True when the thread ended;
    // false when it did not (it is then left to itself and the machine must not be
    // touched again) or had already been stopped.
    bool stop(std::chrono::milliseconds timeout = std::chrono::milliseconds(4000));

    bool finished() const;
    // The loop's return value: 2 (Stop) or 5 (Abort); 0 while it runs.
    int exitCode() const;

private:
    // What the thread reports back. Shared with the thread itself, so that a thread
    // left to itself after a timed-out stop never writes into a destroyed object.
    struct Completion {
        std::mutex mutex;
        std::condition_variable cv;
        bool finished = false;
        int exitCode = 0;
    };

    static void routine(Machine& machine, std::shared_ptr<Completion> completion,
                        std::function<void(int)> onExit);

    Machine& machine_;
    std::shared_ptr<Completion> completion_;
    std::thread thread_;
};

}  // namespace vantrel
