// Rotates, shifts and bit operations of the CB group, shared by the register and (HL)
// forms and by the DDCB/FDCB forms on (IX+d) and (IY+d).
//
// Rotates and shifts write F whole: C from the bit shifted out, S, Z and P/V from the
// result, H and N cleared, and bits 5 and 3 always 0. BIT changes only Z, H and N.
#pragma once

#include <cstdint>

#include "z80/alu.h"
#include "z80/cpu_registers.h"

namespace vantrel {

// Operations of CB opcodes 00-3F by their bits 5-3.
enum class ShiftOp : unsigned { rlc, rrc, rl, rr, sla, sra, sll, srl };

template <ShiftOp Op>
constexpr uint8_t shift8(CpuRegisters& r, uint8_t x) {
    static_assert(Op != ShiftOp::sll, "SLL is not an instruction on this machine");
    const unsigned carry = r.f & flagC;
    const unsigned u = x;
    unsigned v = 0;
    unsigned out = 0;
    if constexpr (Op == ShiftOp::rlc) {
        v = (u << 1) | (u >> 7);
        out = u >> 7;
    } else if constexpr (Op == ShiftOp::rrc) {
        v = (u >> 1) | (u << 7);
        out = u & 1;
    } else if constexpr (Op == ShiftOp::rl) {
        v = (u << 1) | carry;
        out = u >> 7;
    } else if constexpr (Op == ShiftOp::rr) {
        v = (u >> 1) | (carry << 7);
        out = u & 1;
    } else if constexpr (Op == ShiftOp::sla) {
        v = u << 1;
        out = u >> 7;
    } else if constexpr (Op == ShiftOp::sra) {
        v = (u >> 1) | (u & 0x80);
        out = u & 1;
    } else {
        v = u >> 1;
        out = u & 1;
    }
    const auto result = static_cast<uint8_t>(v);
    r.f = static_cast<uint8_t>(szFlags(result) | parityTable[result] | out);
    return result;
}

// BIT b: Z from the tested bit, H set, N cleared; S, P/V, bits 5 and 3 and C kept.
template <unsigned Bit>
constexpr void testBit(CpuRegisters& r, uint8_t x) {
    static_assert(Bit < 8);
    r.f = static_cast<uint8_t>((r.f & 0xBD) | flagH | (((x >> Bit) & 1) ? 0 : flagZ));
}

// The value that CB opcode Op (groups 0, 2 and 3) makes of x; RES and SET leave F alone.
template <uint8_t Op>
constexpr uint8_t cbOperation(CpuRegisters& r, uint8_t x) {
    constexpr unsigned group = Op >> 6;
    constexpr unsigned y = (Op >> 3) & 7;
    static_assert(group != 1, "BIT writes nothing back");
    if constexpr (group == 0)
        return shift8<static_cast<ShiftOp>(y)>(r, x);
    else if constexpr (group == 2)
        return static_cast<uint8_t>(x & ~(1u << y));
    else
        return static_cast<uint8_t>(x | (1u << y));
}

// The CB opcodes that exist: all but SLL (CB 30-37).
constexpr bool cbOpcodeExists(unsigned op) { return (op & 0xF8) != 0x30; }

}  // namespace vantrel
