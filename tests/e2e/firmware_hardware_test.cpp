// The demo firmware in the hardware model: the complete Z80 on the unpatched image with
// the periodic interrupt, the key matrix that the firmware scans itself, the LCD frames
// and the link, driven from one emulated clock to the next through the run limit, so
// that every run is the same. Beside it, the game's key and the contrast keys in the
// classic model.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "e2e/firmware_machine.h"
#include "hardware/hardware_ports.h"
#include "hardware/lcd_shades.h"
#include "session/link/receive_screen.h"
#include "session/link/upload.h"
#include "support/hardware_rig.h"
#include "support/scripted_front_end.h"
#include "support/temp_dir.h"
#include "support/variable_file_builder.h"

namespace vantrel::test {
namespace {

// The demo on a machine of the hardware model, from power-on. Every run goes from the
// middle of one periodic interrupt's period to the middle of another, where the
// firmware has long served the interrupt: keys change there, and counts taken there
// are exact.
struct HardwareFirmware : HardwareRig {
    HardwareFirmware() {
        std::ifstream in(VANTREL_FIRMWARE_ROM, std::ios::binary);
        in.read(reinterpret_cast<char*>(m->mem.rom.data()), romSize);
        EXPECT_TRUE(in && romVersionMatches(m->mem.rom));
    }

    // Runs on for ms (a multiple of the 5 ms period) of emulated time.
    void run(uint64_t ms) {
        next += ms * tStatesPerMs;
        ASSERT_TRUE(runTo(next));
    }
    // Types the keys, runs until they are through, and 50 ms more.
    void type(std::initializer_list<uint8_t> keys) {
        for (uint8_t k : keys) ASSERT_TRUE(typeKey(*m, k));
        run(keys.size() * (typedKeyHold + typedKeyGap) / tStatesPerMs + 50);
        EXPECT_FALSE(typingBusy(*m));
    }
    void hold(uint64_t keys, uint64_t ms) {
        setHeldKeys(*m, keys);
        run(ms);
    }

    unsigned symbol(const char* name) const { return symbols.at(name); }
    uint8_t variable(const char* name) const { return ram(static_cast<uint16_t>(symbol(name))); }
    uint16_t word(const char* name) const {
        return static_cast<uint16_t>(variable(name) | ram(static_cast<uint16_t>(symbol(name) + 1))
                                                          << 8);
    }
    std::string row(int r) const { return trimmedRow(*m, r); }

