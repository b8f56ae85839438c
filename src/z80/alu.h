// Flag arithmetic shared by every instruction family, for both personalities.
//
// This machine's flag rules: bits 5 and 3 of F are cleared by every flag-setting
// instruction here (never copied from the result), and everything is computed with
// straight-line arithmetic plus one parity lookup. The complete chip copies bits 5 and 3
// from the result (from the operand for CP) and differs in DAA, CCF and the 16-bit
// additions' H.
#pragma once

#include <array>
#include <cstdint>

#include "z80/cpu_registers.h"
#include "z80/personality.h"

namespace vantrel {

inline constexpr uint8_t flag5 = 0x20;
inline constexpr uint8_t flag3 = 0x08;
inline constexpr uint8_t flags53 = flag5 | flag3;

// 0x04 (the P/V bit) for an even number of one bits, else 0.
inline constexpr std::array<uint8_t, 256> parityTable = [] {
    std::array<uint8_t, 256> table{};
    for (int v = 0; v < 256; ++v) {
        int ones = 0;
        for (int bit = 0; bit < 8; ++bit) ones += (v >> bit) & 1;
        table[static_cast<std::size_t>(v)] = (ones % 2 == 0) ? flagPV : 0;
    }
    return table;
}();

inline constexpr uint8_t szFlags(uint8_t r) {
    return static_cast<uint8_t>((r & flagS) | (r == 0 ? flagZ : 0));
}

// Bits 5 and 3 of a value where the complete chip copies them into F; 0 on this machine.
template <Personality P>
inline constexpr uint8_t xyFlags(unsigned value) {
    if constexpr (P == Personality::complete)
        return static_cast<uint8_t>(value & flags53);
    else
        return 0;
}

// ADD and ADC: carryIn is 0 or 1.
template <Personality P>
inline constexpr void add8(CpuRegisters& r, uint8_t b, unsigned carryIn) {
    const unsigned a = r.a;
    const unsigned sum = a + b + carryIn;
    const uint8_t res = static_cast<uint8_t>(sum);
    r.f = static_cast<uint8_t>(szFlags(res) | ((a ^ b ^ res) & flagH) |
                               ((((~(a ^ b)) & (b ^ res)) >> 5) & flagPV) | ((sum >> 8) & flagC) |
                               xyFlags<P>(res));
    r.a = res;
}

// SUB, SBC and CP share the flags; the result is returned and only SUB and SBC store it.
// xy: what bits 5 and 3 come from on the complete chip (the result, or CP's operand).
template <Personality P>
inline constexpr uint8_t sub8Flags(CpuRegisters& r, uint8_t b, unsigned carryIn, bool xyFromB) {
    const int a = r.a;
    const int diff = a - b - static_cast<int>(carryIn);
    const uint8_t res = static_cast<uint8_t>(diff);
    r.f = static_cast<uint8_t>(szFlags(res) | ((a ^ b ^ res) & flagH) |
                               ((((a ^ b) & (a ^ res)) >> 5) & flagPV) | flagN |
                               (diff < 0 ? flagC : 0) | xyFlags<P>(xyFromB ? b : res));
    return res;
}
template <Personality P>
inline constexpr void sub8(CpuRegisters& r, uint8_t b, unsigned carryIn) {
    r.a = sub8Flags<P>(r, b, carryIn, false);
}
template <Personality P>
inline constexpr void cp8(CpuRegisters& r, uint8_t b) {
    (void)sub8Flags<P>(r, b, 0, true);
}

template <Personality P>
inline constexpr void and8(CpuRegisters& r, uint8_t b) {
    r.a &= b;
    r.f = static_cast<uint8_t>(szFlags(r.a) | flagH | parityTable[r.a] | xyFlags<P>(r.a));
}
template <Personality P>
inline constexpr void xor8(CpuRegisters& r, uint8_t b) {
    r.a ^= b;
    r.f = static_cast<uint8_t>(szFlags(r.a) | parityTable[r.a] | xyFlags<P>(r.a));
}
template <Personality P>
inline constexpr void or8(CpuRegisters& r, uint8_t b) {
    r.a |= b;
    r.f = static_cast<uint8_t>(szFlags(r.a) | parityTable[r.a] | xyFlags<P>(r.a));
}

// INC and DEC keep C.
template <Personality P>
inline constexpr uint8_t inc8(CpuRegisters& r, uint8_t v) {
    const uint8_t res = static_cast<uint8_t>(v + 1);
    r.f = static_cast<uint8_t>(szFlags(res) | ((res & 0x0F) == 0 ? flagH : 0) |
                               (res == 0x80 ? flagPV : 0) | (r.f & flagC) | xyFlags<P>(res));
    return res;
}
template <Personality P>
inline constexpr uint8_t dec8(CpuRegisters& r, uint8_t v) {
    const uint8_t res = static_cast<uint8_t>(v - 1);
    r.f =
        static_cast<uint8_t>(szFlags(res) | ((res & 0x0F) == 0x0F ? flagH : 0) |
                             (res == 0x7F ? flagPV : 0) | flagN | (r.f & flagC) | xyFlags<P>(res));
    return res;
}

// The eight operations of the 8-bit arithmetic group by their opcode bits 5-3.
enum class AluOp { add, adc, sub, sbc, and_, xor_, or_, cp };

template <AluOp Op, Personality P>
inline constexpr void alu8(CpuRegisters& r, uint8_t b) {
    if constexpr (Op == AluOp::add)
        add8<P>(r, b, 0);
    else if constexpr (Op == AluOp::adc)
        add8<P>(r, b, r.f & flagC);
    else if constexpr (Op == AluOp::sub)
        sub8<P>(r, b, 0);
    else if constexpr (Op == AluOp::sbc)
        sub8<P>(r, b, r.f & flagC);
    else if constexpr (Op == AluOp::and_)
        and8<P>(r, b);
    else if constexpr (Op == AluOp::xor_)
        xor8<P>(r, b);
    else if constexpr (Op == AluOp::or_)
        or8<P>(r, b);
    else
        cp8<P>(r, b);
}

// DAA as this machine does it: both corrections are decided from A as it was, H
// becomes the low-digit test itself, and after a subtraction a borrowing low
// correction also sets C. N is kept. The chip instead sets H from the low digit's
// carry or borrow, and C from the high correction alone.
template <Personality P>
inline constexpr void daa(CpuRegisters& r) {
    const unsigned a = r.a;
    const bool low = (a & 0x0F) > 9 || (r.f & flagH) != 0;
    const bool high = a > 0x99 || (r.f & flagC) != 0;
    const unsigned correction = (low ? 0x06u : 0u) + (high ? 0x60u : 0u);
    const bool subtract = (r.f & flagN) != 0;
    const uint8_t res = static_cast<uint8_t>(subtract ? a - correction : a + correction);
    if constexpr (P == Personality::complete) {
        const bool half = subtract ? ((r.f & flagH) != 0 && (a & 0x0F) < 6) : (a & 0x0F) > 9;
        r.f = static_cast<uint8_t>(szFlags(res) | (half ? flagH : 0) | parityTable[res] |
                                   (r.f & flagN) | (high ? flagC : 0) | (res & flags53));
    } else {
        const bool carry = subtract ? (high || (low && a < 6)) : high;
        r.f = static_cast<uint8_t>(szFlags(res) | (low ? flagH : 0) | parityTable[res] |
                                   (r.f & flagN) | (carry ? flagC : 0));
    }
    r.a = res;
}

// ADD HL,rr (and ADD IX/IY,rr): this machine writes only N and C and leaves H as it
// was; the chip sets H from bit 11 and bits 5 and 3 from the result's high byte.
template <Personality P>
inline constexpr uint16_t add16(CpuRegisters& r, uint16_t a, uint16_t b) {
    const unsigned sum = static_cast<unsigned>(a) + b;
    if constexpr (P == Personality::complete)
        r.f = static_cast<uint8_t>((r.f & (flagS | flagZ | flagPV)) | ((sum >> 16) & flagC) |
                                   (((a ^ b ^ sum) >> 8) & flagH) | ((sum >> 8) & flags53));
    else
        r.f = static_cast<uint8_t>((r.f & 0xFC) | (sum >> 16));
    return static_cast<uint16_t>(sum);
}

}  // namespace vantrel
