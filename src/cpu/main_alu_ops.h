// Unprefixed arithmetic: the 8-bit group, INC and DEC, the 16-bit additions, the
// rotates of A and the flag instructions. Flag rules live in alu.h.
#pragma once

#include "cpu/alu.h"
#include "cpu/main_operands.h"

namespace vantrel::mainops {

template <AluOp Op, int S>
void aluR(Machine& m) {
    alu8<Op>(m.regs, readOperand<S>(m));
}
template <AluOp Op>
void aluN(Machine& m) {
    alu8<Op>(m.regs, fetchByte(m));
}

// INC and DEC of (HL) read through the map and store through it, so on a ROM address
// the flags describe the ROM byte plus or minus one and memory keeps its value.
template <int R>
void inc(Machine& m) {
    if constexpr (R == regMemHL) {
        const uint16_t hl = m.regs.hl();
        writeByte(m, hl, inc8(m.regs, readByte(m, hl)));
    } else {
        reg8<R>(m.regs) = inc8(m.regs, reg8<R>(m.regs));
    }
}
template <int R>
void dec(Machine& m) {
    if constexpr (R == regMemHL) {
        const uint16_t hl = m.regs.hl();
        writeByte(m, hl, dec8(m.regs, readByte(m, hl)));
    } else {
        reg8<R>(m.regs) = dec8(m.regs, reg8<R>(m.regs));
    }
}

template <int P>
void inc16(Machine& m) {
    setPair16<P>(m.regs, static_cast<uint16_t>(pair16<P>(m.regs) + 1));
}
template <int P>
void dec16(Machine& m) {
    setPair16<P>(m.regs, static_cast<uint16_t>(pair16<P>(m.regs) - 1));
}
template <int P>
void addHL(Machine& m) {
    m.regs.setHL(add16(m.regs, m.regs.hl(), pair16<P>(m.regs)));
}

// Rotates of A: the bit shifted out becomes C; H and N are cleared, S, Z, P/V and
// bits 5 and 3 are kept.
inline void setRotateCarry(CpuRegisters& r, unsigned carry) {
    r.f = static_cast<uint8_t>((r.f & 0xEC) | carry);
}
inline void rlca(Machine& m) {
    const unsigned carry = m.regs.a >> 7;
    m.regs.a = static_cast<uint8_t>(m.regs.a << 1 | carry);
    setRotateCarry(m.regs, carry);
}
inline void rrca(Machine& m) {
    const unsigned carry = m.regs.a & 1u;
    m.regs.a = static_cast<uint8_t>(m.regs.a >> 1 | carry << 7);
    setRotateCarry(m.regs, carry);
}
inline void rla(Machine& m) {
    const unsigned carry = m.regs.a >> 7;
    m.regs.a = static_cast<uint8_t>(m.regs.a << 1 | (m.regs.f & flagC));
    setRotateCarry(m.regs, carry);
}
inline void rra(Machine& m) {
    const unsigned carry = m.regs.a & 1u;
    m.regs.a = static_cast<uint8_t>(m.regs.a >> 1 | (m.regs.f & flagC) << 7);
    setRotateCarry(m.regs, carry);
}

inline void daaA(Machine& m) { daa(m.regs); }
inline void cpl(Machine& m) {
    m.regs.a = static_cast<uint8_t>(~m.regs.a);
    m.regs.f |= flagH | flagN;
}
inline void scf(Machine& m) { m.regs.f = static_cast<uint8_t>((m.regs.f | flagC) & ~(flagH | flagN)); }
// H keeps its value: it does not receive the old carry on this machine.
inline void ccf(Machine& m) { m.regs.f = static_cast<uint8_t>((m.regs.f ^ flagC) & ~flagN); }

}  // namespace vantrel::mainops
