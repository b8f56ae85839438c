// The loop's calls to the program around it, answered by the front end on its own
// thread while the emulation thread waits. Once the calculator begins to stop, a
// waiting or new call answers "nobody there" at once, so that the loop can reach its
// Stop even while the front end's thread is itself waiting for the loop to end.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "machine/host_interface.h"
#include "session/calculator/front_end.h"

namespace vantrel {

class LinkEngine;

class SessionHost : public HostInterface {
public:
    explicit SessionHost(FrontEnd& frontEnd);
    ~SessionHost() override;

    void repaintLcd() override;
    IllegalOpcodeAnswer illegalOpcode(const IllegalOpcodeSnapshot& snapshot) override;
    std::optional<std::string> askSaveName(bool backup) override;
    bool storeReceivedFile(const std::string& name, const std::vector<uint8_t>& bytes) override;
    void linkAborted() override;

    // The link whose incoming variable the save-name question names.
    void watchLink(const LinkEngine* link) { link_ = link; }

    // From the emulation thread when the loop has returned.
    void postLoopEnded(LoopEnd end);
    // Runs work on the front end's thread, later; dropped once the calculator stops.
    void postToFrontEnd(std::function<void()> work);

    // From the front end's thread before it stops the emulation thread: answers every
    // waiting call and makes every later call answer at once.
    void beginStop();
    // The calculator runs again after a stop (a new thread).
    void resumeAnswering();

private:
    // Shared with the work posted to the front end, which may run after this object
    // has gone (the front end then finds nobody to answer for).
    struct Shared {
        std::mutex mutex;
        std::condition_variable answered;
        bool stopping = false;
        FrontEnd* frontEnd = nullptr;
    };

    bool stopping() const;
    template <class T>
    T blockingCall(std::function<T(FrontEnd&)> work, T noAnswer);
    void post(std::function<void(FrontEnd&)> work);

    FrontEnd& frontEnd_;
    std::shared_ptr<Shared> shared_;
    const LinkEngine* link_ = nullptr;
};

}  // namespace vantrel
