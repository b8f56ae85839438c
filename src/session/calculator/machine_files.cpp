#include "session/calculator/machine_files.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "files/crc32.h"
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
    const auto read = readFileStart(romPath, m.mem.rom.data(), romSize);
    if (!read)
        return {read.failure().code == ENOENT ? RomLoad::missing : RomLoad::unreadable,
                read.failure()};
    if (*read < romSize) return {RomLoad::tooShort, std::nullopt, *read};
    const uint32_t checksum = crc32(m.mem.rom.data(), romSize);
    return {patchRomImage(m.mem.rom) ? RomLoad::loaded : RomLoad::wrongVersion, std::nullopt, 0,
            checksum};
}

StateLoadResult readStateFile(Machine& m, const std::string& ramPath) {
    StateLoadResult result;
    if (stateFileIsRomImage(m, ramPath)) {
        result.outcome = StateLoad::romImage;
    } else if (const auto read = readFileOfSize(ramPath, &m.mem.state, stateFileSize); !read) {
        if (read.failure().code != ENOENT) {
            result.outcome = StateLoad::unreadable;
            result.failure = read.failure();
        }
    } else if (*read == stateFileSize) {
        m.regs = m.mem.state.savedRegisters;
        result.outcome = StateLoad::restored;
        return result;
    } else {
        result.outcome = StateLoad::wrongSize;
        result.size = *read;
    }
    coldStart(m.regs, m.mem);
    return result;
}

std::vector<uint8_t> encodeStateFile(const Machine& m) {
    StateRecord record = m.mem.state;
    record.savedRegisters = m.regs;
    const auto* bytes = reinterpret_cast<const uint8_t*>(&record);
    return {bytes, bytes + stateFileSize};
}

StateLoadResult decodeStateFile(Machine& m, std::span<const uint8_t> bytes) {
    if (bytes.size() != stateFileSize) return {StateLoad::wrongSize, std::nullopt, bytes.size()};
    std::memcpy(&m.mem.state, bytes.data(), stateFileSize);
    m.regs = m.mem.state.savedRegisters;
    return {StateLoad::restored};
}

bool loadStateFile(Machine& m, const std::string& ramPath) {
    return readStateFile(m, ramPath).restored();
}

Result<> saveStateFile(Machine& m, const std::string& ramPath) {
    // A ROM dump cannot be made again; 32800 bytes of state must never replace it.
    if (stateFileIsRomImage(m, ramPath)) return Failure::decline(romImageText);
    m.mem.state.savedRegisters = m.regs;
    const Result<> written = writeWholeFile(ramPath, &m.mem.state, stateFileSize);
    if (written) return {};
    return Failure::system(written.failure().code);
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