    std::map<std::string, unsigned> symbols = firmwareSymbols();
    uint64_t next = periodicInterruptPeriod / 2;
};

constexpr uint64_t held(std::initializer_list<uint8_t> keys) {
    uint64_t mask = 0;
    for (uint8_t k : keys) mask |= keyBit(k);
    return mask;
}

// The same keys give the same screen as in the classic model, but for the bottom row,
// which names the game's key here.
TEST(FirmwareHardware, CalculatesAsInTheClassicModel) {
    HardwareFirmware calc;
    calc.run(300);
    EXPECT_EQ(calc.m->mem.state.port3Value, 0x0B);
    EXPECT_EQ(calc.m->mem.state.port2Value, 16);  // its contrast, not the cold start's 0
    auto classic = bootFirmware();
    ASSERT_TRUE(runUntilAsleep(*classic));
    const auto both = [&](std::initializer_list<uint8_t> keys) {
        calc.type(keys);
        for (uint8_t k : keys) deliverKey(*classic, k);
        for (int r = 0; r < textRows - 1; ++r) EXPECT_EQ(calc.row(r), trimmedRow(*classic, r)) << r;
        const auto shown = lcdBytes(*calc.m), expected = lcdBytes(*classic);
        EXPECT_TRUE(std::equal(shown.begin(), shown.end() - 8 * textColumns, expected.begin()));
    };
    both({key1, key2, keyAdd, key3, key0, keyEnter});
    EXPECT_EQ(calc.row(entryRow), "12+30");
    EXPECT_EQ(calc.row(resultRow), "              42");
    EXPECT_EQ(calc.row(7), "        F5: GAME");
    both({keySecond});  // the cursor shows the pending shift
    both({keyAlpha});
    both({key9, key8, key7, key6, key5, key4, key3, key2, key1, key0, key1, key2, key3, key4, key5,
          key6, key7});
    EXPECT_EQ(calc.row(resultRow), "      ENTRY FULL");
    both({keyDel, keySecond, keyXVar});
    EXPECT_EQ(calc.row(0), "LINK");
    both({keyExit});
    EXPECT_EQ(calc.row(7), "        F5: GAME");
    EXPECT_EQ(lcdBytes(*calc.m), expectedPicture(*calc.m));
}

// Keys held through the matrix: a key held types once, the same key typed twice twice;
// [DEL] held deletes at once, and again after 400 ms and every 50 ms: three in 480 ms.
TEST(FirmwareHardware, HeldKeysTypeOnceAndDelRepeats) {
    HardwareFirmware calc;
    calc.run(300);
    calc.hold(held({key7}), 600);
    calc.hold(0, 50);
    calc.type({key7, key7, key1, key2, key3});
    EXPECT_EQ(calc.row(entryRow), "777123");
    calc.hold(held({keyDel}), 480);
    calc.hold(0, 50);
    EXPECT_EQ(calc.row(entryRow), "777");
}

// [2nd] [ON]: LCD off and only the [ON] interrupt enabled, asleep in HALT (which the
// loop sleeps through on the host) until [ON].
TEST(FirmwareHardware, SecondOnSwitchesOffUntilOn) {
    HardwareFirmware calc;
    calc.run(300);
    calc.type({key5, keySecond, keyOn});
    EXPECT_EQ(calc.m->mem.state.port3Value, 0x01);
    EXPECT_TRUE(calc.m->chip.halted);
    EXPECT_FALSE(lcdFrames(*calc.m).newestFirst[0].lcdOn);
    const uint16_t ticks = calc.word("ticks");
    calc.type({key7});  // not seen: no periodic interrupt scans the keypad
    calc.run(1000);
    EXPECT_EQ(calc.word("ticks"), ticks);

    calc.type({keyOn});
    EXPECT_EQ(calc.m->mem.state.port3Value, 0x0B);
    EXPECT_TRUE(lcdFrames(*calc.m).newestFirst[0].lcdOn);
    EXPECT_EQ(calc.row(entryRow), "5");
    EXPECT_EQ(lcdBytes(*calc.m), expectedPicture(*calc.m));
    calc.type({key6});
    EXPECT_EQ(calc.row(entryRow), "56");
}

TEST(FirmwareHardware, GameRunsOnIm2AndThePeriodicInterruptWithTwoKeysHeldAndGrey) {
    HardwareFirmware calc;
    calc.run(300);
    calc.type({keyF5});
    Machine& m = *calc.m;
    EXPECT_EQ(calc.row(0), "SCORE 0");

    // IM 2 through a table of one value at I x 256.
    EXPECT_EQ(m.regs.intFlags & (intMode1Bit | intMode2Bit), intMode2Bit);
    EXPECT_EQ(m.regs.i, 0x85);
    for (uint16_t a = 0x8500; a <= 0x8600; ++a) ASSERT_EQ(calc.ram(a), 0x87) << a;

    // Its time is the periodic interrupt's: a count of them, and a step every four.
    const uint16_t ticks = calc.word("ticks");
    const uint8_t x = calc.variable("shipX");
    calc.hold(held({keyLeft}), 200);
    EXPECT_EQ(calc.word("ticks"), ticks + 40);
    EXPECT_EQ(calc.variable("shipX"), x - 10);

    // Two keys held at once: [LEFT] with [2nd] moves twice as fast, and the status row
    // shows both.
    calc.hold(held({keyLeft, keySecond}), 200);
    EXPECT_EQ(calc.variable("shipX"), x - 30);
    EXPECT_EQ(calc.row(0).substr(13), "<+");
    calc.hold(held({keyRight, keySecond}), 100);
    EXPECT_EQ(calc.variable("shipX"), x - 20);
    EXPECT_EQ(calc.row(0).substr(13), " +>");

    // Contrast: [UP] with [2nd] held darkens, [2nd] then [DOWN] lightens, [DOWN] alone
    // does nothing.
    calc.type({keyUp, keyUp});
    EXPECT_EQ(m.mem.state.port2Value, 18);
    calc.hold(0, 50);
    calc.type({keySecond, keyDown, keyDown});
    EXPECT_EQ(m.mem.state.port2Value, 17);
    EXPECT_EQ(lcdFrames(m).newestFirst[0].contrast, 17);

    // Grey: the two pictures take turns through port 0, so the frames' average is grey
    // where only one of them is lit.
    const LcdFrames frames = lcdFrames(m);
    ASSERT_EQ(frames.count, greyscaleFrames);
    const LcdShades smooth = lcdShades(frames, true);
    const auto shade = [&](int px, int py) {
        return smooth[static_cast<std::size_t>(py * lcdWidth + px)];
    };
    const int wall = shade(2, 21), floor = shade(64, 63);  // one picture each
    EXPECT_GT(wall, 0);
    EXPECT_LT(wall, 255);
    EXPECT_GT(floor, 0);
    EXPECT_LT(floor, 255);
    EXPECT_NEAR(wall + floor, 255, 2);
    EXPECT_EQ(shade(2, 19), 255);  // the mortar: lit in both
    EXPECT_EQ(shade(64, 7), 0);    // under the status row: in neither

    // EXIT: IM 1, I and the LCD base as they were, the calculator as it was.
    calc.type({keyExit});
    EXPECT_EQ(m.regs.intFlags & (intMode1Bit | intMode2Bit), intMode1Bit);
    EXPECT_EQ(m.regs.i, 0);
    EXPECT_EQ(m.hardware.regs.lcdBase, 0x3C);
    EXPECT_EQ(calc.row(0), "  VANTREL DEMO");
    EXPECT_EQ(lcdBytes(m), expectedPicture(m));
    calc.type({key6, keyMultiply, key7, keyEnter});
    EXPECT_EQ(calc.row(resultRow), "              42");
    EXPECT_EQ(m.mem.state.port2Value, 17);
}

// A rock that reaches the ship ends the game; ENTER starts it afresh, also after [2nd]
// was held to move fast (which leaves its shift pending).
TEST(FirmwareHardware, GameEndsWhenARockHitsAndStartsAgain) {
    HardwareFirmware calc;
    calc.run(300);
    calc.type({keyF5});
    for (int i = 0; i < 60 && calc.variable("gameOver") == 0; ++i)
        calc.hold(held({keySecond}), 500);
    ASSERT_EQ(calc.variable("gameOver"), 1);
    calc.hold(0, 50);
    EXPECT_EQ(calc.row(2), "   GAME OVER");
    EXPECT_EQ(calc.row(3), "   BEST " + std::to_string(calc.word("score")));
    EXPECT_EQ(calc.word("hiScore"), calc.word("score"));
    calc.type({keyEnter});
    EXPECT_EQ(calc.variable("gameOver"), 0);
    EXPECT_EQ(calc.row(0), "SCORE 0");
    EXPECT_EQ(calc.row(2), "");
}

class CollectingPeer : public LinkPeer {
public:
    std::optional<std::string> askSaveName(bool) override { return "back.85g"; }
    bool storeReceivedFile(const std::string&, const std::vector<uint8_t>& bytes) override {
        received = bytes;
        return true;
    }
    std::vector<uint8_t> received;
};

TEST(FirmwareHardware, LinkMenuReceivesAndSendsThroughPort7) {
    TempDir dir;
    const std::vector<uint8_t> file =
        variableFile({{10, 0, 0x00, 1, 'A'}, {0x00, 0x00, 0x81, 0x42, 0, 0, 0, 0, 0, 0}});
    std::ofstream(dir / "a.85n", std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()),
               static_cast<std::streamsize>(file.size()));

