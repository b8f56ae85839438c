// The Z80 register file in the byte layout that the state file stores.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

namespace vantrel {

static_assert(std::endian::native == std::endian::little,
              "the register file and the state file are little-endian images");

// Flag bits of F.
inline constexpr uint8_t flagS = 0x80;
inline constexpr uint8_t flagZ = 0x40;
inline constexpr uint8_t flagH = 0x10;
inline constexpr uint8_t flagPV = 0x04;
inline constexpr uint8_t flagN = 0x02;
inline constexpr uint8_t flagC = 0x01;

// Bits of intFlags.
inline constexpr uint8_t intEnableBit = 0x01;
inline constexpr uint8_t intMode1Bit = 0x02;
inline constexpr uint8_t intMode2Bit = 0x04;

// 26 bytes, little-endian, exactly as stored at offset 0x8000 of the state file.
// Pairs are composed through the accessors below, never through unions or casts.
struct CpuRegisters {
    uint8_t f = 0;  // S Z - H - P/V N C
    uint8_t a = 0;
    uint8_t c = 0;
    uint8_t b = 0;
    uint8_t e = 0;
    uint8_t d = 0;
    uint8_t l = 0;
    uint8_t h = 0;
    uint16_t ix = 0;
    uint16_t iy = 0;
    uint16_t pc = 0;  // address of the next byte to fetch
    uint16_t sp = 0;
    uint16_t afAlt = 0;  // F' low, A' high
    uint16_t bcAlt = 0;
    uint16_t deAlt = 0;
    uint16_t hlAlt = 0;
    uint8_t intFlags = 0;  // bit 0 enable, bit 1 mode 1, bit 2 mode 2
    uint8_t i = 0;

    constexpr uint16_t af() const { return static_cast<uint16_t>(a << 8 | f); }
    constexpr uint16_t bc() const { return static_cast<uint16_t>(b << 8 | c); }
    constexpr uint16_t de() const { return static_cast<uint16_t>(d << 8 | e); }
    constexpr uint16_t hl() const { return static_cast<uint16_t>(h << 8 | l); }
    constexpr void setAF(uint16_t v) {
        a = static_cast<uint8_t>(v >> 8);
        f = static_cast<uint8_t>(v);
    }
    constexpr void setBC(uint16_t v) {
        b = static_cast<uint8_t>(v >> 8);
        c = static_cast<uint8_t>(v);
    }
    constexpr void setDE(uint16_t v) {
        d = static_cast<uint8_t>(v >> 8);
        e = static_cast<uint8_t>(v);
    }
    constexpr void setHL(uint16_t v) {
        h = static_cast<uint8_t>(v >> 8);
        l = static_cast<uint8_t>(v);
    }

    constexpr bool interruptsEnabled() const { return (intFlags & intEnableBit) != 0; }
    // 0, 1 or 2, as IM last set it; the mode-2 bit wins should both be set.
    constexpr unsigned interruptMode() const {
        return (intFlags & intMode2Bit) ? 2 : (intFlags & intMode1Bit) ? 1 : 0;
    }
    // Modes above 2 count as 0.
    constexpr void setInterruptMode(unsigned mode) {
        intFlags =
            static_cast<uint8_t>((intFlags & ~(intMode1Bit | intMode2Bit)) |
                                 (mode == 1 ? intMode1Bit : 0) | (mode == 2 ? intMode2Bit : 0));
    }
};

static_assert(sizeof(CpuRegisters) == 26);
static_assert(offsetof(CpuRegisters, f) == 0);
static_assert(offsetof(CpuRegisters, a) == 1);
static_assert(offsetof(CpuRegisters, c) == 2);
static_assert(offsetof(CpuRegisters, b) == 3);
static_assert(offsetof(CpuRegisters, e) == 4);
static_assert(offsetof(CpuRegisters, d) == 5);
static_assert(offsetof(CpuRegisters, l) == 6);
static_assert(offsetof(CpuRegisters, h) == 7);
static_assert(offsetof(CpuRegisters, ix) == 8);
static_assert(offsetof(CpuRegisters, iy) == 10);
static_assert(offsetof(CpuRegisters, pc) == 12);
static_assert(offsetof(CpuRegisters, sp) == 14);
static_assert(offsetof(CpuRegisters, afAlt) == 16);
static_assert(offsetof(CpuRegisters, bcAlt) == 18);
static_assert(offsetof(CpuRegisters, deAlt) == 20);
static_assert(offsetof(CpuRegisters, hlAlt) == 22);
static_assert(offsetof(CpuRegisters, intFlags) == 24);
static_assert(offsetof(CpuRegisters, i) == 25);

}  // namespace vantrel
