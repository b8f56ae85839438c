#include "session/history/save_slots.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "files/file_io.h"
#include "hardware/memory_map.h"
#include "hardware/state_block.h"
#include "session/calculator/calculator.h"
#include "session/calculator/messages.h"
#include "session/history/snapshot_store.h"
#include "session/screenshots/png_file.h"

namespace vantrel {

namespace fs = std::filesystem;

namespace {

// Larger files are no state files; reading stops there.
constexpr std::size_t slotFileLimit = snapshotSizeLimit;
constexpr std::size_t slotPictureLimit = 1 << 20;

std::string slotName(int slot, const char* extension) {
    char name[32];
    std::snprintf(name, sizeof name, "slot-%02d.%s", slot, extension);
    return name;
}

std::string slotWord(int slot) { return "Slot " + std::to_string(slot); }

bool validSlot(int slot) { return slot >= 1 && slot <= saveSlotCount; }

Failure noSuchSlot(int slot) {
    return Failure::badData("There is no slot " + std::to_string(slot) + "; the slots are 1 to " +
                            std::to_string(saveSlotCount) + ".");
}

// The file's bytes, or nothing for a missing one.
Result<std::optional<std::vector<uint8_t>>> readIfThere(const std::string& path,
                                                        std::size_t limit) {
    auto bytes = readFileBytes(path, limit);
    if (bytes) return std::optional<std::vector<uint8_t>>(std::move(*bytes));
    if (bytes.failure().code == ENOENT) return std::optional<std::vector<uint8_t>>();
    return bytes.failure();
}

Result<> writeOrRemove(const std::string& path, const std::vector<uint8_t>& bytes) {
    if (!bytes.empty()) return writeWholeFile(path, bytes.data(), bytes.size());
    std::error_code ec;
    fs::remove(path, ec);
    if (ec) return Failure::system(ec.value());
    return {};
}

}  // namespace

std::string slotFolder(const std::string& dataDirectory, uint32_t romChecksum) {
    char name[16];
    std::snprintf(name, sizeof name, "%08x", static_cast<unsigned>(romChecksum));
    return (fs::path(dataDirectory) / "slots" / name).string();
}

std::string slotStatePath(const std::string& folder, int slot) {
    return (fs::path(folder) / slotName(slot, "bin")).string();
}

std::string slotPicturePath(const std::string& folder, int slot) {
    return (fs::path(folder) / slotName(slot, "png")).string();
}

std::optional<MachineModel> stateFileModel(std::span<const uint8_t> bytes) {
    if (bytes.size() == stateFileSize) return MachineModel::classic;
    if (bytes.size() < stateFileSize) return std::nullopt;
    const BlockReading block = decodeStateBlock(bytes.subspan(stateFileSize));
    if (!block.ok()) return std::nullopt;
    return block.snapshot->model;
}

SlotInfo readSlotInfo(const std::string& folder, int slot) {
    SlotInfo info;
    if (!validSlot(slot)) return info;
    const std::string path = slotStatePath(folder, slot);
    const auto bytes = readFileBytes(path, slotFileLimit);
    std::error_code ec;
    const auto time = fs::last_write_time(path, ec);
    info.used = !ec;
    if (!info.used) return info;
    info.time = std::chrono::file_clock::to_sys(time);
    if (bytes) info.model = stateFileModel(*bytes);
    if (isRegularFile(slotPicturePath(folder, slot))) info.picture = slotPicturePath(folder, slot);
    return info;
}

SaveSlots::SaveSlots(Calculator& calculator, std::string dataDirectory)
    : calculator_(calculator), dataDirectory_(std::move(dataDirectory)) {}

std::string SaveSlots::folder() const {
    return slotFolder(dataDirectory_, calculator_.romChecksum());
}

Result<> SaveSlots::save(int slot, uint32_t foreground, uint32_t background) {
    if (!validSlot(slot)) return noSuchSlot(slot);
    if (!calculator_.usable() || calculator_.abandoned())
        return Failure::decline("No calculator runs to save.");
    const std::string dir = folder();
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec) return Failure::system(ec.value(), dir + ": " + errorText(ec.value()));

