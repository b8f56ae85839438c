// The hardware model's interrupts, with programs of our own on the real emulation
// thread: the periodic interrupt on its clock with its status and acknowledge, [ON]
// and port 3 bit 3, IM 2 through a vector table, and the calculator switching itself
// off and on again.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "hardware/hardware_ports.h"
#include "machine/supervisor.h"
#include "support/hardware_rig.h"

using namespace std::chrono_literals;

namespace vantrel {
namespace {

using test::HardwareRig;

// Notes the clock at each start of the instruction at an address; never stops.
class ClockAt : public Supervisor {
public:
    explicit ClockAt(uint16_t address) : address_(address) {}
    bool stopBefore(const Machine& m) override {
        if (m.regs.pc == address_) {
            std::lock_guard lock(mutex_);
            clocks_.push_back(m.chip.clock());
        }
        return false;
    }
    bool stopAfter(const Machine&) override { return false; }
    void stopped(const Machine&) override {}
    std::vector<uint64_t> clocks() const {
        std::lock_guard lock(mutex_);
        return clocks_;
    }

private:
    uint16_t address_;
    mutable std::mutex mutex_;
    std::vector<uint64_t> clocks_;
};

constexpr uint8_t periodicAndLcd = periodicInterruptBit | lcdOnBit;
constexpr uint8_t onAndLcd = onInterruptBit | lcdOnBit;

TEST(HardwareInterrupts, PeriodicInterruptOnItsClockWithStatusAndAcknowledge) {
    HardwareRig rig;
    test::placeHaltingStart(rig, periodicAndLcd);
    test::placeCountingRoutine(rig, periodicAndLcd);
    ClockAt entries(0x0038);
    rig.m->supervisor = &entries;

    // At the tick the source has happened and the line is up; the processor takes it
    // at the next boundary.
    ASSERT_TRUE(rig.runTo(periodicInterruptPeriod - 1));
    EXPECT_EQ(rig.ram(0x8001), 0);
    ASSERT_TRUE(rig.runTo(periodicInterruptPeriod));
    EXPECT_EQ(rig.m->hardware.regs.pending, periodicInterruptBit);
    EXPECT_TRUE(rig.m->chip.interruptLine);
    EXPECT_EQ(portRead(*rig.m, 3), 0x0A);  // periodic happened, [ON] up

    ASSERT_TRUE(rig.runTo(10 * periodicInterruptPeriod + 500));
    EXPECT_EQ(rig.ram(0x8001), 10);
    EXPECT_EQ(rig.ram(0x8000), 0x0A);  // as the routine found it
    EXPECT_EQ(rig.ram(0x8002), 0x08);  // acknowledged by writing 0 to its enable bit
    EXPECT_FALSE(rig.m->chip.interruptLine);

    // Each entry a HALT round (4 T-states) at most after its tick, plus IM 1's 13.
    const std::vector<uint64_t> clocks = entries.clocks();
    ASSERT_EQ(clocks.size(), 10u);
    for (std::size_t i = 0; i < clocks.size(); ++i) {
        const uint64_t tick = (i + 1) * periodicInterruptPeriod;
        EXPECT_GE(clocks[i], tick + 13) << i;
        EXPECT_LE(clocks[i], tick + 13 + 3) << i;
    }
}

TEST(HardwareInterrupts, OnKeyRaisesItsInterruptOncePerPressAndPort3Bit3FollowsIt) {
    HardwareRig rig;
    test::placeHaltingStart(rig, onAndLcd);
    test::placeCountingRoutine(rig, onAndLcd);

    // Only the [ON] source is enabled: the periodic ticks raise nothing.
    ASSERT_TRUE(rig.runTo(5 * periodicInterruptPeriod));
    EXPECT_EQ(rig.ram(0x8001), 0);
    EXPECT_EQ(portRead(*rig.m, 3), 0x08);

    setHeldKeys(*rig.m, onKeyBit);
    ASSERT_TRUE(rig.runTo(rig.clock() + 1000));
    EXPECT_EQ(rig.ram(0x8001), 1);
    EXPECT_EQ(rig.ram(0x8000), 0x01);  // [ON] happened, [ON] held: the classic model's 0x01
    EXPECT_EQ(rig.ram(0x8002), 0x00);
    // Held on, it raises nothing more.
    ASSERT_TRUE(rig.runTo(rig.clock() + 100000));
    EXPECT_EQ(rig.ram(0x8001), 1);
    EXPECT_EQ(portRead(*rig.m, 3), 0x00);

    setHeldKeys(*rig.m, 0);
    EXPECT_EQ(portRead(*rig.m, 3), 0x08);
    setHeldKeys(*rig.m, onKeyBit | keyBit(keyEnter));
    setHeldKeys(*rig.m, keyBit(keyEnter));  // a press shorter than any run is not lost
    ASSERT_TRUE(rig.runTo(rig.clock() + 1000));
    EXPECT_EQ(rig.ram(0x8001), 2);
    EXPECT_EQ(rig.ram(0x8000), 0x09);  // happened, and up again by then

    // [ON] typed: held for the hold time, raising its interrupt once.
    setHeldKeys(*rig.m, 0);
    ASSERT_TRUE(typeKey(*rig.m, keyOn));
    ASSERT_TRUE(rig.runTo(rig.clock() + 1000));
    EXPECT_EQ(rig.ram(0x8001), 3);
    EXPECT_EQ(portRead(*rig.m, 3) & onKeyUpBit, 0);
    ASSERT_TRUE(rig.runTo(rig.clock() + typedKeyHold));
    EXPECT_EQ(portRead(*rig.m, 3), 0x08);
    EXPECT_EQ(rig.ram(0x8001), 3);
}

TEST(HardwareInterrupts, ModeTwoJumpsThroughTheVectorTableWithTheFloatingBus) {
    HardwareRig rig;
    rig.place(0x0000, {
                          0x31, 0x00, 0xF0,                  // LD SP,0xF000
                          0x3E, 0x90,                        // LD A,0x90
                          0xED, 0x47,                        // LD I,A
                          0xED, 0x5E,                        // IM 2
                          0x3E, periodicAndLcd, 0xD3, 0x03,  // OUT (3),A
                          0xFB,                              // EI
                          0x76,                              // HALT
                          0x18, 0xFD,                        // JR back to HALT
                      });
    // A table of 257 bytes of one value, as programs place it: any bus byte works, and
    // the word at 0x90FF (bus 0xFF) leads to 0x9595.
    for (uint16_t a = 0x9000; a <= 0x9100; ++a) writeByte(*rig.m, a, 0x95);
    rig.place(0x9595, {
                          0xF5,                              // PUSH AF
                          0x3A, 0x01,           0x80,        // LD A,(0x8001)
                          0x3C,                              // INC A
                          0x32, 0x01,           0x80,        // LD (0x8001),A
                          0x3E, lcdOnBit,                    // acknowledge
                          0xD3, 0x03,                        //
                          0x3E, periodicAndLcd, 0xD3, 0x03,  // enable again
                          0xF1,                              // POP AF
                          0xFB,                              // EI
                          0xED, 0x4D,                        // RETI
                      });
    ClockAt entries(0x9595);
    rig.m->supervisor = &entries;
    ASSERT_TRUE(rig.runTo(3 * periodicInterruptPeriod + 1000));
    EXPECT_EQ(rig.ram(0x8001), 3);
    ASSERT_EQ(entries.clocks().size(), 3u);
    EXPECT_GE(entries.clocks()[0], periodicInterruptPeriod + 19);  // IM 2 takes 19
    EXPECT_EQ(rig.m->regs.sp, 0xF000);
}

// Switched on (LCD on, a picture at 0xFC00), it switches itself off: LCD off, only the
// [ON] interrupt enabled, HALT. The [ON] routine switches it on again. Run to 1000,
// where it sleeps.
bool switchedOff(HardwareRig& rig) {
    for (uint16_t a = 0xFC00; a != 0; ++a) writeByte(*rig.m, a, 0xA5);
    test::placeHaltingStart(rig, onInterruptBit);
    test::placeCountingRoutine(rig, onAndLcd);
    return rig.runTo(1000) && rig.m->chip.halted;
}

TEST(HardwareInterrupts, SwitchedOffItSleepsToTheRunLimitAndWakesOnOn) {
    HardwareRig rig;
    ASSERT_TRUE(switchedOff(rig));
    const uint64_t clock1 = rig.clock();
    const uint8_t r1 = rig.m->chip.r();

    ASSERT_TRUE(rig.runTo(10'000'000));
    EXPECT_TRUE(rig.m->chip.halted);
    const uint64_t slept = rig.clock() - clock1;
    // R counted the HALT's fetches, one each four T-states.
    EXPECT_EQ(static_cast<uint8_t>((rig.m->chip.r() - r1) & 0x7F), (slept / 4) & 0x7F);
    const LcdFrames off = lcdFrames(*rig.m);
    ASSERT_GT(off.count, 0u);
    EXPECT_FALSE(off.newestFirst[0].lcdOn);
    EXPECT_EQ(off.newestFirst[0].pixels, LcdBytes{});
    EXPECT_EQ(off.newestFirst[0].clock, 10'000'000u);

    setHeldKeys(*rig.m, onKeyBit);
    ASSERT_TRUE(rig.runTo(rig.clock() + lcdFramePeriod));
    EXPECT_EQ(rig.ram(0x8001), 1);
    const LcdFrames on = lcdFrames(*rig.m);
    EXPECT_TRUE(on.newestFirst[0].lcdOn);
    EXPECT_EQ(on.newestFirst[0].pixels[0], 0xA5);
}

TEST(HardwareInterrupts, SwitchedOffWithoutARunLimitTheLoopSleepsUntilOn) {
    HardwareRig rig;
    ASSERT_TRUE(switchedOff(rig));
    const uint64_t asleep = rig.clock();
    // At unlimited speed the loop rests only where it sleeps on the host.
    setRunLimit(*rig.m, noRunLimit);
    ASSERT_TRUE(test::waitUntil([&] { return rig.m->control.state() == LoopState::paused; }));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(rig.m->control.state(), LoopState::paused);

    // [ON] wakes it with its clock moved on by at least the 50 ms it slept.
    setHeldKeys(*rig.m, onKeyBit);
    EXPECT_TRUE(test::waitUntil([&] {
        HoldGuard hold(rig.m->control);
        return rig.ram(0x8001) != 0;
    }));
    HoldGuard hold(rig.m->control);
    EXPECT_EQ(rig.ram(0x8001), 1);
    EXPECT_GE(rig.clock(), asleep + 50 * tStatesPerMs);
}

}  // namespace
}  // namespace vantrel
