// Machines for tests: programs placed in ROM or RAM, stepped one instruction at a time.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>

#include "machine/bus.h"
#include "machine/machine.h"
#include "machine/run_loop.h"

namespace vantrel::test {

inline std::unique_ptr<Machine> makeMachine() { return std::make_unique<Machine>(); }

// Copies bytes to a Z80 address: ROM addresses go to page 0 (or the current bank's
// page for 0x4000-0x7FFF), RAM addresses to RAM. Sets PC there.
inline void placeProgram(Machine& m, uint16_t address, std::initializer_list<uint8_t> bytes) {
    uint16_t at = address;
    for (uint8_t byte : bytes) {
        uint8_t* target = const_cast<uint8_t*>(m.mem.translateRead(at));
        *target = byte;
        at = static_cast<uint16_t>(at + 1);
    }
    jumpTo(m, address);
}

inline void step(Machine& m, int count = 1) {
    for (int i = 0; i < count; ++i) executeOne(m);
}

}  // namespace vantrel::test
