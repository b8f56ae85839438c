// The ROM image as the machine runs it: the version test, the patches, and the cold
// start of a machine that has no state file.
#pragma once

#include "hardware/memory_map.h"
#include "z80/cpu_registers.h"

namespace vantrel {

// The version test on the bytes as read: the hardware model runs them unpatched.
bool romVersionMatches(const RomImage& rom);
// The version test on the bytes as read, then every patch. True when the test passed.
bool patchRomImage(RomImage& rom);

// The machine without a state file: PC 0, SP 0xF000, cold-start port values, and a
// CALL 0x0B15 at 0x0D01 that stays in the ROM image for the run. RAM is left as it is.
void coldStart(CpuRegisters& regs, MemoryMap& mem);

}  // namespace vantrel