    HardwareFirmware calc;
    CollectingPeer peer;
    calc.m->link.setPeer(&peer);
    calc.run(300);
    calc.type({keySecond, keyXVar, keyF2});
    EXPECT_TRUE(screenShowsWaiting(*calc.m));
    ScriptedFrontEnd front;
    ASSERT_TRUE(startUpload(*calc.m, front, dir / "a.85n"));
    calc.run(2000);
    EXPECT_EQ(calc.row(1), "DONE");
    EXPECT_EQ(calc.row(2), "A");

    calc.type({keyExit, keyF1});
    calc.run(2000);
    EXPECT_EQ(calc.row(6), "DONE");
    ASSERT_EQ(peer.received.size(), file.size());
    EXPECT_TRUE(std::equal(file.begin() + 53, file.end(), peer.received.begin() + 53));
}

// Boot, a sum, and the game played with keys held and typed for 8 s: everything the
// run leaves (the state file's bytes, the registers, the block, the frames).
std::vector<uint8_t> scriptedRun() {
    HardwareFirmware calc;
    calc.run(300);
    calc.type({key6, keyMultiply, key7, keyEnter, keyF5});
    calc.hold(held({keyLeft, keySecond}), 400);
    calc.hold(held({keyRight}), 1500);
    calc.type({keySecond, keyUp});
    calc.hold(held({keyLeft}), 3000);
    calc.hold(0, 500);
    calc.type({keyEnter, keyRight});
    calc.run(2000);
    EXPECT_GT(calc.word("ticks"), 1000);
    std::vector<uint8_t> bytes;
    const auto append = [&](const void* p, std::size_t n) {
        const auto* b = static_cast<const uint8_t*>(p);
        bytes.insert(bytes.end(), b, b + n);
    };
    append(&calc.m->mem.state, sizeof(StateRecord));
    append(&calc.m->regs, sizeof(CpuRegisters));
    const std::vector<uint8_t> block = hardwareStateBlock(*calc.m);
    bytes.insert(bytes.end(), block.begin(), block.end());
    const LcdFrames frames = lcdFrames(*calc.m);
    for (std::size_t i = 0; i < frames.count; ++i)
        append(frames.newestFirst[i].pixels.data(), frames.newestFirst[i].pixels.size());
    return bytes;
}

TEST(FirmwareHardware, TheSameInputGivesTheSameRun) {
    const std::vector<uint8_t> first = scriptedRun();
    EXPECT_TRUE(first == scriptedRun());
}

// The classic model has neither the game nor a visible contrast, but [F5] says so on the
// result row until the next key, and the contrast keys still set port 2.
TEST(FirmwareClassic, GameKeySaysItNeedsTheHardwareModelAndContrastKeysSetPort2) {
    auto m = bootFirmware();
    ASSERT_TRUE(runUntilAsleep(*m));
    EXPECT_EQ(m->mem.state.port2Value, 16);
    typeEntry(*m, "12");
    deliverKey(*m, keyF5);
    EXPECT_EQ(trimmedRow(*m, resultRow), "  NEEDS HW MODEL");
    EXPECT_EQ(m->regs.intFlags & (intMode1Bit | intMode2Bit), intMode1Bit);
    EXPECT_EQ(lcdBytes(*m), expectedPicture(*m));
    typeEntry(*m, "3");
    EXPECT_EQ(trimmedRow(*m, entryRow), "123");
    EXPECT_EQ(trimmedRow(*m, resultRow), "");
    EXPECT_EQ(lcdBytes(*m), expectedPicture(*m));

    deliverKey(*m, key::second);
    deliverKey(*m, keyUp);
    EXPECT_EQ(m->mem.state.port2Value, 17);
    deliverKey(*m, keyDown);  // without [2nd]: an arrow, which the calculator ignores
    EXPECT_EQ(m->mem.state.port2Value, 17);
    for (int i = 0; i < 20; ++i) {
        deliverKey(*m, key::second);
        deliverKey(*m, keyDown);
    }
    EXPECT_EQ(m->mem.state.port2Value, 0);  // no lighter than 0
    EXPECT_EQ(trimmedRow(*m, entryRow), "123");
}

}  // namespace
}  // namespace vantrel::test