    const std::string statePath = slotStatePath(dir, slot);
    const std::string picturePath = slotPicturePath(dir, slot);
    const auto oldState = readIfThere(statePath, slotFileLimit);
    const auto oldPicture = readIfThere(picturePath, slotPictureLimit);

    const std::vector<uint8_t> state = calculator_.captureState();
    const std::vector<uint8_t> picture =
        headless::buildLcdPng(calculator_.lcdPicture(), foreground, background, 1);
    if (const auto written = writeWholeFile(statePath, state.data(), state.size()); !written)
        return Failure::system(written.failure().code, statePath + ": " + written.failure().reason);
    if (const auto written = headless::writePngFile(picture, picturePath); !written) {
        fs::remove(picturePath, ec);  // an old picture would show another state
        return Failure::system(written.failure().code,
                               "The state was saved, its picture not: " + picturePath + ": " +
                                   written.failure().reason);
    }
    if (oldState && *oldState)
        replaced_ = Replaced{calculator_.romChecksum(), slot, std::move(**oldState),
                             oldPicture && *oldPicture ? **oldPicture : std::vector<uint8_t>{}};
    else
        replaced_.reset();
    return {};
}

Result<> SaveSlots::load(int slot) {
    if (!validSlot(slot)) return noSuchSlot(slot);
    if (!calculator_.usable() || calculator_.abandoned())
        return Failure::decline("No calculator runs to load into.");
    const std::string path = slotStatePath(folder(), slot);
    const auto bytes = readFileBytes(path, slotFileLimit);
    if (!bytes) {
        const int error = bytes.failure().code;
        if (error == ENOENT) return Failure::decline(slotWord(slot) + " is empty.");
        if (error != EFBIG)
            return Failure::system(error,
                                   slotWord(slot) + " cannot be read: " + bytes.failure().reason);
        return Failure::badData(slotWord(slot) + " holds no state file (" + path +
                                " is too large); it is kept as it is.");
    }
    std::vector<uint8_t> before = calculator_.captureState();
    const StateLoadResult restored = calculator_.restoreState(*bytes);
    if (!restored.restored())
        return Failure::badData(slotWord(slot) + " holds no state file (" + path +
                                "); it is kept as it is. " + stateFileProblemText(restored));
    beforeLoad_.emplace(calculator_.romChecksum(), std::move(before));
    return {};
}

bool SaveSlots::canUndoLoad() const {
    return beforeLoad_ && beforeLoad_->first == calculator_.romChecksum() && calculator_.usable();
}

Result<> SaveSlots::undoLoad() {
    if (!canUndoLoad()) return Failure::decline("There is no load to undo.");
    const StateLoadResult restored = calculator_.restoreState(beforeLoad_->second);
    beforeLoad_.reset();
    if (!restored.restored()) return Failure::badData(stateFileProblemText(restored));
    return {};
}

std::optional<int> SaveSlots::undoableSave() const {
    if (!replaced_ || replaced_->rom != calculator_.romChecksum()) return std::nullopt;
    return replaced_->slot;
}

Result<> SaveSlots::undoSave() {
    if (!undoableSave()) return Failure::decline("There is no save to undo.");
    const std::string dir = folder();
    const std::string statePath = slotStatePath(dir, replaced_->slot);
    if (const auto written = writeOrRemove(statePath, replaced_->state); !written)
        return Failure::system(written.failure().code, statePath + ": " + written.failure().reason);
    const std::string picturePath = slotPicturePath(dir, replaced_->slot);
    const auto written = writeOrRemove(picturePath, replaced_->picture);
    replaced_.reset();
    if (!written)
        return Failure::system(written.failure().code,
                               picturePath + ": " + written.failure().reason);
    return {};
}

}  // namespace vantrel
