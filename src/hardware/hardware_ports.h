// The hardware model's ports and interrupt sources, as pure functions over the state
// record (ports 1, 2, 5, 6 and port 3 as written live there, as in the classic model)
// and the registers that the hardware model adds. The machine calls them for IN and
// OUT; the link port (7) stays the machine's.
//
//   port 0  write: the LCD's memory base, 0x100 x (0xC0 + (v & 0x3F))   read: 0xFF
//   port 1  write: key group mask (bit n leaves group n out)
//           read:  a bit is 0 while a held key of a selected group sits there
//   port 2  LCD contrast, 0 (light) to 31 (dark), read back as in the classic model
//   port 3  write: enables (bit 0 [ON], bit 1 periodic, bit 2 second timer), bit 3 LCD
//           on; a 0 written to an enable bit acknowledges that source
//           read:  bit 0 [ON] interrupt, bit 1 periodic, bit 2 second timer happened;
//           bit 3 is 0 while [ON] is held
//   port 4  stored (power and timer speed on sibling models)            read: 0xFF
//   port 5  ROM page; port 6 stored and read back, as in the classic model
#pragma once

#include <cstdint>

#include "hardware/hardware_clock.h"
#include "hardware/key_codes.h"
#include "hardware/lcd_picture.h"
#include "hardware/memory_map.h"

namespace vantrel {

// What the hardware model keeps beside the state record; saved in the state block.
struct HardwareRegisters {
    uint8_t lcdBase = powerOnLcdBase;  // port 0 as written
    uint8_t port4 = 0;                 // port 4 as written
    uint8_t pending = 0;               // interrupts that happened (the port 3 read bits)
    uint64_t nextPeriodic = periodicInterruptPeriod;  // the divider's next tick
    uint64_t nextFrame = lcdFramePeriod;              // the next LCD frame

    bool operator==(const HardwareRegisters&) const = default;
};

// Bits of port 3.
inline constexpr uint8_t onInterruptBit = 0x01;
inline constexpr uint8_t periodicInterruptBit = 0x02;
inline constexpr uint8_t secondTimerBit = 0x04;  // enabled and acknowledged; raises nothing
inline constexpr uint8_t interruptSourceBits = 0x07;
inline constexpr uint8_t lcdOnBit = 0x08;    // as written: the LCD shows its memory
inline constexpr uint8_t onKeyUpBit = 0x08;  // as read: [ON] is not held

// Held keys as a mask: bit (code - 1) for each held key code (1 to 56, [ON] included).
constexpr uint64_t keyBit(uint8_t code) {
    return code >= 1 && code <= 64 ? uint64_t{1} << (code - 1) : 0;
}
inline constexpr uint64_t onKeyBit = keyBit(keyOn);

// Port 1: the held keys of the groups the mask selects ([ON] is not in the matrix).
uint8_t readHeldKeyMatrix(uint64_t heldKeys, uint8_t groupMask);

// IN from a port but 7, with the keys held now.
uint8_t readHardwarePort(const StateRecord& state, const HardwareRegisters& hw, uint64_t heldKeys,
                         uint8_t port);
// OUT to a port but 7. The interrupt line may change (see hardwareInterruptLine).
void writeHardwarePort(StateRecord& state, HardwareRegisters& hw, uint8_t port, uint8_t value);

// The processor's interrupt input: a source that happened while enabled.
bool hardwareInterruptLine(const StateRecord& state, const HardwareRegisters& hw);

// [ON] went down: its interrupt happens if enabled.
void pressOnKey(const StateRecord& state, HardwareRegisters& hw);

// The divider's ticks up to the clock (any number of them at once): the periodic
// interrupt happens if one fell while enabled; nextPeriodic moves past the clock.
void runPeriodicTimer(const StateRecord& state, HardwareRegisters& hw, uint64_t clock);

// The first Z80 address the LCD shows, and its 1024 bytes. Bases past 0xFC00 run on
// at the start of RAM (where the LCD controller goes there is not documented; it never
// leaves RAM).
constexpr uint16_t lcdBaseAddress(uint8_t port0) {
    return static_cast<uint16_t>(0x100 * (0xC0 + (port0 & 0x3F)));
}
void copyLcdMemory(const StateRecord& state, uint8_t port0, LcdBytes& out);

// The LCD is on (port 3 bit 3 as written): "calculator on" in this model too.
constexpr bool lcdOn(const StateRecord& state) { return (state.port3Value & lcdOnBit) != 0; }

}  // namespace vantrel
