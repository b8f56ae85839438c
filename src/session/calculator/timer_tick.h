// The 50 ms timer's side of the request word: a queued key delivered as an interrupt
// with its code, interrupts while the link is busy, repaints for a running machine,
// and a halted machine left asleep otherwise.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

#include "session/keys/keypad.h"

namespace vantrel {

class Machine;

inline constexpr std::chrono::milliseconds timerPeriod{50};

// A key newly pressed for the calculator and the shifts it had pending then.
struct DeliveredKey {
    uint8_t code = 0;
    ShiftState shifts;
};

// Gives the key newly pressed for the calculator, if one was (not an auto-repeat).
std::optional<DeliveredKey> timerTick(Machine& m, Keypad& keypad);

}  // namespace vantrel
