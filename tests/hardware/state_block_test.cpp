// The state block alone: what it keeps, and every damaged block refused with its
// reason, never read past its end.
#include "hardware/state_block.h"

#include <gtest/gtest.h>

#include <vector>

#include "files/crc32.h"

namespace vantrel {
namespace {

HardwareSnapshot everyFieldSet() {
    HardwareSnapshot s;
    s.clock = 123'456'789'012;
    s.r = 0xA5;
    s.iff2 = true;
    s.halted = true;
    s.interruptHeldOff = true;
    s.irJustLoaded = true;
    s.memptr = 0x1234;
    s.ports.lcdBase = 0x7C;
    s.ports.port4 = 0x06;
    s.ports.pending = onInterruptBit | periodicInterruptBit;
    s.ports.nextPeriodic = s.clock + 29'000;
    s.ports.nextFrame = s.clock - 3;  // due, not yet taken
    return s;
}

// A block with its checksum made right again after a change.
std::vector<uint8_t> resigned(std::vector<uint8_t> block) {
    const uint32_t crc = crc32(block.data(), block.size() - 4);
    for (int i = 0; i < 4; ++i) block[block.size() - 4 + i] = static_cast<uint8_t>(crc >> (8 * i));
    return block;
}

TEST(StateBlock, KeepsEveryFieldAndWritesTheLayoutItDocuments) {
    const HardwareSnapshot s = everyFieldSet();
    const std::vector<uint8_t> block = encodeStateBlock(s);
    ASSERT_EQ(block.size(), stateBlockSize);
    EXPECT_EQ(std::vector<uint8_t>(block.begin(), block.begin() + 10),
              (std::vector<uint8_t>{'V', 'T', 'H', 'W', 1, 0, 32, 0, 0, 0}));
    const BlockReading reading = decodeStateBlock(block);
    ASSERT_TRUE(reading.ok()) << reading.message();
    EXPECT_EQ(*reading.snapshot, s);
    EXPECT_EQ(decodeStateBlock(encodeStateBlock(HardwareSnapshot{})).snapshot, HardwareSnapshot{});
}

TEST(StateBlock, EveryCutAndEveryFlippedBitIsRefused) {
    const std::vector<uint8_t> block = encodeStateBlock(everyFieldSet());
    for (std::size_t size = 0; size < block.size(); ++size) {
        const BlockReading reading = decodeStateBlock(std::span<const uint8_t>(block.data(), size));
        EXPECT_EQ(reading.fault,
                  size < stateBlockHeaderSize ? BlockFault::cutShort : BlockFault::wrongLength)
            << size;
    }
    std::vector<uint8_t> longer = block;
    longer.push_back(0);
    EXPECT_EQ(decodeStateBlock(longer).fault, BlockFault::wrongLength);

    for (std::size_t at = 0; at < block.size(); ++at) {
        for (int bit = 0; bit < 8; ++bit) {
            std::vector<uint8_t> damaged = block;
            damaged[at] ^= static_cast<uint8_t>(1u << bit);
            const BlockReading reading = decodeStateBlock(damaged);
            ASSERT_FALSE(reading.ok()) << at << ":" << bit;
            const BlockFault expected = at < 4    ? BlockFault::wrongTag
                                        : at < 6  ? BlockFault::unknownVersion
                                        : at < 10 ? BlockFault::wrongLength
                                                  : BlockFault::badChecksum;
            EXPECT_EQ(reading.fault, expected) << at << ":" << bit;
        }
    }
}

TEST(StateBlock, SoundChecksumsOverWrongContentsAreRefusedWithTheirReason) {
    const std::vector<uint8_t> block = encodeStateBlock(everyFieldSet());
    auto withPayload = [&](std::size_t at, uint8_t value) {
        std::vector<uint8_t> changed = block;
        changed[stateBlockHeaderSize + at] = value;
        return decodeStateBlock(resigned(changed));
    };
    const BlockReading classic = withPayload(0, 0);
    EXPECT_EQ(classic.fault, BlockFault::otherModel);
    EXPECT_NE(classic.message().find("classic"), std::string::npos) << classic.message();
    EXPECT_EQ(withPayload(0, 9).fault, BlockFault::otherModel);
    EXPECT_EQ(decodeStateBlock(block, MachineModel::classic).fault, BlockFault::otherModel);
    EXPECT_EQ(withPayload(1, 0x10).fault, BlockFault::badValue);  // an unknown flag
    EXPECT_EQ(withPayload(5, 0x08).fault, BlockFault::badValue);  // an unknown source

    HardwareSnapshot far = everyFieldSet();
    far.clock = maximumStoredClock + 1;
    far.ports.nextPeriodic = far.clock + 1;
    far.ports.nextFrame = far.clock + 1;
    const BlockReading future = decodeStateBlock(encodeStateBlock(far));
    EXPECT_EQ(future.fault, BlockFault::clockTooFar);
    EXPECT_NE(future.message().find("future"), std::string::npos);

    HardwareSnapshot stale = everyFieldSet();
    stale.ports.nextPeriodic = stale.clock - periodicInterruptPeriod;  // a tick missed
    EXPECT_EQ(decodeStateBlock(encodeStateBlock(stale)).fault, BlockFault::badValue);
    stale = everyFieldSet();
    stale.ports.nextFrame = stale.clock + lcdFramePeriod + 1;
    EXPECT_EQ(decodeStateBlock(encodeStateBlock(stale)).fault, BlockFault::badValue);

    std::vector<uint8_t> later = block;
    later[4] = 2;
    const BlockReading version = decodeStateBlock(later);
    EXPECT_EQ(version.fault, BlockFault::unknownVersion);
    EXPECT_NE(version.message().find("version 2"), std::string::npos) << version.message();
}

}  // namespace
}  // namespace vantrel
