// Placeholder: the timer logic lands with the keypad work.
#include "hardware/timer.h"

#include "hardware/keypad.h"
#include "hardware/machine.h"

namespace vantrel {

void timerTick(Machine& m, Keypad&) {
    m.control.post(EmuRequest::Redraw);
    m.control.resume();
}

void requestInterrupt(Machine& m) {
    m.keyLatch.exchange(0);
    m.control.post(EmuRequest::Interrupt);
    m.control.resume();
}

void injectKey(Machine& m, uint32_t code, uint16_t) {
    m.keyLatch.exchange(code & 0xFF);
    m.control.post(EmuRequest::Interrupt);
    m.control.resume();
}

}  // namespace vantrel
