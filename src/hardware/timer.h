// The 50 ms timer's side of the request word: repaints for a running machine,
// interrupts with a latched key code, interrupts while the link is busy, and a halted
// machine left asleep otherwise.
#pragma once

#include <cstdint>

namespace vantrel {

struct Machine;
class Keypad;

inline constexpr int timerPeriodMs = 50;

void timerTick(Machine& m, Keypad& keypad);

// An interrupt without a key.
void requestInterrupt(Machine& m);

// Press a calculator key by program: resume, wait for the loop to pause (at most the
// larger of waitMs and 100 ms), latch the code, request the interrupt, resume again.
void injectKey(Machine& m, uint32_t code, uint16_t waitMs);

}  // namespace vantrel
