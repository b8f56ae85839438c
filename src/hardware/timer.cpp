#include "hardware/timer.h"

#include <algorithm>
#include <chrono>

#include "hardware/keypad.h"
#include "hardware/machine.h"

namespace vantrel {

namespace {

// The minimum time injectKey gives the calculator to reach its next HALT.
constexpr uint16_t minimumInjectWaitMs = 100;

// The code goes into the latch before the request, so the loop never takes the
// interrupt with a stale code.
void latchAndInterrupt(Machine& m, uint32_t code) {
    m.keyLatch.exchange(code & 0xFF, std::memory_order_acq_rel);
    m.control.post(EmuRequest::Interrupt);
    m.control.resume();
}

// A repaint hint for a running machine. It never stands in for a pending Interrupt,
// Stop or Abort, and a machine that paused since the tick looked stays asleep.
void redrawRunningMachine(ThreadControl& control) {
    if (control.postUnlessBusy(code(EmuRequest::Redraw)) != code(EmuRequest::Pause)) control.resume();
}

}  // namespace

void timerTick(Machine& m, Keypad& keypad) {
    if (const auto key = keypad.nextKeyCode()) {
        latchAndInterrupt(m, *key);
        return;
    }
    if (m.linkActive.load(std::memory_order_relaxed) != 0) {
        requestInterrupt(m);
        return;
    }
    if (m.control.pendingCode() == code(EmuRequest::Pause)) return;
    redrawRunningMachine(m.control);
}

void requestInterrupt(Machine& m) { latchAndInterrupt(m, 0); }

void injectKey(Machine& m, uint32_t code, uint16_t waitMs) {
    // Count pulses from before the resumption: a paused loop runs one instruction and
    // may pause again before this thread starts to wait.
    const uint64_t seen = m.control.haltEvent.pulseCount();
    m.control.resume();
    const auto wait = std::chrono::milliseconds(std::max(waitMs, minimumInjectWaitMs));
    m.control.haltEvent.waitForPulseAfter(seen, wait);
    latchAndInterrupt(m, code);
}

}  // namespace vantrel
