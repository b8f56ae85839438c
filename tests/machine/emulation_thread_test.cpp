// The loop on a real emulation thread: the pause hand-shake, holds, stops and a
// stress of interrupt requests. Every wait has a generous deadline that fails the
// test instead of hanging it.
#include "machine/emulation_thread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "support/scripted_host.h"
#include "support/test_machine.h"

using namespace std::chrono_literals;

namespace vantrel {
namespace {

constexpr auto deadline = 10s;

// Waits until the halt event has been pulsed more than `seen` times. The wait takes
// the event's lock, after which the loop's writes before the pulse are visible.
bool waitForPulseAfter(Machine& m, uint64_t seen) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (m.control.haltEvent.pulseCount() <= seen) {
        if (std::chrono::steady_clock::now() > end) return false;
        m.control.haltEvent.waitForPulseAfter(seen, 100ms);
    }
    return true;
}

bool waitForState(Machine& m, LoopState state) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (m.control.state() != state) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(100us);
    }
    return true;
}

struct ThreadFixture : ::testing::Test {
    std::unique_ptr<Machine> m = test::makeMachine();
    test::ScriptedHost host;
    void SetUp() override {
        m->setHost(&host);
        m->regs.sp = 0xF000;
        m->regs.pc = 0x8000;
    }
    // 0x8000: EI; HALT; then INC A over and over: each wake-up from the pause runs one.
    void placeHaltThenCount() {
        m->mem.ram()[0] = 0xFB;
        m->mem.ram()[1] = 0x76;
        for (int i = 2; i < 0x100; ++i) m->mem.ram()[i] = 0x3C;
    }
};

using EmulationThreadPause = ThreadFixture;
using EmulationThreadHold = ThreadFixture;
using EmulationThreadStress = ThreadFixture;

TEST_F(EmulationThreadPause, HaltPausesAndEachResumeRunsExactlyOneInstruction) {
    placeHaltThenCount();
    EmulationThread thread(*m);
    m->control.resume();
    ASSERT_TRUE(waitForPulseAfter(*m, 0));
    ASSERT_TRUE(waitForState(*m, LoopState::paused));
    EXPECT_EQ(m->control.pendingCode(), code(EmuRequest::Pause));
    EXPECT_EQ(m->control.haltEvent.pulseCount(), 1u);
    EXPECT_EQ(host.repaints(), 1);
    EXPECT_EQ(m->regs.a, 0);

    for (uint64_t round = 1; round <= 3; ++round) {
        m->control.resume();  // the word still holds 3
        ASSERT_TRUE(waitForPulseAfter(*m, round));
        ASSERT_TRUE(waitForState(*m, LoopState::paused));
        EXPECT_EQ(m->regs.a, round);
        EXPECT_EQ(m->control.pendingCode(), code(EmuRequest::Pause));
    }
    EXPECT_TRUE(thread.stop());
}

TEST_F(EmulationThreadPause, StopOfAPausedLoopRunsOneInstructionAndEndsStopped) {
    placeHaltThenCount();
    std::promise<LoopEnd> exited;
    EmulationThread thread(*m, [&](LoopEnd end) { exited.set_value(end); });
    m->control.resume();
    ASSERT_TRUE(waitForPulseAfter(*m, 0));
    ASSERT_TRUE(waitForState(*m, LoopState::paused));
    EXPECT_TRUE(thread.stop());
    EXPECT_TRUE(thread.finished());
    EXPECT_EQ(thread.loopEnd(), LoopEnd::stopped);
    EXPECT_EQ(exited.get_future().get(), LoopEnd::stopped);
    EXPECT_EQ(m->regs.a, 1);
    EXPECT_FALSE(thread.stop());  // already stopped
}

TEST_F(EmulationThreadPause, AbortFromTheProgramEndsTheThreadWithFive) {
    m->mem.ram()[0] = 0xED;  // no instruction; the host answers "stop"
    m->mem.ram()[1] = 0x00;
    EmulationThread thread(*m);
    m->control.resume();
    ASSERT_TRUE(waitForState(*m, LoopState::ended));
    EXPECT_TRUE(thread.stop());
    EXPECT_EQ(thread.loopEnd(), LoopEnd::aborted);
}

