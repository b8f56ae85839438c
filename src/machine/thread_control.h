// How the user-interface thread and the emulation thread meet.
//
// The request word is the only thing the loop looks at between instructions: one
// relaxed load, and an exchange only when it is non-zero. Everything else here (the
// wake token, the hold, the halt event) is paid for only when the loop pauses, is
// held, or calls the host. Where the loop is, and every move it makes with its cause:
// LoopState and loopTransitions below.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>

namespace vantrel {

// Codes of the request word. Posters replace what is pending: nothing is queued.
enum class EmuRequest : uint32_t {
    None = 0,
    Redraw = 1,
    Stop = 2,
    Pause = 3,
    Interrupt = 4,
    Abort = 5,
    InterruptAlias = 6,  // served like 4; nothing posts it
};

inline constexpr uint32_t code(EmuRequest request) { return static_cast<uint32_t>(request); }

// Stop and Abort end the loop, whatever comes after them.
inline constexpr bool endsLoop(uint32_t pending) {
    return pending == code(EmuRequest::Stop) || pending == code(EmuRequest::Abort);
}

// Bit 31 of the word asks the loop to stop at the next instruction boundary for a
// hold from outside; bit 30 asks it to look again at its supervisor (installed or
// removed meanwhile). Both are internal: posters keep them, request codes never use
// them.
inline constexpr uint32_t holdRequestBit = 0x80000000u;
inline constexpr uint32_t attentionBit = 0x40000000u;
inline constexpr uint32_t controlBits = holdRequestBit | attentionBit;
inline constexpr uint32_t requestCodeMask = ~controlBits;

// An in-process event with pulse semantics: a pulse wakes the threads waiting at
// that moment and leaves the event unsignalled.
class HaltEvent {
public:
    void pulse();
    // True when a pulse ended the wait, false when the time ran out.
    bool waitFor(std::chrono::milliseconds timeout);
    // The same, counting every pulse after pulseCount() returned seen: a waiter that
    // takes the count before it wakes the loop cannot miss a quick pause.
    bool waitForPulseAfter(uint64_t seen, std::chrono::milliseconds timeout);
    uint64_t pulseCount() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    uint64_t generation_ = 0;
};

// Where the emulation loop is. The wake token (resume), the holds (hold, release), the
// debugger's stop and a call to the host are what move it; loopTransitions lists every
// move with its cause, and ThreadControl makes no other (checked in debug builds).
enum class LoopState {
    notStarted,  // created; waits for its first wake token
    running,     // runs instructions, looking at the request word between them
    paused,      // took Pause (HALT with interrupts enabled); sleeps until a wake token
    held,        // rests at an instruction boundary while a hold or the debugger's stop lasts
    inHostCall,  // blocked in a call to the host, where a hold is granted at once
    ended,       // served Stop or Abort; touches nothing of the control any more
};

struct LoopTransition {
    LoopState from;
    LoopState to;
    const char* cause;
};

// Rests (paused, held) end only when nothing asks the loop to rest: no hold, and no
// debugger's stop unless a Stop or Abort is pending, which ends that stop.
inline constexpr LoopTransition loopTransitions[] = {
    // The loop on its emulation thread.
    {LoopState::notStarted, LoopState::running, "the first wake token, and no rest asked"},
    {LoopState::ended, LoopState::running, "a new thread's first wake token, no rest asked"},
    {LoopState::running, LoopState::paused,
     "Pause taken from the request word and not replaced since; a token given before is "
     "dropped"},
    {LoopState::paused, LoopState::running, "a wake token, and no rest asked"},
    {LoopState::running, LoopState::held,
     "the hold bit seen in the request word, or the supervisor's stop for the debugger"},
    {LoopState::held, LoopState::running, "no rest asked any more"},
    {LoopState::running, LoopState::inHostCall, "a blocking call to the host"},
    {LoopState::inHostCall, LoopState::running, "the call returned, and no rest asked"},
    {LoopState::running, LoopState::ended, "Stop or Abort served"},
    // The hardware model's loop (restUntil).
    {LoopState::running, LoopState::paused,
     "the hardware loop waits for the wall clock (real speed) or, switched off, for [ON]"},
    {LoopState::paused, LoopState::running,
     "the wall clock's time came, a wake token, or a hold taken meanwhile ended; no rest asked"},
    {LoopState::running, LoopState::held, "the hardware loop reached its run limit"},
    {LoopState::held, LoopState::running,
     "the run limit rest woken by a wake token or an ended hold; no rest asked"},
    // A machine driven without the thread (tools and tests step it, or run the loop on
    // their own thread): it stays as it was, but for what that loop does.
    {LoopState::notStarted, LoopState::inHostCall, "a host call"},
    {LoopState::inHostCall, LoopState::notStarted, "the call returned"},
    {LoopState::ended, LoopState::inHostCall, "a host call"},
    {LoopState::inHostCall, LoopState::ended, "the call returned"},
    {LoopState::notStarted, LoopState::paused, "the loop took Pause"},
    {LoopState::notStarted, LoopState::held, "the loop saw the hold bit"},
    {LoopState::notStarted, LoopState::ended, "the loop served Stop or Abort"},
    {LoopState::ended, LoopState::paused, "the loop, run again, took Pause"},
    {LoopState::ended, LoopState::held, "the loop, run again, saw the hold bit"},
    {LoopState::ended, LoopState::ended, "the loop, run again, served Stop or Abort"},
};

constexpr bool loopTransitionAllowed(LoopState from, LoopState to) {
    for (const LoopTransition& t : loopTransitions)
        if (t.from == from && t.to == to) return true;
    return false;
}

class ThreadControl {
public:
    std::atomic<uint32_t> emuRequest{0};
    HaltEvent haltEvent;

