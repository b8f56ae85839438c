// What each operation of the instruction set does, on either personality.
//
// execute<P, I> is the handler of one slot: I is the slot's description (instruction_
// set.h), so its operation and operands are fixed at compile time and the handler holds
// only the work of that one instruction. On the complete chip it first counts the
// slot's T-states (cycles) and opcode fetches; a condition that holds, or a block
// round that repeats, then counts on up to cyclesTaken.
//
// This machine's rules, kept exactly: a conditional JP, JR, CALL or DJNZ that is not
// taken re-derives fetchPointer from PC past its operand (realigning a stream that ran
// over a page end); a RET that is not taken touches nothing; RST runs in ROM page 0;
// HALT with interrupts enabled asks the loop to pause; EI acts at once; RETN and RETI
// set the one enable bit; there is no R (LD R,A does nothing, LD A,R reads 0); the
// repeating block instructions run their whole loop in one call, taking no request or
// interrupt in their middle; port instructions pass C alone as the port number.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>

#include "z80/alu.h"
#include "z80/bit_ops.h"
#include "z80/instruction_set.h"
#include "z80/operands.h"
#include "z80/personality.h"
#include "z80/table_layout.h"

namespace vantrel {

// NOP and the seven self-loads LD r,r on this machine.
template <class M>
inline void nopHandler(M&) {}

// A DDCB/FDCB final byte's handler, with (IX+d) already formed.
template <class M>
using IndexedCbHandler = void (*)(M&, uint16_t);

namespace exec {

using O = Operation;
inline constexpr Personality classic = Personality::classic;
inline constexpr Personality complete = Personality::complete;

template <Personality P, OpcodeInfo I, class M>
inline void count(M& m) {
    if constexpr (P == complete && I.fetches != 0) {
        m.chip.count(I.cycles, I.fetches);
    }
}
template <Personality P, OpcodeInfo I, class M>
inline void countTaken(M& m) {
    constexpr unsigned extra = static_cast<unsigned>(I.cyclesTaken - I.cycles);
    if constexpr (P == complete) m.chip.count(extra, 0);
}
template <Personality P, class M, class Value>
inline void setWZ(M& m, Value value) {
    if constexpr (P == complete) m.chip.wz = static_cast<uint16_t>(value);
}

constexpr bool isIndexed(Arg a) { return a == Arg::atIXd || a == Arg::atIYd; }

// --- loads and exchanges ---------------------------------------------------------------

template <Personality P, OpcodeInfo I, class M>
inline void ld8(M& m) {
    constexpr Arg D = I.first.arg;
    constexpr Arg S = I.second.arg;
    if constexpr (D == Arg::r && P == classic) {
        return;  // there is no R register to load
    } else {
        const auto dst = resolve8<D>(m);
        const auto src = resolve8<S>(m);
        write8(m, dst, read8(m, src));
        if constexpr (S == Arg::atBC || S == Arg::atDE || S == Arg::atNN || isIndexed(S))
            setWZ<P>(m, src.address + (isIndexed(S) ? 0u : 1u));
        else if constexpr (D == Arg::atBC || D == Arg::atDE || D == Arg::atNN)
            setWZ<P>(m, m.regs.a << 8 | ((dst.address + 1) & 0xFF));
        else if constexpr (isIndexed(D))
            setWZ<P>(m, dst.address);
    }
}

template <Personality P, OpcodeInfo I, class M>
inline void ld16(M& m) {
    constexpr Arg D = I.first.arg;
    constexpr Arg S = I.second.arg;
    if constexpr (D == Arg::atNN) {
        const uint16_t address = fetchWord(m);
        storeWord<P>(m, address, pair<S>(m.regs));
        setWZ<P>(m, address + 1u);
    } else if constexpr (S == Arg::atNN) {
        const uint16_t address = fetchWord(m);
        setPair<D>(m.regs, loadWord<P>(m, address));
        setWZ<P>(m, address + 1u);
    } else if constexpr (S == Arg::nn) {
        setPair<D>(m.regs, fetchWord(m));
    } else {
        setPair<D>(m.regs, pair<S>(m.regs));
    }
}

// LD A,I and LD A,R: P/V shows the interrupt enable (IFF2 on the chip).
template <Personality P, OpcodeInfo I, class M>
inline void ldAFromIR(M& m) {
    CpuRegisters& r = m.regs;
    constexpr bool fromI = I.second.arg == Arg::i;
    if constexpr (P == complete) {
        r.a = fromI ? r.i : m.chip.r();
        r.f = static_cast<uint8_t>(szFlags(r.a) | (r.a & flags53) | (m.chip.iff2 ? flagPV : 0) |
                                   (r.f & flagC));
        m.chip.irLoadedAt = m.chip.clock();
    } else if constexpr (fromI) {
        r.a = r.i;
        r.f = static_cast<uint8_t>(szFlags(r.a) | (r.interruptsEnabled() ? flagPV : 0) |
                                   (r.f & flagC));
    } else {  // reads 0
        r.a = 0;
        r.f = static_cast<uint8_t>(flagZ | (r.interruptsEnabled() ? flagPV : 0) | (r.f & flagC));
    }
}

template <Personality P, OpcodeInfo I, class M>
inline void exSP(M& m) {
    constexpr Arg X = I.second.arg;
    const uint16_t old = loadWord<P>(m, m.regs.sp);
    storeWord<P>(m, m.regs.sp, pair<X>(m.regs));
    setPair<X>(m.regs, old);
    setWZ<P>(m, old);
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

// --- arithmetic ------------------------------------------------------------------------

template <AluOp Op, Personality P, OpcodeInfo I, class M>
inline void alu(M& m) {
    // ADD A,s, ADC A,s and SBC A,s name A first; the others take s alone.
    constexpr Arg S = I.second.arg != Arg::none ? I.second.arg : I.first.arg;
    const auto src = resolve8<S>(m);
    alu8<Op, P>(m.regs, read8(m, src));
    if constexpr (isIndexed(S)) setWZ<P>(m, src.address);
}

template <bool Increment, Personality P, OpcodeInfo I, class M>
inline void incDec8(M& m) {
    const auto at = resolve8<I.first.arg>(m);
    const uint8_t value = read8(m, at);
    write8(m, at, Increment ? inc8<P>(m.regs, value) : dec8<P>(m.regs, value));
    if constexpr (isIndexed(I.first.arg)) setWZ<P>(m, at.address);
}

template <Personality P, OpcodeInfo I, class M>
inline void add16(M& m) {
    constexpr Arg D = I.first.arg;
    const uint16_t old = pair<D>(m.regs);
    setPair<D>(m.regs, vantrel::add16<P>(m.regs, old, pair<I.second.arg>(m.regs)));
    setWZ<P>(m, old + 1u);
}

template <bool Add, Personality P, OpcodeInfo I, class M>
inline void adcSbc16(M& m) {
    CpuRegisters& r = m.regs;
    const unsigned hl = r.hl();
    const unsigned operand = pair<I.second.arg>(r);
    const unsigned carry = r.f & flagC;
    unsigned t = 0;
    unsigned overflow = 0;
    if constexpr (Add) {
        t = hl + operand + carry;
        overflow = ~(hl ^ operand) & (operand ^ t);
    } else {
        t = hl - operand - carry;
        overflow = (hl ^ operand) & (hl ^ t);
    }
    const auto result = static_cast<uint16_t>(t);
    r.setHL(result);
    r.f =
        static_cast<uint8_t>(((result >> 8) & flagS) | (result == 0 ? flagZ : 0) |
                             ((overflow >> 13) & flagPV) | (Add ? 0 : flagN) | ((t >> 16) & flagC));
    if constexpr (P == complete)
        r.f = static_cast<uint8_t>(r.f | (((hl ^ operand ^ t) >> 8) & flagH) |
                                   ((result >> 8) & flags53));
    setWZ<P>(m, hl + 1);
}

// Rotates of A: the bit shifted out becomes C; H and N are cleared, S, Z and P/V kept;
// bits 5 and 3 kept here, from A on the chip.
template <Personality P, class M>
inline void setRotateCarry(M& m, unsigned carry) {
    CpuRegisters& r = m.regs;
    if constexpr (P == complete)
        r.f = static_cast<uint8_t>((r.f & (flagS | flagZ | flagPV)) | (r.a & flags53) | carry);
    else
        r.f = static_cast<uint8_t>((r.f & 0xEC) | carry);
}

template <Operation Op, Personality P, class M>
inline void accumulator(M& m) {
    CpuRegisters& r = m.regs;
    const unsigned a = r.a;
    if constexpr (Op == O::rlca) {
        r.a = static_cast<uint8_t>(a << 1 | a >> 7);
        setRotateCarry<P>(m, a >> 7);
    } else if constexpr (Op == O::rrca) {
        r.a = static_cast<uint8_t>(a >> 1 | (a & 1u) << 7);
        setRotateCarry<P>(m, a & 1u);
    } else if constexpr (Op == O::rla) {
        r.a = static_cast<uint8_t>(a << 1 | (r.f & flagC));
        setRotateCarry<P>(m, a >> 7);
    } else if constexpr (Op == O::rra) {
        r.a = static_cast<uint8_t>(a >> 1 | static_cast<unsigned>(r.f & flagC) << 7);
        setRotateCarry<P>(m, a & 1u);
    } else if constexpr (Op == O::daa) {
        daa<P>(r);
    } else if constexpr (Op == O::cpl) {
        r.a = static_cast<uint8_t>(~a);
        if constexpr (P == complete)
            r.f = static_cast<uint8_t>((r.f & (flagS | flagZ | flagPV | flagC)) | flagH | flagN |
                                       (r.a & flags53));
        else
            r.f |= flagH | flagN;
    } else if constexpr (Op == O::scf) {
        if constexpr (P == complete)
            r.f = static_cast<uint8_t>((r.f & (flagS | flagZ | flagPV)) | flagC | (a & flags53));
        else
            r.f = static_cast<uint8_t>((r.f | flagC) & ~(flagH | flagN));
    } else if constexpr (Op == O::ccf) {
        // H keeps its value here; the chip moves the old carry into it.
        if constexpr (P == complete)
            r.f = static_cast<uint8_t>((r.f & (flagS | flagZ | flagPV)) |
                                       ((r.f & flagC) ? flagH : flagC) | (a & flags53));
        else
            r.f = static_cast<uint8_t>((r.f ^ flagC) & ~flagN);
    } else {
        static_assert(Op == O::neg);
        const auto result = static_cast<uint8_t>(0u - a);
        r.a = result;
        r.f = static_cast<uint8_t>(szFlags(result) | ((a ^ result) & flagH) |
                                   (a == 0x80 ? flagPV : 0) | flagN | (a != 0 ? flagC : 0) |
                                   xyFlags<P>(result));
    }
}

// --- the CB group, also on (IX+d) -------------------------------------------------------

template <Operation Op>
constexpr ShiftOp shiftOf() {
    return static_cast<ShiftOp>(static_cast<unsigned>(Op) - static_cast<unsigned>(O::rlc));
}

// Writes the result back, and into the register a DDCB/FDCB form copies it to.
template <Personality P, OpcodeInfo I, class M, class Location>
inline void writeBack(M& m, Location at, uint8_t value) {
    write8(m, at, value);
    if constexpr (I.copy != Arg::none) write8(m, InRegister<I.copy>{}, value);
    if constexpr (std::is_same_v<Location, AtAddress>)
        if constexpr (isIndexed(I.first.arg) || isIndexed(I.second.arg)) setWZ<P>(m, at.address);
}

template <Personality P, OpcodeInfo I, class M, class Location>
inline void cbOperation(M& m, Location at) {
    const uint8_t x = read8(m, at);
    if constexpr (I.op == O::bit) {
        constexpr Arg S = I.second.arg;
        uint8_t xySource = x;
        if constexpr (P == complete && S == Arg::atHL) {
            xySource = static_cast<uint8_t>(m.chip.wz >> 8);
        } else if constexpr (P == complete && isIndexed(S)) {
            m.chip.wz = at.address;
            xySource = static_cast<uint8_t>(at.address >> 8);
        }
        testBit<P>(m.regs, I.first.value, x, xySource);
    } else if constexpr (I.op == O::res) {
        writeBack<P, I>(m, at, static_cast<uint8_t>(x & ~(1u << I.first.value)));
    } else if constexpr (I.op == O::set) {
        writeBack<P, I>(m, at, static_cast<uint8_t>(x | (1u << I.first.value)));
    } else {
        writeBack<P, I>(m, at, shift8<shiftOf<I.op>(), P>(m.regs, x));
    }
}

template <Personality P, OpcodeInfo I, class M>
inline void rotateDigit(M& m) {
    CpuRegisters& r = m.regs;
    const uint16_t hl = r.hl();
    const uint8_t mem = readByte(m, hl);
    if constexpr (I.op == O::rrd) {
        writeByte(m, hl, static_cast<uint8_t>((r.a << 4) | (mem >> 4)));
        r.a = static_cast<uint8_t>((r.a & 0xF0) | (mem & 0x0F));
    } else {
        writeByte(m, hl, static_cast<uint8_t>((mem << 4) | (r.a & 0x0F)));
        r.a = static_cast<uint8_t>((r.a & 0xF0) | (mem >> 4));
    }
    r.f = static_cast<uint8_t>(szFlags(r.a) | parityTable[r.a] | (r.f & flagC) | xyFlags<P>(r.a));
    setWZ<P>(m, hl + 1u);
}

// --- control transfer -------------------------------------------------------------------

// The displacement counts from the address after it.
template <Personality P, class M>
inline void jumpRelative(M& m) {
    const auto e = static_cast<int8_t>(fetchByte(m));
    const auto target = static_cast<uint16_t>(m.regs.pc + e);
    setWZ<P>(m, target);
    jumpTo(m, target);
}

// A transfer that is not taken: this machine re-derives the stream past the operand;
// the chip just reads the operand.
template <Personality P, unsigned OperandBytes, class M>
inline void passOver(M& m) {
    if constexpr (P == complete) {
        if constexpr (OperandBytes == 1)
            (void)fetchByte(m);
        else
            setWZ<P>(m, fetchWord(m));
    } else {
        jumpTo(m, static_cast<uint16_t>(m.regs.pc + OperandBytes));
    }
}

template <Personality P, OpcodeInfo I, class M>
inline void jp(M& m) {
    constexpr Arg T = I.first.arg;
    if constexpr (T == Arg::hl || T == Arg::ix || T == Arg::iy) {
        jumpTo(m, pair<T>(m.regs));
    } else if constexpr (T == Arg::nn) {
        const uint16_t target = fetchWord(m);
        setWZ<P>(m, target);
        jumpTo(m, target);
    } else if (condition<I.first.value>(m.regs)) {
        const uint16_t target = fetchWord(m);
        setWZ<P>(m, target);
        jumpTo(m, target);
    } else {
        passOver<P, 2>(m);
    }
}

template <Personality P, OpcodeInfo I, class M>
inline void jr(M& m) {
    if constexpr (I.first.arg == Arg::rel) {
        jumpRelative<P>(m);
    } else if (condition<I.first.value>(m.regs)) {
        countTaken<P, I>(m);
        jumpRelative<P>(m);
    } else {
        passOver<P, 1>(m);
    }
}

template <Personality P, OpcodeInfo I, class M>
inline void djnz(M& m) {
    if (--m.regs.b != 0) {
        countTaken<P, I>(m);
        jumpRelative<P>(m);
    } else {
        passOver<P, 1>(m);
    }
}

// The return address is PC after the whole instruction. Below 0x8000 the push is lost.
template <Personality P, class M>
inline void callTo(M& m, uint16_t target) {
    push<P>(m, m.regs.pc);
    setWZ<P>(m, target);
    jumpTo(m, target);
}

template <Personality P, OpcodeInfo I, class M>
inline void call(M& m) {
    if constexpr (I.first.arg == Arg::nn) {
        callTo<P>(m, fetchWord(m));
    } else if (condition<I.first.value>(m.regs)) {
        countTaken<P, I>(m);
        callTo<P>(m, fetchWord(m));
    } else {
        passOver<P, 2>(m);
    }
}

template <Personality P, class M>
inline void returnFromStack(M& m) {
    const uint16_t target = pop<P>(m);
    setWZ<P>(m, target);
    jumpTo(m, target);
}

template <Personality P, OpcodeInfo I, class M>
inline void ret(M& m) {
    if constexpr (I.first.arg == Arg::none) {
        returnFromStack<P>(m);
    } else if (condition<I.first.value>(m.regs)) {
        countTaken<P, I>(m);
        returnFromStack<P>(m);
    }
}

// RETN and RETI: this machine has one enable bit to set; the chip copies IFF2 to IFF1.
template <Personality P, class M>
inline void returnFromInterrupt(M& m) {
    CpuRegisters& r = m.regs;
    if constexpr (P == complete)
        r.intFlags =
            static_cast<uint8_t>((r.intFlags & ~intEnableBit) | (m.chip.iff2 ? intEnableBit : 0));
    else
        r.intFlags |= intEnableBit;
    returnFromStack<P>(m);
}

// Restarts run in ROM page 0 whatever the bank.
template <Personality P, OpcodeInfo I, class M>
inline void rst(M& m) {
    constexpr uint16_t target = I.first.value;
    push<P>(m, m.regs.pc);
    setWZ<P>(m, target);
    restartAt(m, target);
}

// This machine: with interrupts enabled HALT asks the loop to pause (PC already at the
// next instruction, which runs once the machine is woken; a pending Stop, Abort or
// Interrupt is kept); otherwise it does nothing. The chip stays on HALT, running it
// again every four T-states until an interrupt.
template <Personality P, class M>
inline void halt(M& m) {
    if constexpr (P == complete) {
        m.chip.halted = true;
        jumpTo(m, static_cast<uint16_t>(m.regs.pc - 1));
    } else if (m.regs.interruptsEnabled()) {
        requestPause(m);
    }
}

// The chip takes no interrupt right after EI; this machine can, before the instruction
// that follows it.
template <Personality P, bool Enable, class M>
inline void setInterrupts(M& m) {
    if constexpr (Enable)
        m.regs.intFlags |= intEnableBit;
    else
        m.regs.intFlags &= static_cast<uint8_t>(~intEnableBit);
    if constexpr (P == complete) {
        m.chip.iff2 = Enable;
        if constexpr (Enable) m.chip.noInterruptAt = m.chip.clock();
    }
}

template <unsigned Mode, class M>
inline void interruptMode(M& m) {
    m.regs.setInterruptMode(Mode);
}

// --- ports -------------------------------------------------------------------------------

template <Personality P, OpcodeInfo I, class M>
inline void in(M& m) {
    CpuRegisters& r = m.regs;
    constexpr Arg D = I.first.arg;
    if constexpr (I.second.arg == Arg::atN) {  // IN A,(n): only the 8-bit port number
        const uint8_t port = fetchByte(m);
        setWZ<P>(m, (r.a << 8 | port) + 1);
        r.a = portRead(m, port);
    } else {
        const uint8_t value = portRead(m, r.c);
        if constexpr (D != Arg::f) register8<D>(r) = value;
        r.f = static_cast<uint8_t>(szFlags(value) | parityTable[value] | (r.f & flagC) |
                                   xyFlags<P>(value));
        setWZ<P>(m, r.bc() + 1u);
    }
}

// On the chip the stream is re-derived after a port write, which may switch the bank
// that the code runs in.
template <Personality P, class M>
inline void afterPortWrite(M& m) {
    if constexpr (P == complete) jumpTo(m, m.regs.pc);
}

template <Personality P, OpcodeInfo I, class M>
inline void out(M& m) {
    CpuRegisters& r = m.regs;
    if constexpr (I.first.arg == Arg::atN) {
        const uint8_t port = fetchByte(m);
        setWZ<P>(m, r.a << 8 | ((port + 1) & 0xFF));
        portWrite(m, port, r.a);
    } else {
        constexpr Arg S = I.second.arg;
        uint8_t value = 0;
        if constexpr (S != Arg::number) value = register8<S>(r);
        portWrite(m, r.c, value);
        setWZ<P>(m, r.bc() + 1u);
    }
    afterPortWrite<P>(m);
}

// --- block instructions -------------------------------------------------------------------

constexpr bool countsDown(Operation op) {
    return op == O::ldd || op == O::lddr || op == O::cpd || op == O::cpdr || op == O::ind ||
           op == O::indr || op == O::outd || op == O::otdr;
}

// This machine's block instructions: the repeating forms run whole.
template <OpcodeInfo I, class M>
inline void classicBlock(M& m) {
    constexpr int step = countsDown(I.op) ? -1 : 1;
    constexpr bool repeat = describe::repeats(I.op);
    CpuRegisters& r = m.regs;
    if constexpr (I.store == Store::blockAtDE) {  // LDI, LDD, LDIR, LDDR
        const auto copyStep = [&] {
            const uint16_t hl = r.hl();
            const uint16_t de = r.de();
            writeByte(m, de, readByte(m, hl));
            r.setHL(static_cast<uint16_t>(hl + step));
            r.setDE(static_cast<uint16_t>(de + step));
            r.setBC(static_cast<uint16_t>(r.bc() - 1));
        };
        if constexpr (repeat) {
            do copyStep();
            while (r.bc() != 0);
            r.f &= 0xE9;
        } else {
            copyStep();
            r.f = static_cast<uint8_t>((r.f & 0xE9) | (r.bc() != 0 ? flagPV : 0));
        }
    } else if constexpr (I.op == O::cpi || I.op == O::cpd || I.op == O::cpir || I.op == O::cpdr) {
        uint8_t operand = 0;
        uint8_t diff = 0;
        do {
            const uint16_t hl = r.hl();
            operand = readByte(m, hl);
            r.setHL(static_cast<uint16_t>(hl + step));
            r.setBC(static_cast<uint16_t>(r.bc() - 1));
            diff = static_cast<uint8_t>(r.a - operand);
        } while (repeat && r.bc() != 0 && diff != 0);
        r.f = static_cast<uint8_t>((diff & flagS) | (diff == 0 ? flagZ : 0) |
                                   ((r.a ^ operand ^ diff) & flagH) | (r.bc() != 0 ? flagPV : 0) |
                                   flagN | (r.f & flagC));
    } else if constexpr (I.store == Store::blockAtHL) {  // INI, IND, INIR, INDR
        do {
            const uint8_t value = portRead(m, r.c);
            const uint16_t hl = r.hl();
            writeByte(m, hl, value);
            r.setHL(static_cast<uint16_t>(hl + step));
            r.b = static_cast<uint8_t>(r.b - 1);
        } while (repeat && r.b != 0);
        r.f = r.b == 0 ? 0x42 : 0x02;
    } else {  // OUTI, OUTD, OTIR, OTDR
        do {
            const uint16_t hl = r.hl();
            const uint8_t value = readByte(m, hl);
            r.setHL(static_cast<uint16_t>(hl + step));
            portWrite(m, r.c, value);
            r.b = static_cast<uint8_t>(r.b - 1);
        } while (repeat && r.b != 0);
        r.f = r.b == 0 ? 0x42 : 0x02;
    }
}

// The chip's block instructions: one round each time; a round that repeats moves PC
// back onto the instruction, so that interrupts and time pass between rounds.
template <OpcodeInfo I, class M>
inline void chipBlock(M& m) {
    constexpr int step = countsDown(I.op) ? -1 : 1;
    constexpr bool repeatable = describe::repeats(I.op);
    CpuRegisters& r = m.regs;
    bool again = false;
    if constexpr (I.store == Store::blockAtDE) {  // LDI, LDD, LDIR, LDDR
        const uint8_t value = readByte(m, r.hl());
        writeByte(m, r.de(), value);
        r.setHL(static_cast<uint16_t>(r.hl() + step));
        r.setDE(static_cast<uint16_t>(r.de() + step));
        r.setBC(static_cast<uint16_t>(r.bc() - 1));
        const auto n = static_cast<unsigned>(value + r.a);
        r.f = static_cast<uint8_t>((r.f & (flagS | flagZ | flagC)) | (r.bc() != 0 ? flagPV : 0) |
                                   (n & flag3) | ((n << 4) & flag5));
        again = repeatable && r.bc() != 0;
    } else if constexpr (I.op == O::cpi || I.op == O::cpd || I.op == O::cpir || I.op == O::cpdr) {
        const uint8_t value = readByte(m, r.hl());
        const auto diff = static_cast<uint8_t>(r.a - value);
        r.setHL(static_cast<uint16_t>(r.hl() + step));
        r.setBC(static_cast<uint16_t>(r.bc() - 1));
        const unsigned half = (r.a ^ value ^ diff) & flagH;
        const unsigned n = diff - (half ? 1u : 0u);
        r.f = static_cast<uint8_t>(szFlags(diff) | half | (r.bc() != 0 ? flagPV : 0) | flagN |
                                   (r.f & flagC) | (n & flag3) | ((n << 4) & flag5));
        m.chip.wz = static_cast<uint16_t>(m.chip.wz + step);
        again = repeatable && r.bc() != 0 && diff != 0;
    } else {
        constexpr bool input = I.store == Store::blockAtHL;
        uint8_t value = 0;
        unsigned k = 0;
        if constexpr (input) {  // INI, IND, INIR, INDR: the port is read with B as it was
            value = portRead(m, r.c);
            m.chip.wz = static_cast<uint16_t>(r.bc() + step);
            writeByte(m, r.hl(), value);
            r.b = static_cast<uint8_t>(r.b - 1);
            r.setHL(static_cast<uint16_t>(r.hl() + step));
            k = static_cast<unsigned>(value + ((r.c + step) & 0xFF));
        } else {  // OUTI, OUTD, OTIR, OTDR: B counts down before the write
            value = readByte(m, r.hl());
            r.b = static_cast<uint8_t>(r.b - 1);
            m.chip.wz = static_cast<uint16_t>(r.bc() + step);
            portWrite(m, r.c, value);
            r.setHL(static_cast<uint16_t>(r.hl() + step));
            k = static_cast<unsigned>(value + r.l);
        }
        r.f = static_cast<uint8_t>(szFlags(r.b) | (r.b & flags53) | ((value >> 6) & flagN) |
                                   (k > 0xFF ? flagH | flagC : 0) | parityTable[(k & 7) ^ r.b]);
        again = repeatable && r.b != 0;
        if constexpr (!input)
            if (!again) afterPortWrite<complete>(m);
    }
    if (again) {
        countTaken<complete, I>(m);
        jumpTo(m, static_cast<uint16_t>(m.regs.pc - 2));
        if constexpr (I.store == Store::blockAtDE || I.op == O::cpir || I.op == O::cpdr)
            m.chip.wz = static_cast<uint16_t>(m.regs.pc + 1);
    }
}

}  // namespace exec

// The handler of a DDCB/FDCB final byte described by I.
template <Personality P, OpcodeInfo I, class M>
void executeIndexedCb(M& m, uint16_t address) {
    exec::count<P, I>(m);
    exec::cbOperation<P, I>(m, AtAddress{address});
}

// A final byte without an instruction on this machine: the trap, with PC already past
// the four bytes.
template <class M>
inline void indexedCbTrap(M& m, uint16_t) {
    illegalOpcodeTrap(m);
}

template <Personality P, class M>
using IndexedCbTable = std::array<IndexedCbHandler<M>, 256>;

namespace exec {

template <Personality P, std::size_t Op, class M>
constexpr IndexedCbHandler<M> indexedCbHandler() {
    if constexpr (P == Personality::complete || indexedCbSet[Op].classic)
        return executeIndexedCb<P, indexedCbSet[Op], M>;
    else
        return indexedCbTrap<M>;
}

template <Personality P, class M, std::size_t... Op>
constexpr IndexedCbTable<P, M> buildIndexedCbTable(std::index_sequence<Op...>) {
    return {indexedCbHandler<P, Op, M>()...};
}

}  // namespace exec

// The operation of each DDCB/FDCB final byte, one lookup per instruction. (IX+d) is
// formed before, so the DD half of the description serves FD as well.
template <Personality P, class M>
inline constexpr IndexedCbTable<P, M> indexedCbTable =
    exec::buildIndexedCbTable<P, M>(std::make_index_sequence<256>{});

// The handler of one slot, described by I.
template <Personality P, OpcodeInfo I, class M>
void execute(M& m) {
    using namespace exec;
    count<P, I>(m);
    constexpr O op = I.op;
    [[maybe_unused]] CpuRegisters& r = m.regs;
    if constexpr (op == O::nop || op == O::edNop) {
    } else if constexpr (op == O::prefix) {
        constexpr std::size_t base = I.first.value == 0xCB   ? cbTableBase
                                     : I.first.value == 0xDD ? ddTableBase
                                     : I.first.value == 0xED ? edTableBase
                                                             : fdTableBase;
        dispatch(m, P, base + fetchByte(m));
    } else if constexpr (op == O::indexedPrefix) {
        const uint16_t address = displaced(m, I.first.value == 0xDD ? r.ix : r.iy);
        const uint8_t final = fetchByte(m);
        indexedCbTable<P, M>[final](m, address);
    } else if constexpr (op == O::droppedPrefix) {
        // Start again at the next byte, so that only the last prefix of a run counts.
        jumpTo(m, static_cast<uint16_t>(r.pc - 1));
        if constexpr (P == complete) m.chip.noInterruptAt = m.chip.clock();
    } else if constexpr (op == O::ld8) {
        ld8<P, I>(m);
    } else if constexpr (op == O::ld16) {
        ld16<P, I>(m);
    } else if constexpr (op == O::ldAFromIR) {
        ldAFromIR<P, I>(m);
    } else if constexpr (op == O::push) {
        push<P>(m, pair<I.first.arg>(r));
    } else if constexpr (op == O::pop) {
        setPair<I.first.arg>(r, pop<P>(m));
    } else if constexpr (op == O::exAF) {
        const uint16_t af = r.af();
        r.setAF(r.afAlt);
        r.afAlt = af;
    } else if constexpr (op == O::exx) {
        exx(m);
    } else if constexpr (op == O::exDEHL) {
        std::swap(r.d, r.h);
        std::swap(r.e, r.l);
    } else if constexpr (op == O::exSP) {
        exSP<P, I>(m);
    } else if constexpr (op >= O::add && op <= O::cp) {
        alu<static_cast<AluOp>(static_cast<unsigned>(op) - static_cast<unsigned>(O::add)), P, I>(m);
    } else if constexpr (op == O::inc8 || op == O::dec8) {
        incDec8<op == O::inc8, P, I>(m);
    } else if constexpr (op == O::inc16) {
        setPair<I.first.arg>(r, static_cast<uint16_t>(pair<I.first.arg>(r) + 1));
    } else if constexpr (op == O::dec16) {
        setPair<I.first.arg>(r, static_cast<uint16_t>(pair<I.first.arg>(r) - 1));
    } else if constexpr (op == O::add16) {
        exec::add16<P, I>(m);
    } else if constexpr (op == O::adc16 || op == O::sbc16) {
        adcSbc16<op == O::adc16, P, I>(m);
    } else if constexpr (op >= O::rlca && op <= O::neg) {
        accumulator<op, P>(m);
    } else if constexpr (op >= O::rlc && op <= O::set) {
        constexpr Arg operand = op >= O::bit ? I.second.arg : I.first.arg;
        cbOperation<P, I>(m, resolve8<operand>(m));
    } else if constexpr (op == O::rrd || op == O::rld) {
        rotateDigit<P, I>(m);
    } else if constexpr (op == O::jp) {
        jp<P, I>(m);
    } else if constexpr (op == O::jr) {
        jr<P, I>(m);
    } else if constexpr (op == O::djnz) {
        djnz<P, I>(m);
    } else if constexpr (op == O::call) {
        call<P, I>(m);
    } else if constexpr (op == O::ret) {
        ret<P, I>(m);
    } else if constexpr (op == O::retn || op == O::reti) {
        returnFromInterrupt<P>(m);
    } else if constexpr (op == O::rst) {
        rst<P, I>(m);
    } else if constexpr (op == O::halt) {
        halt<P>(m);
    } else if constexpr (op == O::di || op == O::ei) {
        setInterrupts<P, op == O::ei>(m);
    } else if constexpr (op == O::im) {
        interruptMode<I.first.value>(m);
    } else if constexpr (op == O::in) {
        in<P, I>(m);
    } else if constexpr (op == O::out) {
        out<P, I>(m);
    } else {
        static_assert(describe::isBlock(op), "an operation without semantics");
        if constexpr (P == complete)
            chipBlock<I>(m);
        else
            classicBlock<I>(m);
    }
}

}  // namespace vantrel
