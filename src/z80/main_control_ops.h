// Unprefixed control transfers, HALT, EI, DI, the prefixes and IN/OUT with an
// immediate port.
//
// Every transfer ends with fetchPointer derived from the new PC. A conditional JP, JR,
// CALL or DJNZ that is not taken also re-derives it (from PC past the operand), so it
// realigns a stream that ran over a page end; a RET that is not taken touches nothing.
#pragma once

#include <cstddef>

#include "z80/operands.h"

namespace vantrel::mainops {

template <class M>
inline void jpNN(M& m) {
    jumpTo(m, fetchWord(m));
}
template <int C, class M>
void jpCond(M& m) {
    if (condition<C>(m.regs))
        jumpTo(m, fetchWord(m));
    else
        jumpTo(m, static_cast<uint16_t>(m.regs.pc + 2));
}
template <class M>
inline void jpHL(M& m) {
    jumpTo(m, m.regs.hl());
}

// The displacement counts from the address after it.
template <class M>
inline void jrTaken(M& m) {
    const auto e = static_cast<int8_t>(fetchByte(m));
    jumpTo(m, static_cast<uint16_t>(m.regs.pc + e));
}
template <class M>
inline void jrE(M& m) {
    jrTaken(m);
}
template <int C, class M>
void jrCond(M& m) {
    if (condition<C>(m.regs))
        jrTaken(m);
    else
        jumpTo(m, static_cast<uint16_t>(m.regs.pc + 1));
}
template <class M>
inline void djnz(M& m) {
    if (--m.regs.b != 0)
        jrTaken(m);
    else
        jumpTo(m, static_cast<uint16_t>(m.regs.pc + 1));
}

// The return address is PC after the whole instruction. Below 0x8000 the push is lost.
template <class M>
inline void callTaken(M& m) {
    const uint16_t target = fetchWord(m);
    pushWord(m, m.regs.pc);
    jumpTo(m, target);
}
template <class M>
inline void callNN(M& m) {
    callTaken(m);
}
template <int C, class M>
void callCond(M& m) {
    if (condition<C>(m.regs))
        callTaken(m);
    else
        jumpTo(m, static_cast<uint16_t>(m.regs.pc + 2));
}

template <class M>
inline void ret(M& m) {
    jumpTo(m, popWord(m));
}
template <int C, class M>
void retCond(M& m) {
    if (condition<C>(m.regs)) ret(m);
}

// Restarts run in ROM page 0 whatever the bank.
template <uint16_t Target, class M>
void rst(M& m) {
    pushWord(m, m.regs.pc);
    restartAt(m, Target);
}

// With interrupts enabled HALT asks the loop to pause; PC already designates the next
// instruction, which runs after the machine is woken. Otherwise it does nothing. A
// pending Stop, Abort or Interrupt is kept.
template <class M>
inline void halt(M& m) {
    if (m.regs.interruptsEnabled()) requestPause(m);
}
// No delay: an interrupt can be accepted before the instruction after EI.
template <class M>
inline void ei(M& m) {
    m.regs.intFlags |= intEnableBit;
}
template <class M>
inline void di(M& m) {
    m.regs.intFlags &= static_cast<uint8_t>(~intEnableBit);
}

// Only the 8-bit port number goes out; A is not placed beside it.
template <class M>
inline void inAN(M& m) {
    const uint8_t port = fetchByte(m);
    m.regs.a = portRead(m, port);
}
template <class M>
inline void outNA(M& m) {
    const uint8_t port = fetchByte(m);
    portWrite(m, port, m.regs.a);
}

// The second byte selects the handler of the prefix's sub-table, which fetches the
// rest of the instruction itself.
template <std::size_t Base, class M>
void prefix(M& m) {
    return dispatch(m, Base + fetchByte(m));
}

}  // namespace vantrel::mainops
