#include "hardware/rom_image.h"

#include <cstdint>
#include <cstring>

namespace vantrel {

namespace {

struct RomPatch {
    uint32_t offset;
    uint8_t value;
};

// The three version bytes get fixed values, and the last byte of every page is
// replaced: 0xFF in pages 0 to 6, 0x35 in page 7.
constexpr RomPatch romPatches[] = {
    {0x0158, 0x01},  {0x0149, 0x01},  {0x0141, 0x39},  {0x3FFF, 0xFF},
    {0x7FFF, 0xFF},  {0xBFFF, 0xFF},  {0xFFFF, 0xFF},  {0x13FFF, 0xFF},
    {0x17FFF, 0xFF}, {0x1BFFF, 0xFF}, {0x1FFFF, 0x35},
};

constexpr uint32_t versionTextOffset = 0x328A;

// CALL 0x0B15; NOP at Z80 0x0D01, page 0.
constexpr uint32_t coldStartPatchOffset = 0x0D01;
constexpr uint8_t coldStartPatch[] = {0xCD, 0x15, 0x0B, 0x00};

}  // namespace

bool romVersionMatches(const RomImage& rom) {
    return std::memcmp(rom.data() + versionTextOffset, "10.0", 4) == 0 && rom[0x0158] == 0x46 &&
           rom[0x0141] == 0x05 && rom[0x0149] == 0x0E;
}

bool patchRomImage(RomImage& rom) {
    const bool versionOk = romVersionMatches(rom);
    for (const RomPatch& patch : romPatches) rom[patch.offset] = patch.value;
    return versionOk;
}

void coldStart(CpuRegisters& regs, MemoryMap& mem) {
    regs.pc = 0x0000;
    regs.sp = 0xF000;
    StateRecord& s = mem.state;
    s.romBank = 1;
    s.keyGroupMask = 0x00;
    s.port2Value = 0x00;
    s.port6Value = 0x00;
    s.port3Value = 0x0B;  // bits 0, 1 and 3: the calculator counts as on
    s.reservedStateByte = 0x0F;
    std::memcpy(mem.rom.data() + coldStartPatchOffset, coldStartPatch, sizeof coldStartPatch);
}

}  // namespace vantrel
