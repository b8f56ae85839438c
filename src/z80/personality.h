// The two processors that run the one instruction set, and what the complete chip keeps
// beyond the register file.
#pragma once

#include <cstdint>

namespace vantrel {

enum class Personality : uint8_t {
    // This machine's processor: bits 5 and 3 of F cleared, no R register, one interrupt
    // flip-flop, no time, the undocumented instructions trapped, and the repeating
    // block instructions run whole.
    classic,
    // The Z80 as the chip runs it: every documented and undocumented instruction,
    // flags 5 and 3, R, IFF1 and IFF2, EI's delay, HALT, the three interrupt modes and
    // the T-states of each instruction.
    complete,
};

// The byte an interrupt acknowledge reads from the data bus, which nothing on the
// calculator drives: IM 2 reads its vector at I x 256 + this, and IM 0 runs it (RST 38h).
inline constexpr uint8_t floatingDataBus = 0xFF;

// The complete chip's state beyond CpuRegisters (which keeps the state file's layout).
// IFF1 is CpuRegisters' enable bit and the interrupt mode its mode bits, as in the
// classic personality.
struct ChipState {
    // T-states run since the start (the low 56 bits: thousands of years at 6 MHz) and
    // opcode fetches (the top 8 bits, whose low seven are R's) in one counter, so that
    // an instruction counts both with one addition. Read through clock() and r().
    uint64_t counts = 0;
    uint8_t refreshBit7 = 0;  // R's bit 7, as LD R,A left it (only 0x80 used)
    bool iff2 = false;        // the copy that NMI keeps, that RETN restores and LD A,I/R show
    bool halted = false;      // HALT repeats (PC stays on it) until an interrupt
    uint16_t wz = 0;          // the chip's hidden address register (MEMPTR), shown by BIT n,(HL)
    // No interrupt is taken at the boundary where the clock still reads this: the one
    // right after EI or a prefix the chip dropped.
    uint64_t noInterruptAt = ~uint64_t{0};
    // The clock right after LD A,I or LD A,R: an interrupt taken at that boundary clears
    // the P/V flag they just set (a flaw of the chip that programs test for).
    uint64_t irLoadedAt = ~uint64_t{0};
    // The maskable interrupt's input, which the hardware around the chip sets and
    // clears, and the byte it puts on the data bus for the acknowledge.
    bool interruptLine = false;
    uint8_t interruptData = floatingDataBus;

    static constexpr unsigned fetchShift = 56;
    static constexpr uint64_t clockMask = (uint64_t{1} << fetchShift) - 1;

    constexpr uint64_t clock() const { return counts & clockMask; }
    constexpr void setClock(uint64_t tStates) {
        counts = (counts & ~clockMask) | (tStates & clockMask);
    }
    constexpr void count(uint64_t tStates, uint64_t fetches) {
        counts += (fetches << fetchShift) + tStates;
    }

    constexpr uint8_t r() const {
        return static_cast<uint8_t>((refreshBit7 & 0x80) | ((counts >> fetchShift) & 0x7F));
    }
    constexpr void setR(uint8_t value) {
        counts = (counts & clockMask) | uint64_t{value} << fetchShift;
        refreshBit7 = static_cast<uint8_t>(value & 0x80);
    }
};

}  // namespace vantrel
