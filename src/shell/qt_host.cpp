#include "shell/qt_host.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

namespace vantrel {

QtHost::QtHost(QObject* receiver, HostAnswers answers) : receiver_(receiver), answers_(std::move(answers)) {}

bool QtHost::onUiThread() const { return QThread::currentThread() == receiver_->thread(); }

bool QtHost::stopping() const {
    std::lock_guard lock(mutex_);
    return stopping_;
}

void QtHost::beginStop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    answered_.notify_all();
}

void QtHost::post(std::function<void()> work) {
    // Checked under the lock: after beginStop nothing new reaches the window, which
    // may then be destroyed.
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    QMetaObject::invokeMethod(receiver_, std::move(work), Qt::QueuedConnection);
}

int QtHost::blockingCall(std::function<int()> work) {
    if (onUiThread()) return stopping() ? 0 : work();
    auto call = std::make_shared<Call>();
    std::unique_lock lock(mutex_);
    if (stopping_) return 0;
    QMetaObject::invokeMethod(
        receiver_,
        [this, call, work = std::move(work)] {
            {
                std::lock_guard inner(mutex_);
                if (stopping_) return;  // the caller has gone with 0
            }
            const int result = work();
            {
                std::lock_guard inner(mutex_);
                call->done = true;
                call->result = result;
            }
            answered_.notify_all();
        },
        Qt::QueuedConnection);
    answered_.wait(lock, [&] { return call->done || stopping_; });
    return call->done ? call->result : 0;
}

void QtHost::repaintLcd() {
    if (answers_.repaintLcd) post(answers_.repaintLcd);
}

int QtHost::filePrompt(int kind, bool isError, const std::string& fileName, const std::string& reason) {
    if (!answers_.filePrompt) return 0;
    return blockingCall(
        [this, kind, isError, fileName, reason] { return answers_.filePrompt(kind, isError, fileName, reason); });
}

void QtHost::uploadHint(int code) {
    if (!answers_.uploadHint) return;
    blockingCall([this, code] {
        answers_.uploadHint(code);
        return 0;
    });
}

bool QtHost::askSaveName(std::string& name, bool backup) {
    if (!answers_.askSaveName) return false;
    // The dialog works on a copy: the caller's string is touched only after the answer.
    auto chosen = std::make_shared<std::string>(name);
    const int ok = blockingCall([this, chosen, backup] { return answers_.askSaveName(*chosen, backup) ? 1 : 0; });
    if (ok) name = *chosen;
    return ok != 0;
}

int QtHost::illegalOpcode(const IllegalOpcodeSnapshot& snapshot) {
    if (!answers_.illegalOpcode) return 0;
    // A copy, so that a dialog still open after the thread gave up reads nothing of it.
    auto registers = std::make_shared<CpuRegisters>(snapshot.registers);
    auto before = snapshot.bytesBefore;
    auto after = snapshot.bytesAfter;
    return blockingCall([this, registers, before, after] {
        const IllegalOpcodeSnapshot copy{*registers, before, after};
        return answers_.illegalOpcode(copy);
    });
}

void QtHost::postLinkActive(uint32_t value) {
    if (answers_.linkActive) post([this, value] { answers_.linkActive(value); });
}

void QtHost::postThreadEnded(int code) {
    if (answers_.threadEnded) post([this, code] { answers_.threadEnded(code); });
}

}  // namespace vantrel