    // --- any thread ---------------------------------------------------------
    // Store a request code, replacing a pending one (the hold bit survives). Two
    // requests are never replaced, because losing them leaves the machine wrong:
    // Stop and Abort end the loop whatever comes after them, and HALT's Pause leaves
    // a pending Interrupt in place (the processor takes a pending interrupt at once
    // instead of halting).
    void post(uint32_t code);
    void post(EmuRequest request) { post(code(request)); }
    // Store a request code only when the word is empty or holds a Redraw, which the
    // new request makes redundant. Returns the code pending afterwards: the one
    // stored, or the one that kept its place.
    uint32_t postUnlessBusy(uint32_t code);
    // The code part of the word, as a plain read.
    uint32_t pendingCode() const {
        return emuRequest.load(std::memory_order_acquire) & requestCodeMask;
    }
    // Give the loop one wake token; tokens do not add up beyond one. A token given
    // while the loop pauses (after it took Pause, before it sleeps) is kept, so that
    // wake is never lost; one given to a running loop has no effect.
    void resume();

    // Block until the loop rests at an instruction boundary (or is paused, not
    // started, ended, or blocked in a host call), and keep it there until release().
    // Neither uses up nor adds a wake token. Holds nest: the loop goes on once every
    // hold has been released.
    void hold();
    void release();

    // The debugger's stop: like a hold that outlives the call, taken from outside
    // (stopForDebugger, which waits as hold() does) or by the loop itself
    // (markDebugStop, then parkForDebugger). A Stop or Abort posted meanwhile ends it,
    // so that closing never waits on a stopped calculator; holds do not.
    void stopForDebugger();
    void markDebugStop();
    void endDebugStop();
    bool debugStopped() const;
    // Ask the loop to look at its supervisor again at the next instruction boundary.
    void callAttention() { emuRequest.fetch_or(attentionBit, std::memory_order_acq_rel); }

    LoopState state() const;

    // --- emulation thread ---------------------------------------------------
    void waitForStart();  // before the first instruction
    // The loop took Pause from the word: a token given while it ran is stale (the
    // timer resumes a busy loop at every tick) and would wake it at once, one
    // instruction too early for the next key.
    void dropWakeToken();
    // The Pause request, after the loop re-posted Pause: sleeps until a token comes,
    // unless a request has replaced the Pause meanwhile (its resume may have been
    // dropped; the loop serves it without sleeping).
    void suspendSelf();
    // The loop saw the hold bit; taken: the request it took from the word with it.
    void honourHold(uint32_t taken = 0);
    // The loop rests at an instruction boundary until the debugger's stop ends (after
    // markDebugStop).
    void parkForDebugger();
    void enterHostCall();  // a blocking call to the window begins
    void leaveHostCall();  // ... and ends; waits out a hold taken meanwhile
    void loopEnded();
    // The hardware loop's rests, as `rest` (paused: waiting for the wall clock or for
    // [ON]; held: at the run limit) until the deadline passes (none: no deadline), a
    // wake token comes (the token is used up), a hold or debugger's stop taken
    // meanwhile has ended, or Stop or Abort is pending; never while a rest is asked.
    void restUntil(LoopState rest, std::optional<std::chrono::steady_clock::time_point> deadline);

    // Re-post Pause without overwriting a request that arrived after the loop took
    // the word: the Interrupt of a key injected in that window is kept. A Redraw is
    // replaced, since the pause has just asked for the repaint itself.
    void repostPause();

private:
    // Whether the loop must keep resting; under mutex_.
    bool mustRest(uint32_t taken = 0) const;
    // The one place the state changes; under mutex_.
    void moveTo(LoopState next);

    bool wakeToken_ = false;  // guarded by mutex_
    int holds_ = 0;
    uint64_t restsAsked_ = 0;  // holds and debugger's stops taken so far
    bool debugStop_ = false;
    LoopState state_ = LoopState::notStarted;
    LoopState stateBeforeHostCall_ = LoopState::notStarted;
    mutable std::mutex mutex_;
    std::condition_variable cv_;
};

// Scoped hold: the loop rests while the guard lives.
class HoldGuard {
public:
    explicit HoldGuard(ThreadControl& control) : control_(control) { control_.hold(); }
    ~HoldGuard() { control_.release(); }
    HoldGuard(const HoldGuard&) = delete;
    HoldGuard& operator=(const HoldGuard&) = delete;

private:
    ThreadControl& control_;
};

}  // namespace vantrel
