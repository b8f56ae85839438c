// Interrupts that the user-interface side raises: with a latched key code, without
// one, and a key pressed by program past the keypad.
#pragma once

#include <cstdint>

namespace vantrel {

class Machine;

// The code goes into the latch before the request, so the loop never takes the
// interrupt with a stale code; then the loop is resumed.
void latchAndInterrupt(Machine& m, uint32_t code);

// An interrupt without a key.
void requestInterrupt(Machine& m);

// Press a calculator key by program: resume, wait for the loop to pause (at most the
// larger of waitMs and 100 ms), latch the code, request the interrupt, resume again.
void injectKey(Machine& m, uint32_t code, uint16_t waitMs);

}  // namespace vantrel
