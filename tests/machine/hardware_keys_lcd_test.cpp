// The hardware model's key matrix and LCD, with programs of our own: every held key
// of the selected groups on port 1, typed keys pressed and released in emulated time,
// and the LCD's frames following port 0 at the frame clock.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "hardware/hardware_ports.h"
#include "support/hardware_rig.h"

namespace vantrel {
namespace {

using test::HardwareRig;

TEST(HardwareKeys, HeldKeysOfSeveralGroupsCombineOnPort1) {
    HardwareRig rig;
    // Each group mask from 0x8200 on is written to port 1, and what port 1 reads then is
    // kept from 0x8100 on.
    const std::vector<uint8_t> masks = {0xFE, 0xFD, 0xFB, 0xF7, 0xEF, 0xDF, 0xBF, 0x00, 0xFF, 0xFA};
    for (std::size_t i = 0; i < masks.size(); ++i)
        writeByte(*rig.m, static_cast<uint16_t>(0x8200 + i), masks[i]);
    // clang-format off
    rig.place(0x0000, {0x11, 0x00, 0x82, 0x21, 0x00, 0x81,  // LD DE,0x8200; LD HL,0x8100
                       0x06, static_cast<uint8_t>(masks.size()),  // LD B,masks
                       0x1A, 0xD3, 0x01, 0xDB, 0x01, 0x77,  // LD A,(DE); OUT (1),A; IN A,(1); LD (HL),A
                       0x13, 0x23, 0x10, 0xF6, 0x76});      // INC DE; INC HL; DJNZ; HALT
    // clang-format on
    // [↓] (group 0 bit 0), [ENTER] and [+] (group 1 bits 0, 1), [3] (group 2 bit 1),
    // [2nd] (group 6 bit 5), and [ON], which is not in the matrix.
    setHeldKeys(*rig.m, keyBit(keyDown) | keyBit(keyEnter) | keyBit(keyAdd) | keyBit(key3) |
                            keyBit(keySecond) | onKeyBit);
    ASSERT_TRUE(rig.runTo(2000));
    const std::vector<uint8_t> expected = {0xFE, 0xFC, 0xFD, 0xFF, 0xFF,
                                           0xFF, 0xDF, 0xDC, 0xFF, 0xFC};
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(rig.ram(static_cast<uint16_t>(0x8100 + i)), expected[i])
            << "mask " << int(masks[i]);
}

// At every periodic interrupt the routine reads the seven groups one at a time and
// appends the seven bytes to a log from 0x8100 on (its end kept at 0x8000).
void placeKeypadScan(HardwareRig& rig) {
    constexpr uint8_t enables = periodicInterruptBit | lcdOnBit;
    // clang-format off
    rig.place(0x0000, {0x31, 0x00, 0xF0, 0x21, 0x00, 0x81,  // LD SP,0xF000; LD HL,0x8100
                       0x22, 0x00, 0x80, 0xED, 0x56,        // LD (0x8000),HL; IM 1
                       0x3E, enables, 0xD3, 0x03,           // LD A,enables; OUT (3),A
                       0xFB, 0x76, 0x18, 0xFD});            // EI; HALT; JR back to HALT
    rig.place(0x0038, {0xF5, 0xC5, 0xE5, 0x2A, 0x00, 0x80,  // PUSH AF, BC, HL; LD HL,(0x8000)
                       0x0E, 0xFE,                          // LD C,0xFE: group 0
                       0x79, 0xD3, 0x01, 0xDB, 0x01, 0x77,  // scan: LD A,C; OUT (1),A; IN A,(1); LD (HL),A
                       0x23, 0xCB, 0x01, 0x79,              // INC HL; RLC C (the next group); LD A,C
                       0xFE, 0x7F, 0x20, 0xF2,              // CP 0x7F (past group 6); JR NZ,scan
                       0x22, 0x00, 0x80,                    // LD (0x8000),HL
                       0x3E, lcdOnBit, 0xD3, 0x03, 0x3E, enables, 0xD3, 0x03,  // acknowledge, enable
                       0xE1, 0xC1, 0xF1, 0xFB, 0xC9});      // POP HL, BC, AF; EI; RET
    // clang-format on
}

// The keys each scan saw, as key codes.
std::vector<std::set<uint8_t>> scans(const HardwareRig& rig) {
    const uint16_t end = static_cast<uint16_t>(rig.ram(0x8000) | rig.ram(0x8001) << 8);
    std::vector<std::set<uint8_t>> seen;
    for (uint16_t at = 0x8100; at + 7 <= end; at = static_cast<uint16_t>(at + 7)) {
        std::set<uint8_t> keys;
        for (unsigned group = 0; group < 7; ++group) {
            const uint8_t down = static_cast<uint8_t>(~rig.ram(static_cast<uint16_t>(at + group)));
            for (unsigned bit = 0; bit < 8; ++bit)
                if (down & (1u << bit)) keys.insert(static_cast<uint8_t>(group * 8 + bit + 1));
        }
        seen.push_back(keys);
    }
    return seen;
}

TEST(HardwareKeys, TypedKeysArePressedAndReleasedInEmulatedTimeNoneLost) {
    HardwareRig rig;
    placeKeypadScan(rig);
    ASSERT_TRUE(rig.runTo(5 * periodicInterruptPeriod));
    // Typed while the loop rests: the same key twice, keys of one group, and more.
    const std::vector<uint8_t> typed = {key1, key1, key2, keyEnter, keyDown, keyClear, key0, key0};
    for (uint8_t code : typed) {
        ASSERT_TRUE(typeKey(*rig.m, code));
    }
    EXPECT_TRUE(typingBusy(*rig.m));
    const uint64_t start = rig.clock();
    ASSERT_TRUE(rig.runTo(start + typed.size() * (typedKeyHold + typedKeyGap) +
                          10 * periodicInterruptPeriod));
    EXPECT_FALSE(typingBusy(*rig.m));

    // Each key alone in a run of scans, runs parted by scans without a key.
    const auto seen = scans(rig);
    std::vector<uint8_t> presses;
    std::vector<int> lengths;
    int gap = 0;
    for (std::size_t i = 0; i < seen.size(); ++i) {
        if (seen[i].empty()) {
            ++gap;
            continue;
        }
        ASSERT_EQ(seen[i].size(), 1u) << "scan " << i;
        if (i > 0 && seen[i] == seen[i - 1]) {
            ++lengths.back();
            continue;
        }
        if (!presses.empty()) {
            EXPECT_GE(gap, 2) << "before press " << presses.size();
        }
        presses.push_back(*seen[i].begin());
        lengths.push_back(1);
        gap = 0;
    }
    EXPECT_EQ(presses, typed);
    // Held 25 ms: five scans at 200 a second, whatever the phase.
    for (int length : lengths) EXPECT_EQ(length, 5);
}

TEST(HardwareLcd, FramesAtTheFrameClockShowTheBaseOfPort0ThenOfTheLcdSwitch) {
    HardwareRig rig;
    // Two pictures, at 0xFC00 (port 0 = 0x3C, also 0x7C) and 0xF800 (0x38). The
    // periodic routine switches between them.
    for (uint16_t a = 0xF800; a < 0xFC00; ++a) writeByte(*rig.m, a, 0x55);
    for (uint16_t a = 0xFC00; a != 0; ++a) writeByte(*rig.m, a, 0xAA);
    constexpr uint8_t enables = periodicInterruptBit | lcdOnBit;
    // clang-format off
    rig.place(0x0000, {0x31, 0x00, 0xF0, 0x3E, 0x7C, 0xD3, 0x00,  // LD SP,0xF000; LD A,0x7C; OUT (0),A
                       0x32, 0x00, 0x80, 0xED, 0x56,               // LD (0x8000),A; IM 1
                       0x3E, enables, 0xD3, 0x03,                  // LD A,enables; OUT (3),A
                       0xFB, 0x76, 0x18, 0xFD});                   // EI; HALT; JR back to HALT
    rig.place(0x0038, {0xF5, 0x3A, 0x00, 0x80, 0xEE, 0x44,  // PUSH AF; LD A,(0x8000); XOR 0x44
                       0x32, 0x00, 0x80, 0xD3, 0x00,        // LD (0x8000),A; OUT (0),A: 0x7C <-> 0x38
                       0x3E, lcdOnBit, 0xD3, 0x03, 0x3E, enables, 0xD3, 0x03,  // acknowledge, enable
                       0xF1, 0xFB, 0xC9});                  // POP AF; EI; RET
    // clang-format on
    const uint64_t frames = 12;
    for (uint64_t k = 1; k <= frames; ++k) {
        ASSERT_TRUE(rig.runTo(k * lcdFramePeriod + 1));
        const LcdFrames ring = lcdFrames(*rig.m);
        ASSERT_EQ(ring.taken, k);
        const LcdFrame& frame = ring.newestFirst[0];
        EXPECT_EQ(frame.clock, k * lcdFramePeriod);
        // The routine has run for every tick before the frame (one falling on the frame
        // has not been taken yet): an odd count shows the second picture.
        const uint64_t switches = (k * lcdFramePeriod - 1) / periodicInterruptPeriod;
        EXPECT_EQ(frame.pixels[0], switches % 2 ? 0x55 : 0xAA) << "frame " << k;
        EXPECT_TRUE(frame.lcdOn);
    }

    // The LCD switched off shows blank frames, and its picture again once on.
    {
        HoldGuard hold(rig.m->control);
        portWrite(*rig.m, 3, 0);
    }
    ASSERT_TRUE(rig.runTo((frames + 1) * lcdFramePeriod + 1));
    EXPECT_FALSE(lcdFrames(*rig.m).newestFirst[0].lcdOn);
    EXPECT_EQ(lcdFrames(*rig.m).newestFirst[0].pixels, LcdBytes{});
    {
        HoldGuard hold(rig.m->control);
        portWrite(*rig.m, 3, lcdOnBit);
    }
    ASSERT_TRUE(rig.runTo((frames + 2) * lcdFramePeriod + 1));
    EXPECT_TRUE(lcdFrames(*rig.m).newestFirst[0].lcdOn);
    EXPECT_NE(lcdFrames(*rig.m).newestFirst[0].pixels[0], 0);
}

}  // namespace
}  // namespace vantrel
