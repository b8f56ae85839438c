// The processor's instruction set as one table of 1280 handlers in five sub-tables of
// 256: main, CB, DD, ED, FD. The handler families here know instructions only; the
// machine they run on is a template parameter M, and the machine layer builds its
// one constant table from them.
//
// What M provides, found by argument-dependent lookup in M's namespace:
//   m.regs                       the CpuRegisters
//   fetchByte(m), fetchWord(m)   the next instruction bytes, advancing PC
//   jumpTo(m, address)           a transfer of control
//   restartAt(m, address)        a transfer into ROM page 0 whatever the bank (RST)
//   readByte(m, a), writeByte(m, a, v), readWord(m, a), writeWord(m, a, v)
//   pushWord(m, v), popWord(m)
//   portRead(m, port), portWrite(m, port, v)
//   requestPause(m)              HALT with interrupts enabled
//   dispatch(m, index)           runs the handler at a table index (the prefixes)
//   illegalOpcodeTrap(m)         a DDCB/FDCB final byte without an instruction
#pragma once

#include <array>
#include <cstddef>

#include "z80/cb_ops.h"
#include "z80/ed_ops.h"
#include "z80/index_ops.h"
#include "z80/main_ops.h"

namespace vantrel {

template <class M>
using HandlerTable = std::array<Handler<M>, instructionTableSize>;

// Fills every slot that holds an instruction; the others keep what the table was
// built with (the machine's trap).
template <class M, class Table>
constexpr void fillInstructionTable(Table& table) {
    fillMainTable<M>(table);
    fillCbTable<M>(table);
    fillIndexTables<M>(table);
    fillEdTable<M>(table);
}

}  // namespace vantrel
