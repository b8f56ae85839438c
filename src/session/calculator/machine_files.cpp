#include "session/calculator/machine_files.h"

#include <cerrno>
#include <filesystem>

#include "files/file_io.h"
#include "hardware/rom_image.h"
#include "machine/bus.h"

namespace vantrel {

RomLoadResult loadRomImage(Machine& m, const std::string& romPath) {
    // Absolute, so that the comparison with a state path holds wherever it is made.
    std::error_code ec;
    const auto absolute =
        romPath.empty() ? std::filesystem::path() : std::filesystem::absolute(romPath, ec);
    m.romFile = ec ? romPath : absolute.string();
    ReadFailure failure;
    if (!readWholeFile(romPath, m.mem.rom.data(), romSize, &failure)) {
        if (failure.tooShort) return {RomLoad::tooShort, 0, failure.bytesRead};
        return {failure.error == ENOENT ? RomLoad::missing : RomLoad::unreadable, failure.error};
    }
    return {patchRomImage(m.mem.rom) ? RomLoad::loaded : RomLoad::wrongVersion, 0};
}

StateLoadResult readStateFile(Machine& m, const std::string& ramPath) {
    StateLoadResult result;
    ReadFailure failure;
    if (stateFileIsRomImage(m, ramPath)) {
        result.outcome = StateLoad::romImage;
    } else if (readExactFile(ramPath, &m.mem.state, stateFileSize, &failure)) {
        m.regs = m.mem.state.savedRegisters;
        result.outcome = StateLoad::restored;
        return result;
    } else if (failure.tooShort || failure.tooLong) {
        result.outcome = StateLoad::wrongSize;
        result.size = failure.fileSize;
    } else if (failure.error != ENOENT) {
        result.outcome = StateLoad::unreadable;
        result.error = failure.error;
    }
    coldStart(m.regs, m.mem);
    return result;
}

bool loadStateFile(Machine& m, const std::string& ramPath) {
    return readStateFile(m, ramPath).restored();
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

bool stateFileWouldReplace(const std::string& ramPath, const std::string& romPath) {
    return !romPath.empty() && sameFile(ramPath, romPath);
}

bool stateFileIsRomImage(const Machine& m, const std::string& ramPath) {
    return stateFileWouldReplace(ramPath, m.romFile);
}

StateLoadResult reloadStateFile(Machine& m, const std::string& ramPath) {
    HoldGuard hold(m.control);
    const StateLoadResult read = readStateFile(m, ramPath);
    jumpTo(m, m.regs.pc);
    return read;
}

}  // namespace vantrel
