// CB-prefixed rotates, shifts, BIT, RES and SET.
//
// One handler per opcode with its operand and bit number fixed. The (HL) forms read
// through the read translation and write back through the write translation, so a
// result aimed below 0x8000 is lost while F is still set from it. The eight SLL slots
// (CB 30-37) keep the illegal-opcode trap.
#pragma once

#include <cstddef>
#include <utility>

#include "z80/bit_ops.h"
#include "z80/operands.h"
#include "z80/table_layout.h"

namespace vantrel {

// CB opcode Op applied to the byte at address; shared with the DDCB/FDCB forms.
template <uint8_t Op, class M>
inline void cbOnMemory(M& m, uint16_t address) {
    const uint8_t x = readByte(m, address);
    if constexpr ((Op >> 6) == 1)
        testBit<(Op >> 3) & 7>(m.regs, x);
    else
        writeByte(m, address, cbOperation<Op>(m.regs, x));
}

template <uint8_t Op, class M>
inline void cbHandler(M& m) {
    constexpr unsigned operand = Op & 7;
    if constexpr (operand == 6) {
        cbOnMemory<Op>(m, m.regs.hl());
    } else {
        uint8_t& reg = registerField<operand>(m.regs);
        if constexpr ((Op >> 6) == 1)
            testBit<(Op >> 3) & 7>(m.regs, reg);
        else
            reg = cbOperation<Op>(m.regs, reg);
    }
}

namespace detail {

template <uint8_t Op, class M, class Table>
constexpr void cbSlot(Table& table) {
    if constexpr (cbOpcodeExists(Op)) table[cbTableBase + Op] = cbHandler<Op, M>;
}

template <class M, class Table, std::size_t... Op>
constexpr void fillCb(Table& table, std::index_sequence<Op...>) {
    (cbSlot<static_cast<uint8_t>(Op), M>(table), ...);
}

}  // namespace detail

// Fills the working slots; the SLL slots keep the trap the table was built with.
template <class M, class Table>
constexpr void fillCbTable(Table& table) {
    detail::fillCb<M>(table, std::make_index_sequence<256>{});
}

}  // namespace vantrel
