// Why and where the calculator stopped for the debugger.
#pragma once

#include <cstdint>
#include <optional>

#include "debugger/address_range.h"

namespace vantrel {

enum class StopReason : uint8_t {
    none,                // it has not stopped yet
    breakIn,             // the user's Break
    step,                // a step ended
    breakpoint,          // an address breakpoint
    runToCursor,         // the address of Run to Cursor
    writeBreakpoint,     // the instruction at PC is about to write a watched range
    illegalInstruction,  // the instruction at PC would reach the illegal-opcode trap
};

struct StopInfo {
    StopReason reason = StopReason::none;
    uint16_t pc = 0;                      // where it stopped: the next instruction
    std::optional<AddressRange> written;  // for a write breakpoint, what would be written

    bool operator==(const StopInfo&) const = default;
};

}  // namespace vantrel
