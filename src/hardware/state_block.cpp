#include "hardware/state_block.h"

#include <algorithm>

#include "files/crc32.h"

namespace vantrel {

namespace {

// Payload offsets.
constexpr std::size_t modelAt = 0;
constexpr std::size_t flagsAt = 1;
constexpr std::size_t rAt = 2;
constexpr std::size_t port0At = 3;
constexpr std::size_t port4At = 4;
constexpr std::size_t pendingAt = 5;
constexpr std::size_t memptrAt = 6;
constexpr std::size_t clockAt = 8;
constexpr std::size_t nextPeriodicAt = 16;
constexpr std::size_t nextFrameAt = 24;
static_assert(nextFrameAt + 8 == stateBlockPayloadSize);

constexpr uint8_t iff2Flag = 0x01;
constexpr uint8_t haltedFlag = 0x02;
constexpr uint8_t heldOffFlag = 0x04;
constexpr uint8_t irLoadedFlag = 0x08;
constexpr uint8_t knownFlags = iff2Flag | haltedFlag | heldOffFlag | irLoadedFlag;

void put(std::vector<uint8_t>& out, uint64_t value, std::size_t bytes) {
    for (std::size_t i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

uint64_t get(std::span<const uint8_t> in, std::size_t at, std::size_t bytes) {
    uint64_t value = 0;
    for (std::size_t i = 0; i < bytes; ++i) value |= uint64_t{in[at + i]} << (8 * i);
    return value;
}

BlockReading refuse(BlockFault fault, uint64_t detail = 0) { return {std::nullopt, fault, detail}; }

// A timer's next event lies within one period of the clock, on either side: the loop
// is saved at an instruction boundary, at most one instruction past an event.
bool nearClock(uint64_t next, uint64_t clock, uint64_t period) {
    return next <= clock + period && next + period > clock;
}

}  // namespace

std::vector<uint8_t> encodeStateBlock(const HardwareSnapshot& s) {
    std::vector<uint8_t> out(stateBlockTag.begin(), stateBlockTag.end());
    out.reserve(stateBlockSize);
    put(out, stateBlockVersion, 2);
    put(out, stateBlockPayloadSize, 4);
    const uint8_t flags = static_cast<uint8_t>(
        (s.iff2 ? iff2Flag : 0) | (s.halted ? haltedFlag : 0) |
        (s.interruptHeldOff ? heldOffFlag : 0) | (s.irJustLoaded ? irLoadedFlag : 0));
    put(out, static_cast<uint8_t>(s.model), 1);
    put(out, flags, 1);
    put(out, s.r, 1);
    put(out, s.ports.lcdBase, 1);
    put(out, s.ports.port4, 1);
    put(out, s.ports.pending, 1);
    put(out, s.memptr, 2);
    put(out, s.clock, 8);
    put(out, s.ports.nextPeriodic, 8);
    put(out, s.ports.nextFrame, 8);
    put(out, crc32(out.data(), out.size()), 4);
    return out;
}

BlockReading decodeStateBlock(std::span<const uint8_t> bytes, MachineModel expected) {
    if (bytes.size() < stateBlockHeaderSize) return refuse(BlockFault::cutShort, bytes.size());
    if (!std::equal(stateBlockTag.begin(), stateBlockTag.end(), bytes.begin()))
        return refuse(BlockFault::wrongTag);
    const uint64_t version = get(bytes, 4, 2);
    if (version != stateBlockVersion) return refuse(BlockFault::unknownVersion, version);
    const uint64_t length = get(bytes, 6, 4);
    if (length != stateBlockPayloadSize || bytes.size() != stateBlockSize)
        return refuse(BlockFault::wrongLength, length);
    const std::size_t crcAt = stateBlockSize - 4;
    if (crc32(bytes.data(), crcAt) != get(bytes, crcAt, 4)) return refuse(BlockFault::badChecksum);

    const std::span<const uint8_t> p = bytes.subspan(stateBlockHeaderSize, stateBlockPayloadSize);
    const uint64_t model = p[modelAt];
    if (model != static_cast<uint8_t>(expected)) return refuse(BlockFault::otherModel, model);
    HardwareSnapshot s;
    s.model = expected;
    s.clock = get(p, clockAt, 8);
    if (s.clock > maximumStoredClock) return refuse(BlockFault::clockTooFar, s.clock);
    const uint8_t flags = p[flagsAt];
    s.iff2 = flags & iff2Flag;
    s.halted = flags & haltedFlag;
    s.interruptHeldOff = flags & heldOffFlag;
    s.irJustLoaded = flags & irLoadedFlag;
    s.r = p[rAt];
    s.ports.lcdBase = p[port0At];
    s.ports.port4 = p[port4At];
    s.ports.pending = p[pendingAt];
    s.memptr = static_cast<uint16_t>(get(p, memptrAt, 2));
    s.ports.nextPeriodic = get(p, nextPeriodicAt, 8);
    s.ports.nextFrame = get(p, nextFrameAt, 8);
    if ((flags & ~knownFlags) != 0 || (s.ports.pending & ~interruptSourceBits) != 0 ||
        !nearClock(s.ports.nextPeriodic, s.clock, periodicInterruptPeriod) ||
        !nearClock(s.ports.nextFrame, s.clock, lcdFramePeriod))
        return refuse(BlockFault::badValue);
    return {s, BlockFault::none, 0};
}

std::string BlockReading::message() const {
    const std::string lead = "The hardware state after the calculator's memory ";
    switch (fault) {
        case BlockFault::none:
            return "The hardware state was read.";
        case BlockFault::cutShort:
            return lead + "is cut short (" + std::to_string(detail) + " bytes).";
        case BlockFault::wrongTag:
            return lead + "is not one Vantrel wrote.";
        case BlockFault::unknownVersion:
            return lead + "has version " + std::to_string(detail) +
                   ", written by a later Vantrel (this one reads version " +
                   std::to_string(stateBlockVersion) + ").";
        case BlockFault::wrongLength:
            return lead + "gives a length (" + std::to_string(detail) +
                   " bytes) that does not fit the file.";
        case BlockFault::badChecksum:
            return lead + "is damaged (its checksum does not match).";
        case BlockFault::otherModel:
            return lead + "belongs to another model of the calculator (" +
                   (detail <= 1 ? std::string(machineModelName(static_cast<MachineModel>(detail)))
                                : "model " + std::to_string(detail)) +
                   ").";
        case BlockFault::clockTooFar:
            return lead + "has a clock too far in the future (" + std::to_string(detail) +
                   " T-states).";
        case BlockFault::badValue:
            return lead + "holds values out of range.";
    }
    return lead + "cannot be read.";
}

}  // namespace vantrel
