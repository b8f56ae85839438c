// The 50 ms timer's side of the request word: a queued key delivered as an interrupt
// with its code, interrupts while the link is busy, repaints for a running machine,
// and a halted machine left asleep otherwise.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

namespace vantrel {

class Machine;
class Keypad;

inline constexpr std::chrono::milliseconds timerPeriod{50};

// Gives the key newly pressed for the calculator, if one was (not an auto-repeat).
std::optional<uint8_t> timerTick(Machine& m, Keypad& keypad);

}  // namespace vantrel
