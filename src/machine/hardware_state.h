// The hardware model's state in a state file: what the session saves after the 32800
// bytes (the memory, the ports of the classic model and the registers, which stay as
// they are) and restores from there. Call these while the loop rests (a HoldGuard) or
// before it starts.
//
// Saving:   copy regs into mem.state.savedRegisters as for the classic model, write
//           the 32800 bytes of mem.state, then hardwareStateBlock(m).
// Loading:  read the block first (decodeStateBlock on the bytes after the 32800), so
//           that a file refused for it changes nothing (BlockReading::message says
//           why); then the 32800 bytes into mem.state and regs from them, and
//           restoreHardware with the block's snapshot. A file of exactly 32800 bytes
//           (written by the classic model) gets powerOnHardware instead.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "hardware/state_block.h"

namespace vantrel {

class Machine;

HardwareSnapshot captureHardware(const Machine& m);
// Also drops the frames and typed keys of the time before.
void restoreHardware(Machine& m, const HardwareSnapshot& snapshot);

// The hardware model's state at power-on, beside the registers and the 32800 bytes as
// they are: clock 0, R 0, IFF2 as IFF1, not halted, nothing pending, the LCD base at
// 0xFC00; port 3's enables stay as the calculator's software wrote them.
void powerOnHardware(Machine& m);

std::vector<uint8_t> hardwareStateBlock(const Machine& m);
BlockReading restoreHardwareBlock(Machine& m, std::span<const uint8_t> block);

}  // namespace vantrel
