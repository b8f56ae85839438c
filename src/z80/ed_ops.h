// ED-prefixed instructions: block transfer, search and I/O, IN r,(C) and OUT (C),r,
// 16-bit ADC/SBC, loads through an absolute address, NEG, RETN/RETI, IM, I and R,
// RRD and RLD. None of the undocumented ED forms exists here; those slots trap.
//
// The repeating block instructions run their whole loop in one call: the request word
// is not looked at and no interrupt is taken in their middle. Port instructions pass
// C alone as the port number. There is no R register: LD R,A does nothing and LD A,R
// reads 0.
#pragma once

#include <cstddef>
#include <utility>

#include "z80/alu.h"
#include "z80/main_ops.h"
#include "z80/operands.h"
#include "z80/table_layout.h"

namespace vantrel {

constexpr bool edOpcodeExists(unsigned op) {
    if (op >= 0xA0 && op <= 0xBB) return (op & 0x04) == 0;  // the sixteen block instructions
    if (op < 0x40 || op > 0x7F) return false;
    // IN (C), OUT (C),0 and the second encodings of LD (nn),HL and LD HL,(nn).
    if (op == 0x70 || op == 0x71 || op == 0x63 || op == 0x6B) return false;
    if ((op & 7) <= 3) return true;  // IN r,(C); OUT (C),r; SBC/ADC HL,ss; LD (nn),ss; LD ss,(nn)
    // NEG, RETN, RETI, IM 0/1/2, LD I,A, LD R,A, LD A,I, LD A,R, RRD, RLD: no copies.
    for (unsigned single :
         {0x44u, 0x45u, 0x4Du, 0x46u, 0x56u, 0x5Eu, 0x47u, 0x4Fu, 0x57u, 0x5Fu, 0x67u, 0x6Fu})
        if (op == single) return true;
    return false;
}

// One step of LDI/LDD/LDIR/LDDR; Step is +1 or -1.
template <int Step, class M>
inline void blockCopyStep(M& m) {
    CpuRegisters& r = m.regs;
    const uint16_t hl = r.hl();
    const uint16_t de = r.de();
    writeByte(m, de, readByte(m, hl));
    r.setHL(static_cast<uint16_t>(hl + Step));
    r.setDE(static_cast<uint16_t>(de + Step));
    r.setBC(static_cast<uint16_t>(r.bc() - 1));
}

// One step of CPI/CPD/CPIR/CPDR; gives the difference and leaves F to the caller.
template <int Step, class M>
inline uint8_t blockCompareStep(M& m, uint8_t& operand) {
    CpuRegisters& r = m.regs;
    const uint16_t hl = r.hl();
    operand = readByte(m, hl);
    r.setHL(static_cast<uint16_t>(hl + Step));
    r.setBC(static_cast<uint16_t>(r.bc() - 1));
    return static_cast<uint8_t>(r.a - operand);
}

template <int Step, class M>
inline void blockInputStep(M& m) {
    CpuRegisters& r = m.regs;
    const uint8_t value = portRead(m, r.c);
    const uint16_t hl = r.hl();
    writeByte(m, hl, value);
    r.setHL(static_cast<uint16_t>(hl + Step));
    r.b = static_cast<uint8_t>(r.b - 1);
}

template <int Step, class M>
inline void blockOutputStep(M& m) {
    CpuRegisters& r = m.regs;
    const uint16_t hl = r.hl();
    const uint8_t value = readByte(m, hl);
    r.setHL(static_cast<uint16_t>(hl + Step));
    portWrite(m, r.c, value);
    r.b = static_cast<uint8_t>(r.b - 1);
}

template <uint8_t Op, class M>
inline void edHandler(M& m) {
    constexpr unsigned y = (Op >> 3) & 7;
    constexpr unsigned z = Op & 7;
    constexpr unsigned pair = (Op >> 4) & 3;
    constexpr int step = (Op & 0x08) ? -1 : 1;  // the D forms count down
    constexpr bool repeat = (Op & 0x10) != 0;
    CpuRegisters& r = m.regs;

    if constexpr (Op >= 0xA0 && z == 0) {  // LDI, LDD, LDIR, LDDR
        if constexpr (repeat) {
            do blockCopyStep<step>(m);
            while (r.bc() != 0);
            r.f &= 0xE9;
        } else {
            blockCopyStep<step>(m);
            r.f = static_cast<uint8_t>((r.f & 0xE9) | (r.bc() != 0 ? flagPV : 0));
        }
    } else if constexpr (Op >= 0xA0 && z == 1) {  // CPI, CPD, CPIR, CPDR
        uint8_t operand = 0;
        uint8_t diff = 0;
        do diff = blockCompareStep<step>(m, operand);
        while (repeat && r.bc() != 0 && diff != 0);
        r.f = static_cast<uint8_t>((diff & flagS) | (diff == 0 ? flagZ : 0) |
                                   ((r.a ^ operand ^ diff) & flagH) | (r.bc() != 0 ? flagPV : 0) |
                                   flagN | (r.f & flagC));
    } else if constexpr (Op >= 0xA0 && z == 2) {  // INI, IND, INIR, INDR
        do blockInputStep<step>(m);
        while (repeat && r.b != 0);
        r.f = r.b == 0 ? 0x42 : 0x02;
    } else if constexpr (Op >= 0xA0 && z == 3) {  // OUTI, OUTD, OTIR, OTDR
        do blockOutputStep<step>(m);
        while (repeat && r.b != 0);
        r.f = r.b == 0 ? 0x42 : 0x02;
    } else if constexpr (z == 0) {  // IN r,(C)
        const uint8_t value = portRead(m, r.c);
        registerField<y>(r) = value;
        r.f = static_cast<uint8_t>(szFlags(value) | parityTable[value] | (r.f & flagC));
    } else if constexpr (z == 1) {  // OUT (C),r
        portWrite(m, r.c, registerField<y>(r));
    } else if constexpr (z == 2) {  // SBC HL,ss (y even) and ADC HL,ss (y odd)
        const unsigned hl = r.hl();
        const unsigned operand = pairField<pair>(r);
        const unsigned carry = r.f & flagC;
        unsigned t = 0;
        unsigned overflow = 0;
        if constexpr ((y & 1) != 0) {
            t = hl + operand + carry;
            overflow = ~(hl ^ operand) & (operand ^ t);
        } else {
            t = hl - operand - carry;
            overflow = (hl ^ operand) & (hl ^ t);
        }
        const auto result = static_cast<uint16_t>(t);
        r.setHL(result);
        r.f = static_cast<uint8_t>(((result >> 8) & flagS) | (result == 0 ? flagZ : 0) |
                                   ((overflow >> 13) & flagPV) | ((y & 1) ? 0 : flagN) |
                                   ((t >> 16) & flagC));
    } else if constexpr (z == 3 && (y & 1) == 0) {  // LD (nn),ss
        writeWord(m, fetchWord(m), pairField<pair>(r));
    } else if constexpr (z == 3) {  // LD ss,(nn)
        setPairField<pair>(r, readWord(m, fetchWord(m)));
    } else if constexpr (Op == 0x44) {  // NEG
        const uint8_t old = r.a;
        const auto result = static_cast<uint8_t>(0u - old);
        r.a = result;
        r.f = static_cast<uint8_t>(szFlags(result) | ((old ^ result) & flagH) |
                                   (old == 0x80 ? flagPV : 0) | flagN | (old != 0 ? flagC : 0));
    } else if constexpr (Op == 0x45 || Op == 0x4D) {  // RETN, RETI: one enable bit to restore
        r.intFlags |= intEnableBit;
        jumpTo(m, popWord(m));
    } else if constexpr (Op == 0x46) {
        r.intFlags &= static_cast<uint8_t>(~(intMode1Bit | intMode2Bit));
    } else if constexpr (Op == 0x56) {
        r.intFlags = static_cast<uint8_t>((r.intFlags & ~intMode2Bit) | intMode1Bit);
    } else if constexpr (Op == 0x5E) {
        r.intFlags = static_cast<uint8_t>((r.intFlags & ~intMode1Bit) | intMode2Bit);
    } else if constexpr (Op == 0x47) {
        r.i = r.a;
    } else if constexpr (Op == 0x57) {  // LD A,I
        r.a = r.i;
        r.f = static_cast<uint8_t>(szFlags(r.a) | (r.interruptsEnabled() ? flagPV : 0) |
                                   (r.f & flagC));
    } else if constexpr (Op == 0x5F) {  // LD A,R reads 0
        r.a = 0;
        r.f = static_cast<uint8_t>(flagZ | (r.interruptsEnabled() ? flagPV : 0) | (r.f & flagC));
    } else {
        static_assert(Op == 0x67 || Op == 0x6F, "opcode without an ED instruction");
        const uint16_t hl = r.hl();
        const uint8_t mem = readByte(m, hl);
        if constexpr (Op == 0x67) {  // RRD
            writeByte(m, hl, static_cast<uint8_t>((r.a << 4) | (mem >> 4)));
            r.a = static_cast<uint8_t>((r.a & 0xF0) | (mem & 0x0F));
        } else {  // RLD
            writeByte(m, hl, static_cast<uint8_t>((mem << 4) | (r.a & 0x0F)));
            r.a = static_cast<uint8_t>((r.a & 0xF0) | (mem >> 4));
        }
        r.f = static_cast<uint8_t>(szFlags(r.a) | parityTable[r.a] | (r.f & flagC));
    }
}

namespace detail {

template <uint8_t Op, class M, class Table>
constexpr void edSlot(Table& table) {
    // LD R,A is the machine's NOP: there is no R register to load.
    if constexpr (Op == 0x4F)
        table[edTableBase + Op] = nopHandler<M>;
    else if constexpr (edOpcodeExists(Op))
        table[edTableBase + Op] = edHandler<Op, M>;
}

template <class M, class Table, std::size_t... Op>
constexpr void fillEd(Table& table, std::index_sequence<Op...>) {
    (edSlot<static_cast<uint8_t>(Op), M>(table), ...);
}

}  // namespace detail

// Fills the working slots; the others keep the trap the table was built with.
template <class M, class Table>
constexpr void fillEdTable(Table& table) {
    detail::fillEd<M>(table, std::make_index_sequence<256>{});
}

}  // namespace vantrel
