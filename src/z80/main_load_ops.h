// Unprefixed loads, the stack and the exchanges. Loads leave F alone.
#pragma once

#include <utility>

#include "z80/operands.h"

namespace vantrel::mainops {

// LD r,r' (0x40-0x7F). LD r,(HL) and LD (HL),r read or store through the memory map.
template <int D, int S, class M>
void ldRR(M& m) {
    writeOperand<D>(m, readOperand<S>(m));
}

// LD r,n and LD (HL),n: n is fetched before the store.
template <int D, class M>
void ldRN(M& m) {
    const uint8_t n = fetchByte(m);
    writeOperand<D>(m, n);
}

template <int P, class M>
void ldAFromPair(M& m) {
    m.regs.a = readByte(m, pairField<P>(m.regs));
}
template <int P, class M>
void ldPairFromA(M& m) {
    writeByte(m, pairField<P>(m.regs), m.regs.a);
}
template <class M>
inline void ldAFromAbs(M& m) {
    m.regs.a = readByte(m, fetchWord(m));
}
template <class M>
inline void ldAbsFromA(M& m) {
    writeByte(m, fetchWord(m), m.regs.a);
}

template <int P, class M>
void ldPairImm(M& m) {
    setPairField<P>(m.regs, fetchWord(m));
}
template <class M>
inline void ldHLFromAbs(M& m) {
    m.regs.setHL(readWord(m, fetchWord(m)));
}
template <class M>
inline void ldAbsFromHL(M& m) {
    writeWord(m, fetchWord(m), m.regs.hl());
}
template <class M>
inline void ldSPFromHL(M& m) {
    m.regs.sp = m.regs.hl();
}

// PUSH and POP; the AF form moves all eight bits of F.
template <int P, class M>
void push(M& m) {
    pushWord(m, pairField<P>(m.regs));
}
template <int P, class M>
void pop(M& m) {
    setPairField<P>(m.regs, popWord(m));
}

template <class M>
inline void exSPHL(M& m) {
    const uint16_t old = readWord(m, m.regs.sp);
    writeWord(m, m.regs.sp, m.regs.hl());
    m.regs.setHL(old);
}
template <class M>
inline void exDEHL(M& m) {
    std::swap(m.regs.d, m.regs.h);
    std::swap(m.regs.e, m.regs.l);
}
template <class M>
inline void exAFAlt(M& m) {
    const uint16_t af = m.regs.af();
    m.regs.setAF(m.regs.afAlt);
    m.regs.afAlt = af;
}
template <class M>
inline void exx(M& m) {
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
