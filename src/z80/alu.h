// Flag arithmetic shared by every instruction family.
//
// This machine's flag rules: bits 5 and 3 of F are cleared by every flag-setting
// instruction here (never copied from the result), and everything is computed with
// straight-line arithmetic plus one parity lookup.
#pragma once

#include <array>
#include <cstdint>

#include "z80/cpu_registers.h"

namespace vantrel {

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

// ADD and ADC: carryIn is 0 or 1.
inline constexpr void add8(CpuRegisters& r, uint8_t b, unsigned carryIn) {
    const unsigned a = r.a;
    const unsigned sum = a + b + carryIn;
    const uint8_t res = static_cast<uint8_t>(sum);
    r.f = static_cast<uint8_t>(szFlags(res) | ((a ^ b ^ res) & flagH) |
                               ((((~(a ^ b)) & (b ^ res)) >> 5) & flagPV) | ((sum >> 8) & flagC));
    r.a = res;
}

// SUB, SBC and CP share the flags; the result is returned and only SUB and SBC store it.
inline constexpr uint8_t sub8Flags(CpuRegisters& r, uint8_t b, unsigned carryIn) {
    const int a = r.a;
    const int diff = a - b - static_cast<int>(carryIn);
    const uint8_t res = static_cast<uint8_t>(diff);
    r.f = static_cast<uint8_t>(szFlags(res) | ((a ^ b ^ res) & flagH) |
                               ((((a ^ b) & (a ^ res)) >> 5) & flagPV) | flagN |
                               (diff < 0 ? flagC : 0));
    return res;
}
inline constexpr void sub8(CpuRegisters& r, uint8_t b, unsigned carryIn) {
    r.a = sub8Flags(r, b, carryIn);
}
inline constexpr void cp8(CpuRegisters& r, uint8_t b) { (void)sub8Flags(r, b, 0); }

inline constexpr void and8(CpuRegisters& r, uint8_t b) {
    r.a &= b;
    r.f = static_cast<uint8_t>(szFlags(r.a) | flagH | parityTable[r.a]);
}
inline constexpr void xor8(CpuRegisters& r, uint8_t b) {
    r.a ^= b;
    r.f = static_cast<uint8_t>(szFlags(r.a) | parityTable[r.a]);
}
inline constexpr void or8(CpuRegisters& r, uint8_t b) {
    r.a |= b;
    r.f = static_cast<uint8_t>(szFlags(r.a) | parityTable[r.a]);
}

// INC and DEC keep C.
inline constexpr uint8_t inc8(CpuRegisters& r, uint8_t v) {
    const uint8_t res = static_cast<uint8_t>(v + 1);
    r.f = static_cast<uint8_t>(szFlags(res) | ((res & 0x0F) == 0 ? flagH : 0) |
                               (res == 0x80 ? flagPV : 0) | (r.f & flagC));
    return res;
}
inline constexpr uint8_t dec8(CpuRegisters& r, uint8_t v) {
    const uint8_t res = static_cast<uint8_t>(v - 1);
    r.f = static_cast<uint8_t>(szFlags(res) | ((res & 0x0F) == 0x0F ? flagH : 0) |
                               (res == 0x7F ? flagPV : 0) | flagN | (r.f & flagC));
    return res;
}

// The eight operations of the 8-bit arithmetic group by their opcode bits 5-3.
enum class AluOp { add, adc, sub, sbc, and_, xor_, or_, cp };

template <AluOp Op>
inline constexpr void alu8(CpuRegisters& r, uint8_t b) {
    if constexpr (Op == AluOp::add)
        add8(r, b, 0);
    else if constexpr (Op == AluOp::adc)
        add8(r, b, r.f & flagC);
    else if constexpr (Op == AluOp::sub)
        sub8(r, b, 0);
    else if constexpr (Op == AluOp::sbc)
        sub8(r, b, r.f & flagC);
    else if constexpr (Op == AluOp::and_)
        and8(r, b);
    else if constexpr (Op == AluOp::xor_)
        xor8(r, b);
    else if constexpr (Op == AluOp::or_)
        or8(r, b);
    else
        cp8(r, b);
}

// DAA as this machine does it: both corrections are decided from A as it was, H
// becomes the low-digit test itself, and after a subtraction a borrowing low
// correction also sets C. N is kept.
inline constexpr void daa(CpuRegisters& r) {
    const unsigned a = r.a;
    const bool low = (a & 0x0F) > 9 || (r.f & flagH) != 0;
    const bool high = a > 0x99 || (r.f & flagC) != 0;
    const unsigned correction = (low ? 0x06u : 0u) + (high ? 0x60u : 0u);
    const bool subtract = (r.f & flagN) != 0;
    const uint8_t res = static_cast<uint8_t>(subtract ? a - correction : a + correction);
    const bool carry = subtract ? (high || (low && a < 6)) : high;
    r.f = static_cast<uint8_t>(szFlags(res) | (low ? flagH : 0) | parityTable[res] | (r.f & flagN) |
                               (carry ? flagC : 0));
    r.a = res;
}

// ADD HL,rr (and ADD IX/IY,rr): only N and C are written; H is left as it was.
inline constexpr uint16_t add16(CpuRegisters& r, uint16_t a, uint16_t b) {
    const unsigned sum = static_cast<unsigned>(a) + b;
    r.f = static_cast<uint8_t>((r.f & 0xFC) | (sum >> 16));
    return static_cast<uint16_t>(sum);
}

}  // namespace vantrel
