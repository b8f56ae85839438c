// Unprefixed arithmetic: the 8-bit group, INC and DEC, the 16-bit additions, the
// rotates of A and the flag instructions. Flag rules live in alu.h.
#pragma once

#include "z80/alu.h"
#include "z80/operands.h"

namespace vantrel::mainops {

template <AluOp Op, int S, class M>
void aluR(M& m) {
    alu8<Op>(m.regs, readOperand<S>(m));
}
template <AluOp Op, class M>
void aluN(M& m) {
    alu8<Op>(m.regs, fetchByte(m));
}

// INC and DEC of (HL) read through the map and store through it, so on a ROM address
// the flags describe the ROM byte plus or minus one and memory keeps its value.
template <int R, class M>
void inc(M& m) {
    if constexpr (R == regMemHL) {
        const uint16_t hl = m.regs.hl();
        writeByte(m, hl, inc8(m.regs, readByte(m, hl)));
    } else {
        registerField<R>(m.regs) = inc8(m.regs, registerField<R>(m.regs));
    }
}
template <int R, class M>
void dec(M& m) {
    if constexpr (R == regMemHL) {
        const uint16_t hl = m.regs.hl();
        writeByte(m, hl, dec8(m.regs, readByte(m, hl)));
    } else {
        registerField<R>(m.regs) = dec8(m.regs, registerField<R>(m.regs));
    }
}

template <int P, class M>
void inc16(M& m) {
    setPairField<P>(m.regs, static_cast<uint16_t>(pairField<P>(m.regs) + 1));
}
template <int P, class M>
void dec16(M& m) {
    setPairField<P>(m.regs, static_cast<uint16_t>(pairField<P>(m.regs) - 1));
}
template <int P, class M>
void addHL(M& m) {
    m.regs.setHL(add16(m.regs, m.regs.hl(), pairField<P>(m.regs)));
}

// Rotates of A: the bit shifted out becomes C; H and N are cleared, S, Z, P/V and
// bits 5 and 3 are kept.
inline void setRotateCarry(CpuRegisters& r, unsigned carry) {
    r.f = static_cast<uint8_t>((r.f & 0xEC) | carry);
}
template <class M>
inline void rlca(M& m) {
    const unsigned carry = m.regs.a >> 7;
    m.regs.a = static_cast<uint8_t>(static_cast<unsigned>(m.regs.a) << 1 | carry);
    setRotateCarry(m.regs, carry);
}
template <class M>
inline void rrca(M& m) {
    const unsigned carry = m.regs.a & 1u;
    m.regs.a = static_cast<uint8_t>(m.regs.a >> 1 | carry << 7);
    setRotateCarry(m.regs, carry);
}
template <class M>
inline void rla(M& m) {
    const unsigned carry = m.regs.a >> 7;
    m.regs.a = static_cast<uint8_t>(m.regs.a << 1 | (m.regs.f & flagC));
    setRotateCarry(m.regs, carry);
}
template <class M>
inline void rra(M& m) {
    const unsigned carry = m.regs.a & 1u;
    m.regs.a = static_cast<uint8_t>(m.regs.a >> 1 | (m.regs.f & flagC) << 7);
    setRotateCarry(m.regs, carry);
}

template <class M>
inline void daaA(M& m) {
    daa(m.regs);
}
template <class M>
inline void cpl(M& m) {
    m.regs.a = static_cast<uint8_t>(~m.regs.a);
    m.regs.f |= flagH | flagN;
}
template <class M>
inline void scf(M& m) {
    m.regs.f = static_cast<uint8_t>((m.regs.f | flagC) & ~(flagH | flagN));
}
// H keeps its value: it does not receive the old carry on this machine.
template <class M>
inline void ccf(M& m) {
    m.regs.f = static_cast<uint8_t>((m.regs.f ^ flagC) & ~flagN);
}

}  // namespace vantrel::mainops
