// The machine's side of the processor: memory and control-transfer operations, the
// ports, and what HALT, the prefixes and RST need. The instruction families find
// these by the machine's namespace.
//
// Fetches read through fetchPointer and advance it linearly through the host image,
// so an instruction stream that runs past a 16 KiB page end without a jump goes on
// in the next 16 KiB of the same image (0x3FFF runs into ROM page 1, whatever the
// bank). A 16-bit access is two consecutive host bytes at the translation of its low
// address. Where no following byte exists in the image (0xFFFF, or 0x7FFF with page
// 7), the map's byte for the following address is used, so nothing leaves the images.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "hardware/ports.h"
#include "machine/hardware_io.h"
#include "machine/machine.h"

namespace vantrel {

inline void jumpTo(Machine& m, uint16_t address) {
    m.regs.pc = address;
    m.fetchPointer = m.mem.translateRead(address);
}

// RST: the restart addresses lie in ROM page 0 whatever the bank.
inline void restartAt(Machine& m, uint16_t address) {
    m.regs.pc = address;
    m.fetchPointer = m.mem.rom.data() + address;
}

// HALT with interrupts enabled: the loop pauses before the next instruction.
inline void requestPause(Machine& m) { m.control.post(EmuRequest::Pause); }

inline uint8_t fetchByte(Machine& m) {
    m.regs.pc = static_cast<uint16_t>(m.regs.pc + 1);
    return *m.fetchPointer++;
}

inline constexpr std::size_t longestInstruction = 4;

// Image ends lie at 16 KiB page ends, and the images start on a 16 KiB boundary of the
// host, so the stream's address alone rules out nearly every instruction with one mask
// and compare: only in a page's last three bytes, or just past its end, can it be near
// an image end.
inline bool pageEndNear(const uint8_t* fetchPointer) {
    return ((reinterpret_cast<uintptr_t>(fetchPointer) + longestInstruction - 1) &
            (romPageSize - 1)) <= longestInstruction - 1;
}

// True when an instruction starting at fetchPointer could run past the end of the ROM
// or RAM image: its last three bytes, and the end itself, where a four-byte
// instruction ending on the last byte leaves the stream.
inline bool fetchNearImageEnd(const Machine& m) {
    if (!pageEndNear(m.fetchPointer)) [[likely]]
        return false;
    const auto at = reinterpret_cast<uintptr_t>(m.fetchPointer);
    const auto romTail =
        reinterpret_cast<uintptr_t>(m.mem.rom.data() + romSize - (longestInstruction - 1));
    const auto ramTail =
        reinterpret_cast<uintptr_t>(m.mem.ram() + ramSize - (longestInstruction - 1));
    return at - romTail < longestInstruction || at - ramTail < longestInstruction;
}

inline uint16_t fetchWord(Machine& m) {
    m.regs.pc = static_cast<uint16_t>(m.regs.pc + 2);
    const uint16_t value = static_cast<uint16_t>(m.fetchPointer[0] | m.fetchPointer[1] << 8);
    m.fetchPointer += 2;
    return value;
}

inline uint8_t readByte(const Machine& m, uint16_t address) {
    return *m.mem.translateRead(address);
}

// Count bytes as the processor sees them from address on, wrapping past 0xFFFF.
template <std::size_t Count>
std::array<uint8_t, Count> readBytes(const Machine& m, uint16_t address) {
    std::array<uint8_t, Count> bytes{};
    for (std::size_t i = 0; i < Count; ++i)
        bytes[i] = readByte(m, static_cast<uint16_t>(address + i));
    return bytes;
}

inline void writeByte(Machine& m, uint16_t address, uint8_t value) {
    *m.mem.translateWrite(address) = value;
}

inline uint16_t readWord(const Machine& m, uint16_t address) {
    const uint8_t* p = m.mem.translateRead(address);
    if ((address & 0x7FFF) == 0x7FFF && m.mem.readEndsImage(address)) [[unlikely]]
        return static_cast<uint16_t>(p[0] | *m.mem.translateRead(static_cast<uint16_t>(address + 1))
                                                << 8);
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

inline void writeWord(Machine& m, uint16_t address, uint16_t value) {
    uint8_t* p = m.mem.translateWrite(address);
    p[0] = static_cast<uint8_t>(value);
    if (address == 0xFFFF) [[unlikely]] {
        // The last RAM byte has no host byte after it; the next address is ROM.
        *m.mem.translateWrite(0x0000) = static_cast<uint8_t>(value >> 8);
        return;
    }
    p[1] = static_cast<uint8_t>(value >> 8);
}

inline void pushWord(Machine& m, uint16_t value) {
    m.regs.sp = static_cast<uint16_t>(m.regs.sp - 2);
    writeWord(m, m.regs.sp, value);
}

inline uint16_t popWord(Machine& m) {
    const uint16_t value = readWord(m, m.regs.sp);
    m.regs.sp = static_cast<uint16_t>(m.regs.sp + 2);
    return value;
}

// Port 7 is the link cable; the others are the calculator's registers. The hardware
// model has ports of its own (hardware_io.h).
inline uint8_t portRead(Machine& m, uint8_t port) {
    if (m.model == MachineModel::hardware) return hardwarePortRead(m, port);
    if (port == linkPort) return m.link.readLinkPort();
    return readPortRegister(m.mem.state, m.keyLatch.load(std::memory_order_relaxed), port);
}

inline void portWrite(Machine& m, uint8_t port, uint8_t value) {
    if (m.model == MachineModel::hardware) {
        hardwarePortWrite(m, port, value);
        return;
    }
    if (port == linkPort) {
        m.link.writeLinkPort(value);
        return;
    }
    writePortRegister(m.mem.state, port, value);
}

// Read without a lock while the emulation thread may switch the calculator off; a
// stale answer only delays one decision by a tick.
inline bool calculatorOn(const Machine& m) { return calculatorOn(m.mem.state); }

}  // namespace vantrel
