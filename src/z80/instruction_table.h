// The handler tables of both personalities, built from the one description of the
// instruction set: 1280 handlers in five sub-tables of 256 (main, CB, DD, ED, FD), one
// per slot with its operation and operands fixed. The handlers know instructions only;
// the machine they run on is a template parameter M, and the machine layer builds its
// constant tables from them.
//
// What M provides, found by argument-dependent lookup in M's namespace:
//   m.regs                       the CpuRegisters
//   m.chip                       the ChipState (the complete personality's extra state)
//   fetchByte(m), fetchWord(m)   the next instruction bytes, advancing PC
//   jumpTo(m, address)           a transfer of control
//   restartAt(m, address)        a transfer into ROM page 0 whatever the bank (RST)
//   readByte(m, a), writeByte(m, a, v), readWord(m, a), writeWord(m, a, v)
//   pushWord(m, v), popWord(m)   (this machine's word accesses; the chip's go by bytes)
//   portRead(m, port), portWrite(m, port, v)
//   requestPause(m)              HALT with interrupts enabled, on this machine
//   dispatch(m, personality, i)  runs the handler at a table index (the prefixes)
//   illegalOpcodeTrap(m)         a slot without an instruction on this machine
#pragma once

#include <array>
#include <cstddef>
#include <utility>

#include "z80/execute.h"
#include "z80/instruction_set.h"
#include "z80/personality.h"
#include "z80/table_layout.h"

namespace vantrel {

template <class M>
using HandlerTable = std::array<Handler<M>, instructionTableSize>;

namespace detail {

template <Personality P, std::size_t Slot, class M>
constexpr Handler<M> handlerFor() {
    constexpr OpcodeInfo in = instructionSet[Slot];
    // NOP and the self-loads share one handler on this machine.
    constexpr bool selfLoad = in.op == Operation::ld8 && in.first.arg == in.second.arg;
    if constexpr (P == Personality::classic && (in.op == Operation::nop || selfLoad))
        return nopHandler<M>;
    else
        return execute<P, in, M>;
}

template <Personality P, std::size_t Slot, class M, class Table>
constexpr void fillSlot(Table& table) {
    if constexpr (P == Personality::complete || instructionSet[Slot].classic)
        table[Slot] = handlerFor<P, Slot, M>();
}

// A sub-table at a time: compilers limit how many terms one fold may have.
template <Personality P, class M, std::size_t Base, class Table, std::size_t... Op>
constexpr void fillSubTable(Table& table, std::index_sequence<Op...>) {
    (fillSlot<P, Base + Op, M>(table), ...);
}

}  // namespace detail

// Fills every slot that holds an instruction on the personality, each exactly once; the
// others keep what the table was built with (the machine's trap). The complete chip
// has an instruction in every slot.
template <Personality P, class M, class Table>
constexpr void fillInstructionTable(Table& table) {
    constexpr auto ops = std::make_index_sequence<256>{};
    detail::fillSubTable<P, M, mainTableBase>(table, ops);
    detail::fillSubTable<P, M, cbTableBase>(table, ops);
    detail::fillSubTable<P, M, ddTableBase>(table, ops);
    detail::fillSubTable<P, M, edTableBase>(table, ops);
    detail::fillSubTable<P, M, fdTableBase>(table, ops);
}

}  // namespace vantrel
