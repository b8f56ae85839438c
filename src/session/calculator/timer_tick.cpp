#include "session/calculator/timer_tick.h"

#include "machine/interrupts.h"
#include "machine/machine.h"
#include "session/keys/keypad.h"

namespace vantrel {

namespace {

// A repaint hint for a running machine. It never stands in for a pending Interrupt,
// Stop or Abort, and a machine that paused since the tick looked stays asleep.
void redrawRunningMachine(ThreadControl& control) {
    if (control.postUnlessBusy(code(EmuRequest::Redraw)) != code(EmuRequest::Pause))
        control.resume();
}

}  // namespace

std::optional<DeliveredKey> timerTick(Machine& m, Keypad& keypad) {
    if (const auto key = keypad.nextKeyCode()) {
        // Read before the interrupt: the calculator may clear its shift as it takes the key.
        const ShiftState shifts = keypad.shifts();
        latchAndInterrupt(m, *key);
        if (*key == 0 || keypad.repeating) return std::nullopt;
        return DeliveredKey{*key, shifts};
    }
    if (m.link.busy())
        requestInterrupt(m);
    else if (m.control.pendingCode() != code(EmuRequest::Pause))
        redrawRunningMachine(m.control);
    return std::nullopt;
}

}  // namespace vantrel
