// The state block: what the hardware model adds to a state file, stored after the
// 32800 bytes that the classic model reads (which stay exactly as they are), so that a
// file written in either model loads in both. Pure functions over bytes.
//
//   offset  size  field (little-endian)
//   0       4     tag "VTHW"
//   4       2     version (1)
//   6       4     length of the payload that follows (32 for version 1)
//   10      32    payload: model, flags (IFF2, HALT, no interrupt at this boundary,
//                 LD A,I/R just run), R, port 0, port 4, interrupts pending, MEMPTR,
//                 the T-state clock, the periodic timer's next tick, the next frame
//   42      4     CRC-32 of everything before it
//
// Port 3 as written, the contrast and the rest of the ports are in the 32800 bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "hardware/hardware_ports.h"
#include "hardware/machine_model.h"

namespace vantrel {

// The hardware model's state beyond the 32800 bytes.
struct HardwareSnapshot {
    MachineModel model = MachineModel::hardware;
    uint64_t clock = 0;  // T-states since the start
    uint8_t r = 0;
    bool iff2 = false;
    bool halted = false;
    bool interruptHeldOff = false;  // the boundary right after EI: no interrupt taken here
    bool irJustLoaded = false;      // right after LD A,I or LD A,R: an interrupt clears P/V
    uint16_t memptr = 0;
    HardwareRegisters ports;

    bool operator==(const HardwareSnapshot&) const = default;
};

inline constexpr std::array<uint8_t, 4> stateBlockTag{'V', 'T', 'H', 'W'};
inline constexpr uint16_t stateBlockVersion = 1;
inline constexpr std::size_t stateBlockHeaderSize = 10;
inline constexpr std::size_t stateBlockPayloadSize = 32;
inline constexpr std::size_t stateBlockSize = stateBlockHeaderSize + stateBlockPayloadSize + 4;

// Why a block was refused.
enum class BlockFault : uint8_t {
    none,
    cutShort,        // fewer bytes than a block's header
    wrongTag,        // not a state block
    unknownVersion,  // written by a later version of the program
    wrongLength,     // the length it gives does not fit the bytes there or its version
    badChecksum,     // damaged
    otherModel,      // holds the state of another model
    clockTooFar,     // a clock past maximumStoredClock
    badValue,        // a field out of its range
};

// The outcome of reading a block: the snapshot, or the fault and what it concerns.
struct BlockReading {
    std::optional<HardwareSnapshot> snapshot;
    BlockFault fault = BlockFault::none;
    uint64_t detail = 0;  // the version, length, model or clock found, where it says more

    bool ok() const { return fault == BlockFault::none; }
    // One sentence for the user: "The hardware state is damaged (bad checksum)."
    std::string message() const;
};

std::vector<uint8_t> encodeStateBlock(const HardwareSnapshot& snapshot);

// Reads a block that takes up all of bytes, for a machine of the expected model.
BlockReading decodeStateBlock(std::span<const uint8_t> bytes,
                              MachineModel expected = MachineModel::hardware);

}  // namespace vantrel
