// Ten save slots per ROM image. A slot is an ordinary state file (it opens with
// --ram) with its LCD picture beside it as a PNG, in a folder of the data folder
// named by the ROM image's checksum, so that states of different ROM images never mix:
//
//   <data folder>/slots/<CRC-32 of the ROM image, 8 hex digits>/slot-01.bin, slot-01.png
//
// Loading keeps the state from before it, so that the last load can be undone; saving
// over a slot keeps the bytes it replaced, so that the last save can be undone. Both
// are held in memory only, for the ROM image they were taken on.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "hardware/machine_model.h"
#include "text/failure.h"

namespace vantrel {

class Calculator;

inline constexpr int saveSlotCount = 10;

std::string slotFolder(const std::string& dataDirectory, uint32_t romChecksum);
// Slots count from 1.
std::string slotStatePath(const std::string& folder, int slot);
std::string slotPicturePath(const std::string& folder, int slot);

// The model whose state file bytes these are (a block after the 32800 bytes names
// it); nothing for bytes that are no state file.
std::optional<MachineModel> stateFileModel(std::span<const uint8_t> bytes);

struct SlotInfo {
    bool used = false;                           // a file is there
    std::optional<MachineModel> model;           // nothing for a file that is no state file
    std::chrono::system_clock::time_point time;  // when it was saved (the file's time)
    std::string picture;                         // the PNG's path, empty when there is none
};

SlotInfo readSlotInfo(const std::string& folder, int slot);

class SaveSlots {
public:
    // Slots of the calculator's ROM image under dataDirectory (see dataDirectory() of
    // the settings; empty: the current directory).
    SaveSlots(Calculator& calculator, std::string dataDirectory);

    // The folder of the ROM image the calculator runs now.
    std::string folder() const;
    SlotInfo info(int slot) const { return readSlotInfo(folder(), slot); }

    // Writes the calculator's state into the slot and its LCD (these colours,
    // 0x00BBGGRR) beside it. A failure gives the system's reason; what the slot held
    // is then left as it was.
    Result<> save(int slot, uint32_t foreground, uint32_t background);
    // Puts the calculator in the slot's state. A slot that is empty or no state file
    // is refused with the reason, and its file is left as it is.
    Result<> load(int slot);

    // Brings back the state from before the last load (once).
    bool canUndoLoad() const;
    Result<> undoLoad();
    // The slot whose last save replaced a saved state, while that can be undone.
    std::optional<int> undoableSave() const;
    // Writes the replaced state and picture back (once).
    Result<> undoSave();

private:
    struct Replaced {
        uint32_t rom = 0;
        int slot = 0;
        std::vector<uint8_t> state;
        std::vector<uint8_t> picture;  // empty when the slot had none
    };

    Calculator& calculator_;
    std::string dataDirectory_;
    std::optional<std::pair<uint32_t, std::vector<uint8_t>>>
        beforeLoad_;  // the ROM's checksum, the state
    std::optional<Replaced> replaced_;
};

}  // namespace vantrel
