// Unprefixed loads, the stack and the exchanges. Loads leave F alone.
#pragma once

#include <utility>

#include "cpu/main_operands.h"

namespace vantrel::mainops {

// LD r,r' (0x40-0x7F). LD r,(HL) and LD (HL),r read or store through the memory map.
template <int D, int S>
void ldRR(Machine& m) {
    writeOperand<D>(m, readOperand<S>(m));
}

// LD r,n and LD (HL),n: n is fetched before the store.
template <int D>
void ldRN(Machine& m) {
    const uint8_t n = fetchByte(m);
    writeOperand<D>(m, n);
}

template <int P>
void ldAFromPair(Machine& m) {
    m.regs.a = readByte(m, pair16<P>(m.regs));
}
template <int P>
void ldPairFromA(Machine& m) {
    writeByte(m, pair16<P>(m.regs), m.regs.a);
}
inline void ldAFromAbs(Machine& m) { m.regs.a = readByte(m, fetchWord(m)); }
inline void ldAbsFromA(Machine& m) { writeByte(m, fetchWord(m), m.regs.a); }

template <int P>
void ldPairImm(Machine& m) {
    setPair16<P>(m.regs, fetchWord(m));
}
inline void ldHLFromAbs(Machine& m) { m.regs.setHL(readWord(m, fetchWord(m))); }
inline void ldAbsFromHL(Machine& m) { writeWord(m, fetchWord(m), m.regs.hl()); }
inline void ldSPFromHL(Machine& m) { m.regs.sp = m.regs.hl(); }

// PUSH and POP; the AF form moves all eight bits of F.
template <int P>
void push(Machine& m) {
    pushWord(m, pair16<P>(m.regs));
}
template <int P>
void pop(Machine& m) {
    setPair16<P>(m.regs, popWord(m));
}

inline void exSPHL(Machine& m) {
    const uint16_t old = readWord(m, m.regs.sp);
    writeWord(m, m.regs.sp, m.regs.hl());
    m.regs.setHL(old);
}
inline void exDEHL(Machine& m) {
    std::swap(m.regs.d, m.regs.h);
    std::swap(m.regs.e, m.regs.l);
}
inline void exAFAlt(Machine& m) {
    const uint16_t af = m.regs.af();
    m.regs.setAF(m.regs.afAlt);
    m.regs.afAlt = af;
}
inline void exx(Machine& m) {
    CpuRegisters& r = m.regs;
    const uint16_t bc = r.bc(), de = r.de(), hl = r.hl();
    r.setBC(r.bcAlt);
    r.setDE(r.deAlt);
    r.setHL(r.hlAlt);
    r.bcAlt = bc;
    r.deAlt = de;
    r.hlAlt = hl;
}

}  // namespace vantrel::mainops
