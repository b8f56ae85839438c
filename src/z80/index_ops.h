// DD- and FD-prefixed instructions on IX and IY, and the DDCB/FDCB forms.
//
// Each working slot is the unprefixed instruction of the same opcode byte with the
// index register in place of HL (IXh/IXl in place of H/L for the half-register forms,
// (IX+d) in place of (HL)). Only the documented set and some of the IXh/IXl forms
// exist; every other DD/FD opcode traps rather than running the unprefixed one.
// The FD sub-table is the DD one instantiated for IY.
#pragma once

#include <array>
#include <cstddef>
#include <utility>

#include "z80/alu.h"
#include "z80/bit_ops.h"
#include "z80/cb_ops.h"
#include "z80/operands.h"
#include "z80/table_layout.h"

namespace vantrel {

enum class IndexRegister { ix, iy };

template <IndexRegister X>
constexpr uint16_t& indexRegister(CpuRegisters& r) {
    if constexpr (X == IndexRegister::ix)
        return r.ix;
    else
        return r.iy;
}

// Register field of an index-prefixed opcode where 4 and 5 mean the index halves.
template <IndexRegister X, unsigned Field>
constexpr uint8_t halfOrRegister(CpuRegisters& r) {
    if constexpr (Field == 4)
        return static_cast<uint8_t>(indexRegister<X>(r) >> 8);
    else if constexpr (Field == 5)
        return static_cast<uint8_t>(indexRegister<X>(r));
    else
        return registerField<Field>(r);
}

template <IndexRegister X, unsigned Field>
constexpr void setHalfOrRegister(CpuRegisters& r, uint8_t value) {
    uint16_t& index = indexRegister<X>(r);
    if constexpr (Field == 4)
        index = static_cast<uint16_t>((index & 0x00FF) | value << 8);
    else if constexpr (Field == 5)
        index = static_cast<uint16_t>((index & 0xFF00) | value);
    else
        registerField<Field>(r) = value;
}

// Fetches the displacement d and gives (index + d) wrapped to 16 bits.
template <IndexRegister X, class M>
inline uint16_t indexedAddress(M& m) {
    const auto d = static_cast<int8_t>(fetchByte(m));
    return static_cast<uint16_t>(indexRegister<X>(m.regs) + d);
}

// Which DD/FD opcodes exist (the same set for both prefixes).
constexpr bool indexOpcodeExists(unsigned op) {
    const unsigned x = op >> 6;
    const unsigned y = (op >> 3) & 7;
    const unsigned z = op & 7;
    auto half = [](unsigned field) { return field == 4 || field == 5; };
    switch (x) {
        case 0:
            if (z == 1 && (op & 0x0F) == 0x09) return true;  // ADD IX,ss
            if (op == 0x21 || op == 0x22 || op == 0x2A || op == 0x23 || op == 0x2B) return true;
            if ((y == 4 || y == 5) && (z == 4 || z == 5 || z == 6))
                return true;  // IXh/IXl inc, dec, ld n
            return op == 0x34 || op == 0x35 || op == 0x36;
        case 1:
            if (op == 0x76) return false;
            if ((y == 6) != (z == 6)) return true;  // (IX+d) with the real registers
            if (y == 6) return false;
            return y != z && (half(y) || half(z));
        case 2:
            if (z == 6) return true;
            return y <= 1 && half(z);  // only ADD and ADC take IXh/IXl
        default:
            return op == 0xCB || op == 0xDD || op == 0xFD || op == 0xE1 || op == 0xE3 ||
                   op == 0xE5 || op == 0xE9 || op == 0xF9;
    }
}

// --- DDCB / FDCB ----------------------------------------------------------------

template <class M>
using IndexedCbOp = void (*)(M&, uint16_t);

// A final byte without an instruction: the trap, with PC already past the four bytes.
template <class M>
inline void indexedCbTrap(M& m, uint16_t) {
    illegalOpcodeTrap(m);
}

// Only the forms on memory alone exist: low three bits 6, and not SLL (36).
constexpr bool indexedCbOpcodeExists(unsigned op) { return (op & 7) == 6 && op != 0x36; }

namespace detail {

template <uint8_t Op, class M, class Table>
constexpr void indexedCbSlot(Table& table) {
    if constexpr (indexedCbOpcodeExists(Op)) table[Op] = cbOnMemory<Op, M>;
}

template <class M, class Table, std::size_t... Op>
constexpr void fillIndexedCb(Table& table, std::index_sequence<Op...>) {
    (indexedCbSlot<static_cast<uint8_t>(Op), M>(table), ...);
}

}  // namespace detail

// Fills the entries of the final bytes that exist; the others keep what they hold.
template <class M, class Table>
constexpr void fillIndexedCbOps(Table& table) {
    detail::fillIndexedCb<M>(table, std::make_index_sequence<256>{});
}

// The operation of each DDCB/FDCB final byte, one lookup per instruction.
template <class M>
inline constexpr std::array<IndexedCbOp<M>, 256> indexedCbOps = [] {
    std::array<IndexedCbOp<M>, 256> table{};
    for (auto& op : table) op = indexedCbTrap<M>;
    fillIndexedCbOps<M>(table);
    return table;
}();

template <IndexRegister X, class M>
inline void indexedCbHandler(M& m) {
    const uint16_t address = indexedAddress<X>(m);
    const uint8_t op = fetchByte(m);
    indexedCbOps<M>[op](m, address);
}

// --- the DD and FD sub-tables -----------------------------------------------------

// A prefix after a prefix: drop the first one and let the loop start the instruction
// again at the second, so that only the last prefix of a run counts.
template <class M>
inline void repeatedPrefixHandler(M& m) {
    jumpTo(m, static_cast<uint16_t>(m.regs.pc - 1));
}

template <IndexRegister X, uint8_t Op, class M>
inline void indexHandler(M& m) {
    constexpr unsigned x = Op >> 6;
    constexpr unsigned y = (Op >> 3) & 7;
    constexpr unsigned z = Op & 7;
    CpuRegisters& r = m.regs;
    uint16_t& index = indexRegister<X>(r);

    if constexpr (x == 0 && (Op & 0x0F) == 0x09) {  // ADD IX,BC/DE/IX/SP
        constexpr unsigned pair = (Op >> 4) & 3;
        uint16_t operand = 0;
        if constexpr (pair == 2)
            operand = index;
        else
            operand = pairField<pair>(r);
        index = add16(r, index, operand);
    } else if constexpr (Op == 0x21) {
        index = fetchWord(m);
    } else if constexpr (Op == 0x22) {
        writeWord(m, fetchWord(m), index);
    } else if constexpr (Op == 0x2A) {
        index = readWord(m, fetchWord(m));
    } else if constexpr (Op == 0x23) {
        index = static_cast<uint16_t>(index + 1);
    } else if constexpr (Op == 0x2B) {
        index = static_cast<uint16_t>(index - 1);
    } else if constexpr (x == 0 && z == 4 && y != 6) {  // INC IXh / IXl
        setHalfOrRegister<X, y>(r, inc8(r, halfOrRegister<X, y>(r)));
    } else if constexpr (x == 0 && z == 5 && y != 6) {  // DEC IXh / IXl
        setHalfOrRegister<X, y>(r, dec8(r, halfOrRegister<X, y>(r)));
    } else if constexpr (x == 0 && z == 6 && y != 6) {  // LD IXh/IXl,n
        setHalfOrRegister<X, y>(r, fetchByte(m));
    } else if constexpr (Op == 0x34) {
        const uint16_t address = indexedAddress<X>(m);
        writeByte(m, address, inc8(r, readByte(m, address)));
    } else if constexpr (Op == 0x35) {
        const uint16_t address = indexedAddress<X>(m);
        writeByte(m, address, dec8(r, readByte(m, address)));
    } else if constexpr (Op == 0x36) {  // the displacement comes before the immediate
        const uint16_t address = indexedAddress<X>(m);
        writeByte(m, address, fetchByte(m));
    } else if constexpr (x == 1 && z == 6) {  // LD r,(IX+d): r is the real register
        registerField<y>(r) = readByte(m, indexedAddress<X>(m));
    } else if constexpr (x == 1 && y == 6) {  // LD (IX+d),r
        writeByte(m, indexedAddress<X>(m), registerField<z>(r));
    } else if constexpr (x == 1) {  // loads between registers and index halves
        setHalfOrRegister<X, y>(r, halfOrRegister<X, z>(r));
    } else if constexpr (x == 2 && z == 6) {
        alu8<static_cast<AluOp>(y)>(r, readByte(m, indexedAddress<X>(m)));
    } else if constexpr (x == 2) {
        alu8<static_cast<AluOp>(y)>(r, halfOrRegister<X, z>(r));
    } else if constexpr (Op == 0xCB) {
        indexedCbHandler<X>(m);
    } else if constexpr (Op == 0xDD || Op == 0xFD) {
        repeatedPrefixHandler(m);
    } else if constexpr (Op == 0xE1) {
        index = popWord(m);
    } else if constexpr (Op == 0xE3) {
        const uint16_t old = readWord(m, r.sp);
        writeWord(m, r.sp, index);
        index = old;
    } else if constexpr (Op == 0xE5) {
        pushWord(m, index);
    } else if constexpr (Op == 0xE9) {
        jumpTo(m, index);
    } else {
        static_assert(Op == 0xF9, "opcode without an index instruction");
        r.sp = index;
    }
}

namespace detail {

template <IndexRegister X, uint8_t Op, class M, class Table>
constexpr void indexSlot(Table& table, std::size_t base) {
    if constexpr (indexOpcodeExists(Op)) table[base + Op] = indexHandler<X, Op, M>;
}

template <IndexRegister X, class M, class Table, std::size_t... Op>
constexpr void fillIndex(Table& table, std::size_t base, std::index_sequence<Op...>) {
    (indexSlot<X, static_cast<uint8_t>(Op), M>(table, base), ...);
}

}  // namespace detail

// Fills the working slots of DD (IX) and FD (IY); the others keep the trap the table
// was built with.
template <class M, class Table>
constexpr void fillIndexTables(Table& table) {
    detail::fillIndex<IndexRegister::ix, M>(table, ddTableBase, std::make_index_sequence<256>{});
    detail::fillIndex<IndexRegister::iy, M>(table, fdTableBase, std::make_index_sequence<256>{});
}

}  // namespace vantrel
