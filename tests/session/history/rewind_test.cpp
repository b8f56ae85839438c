// Rewind on a running classic calculator: snapshots at every fifth tick while it runs
// and none while it sleeps; stepping back gives each snapshot's exact bytes, the
// oldest stays, and releasing goes on from the one shown.
#include "session/history/rewind.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "machine/machine.h"
#include "machine/thread_control.h"
#include "session/calculator/calculator.h"
#include "support/scripted_front_end.h"
#include "support/temp_dir.h"

namespace vantrel::test {
namespace {

using namespace std::chrono_literals;

// Counts a 16-bit word at 0x8000 as fast as it can (so that two snapshots almost
// never hold one count); or it halts (asleep) instead.
std::vector<uint8_t> countingRom(bool sleeps) {
    std::vector<uint8_t> rom(romSize);
    std::memcpy(rom.data() + 0x328A, "10.0", 4);
    rom[0x0158] = 0x46;
    rom[0x0141] = 0x05;
    rom[0x0149] = 0x0E;
    // LD HL,0; INC HL; LD (8000h),HL; JR back to the INC
    const std::vector<uint8_t> counting{0x21, 0x00, 0x00, 0x23, 0x22, 0x00, 0x80, 0x18, 0xFA};
    const std::vector<uint8_t> halting{0xFB, 0x76, 0x18, 0xFD};  // EI; HALT; JR
    const auto& code = sleeps ? halting : counting;
    std::copy(code.begin(), code.end(), rom.begin());
    return rom;
}

struct RewindRig {
    TempDir dir;
    ScriptedFrontEnd front;
    Calculator calculator{front};

    explicit RewindRig(bool sleeps = false) {
        writeBytes(dir / "rom.bin", countingRom(sleeps));
        EXPECT_TRUE(calculator.load(dir / "rom.bin", dir / "state.bin", true).usable(true));
        calculator.start();
    }
    void ticks(int count) {
        for (int i = 0; i < count; ++i) {
            calculator.tick();
            std::this_thread::sleep_for(2ms);
        }
    }
    // Ticks, each after the calculator has counted on (a loaded host may leave its
    // thread unscheduled for a while), so that no two snapshots are alike.
    void runningTicks(int count) {
        for (int i = 0; i < count; ++i) {
            const uint16_t before = counter();
            const auto until = std::chrono::steady_clock::now() + 5s;
            while (counter() == before && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(1ms);
            calculator.tick();
        }
    }
    uint16_t counter() {
        HoldGuard hold(calculator.machine().control);
        const auto& ram = calculator.machine().mem.state.ram;
        return static_cast<uint16_t>(ram[0] | ram[1] << 8);
    }
};

TEST(RewindTest, StepsBackThroughExactSnapshotsAndGoesOnFromThere) {
    RewindRig rig;
    Rewind& rewind = rig.calculator.rewind();
    rewind.setSeconds(1);  // four snapshots
    rig.runningTicks(4);
    EXPECT_EQ(rewind.snapshots().size(), 0u);
    rig.runningTicks(1 + 5 * 5);
    ASSERT_EQ(rewind.snapshots().size(), 4u);  // the oldest of six dropped
    std::vector<std::vector<uint8_t>> kept(4);
    for (std::size_t back = 0; back < 4; ++back)
        ASSERT_TRUE(rewind.snapshots().at(back, kept[back]));
    for (std::size_t back = 1; back < 4; ++back) EXPECT_NE(kept[back], kept[back - 1]);

    rewind.begin();
    for (std::size_t back = 0; back < 4; ++back) {
        ASSERT_TRUE(rewind.stepBack());
        EXPECT_EQ(rig.calculator.captureState(), kept[back]) << back;
        rig.ticks(5);  // held: nothing runs, nothing is taken
        EXPECT_EQ(rig.calculator.captureState(), kept[back]);
    }
    EXPECT_FALSE(rewind.stepBack());
    EXPECT_EQ(rig.calculator.captureState(), kept[3]);
    rewind.end();

    // The calculator counts on from the oldest snapshot, and its next snapshot follows
    // the one it went on from.
    const auto shown = static_cast<uint16_t>(kept[3][0] | kept[3][1] << 8);
    const auto until = std::chrono::steady_clock::now() + 5s;
    while (rig.counter() == shown && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(1ms);
    EXPECT_NE(rig.counter(), shown);
    rig.runningTicks(5);
    ASSERT_EQ(rewind.snapshots().size(), 2u);
    std::vector<uint8_t> older;
    ASSERT_TRUE(rewind.snapshots().at(1, older));
    EXPECT_EQ(older, kept[3]);
}

TEST(RewindTest, ASleepingCalculatorTakesNone) {
    RewindRig rig(true);
    rig.ticks(1);  // the first instruction runs at the first tick
    std::this_thread::sleep_for(20ms);
    ASSERT_TRUE(rig.calculator.asleep());
    rig.ticks(4);  // the quarter second in which it ran
    const std::size_t taken = rig.calculator.rewind().snapshots().size();
    EXPECT_LE(taken, 1u);
    rig.ticks(20);
    EXPECT_EQ(rig.calculator.rewind().snapshots().size(), taken);
}

}  // namespace
}  // namespace vantrel::test
