#include "machine/thread_control.h"

#include <cassert>

namespace vantrel {

void HaltEvent::pulse() {
    {
        std::lock_guard lock(mutex_);
        ++generation_;
    }
    cv_.notify_all();
}

bool HaltEvent::waitFor(std::chrono::milliseconds timeout) {
    return waitForPulseAfter(pulseCount(), timeout);
}

bool HaltEvent::waitForPulseAfter(uint64_t seen, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, timeout, [&] { return generation_ != seen; });
}

uint64_t HaltEvent::pulseCount() const {
    std::lock_guard lock(mutex_);
    return generation_;
}

namespace {

bool isInterrupt(uint32_t pending) {
    return pending == code(EmuRequest::Interrupt) || pending == code(EmuRequest::InterruptAlias);
}

}  // namespace

void ThreadControl::post(uint32_t code) {
    uint32_t old = emuRequest.load(std::memory_order_relaxed);
    for (;;) {
        const uint32_t pending = old & requestCodeMask;
        if (endsLoop(pending)) return;
        if (code == vantrel::code(EmuRequest::Pause) && isInterrupt(pending)) return;
        if (emuRequest.compare_exchange_weak(old, (old & controlBits) | code,
                                             std::memory_order_acq_rel))
            return;
    }
}

uint32_t ThreadControl::postUnlessBusy(uint32_t code) {
    uint32_t old = emuRequest.load(std::memory_order_relaxed);
    for (;;) {
        const uint32_t pending = old & requestCodeMask;
        if (pending != 0 && pending != vantrel::code(EmuRequest::Redraw)) return pending;
        if (emuRequest.compare_exchange_weak(old, (old & controlBits) | code,
                                             std::memory_order_acq_rel))
            return code;
    }
}

void ThreadControl::repostPause() { postUnlessBusy(code(EmuRequest::Pause)); }

void ThreadControl::resume() {
    {
        std::lock_guard lock(mutex_);
        wakeToken_ = true;
    }
    cv_.notify_all();
}

void ThreadControl::moveTo(LoopState next) {
    assert(loopTransitionAllowed(state_, next));
    state_ = next;
}

bool ThreadControl::mustRest(uint32_t taken) const {
    // A Stop or Abort ends the debugger's rest, whether still in the word or already
    // taken from it together with a leftover hold bit.
    return holds_ > 0 || (debugStop_ && !endsLoop(pendingCode()) && !endsLoop(taken));
}

void ThreadControl::hold() {
    std::unique_lock lock(mutex_);
    ++holds_;
    ++restsAsked_;
    if (state_ != LoopState::running) return;
    emuRequest.fetch_or(holdRequestBit, std::memory_order_acq_rel);
    cv_.wait(lock, [&] { return state_ != LoopState::running; });
}

void ThreadControl::release() {
    {
        std::lock_guard lock(mutex_);
        if (holds_ > 0) --holds_;
    }
    cv_.notify_all();
}

void ThreadControl::stopForDebugger() {
    std::unique_lock lock(mutex_);
    debugStop_ = true;
    ++restsAsked_;
    if (state_ != LoopState::running) return;
    emuRequest.fetch_or(holdRequestBit, std::memory_order_acq_rel);
    cv_.wait(lock, [&] { return state_ != LoopState::running; });
}

void ThreadControl::markDebugStop() {
    std::lock_guard lock(mutex_);
    debugStop_ = true;
}

void ThreadControl::endDebugStop() {
    {
        std::lock_guard lock(mutex_);
        debugStop_ = false;
    }
    cv_.notify_all();
}

bool ThreadControl::debugStopped() const {
    std::lock_guard lock(mutex_);
    return debugStop_;
}

LoopState ThreadControl::state() const {
    std::lock_guard lock(mutex_);
    return state_;
}

void ThreadControl::waitForStart() {
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [&] { return wakeToken_ && !mustRest(); });
    wakeToken_ = false;
    moveTo(LoopState::running);
}

void ThreadControl::dropWakeToken() {
    std::lock_guard lock(mutex_);
    wakeToken_ = false;
}

void ThreadControl::suspendSelf() {
    std::unique_lock lock(mutex_);
    if (pendingCode() != code(EmuRequest::Pause)) return;
    moveTo(LoopState::paused);
    cv_.notify_all();
    cv_.wait(lock, [&] { return wakeToken_ && !mustRest(); });
    wakeToken_ = false;
    moveTo(LoopState::running);
}

void ThreadControl::honourHold(uint32_t taken) {
    std::unique_lock lock(mutex_);
    if (!mustRest(taken)) return;
    moveTo(LoopState::held);
    cv_.notify_all();
    cv_.wait(lock, [&] { return !mustRest(taken); });
    moveTo(LoopState::running);
}

void ThreadControl::parkForDebugger() { honourHold(); }

void ThreadControl::enterHostCall() {
    std::lock_guard lock(mutex_);
    stateBeforeHostCall_ = state_;
    moveTo(LoopState::inHostCall);
    cv_.notify_all();
}

void ThreadControl::leaveHostCall() {
    std::unique_lock lock(mutex_);
    // Only a running loop has to wait out a hold taken meanwhile; a machine driven
    // without its loop (tools, fuzzers) goes back to the state it was in.
    if (stateBeforeHostCall_ == LoopState::running) cv_.wait(lock, [&] { return !mustRest(); });
    moveTo(stateBeforeHostCall_);
}

void ThreadControl::restUntil(LoopState rest,
                              std::optional<std::chrono::steady_clock::time_point> deadline) {
    std::unique_lock lock(mutex_);
    const uint64_t asked = restsAsked_;
    moveTo(rest);
    cv_.notify_all();
    const auto due = [&] { return deadline && std::chrono::steady_clock::now() >= *deadline; };
    while (mustRest() ||
           !(wakeToken_ || restsAsked_ != asked || endsLoop(pendingCode()) || due())) {
        if (deadline && !mustRest())
            cv_.wait_until(lock, *deadline);
        else
            cv_.wait(lock);
    }
    wakeToken_ = false;
    moveTo(LoopState::running);
}

// Notified under the lock: once a waiter sees "ended" the loop touches nothing of
// the control any more, even if the waiter goes on to destroy the machine.
void ThreadControl::loopEnded() {
    std::lock_guard lock(mutex_);
    moveTo(LoopState::ended);
    cv_.notify_all();
}

}  // namespace vantrel
