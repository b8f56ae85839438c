// Operands by their kind in the instruction set's description.
//
// Each handler is a template instance with its operands fixed, so the kinds are
// resolved at compile time and never decoded while running. An 8-bit operand is first
// resolved (a memory operand's address formed, fetching (IX+d)'s displacement or (nn)
// from the stream), then read or written.
#pragma once

#include <cstdint>

#include "z80/cpu_registers.h"
#include "z80/instruction_set.h"
#include "z80/personality.h"

namespace vantrel {

template <Arg A>
constexpr uint8_t& register8(CpuRegisters& r) {
    if constexpr (A == Arg::b)
        return r.b;
    else if constexpr (A == Arg::c)
        return r.c;
    else if constexpr (A == Arg::d)
        return r.d;
    else if constexpr (A == Arg::e)
        return r.e;
    else if constexpr (A == Arg::h)
        return r.h;
    else if constexpr (A == Arg::l)
        return r.l;
    else if constexpr (A == Arg::a)
        return r.a;
    else if constexpr (A == Arg::f)
        return r.f;
    else {
        static_assert(A == Arg::i, "an 8-bit register");
        return r.i;
    }
}

template <Arg A>
constexpr uint16_t pair(const CpuRegisters& r) {
    if constexpr (A == Arg::bc)
        return r.bc();
    else if constexpr (A == Arg::de)
        return r.de();
    else if constexpr (A == Arg::hl)
        return r.hl();
    else if constexpr (A == Arg::sp)
        return r.sp;
    else if constexpr (A == Arg::ix)
        return r.ix;
    else if constexpr (A == Arg::iy)
        return r.iy;
    else {
        static_assert(A == Arg::af, "a register pair");
        return r.af();
    }
}

template <Arg A>
constexpr void setPair(CpuRegisters& r, uint16_t value) {
    if constexpr (A == Arg::bc)
        r.setBC(value);
    else if constexpr (A == Arg::de)
        r.setDE(value);
    else if constexpr (A == Arg::hl)
        r.setHL(value);
    else if constexpr (A == Arg::sp)
        r.sp = value;
    else if constexpr (A == Arg::ix)
        r.ix = value;
    else if constexpr (A == Arg::iy)
        r.iy = value;
    else {
        static_assert(A == Arg::af, "a register pair");
        r.setAF(value);
    }
}

// Condition field: NZ, Z, NC, C, PO, PE, P, M.
template <unsigned C>
constexpr bool condition(const CpuRegisters& r) {
    constexpr uint8_t flagOf[4] = {flagZ, flagC, flagPV, flagS};
    const bool set = (r.f & flagOf[C >> 1]) != 0;
    return (C & 1) ? set : !set;
}

// --- 8-bit operands ----------------------------------------------------------------

struct AtAddress {
    uint16_t address;
};
struct Immediate {
    uint8_t value;
};
template <Arg A>
struct InRegister {};

// The index register plus the displacement that follows in the stream.
template <class M>
inline uint16_t displaced(M& m, uint16_t index) {
    const auto d = static_cast<int8_t>(fetchByte(m));
    return static_cast<uint16_t>(index + d);
}

template <Arg A, class M>
inline auto resolve8(M& m) {
    if constexpr (A == Arg::atHL)
        return AtAddress{m.regs.hl()};
    else if constexpr (A == Arg::atBC)
        return AtAddress{m.regs.bc()};
    else if constexpr (A == Arg::atDE)
        return AtAddress{m.regs.de()};
    else if constexpr (A == Arg::atIXd)
        return AtAddress{displaced(m, m.regs.ix)};
    else if constexpr (A == Arg::atIYd)
        return AtAddress{displaced(m, m.regs.iy)};
    else if constexpr (A == Arg::atNN)
        return AtAddress{fetchWord(m)};
    else if constexpr (A == Arg::n)
        return Immediate{fetchByte(m)};
    else
        return InRegister<A>{};
}

template <class M>
inline uint8_t read8(M& m, AtAddress at) {
    return readByte(m, at.address);
}
template <class M>
inline uint8_t read8(M&, Immediate imm) {
    return imm.value;
}
template <class M, Arg A>
inline uint8_t read8(M& m, InRegister<A>) {
    if constexpr (A == Arg::ixh)
        return static_cast<uint8_t>(m.regs.ix >> 8);
    else if constexpr (A == Arg::ixl)
        return static_cast<uint8_t>(m.regs.ix);
    else if constexpr (A == Arg::iyh)
        return static_cast<uint8_t>(m.regs.iy >> 8);
    else if constexpr (A == Arg::iyl)
        return static_cast<uint8_t>(m.regs.iy);
    else if constexpr (A == Arg::r)
        return m.chip.r();
    else
        return register8<A>(m.regs);
}

template <class M>
inline void write8(M& m, AtAddress at, uint8_t value) {
    writeByte(m, at.address, value);
}
template <class M, Arg A>
inline void write8(M& m, InRegister<A>, uint8_t value) {
    CpuRegisters& r = m.regs;
    if constexpr (A == Arg::ixh)
        r.ix = static_cast<uint16_t>((r.ix & 0x00FF) | value << 8);
    else if constexpr (A == Arg::ixl)
        r.ix = static_cast<uint16_t>((r.ix & 0xFF00) | value);
    else if constexpr (A == Arg::iyh)
        r.iy = static_cast<uint16_t>((r.iy & 0x00FF) | value << 8);
    else if constexpr (A == Arg::iyl)
        r.iy = static_cast<uint16_t>((r.iy & 0xFF00) | value);
    else if constexpr (A == Arg::r)
        m.chip.setR(value);
    else
        register8<A>(r) = value;
}

// --- words through memory ------------------------------------------------------------

// The chip moves a word as two bytes, low first, each through the memory map. This
// machine's own word access (readWord, writeWord) takes two consecutive host bytes.
template <Personality P, class M>
inline uint16_t loadWord(M& m, uint16_t address) {
    if constexpr (P == Personality::complete)
        return static_cast<uint16_t>(readByte(m, address) |
                                     readByte(m, static_cast<uint16_t>(address + 1)) << 8);
    else
        return readWord(m, address);
}

template <Personality P, class M>
inline void storeWord(M& m, uint16_t address, uint16_t value) {
    if constexpr (P == Personality::complete) {
        writeByte(m, address, static_cast<uint8_t>(value));
        writeByte(m, static_cast<uint16_t>(address + 1), static_cast<uint8_t>(value >> 8));
    } else {
        writeWord(m, address, value);
    }
}

// The chip pushes the high byte first.
template <Personality P, class M>
inline void push(M& m, uint16_t value) {
    if constexpr (P == Personality::complete) {
        CpuRegisters& r = m.regs;
        r.sp = static_cast<uint16_t>(r.sp - 1);
        writeByte(m, r.sp, static_cast<uint8_t>(value >> 8));
        r.sp = static_cast<uint16_t>(r.sp - 1);
        writeByte(m, r.sp, static_cast<uint8_t>(value));
    } else {
        pushWord(m, value);
    }
}

template <Personality P, class M>
inline uint16_t pop(M& m) {
    if constexpr (P == Personality::complete) {
        const uint16_t value = loadWord<P>(m, m.regs.sp);
        m.regs.sp = static_cast<uint16_t>(m.regs.sp + 2);
        return value;
    } else {
        return popWord(m);
    }
}

}  // namespace vantrel
