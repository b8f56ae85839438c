// The window's side of the machine's host interface. The emulation thread's blocking
// calls run their dialogs on the user-interface thread and wait for the answer on a
// condition variable of their own, so that the window can stop the thread at any
// time: once stopping has begun, a waiting or new call answers 0 at once.
#pragma once

#include <QObject>
#include <QPointer>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "z80/cpu_registers.h"
#include "cpu/illegal_opcode.h"
#include "hardware/host_interface.h"

namespace vantrel {

// What the window answers; every function runs on the user-interface thread.
struct HostAnswers {
    std::function<int(int kind, bool isError, const std::string& fileName, const std::string& reason)> filePrompt;
    std::function<void(int code)> uploadHint;
    std::function<bool(std::string& name, bool backup)> askSaveName;
    std::function<int(const IllegalOpcodeSnapshot&)> illegalOpcode;
    std::function<void(uint32_t)> linkActive;
    std::function<void()> repaintLcd;
    std::function<void(int code)> threadEnded;
};

class QtHost : public HostInterface {
public:
    // receiver: the user-interface object that queued calls run on.
    QtHost(QObject* receiver, HostAnswers answers);

    void repaintLcd() override;
    int filePrompt(int kind, bool isError, const std::string& fileName, const std::string& reason) override;
    void uploadHint(int code) override;
    bool askSaveName(std::string& name, bool backup) override;
    int illegalOpcode(const IllegalOpcodeSnapshot& snapshot) override;
    void postLinkActive(uint32_t value) override;

    // From the emulation thread when the loop has returned.
    void postThreadEnded(int code);

    // From the user-interface thread before it stops the emulation thread: answers
    // every waiting call with 0 and makes every later call return 0 at once.
    void beginStop();
    bool stopping() const;

private:
    struct Call {
        bool done = false;
        int result = 0;
    };
    int blockingCall(std::function<int()> work);
    void post(std::function<void()> work);
    bool onUiThread() const;

    QObject* receiver_;
    HostAnswers answers_;
    mutable std::mutex mutex_;
    std::condition_variable answered_;
    bool stopping_ = false;
};

}  // namespace vantrel
