// Unprefixed control transfers, HALT, EI, DI, the prefixes and IN/OUT with an
// immediate port.
//
// Every transfer ends with fetchPointer derived from the new PC. A conditional JP, JR,
// CALL or DJNZ that is not taken also re-derives it (from PC past the operand), so it
// realigns a stream that ran over a page end; a RET that is not taken touches nothing.
#pragma once

#include <cstddef>

#include "cpu/dispatch_table.h"
#include "cpu/main_operands.h"
#include "hardware/ports.h"

namespace vantrel::mainops {

inline void jpNN(Machine& m) { jumpTo(m, fetchWord(m)); }
template <int C>
void jpCond(Machine& m) {
    if (condition<C>(m.regs)) jumpTo(m, fetchWord(m));
    else jumpTo(m, static_cast<uint16_t>(m.regs.pc + 2));
}
inline void jpHL(Machine& m) { jumpTo(m, m.regs.hl()); }

// The displacement counts from the address after it.
inline void jrTaken(Machine& m) {
    const auto e = static_cast<int8_t>(fetchByte(m));
    jumpTo(m, static_cast<uint16_t>(m.regs.pc + e));
}
inline void jrE(Machine& m) { jrTaken(m); }
template <int C>
void jrCond(Machine& m) {
    if (condition<C>(m.regs)) jrTaken(m);
    else jumpTo(m, static_cast<uint16_t>(m.regs.pc + 1));
}
inline void djnz(Machine& m) {
    if (--m.regs.b != 0) jrTaken(m);
    else jumpTo(m, static_cast<uint16_t>(m.regs.pc + 1));
}

// The return address is PC after the whole instruction. Below 0x8000 the push is lost.
inline void callTaken(Machine& m) {
    const uint16_t target = fetchWord(m);
    pushWord(m, m.regs.pc);
    jumpTo(m, target);
}
inline void callNN(Machine& m) { callTaken(m); }
template <int C>
void callCond(Machine& m) {
    if (condition<C>(m.regs)) callTaken(m);
    else jumpTo(m, static_cast<uint16_t>(m.regs.pc + 2));
}

inline void ret(Machine& m) { jumpTo(m, popWord(m)); }
template <int C>
void retCond(Machine& m) {
    if (condition<C>(m.regs)) ret(m);
}

// Restarts run in ROM page 0 whatever the bank.
template <uint16_t Target>
void rst(Machine& m) {
    pushWord(m, m.regs.pc);
    m.regs.pc = Target;
    m.fetchPointer = m.mem.rom.data() + Target;
}

// With interrupts enabled HALT asks the loop to pause; PC already designates the next
// instruction, which runs after the machine is woken. Otherwise it does nothing. A
// pending Stop, Abort or Interrupt is kept (see ThreadControl::post).
inline void halt(Machine& m) {
    if (m.regs.interruptsEnabled()) m.control.post(EmuRequest::Pause);
}
// No delay: an interrupt can be accepted before the instruction after EI.
inline void ei(Machine& m) { m.regs.intFlags |= intEnableBit; }
inline void di(Machine& m) { m.regs.intFlags &= static_cast<uint8_t>(~intEnableBit); }

// Only the 8-bit port number goes out; A is not placed beside it.
inline void inAN(Machine& m) {
    const uint8_t port = fetchByte(m);
    m.regs.a = portRead(m, port);
}
inline void outNA(Machine& m) {
    const uint8_t port = fetchByte(m);
    portWrite(m, port, m.regs.a);
}

// The second byte selects the handler of the prefix's sub-table, which fetches the
// rest of the instruction itself.
template <std::size_t Base>
void prefix(Machine& m) {
    return dispatchTable[Base + fetchByte(m)](m);
}

}  // namespace vantrel::mainops
