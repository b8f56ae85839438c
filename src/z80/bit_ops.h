// Rotates, shifts and bit tests of the CB group, shared by the register and (HL) forms
// and by the DDCB/FDCB forms on (IX+d) and (IY+d).
//
// Rotates and shifts write F whole: C from the bit shifted out, S, Z and P/V from the
// result, H and N cleared, and bits 5 and 3 from the result on the complete chip (always
// 0 on this machine).
#pragma once

#include <cstdint>

#include "z80/alu.h"
#include "z80/cpu_registers.h"
#include "z80/personality.h"

namespace vantrel {

// Operations of CB opcodes 00-3F by their bits 5-3. SLL shifts a 1 in.
enum class ShiftOp : unsigned { rlc, rrc, rl, rr, sla, sra, sll, srl };

template <ShiftOp Op, Personality P>
constexpr uint8_t shift8(CpuRegisters& r, uint8_t x) {
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
    } else if constexpr (Op == ShiftOp::sll) {
        v = (u << 1) | 1;
        out = u >> 7;
    } else {
        v = u >> 1;
        out = u & 1;
    }
    const auto result = static_cast<uint8_t>(v);
    r.f = static_cast<uint8_t>(szFlags(result) | parityTable[result] | out | xyFlags<P>(result));
    return result;
}

// BIT b. This machine: Z from the tested bit, H set, N cleared; S, P/V, bits 5 and 3 and
// C kept. The chip: also P/V as Z, S for a set bit 7, and bits 5 and 3 from xySource
// (the register tested, or the high byte of the address the chip last formed).
template <Personality P>
constexpr void testBit(CpuRegisters& r, unsigned bit, uint8_t x, uint8_t xySource) {
    const bool clear = ((x >> bit) & 1) == 0;
    if constexpr (P == Personality::complete)
        r.f = static_cast<uint8_t>((r.f & flagC) | flagH | (clear ? flagZ | flagPV : 0) |
                                   (bit == 7 && !clear ? flagS : 0) | (xySource & flags53));
    else
        r.f = static_cast<uint8_t>((r.f & 0xBD) | flagH | (clear ? flagZ : 0));
}

}  // namespace vantrel
