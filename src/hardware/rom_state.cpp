#include "hardware/rom_state.h"

#include <cstdint>
#include <cstring>
#include <filesystem>

#include "cpu/memory_access.h"
#include "hardware/file_io.h"
#include "hardware/machine.h"

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

int loadRomImage(Machine& m, const std::string& romPath) {
    // Absolute, so that the comparison with a state path holds wherever it is made.
    std::error_code ec;
    const auto absolute =
        romPath.empty() ? std::filesystem::path() : std::filesystem::absolute(romPath, ec);
    m.romFile = ec ? romPath : absolute.string();
    if (!readWholeFile(romPath, m.mem.rom.data(), romSize)) return romUnreadable;
    return patchRomImage(m) ? romLoaded : romWrongVersion;
}

bool patchRomImage(Machine& m) {
    RomImage& rom = m.mem.rom;
    const bool versionOk = std::memcmp(rom.data() + versionTextOffset, "10.0", 4) == 0 &&
                           rom[0x0158] == 0x46 && rom[0x0141] == 0x05 && rom[0x0149] == 0x0E;
    for (const RomPatch& patch : romPatches) rom[patch.offset] = patch.value;
    return versionOk;
}

int loadStateFile(Machine& m, const std::string& ramPath) {
    if (!stateFileIsRomImage(m, ramPath) && readWholeFile(ramPath, &m.mem.state, stateFileSize))
        m.regs = m.mem.state.savedRegisters;
    else
        coldStart(m);
    return 1;
}

void coldStart(Machine& m) {
    m.regs.pc = 0x0000;
    m.regs.sp = 0xF000;
    StateRecord& s = m.mem.state;
    s.romBank = 1;
    s.keyGroupMask = 0x00;
    s.port2Value = 0x00;
    s.port6Value = 0x00;
    s.port3Value = 0x0B;  // bits 0, 1 and 3: the calculator counts as on
    s.reservedStateByte = 0x0F;
    std::memcpy(m.mem.rom.data() + coldStartPatchOffset, coldStartPatch, sizeof coldStartPatch);
}

bool saveStateFile(Machine& m, const std::string& ramPath, std::string* why) {
    // A ROM dump cannot be made again; 32800 bytes of state must never replace it.
    if (stateFileIsRomImage(m, ramPath)) {
        if (why) *why = romImageText;
        return false;
    }
    m.mem.state.savedRegisters = m.regs;
    int error = 0;
    if (writeWholeFile(ramPath, &m.mem.state, stateFileSize, &error)) return true;
    if (why) *why = errorText(error);
    return false;
}

bool stateFileIsRomImage(const Machine& m, const std::string& ramPath) {
    return !m.romFile.empty() && sameFile(ramPath, m.romFile);
}

int reloadStateFile(Machine& m, const std::string& ramPath) {
    HoldGuard hold(m.control);
    loadStateFile(m, ramPath);
    jumpTo(m, m.regs.pc);
    return 1;
}

}  // namespace vantrel
