#include "machine/hardware_loop.h"

#include <algorithm>
#include <chrono>
#include <optional>

#include "hardware/hardware_ports.h"
#include "machine/bus.h"
#include "machine/complete_z80.h"
#include "machine/hardware_io.h"
#include "machine/machine.h"

namespace vantrel {

namespace {

WallTime wallNow() { return std::chrono::steady_clock::now(); }

class HardwareLoop {
public:
    explicit HardwareLoop(Machine& m) : m_(m), control_(m.control), hw_(m.hardware) {}
    LoopEnd run();

private:
    std::optional<LoopEnd> serve(uint32_t word);
    bool paceFrame(uint64_t clock);
    void runEvents(uint64_t clock);
    void takeFrames(uint64_t clock);
    bool switchedOff() const;
    void sleepSwitchedOff();
    void restAtLimit(uint64_t clock);
    std::optional<LoopEnd> runWatched(uint64_t deadline);
    std::optional<LoopEnd> park(Supervisor& watch);
    std::optional<SpeedRatio> ratio() const {
        if (hw_.fastForward.load(std::memory_order_relaxed)) return std::nullopt;
        return speedRatio(hw_.speed.load(std::memory_order_relaxed));
    }
    void repaint() {
        m_.callHost([](HostInterface& h) { h.repaintLcd(); });
    }

