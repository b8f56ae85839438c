// The calculator's memories and the two address translations.
//
// 0x0000-0x3FFF  ROM page 0          writes go to writeSink
// 0x4000-0x7FFF  ROM page romBank    writes go to writeSink
// 0x8000-0xFFFF  RAM                 RAM
//
// The translation is a pure function of the address and the bank: no mirroring,
// no write protection, no memory-mapped I/O. The processor can never change ROM.
// Both translations sit on every instruction's path and are always inlined.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "z80/cpu_registers.h"

namespace vantrel {

inline constexpr std::size_t romSize = 0x20000;  // eight 16 KiB pages
inline constexpr std::size_t ramSize = 0x8000;
inline constexpr std::size_t romPageSize = 0x4000;
inline constexpr std::size_t lcdBytes = 1024;  // 128 x 64, one bit a pixel
inline constexpr uint16_t lcdAddress = 0xFC00;

using RomImage = std::array<uint8_t, romSize>;
using RamImage = std::array<uint8_t, ramSize>;

// The live RAM and port registers, and at the same time the exact image of the
// 32800-byte state file (no header, little-endian).
struct StateRecord {
    RamImage ram{};                 // Z80 0x8000-0xFFFF
    CpuRegisters savedRegisters{};  // staging copy; the live registers are Machine::regs
    uint8_t port6Value = 0;
    uint8_t port2Value = 0;
    uint8_t reservedStateByte = 0;  // carried from file to file, never interpreted
    uint8_t romBank = 0;            // only the low three bits select a page
    uint8_t keyGroupMask = 0;       // a set bit excludes its key group
    uint8_t port3Value = 0;         // bit 3: calculator on
};

inline constexpr std::size_t stateFileSize = 32800;
static_assert(sizeof(StateRecord) == stateFileSize);
static_assert(offsetof(StateRecord, ram) == 0x0000);
static_assert(offsetof(StateRecord, savedRegisters) == 0x8000);
static_assert(offsetof(StateRecord, port6Value) == 0x801A);
static_assert(offsetof(StateRecord, port2Value) == 0x801B);
static_assert(offsetof(StateRecord, reservedStateByte) == 0x801C);
static_assert(offsetof(StateRecord, romBank) == 0x801D);
static_assert(offsetof(StateRecord, keyGroupMask) == 0x801E);
static_assert(offsetof(StateRecord, port3Value) == 0x801F);

// The picture shown while the calculator is off. Never written.
inline constexpr std::array<uint8_t, lcdBytes> blankLcdBuffer{};

struct MemoryMap {
    RomImage rom{};
    StateRecord state{};
    std::array<uint8_t, 2> writeSink{};  // absorbs 8- and 16-bit stores below 0x8000

    uint8_t* ram() { return state.ram.data(); }
    const uint8_t* ram() const { return state.ram.data(); }

    // Host byte that a read of the address yields.
    [[gnu::always_inline]] const uint8_t* translateRead(uint16_t address) const {
        if (address & 0x8000) return state.ram.data() + (address & 0x7FFF);
        if (address & 0x4000)
            return rom.data() + (state.romBank & 7u) * romPageSize + (address & 0x3FFF);
        return rom.data() + address;
    }

    // Host byte where a write to the address lands.
    [[gnu::always_inline]] uint8_t* translateWrite(uint16_t address) {
        if (address & 0x8000) return state.ram.data() + (address & 0x7FFF);
        return writeSink.data();
    }

    // True when the host byte after translateRead(address) lies outside the image:
    // the last byte of RAM, and the last byte of the bank window with page 7.
    bool readEndsImage(uint16_t address) const {
        return address == 0xFFFF || (address == 0x7FFF && (state.romBank & 7u) == 7);
    }

    // RAM by Z80 address (0x8000-0xFFFF), for the LCD, shift flags and text screen.
    const uint8_t* ramAt(uint16_t address) const { return state.ram.data() + (address & 0x7FFF); }
};

}  // namespace vantrel
