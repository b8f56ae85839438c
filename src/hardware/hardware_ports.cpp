#include "hardware/hardware_ports.h"

#include <algorithm>
#include <cstring>

#include "hardware/ports.h"

namespace vantrel {

namespace {

constexpr unsigned keyGroups = 7;
constexpr uint64_t matrixKeys = ((uint64_t{1} << (8 * keyGroups)) - 1) & ~onKeyBit;

}  // namespace

uint8_t readHeldKeyMatrix(uint64_t heldKeys, uint8_t groupMask) {
    const uint64_t held = heldKeys & matrixKeys;
    unsigned down = 0;
    for (unsigned group = 0; group < keyGroups; ++group)
        if ((groupMask & (1u << group)) == 0)
            down |= static_cast<unsigned>((held >> (8 * group)) & 0xFF);
    return static_cast<uint8_t>(~down);
}

// Ports 2, 5 and 6 are the classic model's registers.
uint8_t readHardwarePort(const StateRecord& state, const HardwareRegisters& hw, uint64_t heldKeys,
                         uint8_t port) {
    switch (port) {
        case 1:
            return readHeldKeyMatrix(heldKeys, state.keyGroupMask);
        case 3:
            return static_cast<uint8_t>((hw.pending & interruptSourceBits) |
                                        ((heldKeys & onKeyBit) ? 0 : onKeyUpBit));
        case 2:
        case 5:
        case 6:
            return readPortRegister(state, 0, port);
        default:
            return 0xFF;
    }
}

void writeHardwarePort(StateRecord& state, HardwareRegisters& hw, uint8_t port, uint8_t value) {
    writePortRegister(state, port, value);
    if (port == 0) hw.lcdBase = value;
    if (port == 3) hw.pending &= value & interruptSourceBits;
    if (port == 4) hw.port4 = value;
}

bool hardwareInterruptLine(const StateRecord& state, const HardwareRegisters& hw) {
    return (hw.pending & state.port3Value & (onInterruptBit | periodicInterruptBit)) != 0;
}

void pressOnKey(const StateRecord& state, HardwareRegisters& hw) {
    if (state.port3Value & onInterruptBit) hw.pending |= onInterruptBit;
}

void runPeriodicTimer(const StateRecord& state, HardwareRegisters& hw, uint64_t clock) {
    if (clock < hw.nextPeriodic) return;
    const uint64_t ticks = (clock - hw.nextPeriodic) / periodicInterruptPeriod + 1;
    hw.nextPeriodic += ticks * periodicInterruptPeriod;
    if (state.port3Value & periodicInterruptBit) hw.pending |= periodicInterruptBit;
}

void copyLcdMemory(const StateRecord& state, uint8_t port0, LcdBytes& out) {
    const std::size_t start = lcdBaseAddress(port0) & (ramSize - 1);
    const std::size_t first = std::min(out.size(), ramSize - start);
    std::memcpy(out.data(), state.ram.data() + start, first);
    std::memcpy(out.data() + first, state.ram.data(), out.size() - first);
}

}  // namespace vantrel