    Machine& m_;
    ThreadControl& control_;
    HardwareModel& hw_;
    Pacer pacer_;
    SpeedMeter meter_;
    // The clock where the loop left it: another one after a rest was set from outside
    // (a restored state), and real speed starts afresh from there.
    uint64_t leftAt_ = 0;
    LcdFrame frame_;
};

LoopEnd HardwareLoop::run() {
    leftAt_ = m_.chip.clock();
    for (;;) {
        if (control_.emuRequest.load(std::memory_order_relaxed) != 0) {
            const uint32_t word = control_.emuRequest.exchange(0, std::memory_order_acq_rel);
            if (const auto end = serve(word)) return *end;
        }
        const uint64_t clock = m_.chip.clock();
        if (clock != leftAt_) {
            pacer_.reanchor();
            meter_.restart();
            leftAt_ = clock;
        }
        jumpTo(m_, m_.regs.pc);
        // A frame is taken when the wall clock has come to it.
        if (clock >= hw_.regs.nextFrame && !paceFrame(clock)) continue;
        runEvents(clock);
        const uint64_t limit = hw_.runLimit.load(std::memory_order_acquire);
        if (clock >= limit) {
            restAtLimit(clock);
            continue;
        }
        if (switchedOff()) {
            sleepSwitchedOff();
            continue;
        }
        uint64_t deadline = std::min({hw_.regs.nextPeriodic, hw_.regs.nextFrame, limit});
        if (const auto change = hw_.typing.nextChange()) deadline = std::min(deadline, *change);
        if (m_.supervisor) {
            if (const auto end = runWatched(deadline)) return *end;
        } else {
            runComplete(m_, deadline);
        }
        leftAt_ = m_.chip.clock();
    }
}

// As the classic loop serves the word, but that interrupts come from the hardware
// here: a posted Interrupt only repaints, and Pause is never needed.
std::optional<LoopEnd> HardwareLoop::serve(uint32_t word) {
    if (word & holdRequestBit) control_.honourHold(word & requestCodeMask);
    switch (word & requestCodeMask) {
        case code(EmuRequest::Stop):
            control_.loopEnded();
            return LoopEnd::stopped;
        case code(EmuRequest::Abort):
            control_.loopEnded();
            return LoopEnd::aborted;
        case code(EmuRequest::Redraw):
        case code(EmuRequest::Interrupt):
        case code(EmuRequest::InterruptAlias):
            repaint();
            break;
        default:
            break;
    }
    return std::nullopt;
}

// False when woken before the frame's wall time: the loop looks at its requests and
// comes back.
bool HardwareLoop::paceFrame(uint64_t clock) {
    const WallTime now = wallNow();
    if (const auto figure = meter_.sample(clock, now))
        hw_.speedReached.store(*figure, std::memory_order_relaxed);
    const std::optional<WallTime> until = pacer_.pace(clock, now, ratio());
    if (!until) return true;
    control_.restUntil(LoopState::paused, *until);
    return wallNow() >= *until;
}

// The hardware at this boundary: the divider's ticks, [ON] and the typed keys, the
// frames due, and the interrupt line they leave.
void HardwareLoop::runEvents(uint64_t clock) {
    StateRecord& state = m_.mem.state;
    HardwareRegisters& regs = hw_.regs;
    runPeriodicTimer(state, regs, clock);
    if (hw_.onPressed.load(std::memory_order_relaxed) &&
        hw_.onPressed.exchange(false, std::memory_order_acq_rel))
        pressOnKey(state, regs);
    if (hw_.typing.advance(clock, hw_.typedKeys)) pressOnKey(state, regs);
    if (clock >= regs.nextFrame) takeFrames(clock);
    updateHardwareInterruptLine(m_);
}

void HardwareLoop::takeFrames(uint64_t clock) {
    HardwareRegisters& regs = hw_.regs;
    const StateRecord& state = m_.mem.state;
    const uint64_t due = (clock - regs.nextFrame) / lcdFramePeriod + 1;
    frame_.lcdOn = lcdOn(state);
    frame_.contrast = state.port2Value & 0x1F;
    if (frame_.lcdOn)
        copyLcdMemory(state, regs.lcdBase, frame_.pixels);
    else
        frame_.pixels.fill(0);
    // Several are due only after the clock jumped (nothing ran meanwhile); the ring
    // keeps the last few anyway.
    bool tell = false;
    for (uint64_t k = due > lcdFrameRingSize ? due - lcdFrameRingSize : 0; k < due; ++k) {
        frame_.clock = regs.nextFrame + k * lcdFramePeriod;
        tell = hw_.frames.publish(frame_) || tell;
    }
    regs.nextFrame += due * lcdFramePeriod;
    if (tell) repaint();
}

// Halted with nothing but [ON] to wake it (the calculator switched off, or a halt
// with interrupts disabled, which nothing wakes), no typed key under way, and no run
// limit to reach.
bool HardwareLoop::switchedOff() const {
    if (!m_.chip.halted || hw_.runLimit.load(std::memory_order_acquire) != noRunLimit) return false;
    if (hw_.typing.busy() || !hw_.typedKeys.empty() ||
        hw_.onPressed.load(std::memory_order_acquire))
        return false;
    if (!m_.regs.interruptsEnabled()) return true;
    return !m_.chip.interruptLine && (m_.mem.state.port3Value & periodicInterruptBit) == 0;
}

// Sleeps on the host until woken ([ON], a typed key, a run limit, a request), then
// moves the clock on as far as the wall clock went at the speed set (at real speed
// when unlimited), never past a run limit set meanwhile; R advances with it.
void HardwareLoop::sleepSwitchedOff() {
    const uint64_t from = m_.chip.clock();
    const WallTime since = wallNow();
    control_.restUntil(LoopState::paused, std::nullopt);
    if (m_.chip.clock() != from || !m_.chip.halted) return;  // changed under a hold
    const uint64_t to =
        std::min({Pacer::clockAfter(from, since, wallNow(), ratio().value_or(SpeedRatio{})),
                  hw_.runLimit.load(std::memory_order_acquire), maximumStoredClock});
    if (to <= from) return;
    runComplete(m_, to);
    runEvents(m_.chip.clock());
    leftAt_ = m_.chip.clock();
}

void HardwareLoop::restAtLimit(uint64_t clock) {
    hw_.restingAt.store(clock + 1, std::memory_order_release);
    control_.haltEvent.pulse();
    control_.restUntil(LoopState::held, std::nullopt);
    hw_.restingAt.store(0, std::memory_order_release);
}

// One instruction (or interrupt) at a time, the supervisor asked around each, up to
// the deadline or a request. A halted processor sleeps to the deadline unwatched
// until an interrupt can wake it.
std::optional<LoopEnd> HardwareLoop::runWatched(uint64_t deadline) {
    ChipState& chip = m_.chip;
    while (chip.clock() < deadline) {
        if (control_.emuRequest.load(std::memory_order_relaxed) != 0) break;
        Supervisor* watch = m_.supervisor;
        if (!watch) break;
        if (chip.halted && !(chip.interruptLine && m_.regs.interruptsEnabled())) {
            runComplete(m_, deadline);
            continue;
        }
        if (!chip.halted && watch->stopBefore(m_)) {
            if (const auto end = park(*watch)) return end;
            continue;
        }
        stepComplete(m_);
        // Looked up again: a host call inside the instruction lets the loop be held.
        if (Supervisor* after = m_.supervisor; after && after->stopAfter(m_)) {
            if (const auto end = park(*after)) return end;
        }
    }
    return std::nullopt;
}

// Rests for the debugger; a Stop or Abort that ends the rest is served at once.
std::optional<LoopEnd> HardwareLoop::park(Supervisor& watch) {
    control_.markDebugStop();
    watch.stopped(m_);
    control_.parkForDebugger();
    jumpTo(m_, m_.regs.pc);
    if (endsLoop(control_.pendingCode()))
        return serve(control_.emuRequest.exchange(0, std::memory_order_acq_rel));
    return std::nullopt;
}

}  // namespace

LoopEnd runHardware(Machine& m) {
    updateHardwareInterruptLine(m);
    HardwareLoop loop(m);
    return loop.run();
}

}  // namespace vantrel
