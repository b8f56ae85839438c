#include "session/calculator/session_host.h"

#include <thread>

#include "link/link_engine.h"
#include "machine/host_interface.h"
#include "session/link/received_file.h"
#include "z80/cpu_registers.h"

namespace vantrel {

void FrontEnd::sleepFor(std::chrono::milliseconds duration) {
    std::this_thread::sleep_for(duration);
}

SessionHost::SessionHost(FrontEnd& frontEnd)
    : frontEnd_(frontEnd), shared_(std::make_shared<Shared>()) {
    shared_->frontEnd = &frontEnd;
}

SessionHost::~SessionHost() {
    {
        std::lock_guard lock(shared_->mutex);
        shared_->stopping = true;
        shared_->frontEnd = nullptr;
    }
    shared_->answered.notify_all();
}

void SessionHost::beginStop() {
    {
        std::lock_guard lock(shared_->mutex);
        shared_->stopping = true;
    }
    shared_->answered.notify_all();
}

void SessionHost::resumeAnswering() {
    std::lock_guard lock(shared_->mutex);
    shared_->stopping = false;
}

bool SessionHost::stopping() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->stopping;
}

void SessionHost::post(std::function<void(FrontEnd&)> work) {
    if (stopping()) return;
    // The work finds the front end through the shared state, which forgets it when
    // this object goes: a front end whose queue outlives us runs nothing of ours.
    frontEnd_.post([shared = shared_, work = std::move(work)] {
        FrontEnd* frontEnd = nullptr;
        {
            std::lock_guard inner(shared->mutex);
            frontEnd = shared->frontEnd;
        }
        if (frontEnd) work(*frontEnd);
    });
}

template <class T>
T SessionHost::blockingCall(std::function<T(FrontEnd&)> work, T noAnswer) {
    if (stopping()) return noAnswer;
    if (frontEnd_.onOwnThread()) return work(frontEnd_);

    struct Call {
        bool done = false;
        std::optional<T> result;
    };
    auto call = std::make_shared<Call>();
    frontEnd_.post([shared = shared_, call, work = std::move(work)] {
        FrontEnd* frontEnd = nullptr;
        {
            std::lock_guard inner(shared->mutex);
            if (shared->stopping) return;  // the caller has gone with no answer
            frontEnd = shared->frontEnd;
        }
        T result = work(*frontEnd);
        {
            std::lock_guard inner(shared->mutex);
            call->done = true;
            call->result = std::move(result);
        }
        shared->answered.notify_all();
    });
    std::unique_lock lock(shared_->mutex);
    shared_->answered.wait(lock, [&] { return call->done || shared_->stopping; });
    return call->done ? std::move(*call->result) : noAnswer;
}

void SessionHost::repaintLcd() {
    post([](FrontEnd& f) { f.repaintLcd(); });
}

void SessionHost::postToFrontEnd(std::function<void()> work) {
    post([work = std::move(work)](FrontEnd&) { work(); });
}

void SessionHost::postLoopEnded(LoopEnd end) {
    // Also after beginStop: the front end learns how the loop ended.
    frontEnd_.post([shared = shared_, end] {
        FrontEnd* frontEnd = nullptr;
        {
            std::lock_guard inner(shared->mutex);
            frontEnd = shared->frontEnd;
        }
        if (frontEnd) frontEnd->loopEnded(end);
    });
}

IllegalOpcodeAnswer SessionHost::illegalOpcode(const IllegalOpcodeSnapshot& snapshot) {
    // A copy, so that a dialog still open after the loop gave up reads nothing of it.
    auto registers = std::make_shared<CpuRegisters>(snapshot.registers);
    const auto before = snapshot.bytesBefore;
    const auto after = snapshot.bytesAfter;
    return blockingCall<IllegalOpcodeAnswer>(
        [registers, before, after](FrontEnd& f) {
            return f.illegalOpcode(IllegalOpcodeSnapshot{*registers, before, after});
        },
        IllegalOpcodeAnswer::stop);
}

std::optional<std::string> SessionHost::askSaveName(bool backup) {
    // Asked by the link from inside its handling of the header, on this thread.
    const std::string first = link_ ? link_->incomingVariableName() : std::string();
    return blockingCall<std::optional<std::string>>(
        [backup, first](FrontEnd& f) { return f.askReceivedFileName(backup, first); },
        std::nullopt);
}

bool SessionHost::storeReceivedFile(const std::string& name, const std::vector<uint8_t>& bytes) {
    return vantrel::storeReceivedFile(
        name, bytes, [this, &name](FilePrompt kind, const std::string& reason) {
            return blockingCall<bool>(
                [kind, name, reason](FrontEnd& f) { return f.filePrompt(kind, name, reason); },
                false);
        });
}

void SessionHost::linkAborted() {
    post([](FrontEnd& f) { f.linkHint(LinkHint::aborted); });
}

}  // namespace vantrel
