// The I/O ports behind IN and OUT, but for the link (port 7, which the machine hands
// to the link engine): key matrix (1), plain registers (2, 6), status and control (3),
// ROM bank (5). Ports without a function read 0xFF.
#pragma once

#include <cstdint>

#include "hardware/key_codes.h"
#include "hardware/memory_map.h"

namespace vantrel {

inline constexpr uint8_t linkPort = 7;

inline bool calculatorOn(const StateRecord& state) { return (state.port3Value & 0x08) != 0; }

// One key at most: the latched code, when its group is selected by the mask.
inline uint8_t readKeyMatrix(uint32_t latchedCode, uint8_t keyGroupMask) {
    if (latchedCode == 0 || latchedCode > 64) return 0xFF;
    const unsigned group = (latchedCode - 1) / 8;
    const unsigned bit = (latchedCode - 1) % 8;
    if (keyGroupMask & (1u << group)) return 0xFF;
    return static_cast<uint8_t>(0xFF & ~(1u << bit));
}

inline uint8_t readPortRegister(const StateRecord& state, uint32_t latchedCode, uint8_t port) {
    switch (port) {
        case 1:
            return readKeyMatrix(latchedCode, state.keyGroupMask);
        case 2:
            return state.port2Value & 0x1F;
        case 3:
            return latchedCode == keyOn ? 0x01 : 0x0A;
        case 5:
            return state.romBank;
        case 6:
            return state.port6Value;
        default:
            return 0xFF;
    }
}

inline void writePortRegister(StateRecord& state, uint8_t port, uint8_t value) {
    switch (port) {
        case 1:
            state.keyGroupMask = value;
            break;
        case 2:
            state.port2Value = value;
            break;
        case 3:
            state.port3Value = value;
            break;
        case 5:
            state.romBank = value & 7;
            break;
        case 6:
            state.port6Value = value;
            break;
        default:
            break;
    }
}

}  // namespace vantrel
