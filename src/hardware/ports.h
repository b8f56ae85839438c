// The I/O ports behind IN and OUT: key matrix (1), plain registers (2, 6), status and
// control (3), ROM bank (5), link (7). Ports without a function read 0xFF.
#pragma once

#include <cstdint>

#include "hardware/machine.h"

namespace vantrel {

inline constexpr uint8_t onKeyCode = 41;

inline bool calculatorOn(const Machine& m) { return (m.mem.state.port3Value & 0x08) != 0; }

// One key at most: the latched code, when its group is selected by the mask.
inline uint8_t readKeyMatrix(const Machine& m) {
    const uint32_t code = m.keyLatch.load(std::memory_order_relaxed);
    if (code == 0 || code > 64) return 0xFF;
    const unsigned group = (code - 1) / 8;
    const unsigned bit = (code - 1) % 8;
    if (m.mem.state.keyGroupMask & (1u << group)) return 0xFF;
    return static_cast<uint8_t>(0xFF & ~(1u << bit));
}

inline uint8_t portRead(Machine& m, uint8_t port) {
    switch (port) {
    case 1: return readKeyMatrix(m);
    case 2: return m.mem.state.port2Value & 0x1F;
    case 3: return m.keyLatch.load(std::memory_order_relaxed) == onKeyCode ? 0x01 : 0x0A;
    case 5: return m.mem.state.romBank;
    case 6: return m.mem.state.port6Value;
    case 7: return m.link.readLinkPort(m);
    default: return 0xFF;
    }
}

inline void portWrite(Machine& m, uint8_t port, uint8_t value) {
    switch (port) {
    case 1: m.mem.state.keyGroupMask = value; break;
    case 2: m.mem.state.port2Value = value; break;
    case 3: m.mem.state.port3Value = value; break;
    case 5: m.mem.state.romBank = value & 7; break;
    case 6: m.mem.state.port6Value = value; break;
    case 7: m.link.writeLinkPort(m, value); break;
    default: break;
    }
}

}  // namespace vantrel
