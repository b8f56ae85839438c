// Steps one instruction that may start with a prefix byte. While the main sub-table
// has no prefix handler in a slot, the prefix is resolved here the way the prefix
// handler does it (fetch the second byte, call the sub-table entry); otherwise the
// machine's own executeOne runs it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "cpu/dispatch_table.h"
#include "cpu/illegal_opcode.h"
#include "cpu/memory_access.h"
#include "cpu/run_cpu.h"
#include "hardware/machine.h"

namespace vantrel::test {

inline std::size_t subTableOfPrefix(uint8_t prefix) {
    switch (prefix) {
    case 0xCB: return cbTableBase;
    case 0xDD: return ddTableBase;
    case 0xED: return edTableBase;
    case 0xFD: return fdTableBase;
    default: return mainTableBase;
    }
}

inline void stepInstruction(Machine& m, int count = 1) {
    for (int i = 0; i < count; ++i) {
        const uint8_t first = *m.fetchPointer;
        const std::size_t base = subTableOfPrefix(first);
        if (base == mainTableBase || dispatchTable[first] != illegalOpcodeTrap) {
            executeOne(m);
            continue;
        }
        fetchByte(m);
        const uint8_t second = fetchByte(m);
        dispatchTable[base + second](m);
    }
}

}  // namespace vantrel::test
