#include "session/calculator/machine_files.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "files/crc32.h"
#include "files/file_io.h"
#include "hardware/rom_image.h"
#include "machine/bus.h"
#include "machine/hardware_state.h"

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
    // The image as read, before any patch: one ROM image's slots in both models.
    const uint32_t checksum = crc32(m.mem.rom.data(), romSize);
    const bool version =
        m.model == MachineModel::hardware ? romVersionMatches(m.mem.rom) : patchRomImage(m.mem.rom);
    return {version ? RomLoad::loaded : RomLoad::wrongVersion, std::nullopt, 0, checksum};
}

std::vector<uint8_t> encodeStateFile(const Machine& m) {
    std::vector<uint8_t> bytes(stateFileSize);
    std::memcpy(bytes.data(), &m.mem.state, stateFileSize);
    // The live registers, not the staging copy, which is only current after a save.
    std::memcpy(bytes.data() + offsetof(StateRecord, savedRegisters), &m.regs, sizeof m.regs);
    if (m.model == MachineModel::hardware) {
        const std::vector<uint8_t> block = hardwareStateBlock(m);
        bytes.insert(bytes.end(), block.begin(), block.end());
    }
    return bytes;
}

StateLoadResult decodeStateFile(Machine& m, std::span<const uint8_t> bytes) {
    StateLoadResult result;
    if (bytes.size() < stateFileSize) {
        result.outcome = StateLoad::wrongSize;
        result.size = bytes.size();
        return result;
    }
    // The block is read first, so that a file refused for it changes nothing.
    std::optional<HardwareSnapshot> snapshot;
    if (bytes.size() > stateFileSize) {
        const BlockReading block = decodeStateBlock(bytes.subspan(stateFileSize));
        if (!block.ok()) {
            // Bytes that do not even begin like a block make no state file at all.
            result.outcome =
                block.fault == BlockFault::wrongTag || block.fault == BlockFault::cutShort
                    ? StateLoad::wrongSize
                    : StateLoad::badBlock;
            result.size = bytes.size();
            result.blockProblem = block.message();
            return result;
        }
        snapshot = block.snapshot;
    }
    std::memcpy(&m.mem.state, bytes.data(), stateFileSize);
    m.regs = m.mem.state.savedRegisters;
    if (m.model == MachineModel::hardware) {
        if (snapshot)
            restoreHardware(m, *snapshot);
        else
            powerOnHardware(m);
    }
    result.outcome = StateLoad::restored;
    return result;
}

void coldStartMachine(Machine& m) {
    if (m.model != MachineModel::hardware) {
        coldStart(m.regs, m.mem);
        return;
    }
    // The calculator's own software sets up the rest from address 0.
    const RamImage ram = m.mem.state.ram;
    m.mem.state = StateRecord{};
    m.mem.state.ram = ram;
    m.regs = CpuRegisters{};
    powerOnHardware(m);
}

StateLoadResult readStateFile(Machine& m, const std::string& ramPath) {
    StateLoadResult result;
    if (stateFileIsRomImage(m, ramPath)) {
        result.outcome = StateLoad::romImage;
    } else {
        std::vector<uint8_t> bytes(stateFileReadLimit);
        if (const auto read = readFileOfSize(ramPath, bytes.data(), bytes.size()); !read) {
            if (read.failure().code != ENOENT) {
                result.outcome = StateLoad::unreadable;
                result.failure = read.failure();
            }
        } else if (*read > bytes.size()) {
            result.outcome = StateLoad::wrongSize;
            result.size = *read;
        } else {
            result = decodeStateFile(m, std::span(bytes).first(static_cast<std::size_t>(*read)));
            if (result.restored()) return result;
            // What a short file held stays in memory, as it always did.
            if (*read < stateFileSize)
                std::memcpy(&m.mem.state, bytes.data(), static_cast<std::size_t>(*read));
        }
    }
    coldStartMachine(m);
    return result;
}

bool loadStateFile(Machine& m, const std::string& ramPath) {
    return readStateFile(m, ramPath).restored();
}

Result<> saveStateFile(Machine& m, const std::string& ramPath) {
    // A ROM dump cannot be made again; 32800 bytes of state must never replace it.
    if (stateFileIsRomImage(m, ramPath)) return Failure::decline(romImageText);
    m.mem.state.savedRegisters = m.regs;
    const std::vector<uint8_t> bytes = encodeStateFile(m);
    const Result<> written = writeWholeFile(ramPath, bytes.data(), bytes.size());
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