TEST_F(EmulationThreadHold, HoldOfAPausedLoopIsGrantedAtOnceAndDoesNotWakeIt) {
    placeHaltThenCount();
    EmulationThread thread(*m);
    m->control.resume();
    ASSERT_TRUE(waitForPulseAfter(*m, 0));
    ASSERT_TRUE(waitForState(*m, LoopState::paused));

    auto held = std::async(std::launch::async, [&] { m->control.hold(); });
    ASSERT_EQ(held.wait_for(deadline), std::future_status::ready);
    // While held the registers belong to the holder.
    m->regs.b = 0x42;
    m->control.release();
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(m->control.state(), LoopState::paused);
    EXPECT_EQ(m->control.haltEvent.pulseCount(), 1u);
    EXPECT_EQ(m->regs.a, 0);

    // The pause goes on as before: one resume, one instruction.
    m->control.resume();
    ASSERT_TRUE(waitForPulseAfter(*m, 1));
    EXPECT_EQ(m->regs.a, 1);
    EXPECT_EQ(m->regs.b, 0x42);
    EXPECT_TRUE(thread.stop());
}

TEST_F(EmulationThreadHold, HoldOfARunningLoopStopsItAtAnInstructionBoundary) {
    // 0x8000: INC A; JR 0x8000 forever.
    m->mem.ram()[0] = 0x3C;
    m->mem.ram()[1] = 0x18;
    m->mem.ram()[2] = 0xFD;
    EmulationThread thread(*m);
    m->control.resume();
    ASSERT_TRUE(waitForState(*m, LoopState::running));
    for (int i = 0; i < 20; ++i) {
        HoldGuard guard(m->control);
        EXPECT_EQ(m->control.state(), LoopState::held);
        const uint8_t a = m->regs.a;
        const uint16_t pc = m->regs.pc;
        EXPECT_TRUE(pc == 0x8000 || pc == 0x8001) << pc;
        std::this_thread::sleep_for(1ms);
        EXPECT_EQ(m->regs.a, a);
    }
    EXPECT_TRUE(thread.stop());
    EXPECT_EQ(thread.loopEnd(), LoopEnd::stopped);
}

TEST_F(EmulationThreadHold, TimedOutStopLeavesTheThreadToEndSafelyLater) {
    placeHaltThenCount();
    std::promise<LoopEnd> exited;
    auto exitedFuture = exited.get_future();
    {
        EmulationThread thread(*m, [&](LoopEnd end) { exited.set_value(end); });
        m->control.resume();
        ASSERT_TRUE(waitForPulseAfter(*m, 0));
        m->control.hold();
        EXPECT_FALSE(thread.stop(20ms));  // a held loop cannot end
        EXPECT_FALSE(thread.finished());
    }  // the thread object goes while its thread still waits
    m->control.release();
    ASSERT_EQ(exitedFuture.wait_for(deadline), std::future_status::ready);
    EXPECT_EQ(exitedFuture.get(), LoopEnd::stopped);
}

TEST_F(EmulationThreadStress, TenThousandInterruptsAgainstAHaltLoopLoseNoWakeup) {
    // Interrupt routine in ROM page 0: LD HL,(0xC000); INC HL; LD (0xC000),HL; RET.
    const uint8_t routine[] = {0x2A, 0x00, 0xC0, 0x23, 0x22, 0x00, 0xC0, 0xC9};
    std::copy(std::begin(routine), std::end(routine), m->mem.rom.begin() + 0x38);
    // 0x8000: EI; HALT; JR to the HALT.
    m->mem.ram()[0] = 0xFB;
    m->mem.ram()[1] = 0x76;
    m->mem.ram()[2] = 0x18;
    m->mem.ram()[3] = 0xFD;
    EmulationThread thread(*m);
    m->control.resume();
    ASSERT_TRUE(waitForPulseAfter(*m, 0));

    constexpr int rounds = 10000;
    for (int round = 1; round <= rounds; ++round) {
        const uint64_t seen = m->control.haltEvent.pulseCount();
        m->control.post(EmuRequest::Interrupt);
        m->control.resume();
        if (!waitForPulseAfter(*m, seen)) {
            FAIL() << "no pause after round " << round;
        }
        const uint16_t count = readWord(*m, 0xC000);
        if (count != round) {
            FAIL() << "round " << round << " counted " << count;
        }
    }
    EXPECT_TRUE(thread.stop());
    EXPECT_EQ(readWord(*m, 0xC000), rounds % 0x10000);
    EXPECT_EQ(m->regs.sp, 0xF000);
}

}  // namespace
}  // namespace vantrel
