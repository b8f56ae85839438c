// The loop with a supervisor: asked around every instruction, stops that rest at an
// instruction boundary, the unwatched loop again once it is removed, and the rules of
// the request word kept meanwhile. On the real emulation thread.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "machine/emulation_thread.h"
#include "machine/supervisor.h"
#include "support/scripted_host.h"
#include "support/test_machine.h"

using namespace std::chrono_literals;

namespace vantrel {
namespace {

bool waitUntil(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + 10s;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(100us);
    }
    return true;
}

// Stops before the instruction at one address; counts what it is asked.
class StopAt : public Supervisor {
public:
    explicit StopAt(uint16_t address) : address_(address) {}
    bool stopBefore(const Machine& m) override {
        ++before;
        return m.regs.pc == address_;
    }
    bool stopAfter(const Machine&) override {
        ++after;
        return false;
    }
    void stopped(const Machine&) override { ++stops; }
    std::atomic<int> before{0};
    std::atomic<int> after{0};
    std::atomic<int> stops{0};

private:
    uint16_t address_;
};

struct SupervisedLoop : ::testing::Test {
    std::unique_ptr<Machine> m = test::makeMachine();
    test::ScriptedHost host;
    void SetUp() override {
        m->setHost(&host);
        m->regs.sp = 0xF000;
        // 0x8000: INC A; INC B; JR 0x8000.
        const uint8_t program[] = {0x3C, 0x04, 0x18, 0xFC};
        std::copy(std::begin(program), std::end(program), m->mem.ram());
        m->regs.pc = 0x8000;
    }
    bool stoppedThere() {
        return waitUntil(
            [&] { return m->control.debugStopped() && m->control.state() == LoopState::held; });
    }
};

TEST_F(SupervisedLoop, StopsBeforeTheInstructionAndRunsItOnceGoingOn) {
    StopAt watch(0x8001);
    m->supervisor = &watch;
    EmulationThread thread(*m);
    m->control.resume();
    ASSERT_TRUE(stoppedThere());
    EXPECT_EQ(m->regs.pc, 0x8001);
    EXPECT_EQ(m->regs.b, 0);
    EXPECT_EQ(watch.stops, 1);

    // Removed while it rests: the unwatched loop runs on from the same place.
    m->supervisor = nullptr;
    m->control.callAttention();
    const int asked = watch.before;
    m->control.endDebugStop();
    EXPECT_TRUE(waitUntil([&] {
        HoldGuard hold(m->control);
        return m->regs.b > 3;
    }));
    EXPECT_EQ(watch.before, asked);
}

TEST_F(SupervisedLoop, InstalledWhileRunningTakesOverAtTheNextBoundary) {
    EmulationThread thread(*m);
    m->control.resume();
    ASSERT_TRUE(waitUntil([&] { return m->control.state() == LoopState::running; }));
    StopAt watch(0x8002);
    {
        HoldGuard hold(m->control);
        m->supervisor = &watch;
        m->control.callAttention();
    }
    ASSERT_TRUE(stoppedThere());
    EXPECT_EQ(m->regs.pc, 0x8002);
    EXPECT_EQ(m->regs.a, m->regs.b);
}

TEST_F(SupervisedLoop, StopWhileStoppedEndsTheLoopWithNothingMoreRun) {
    StopAt watch(0x8001);
    m->supervisor = &watch;
    EmulationThread thread(*m);
    m->control.resume();
    ASSERT_TRUE(stoppedThere());
    const CpuRegisters before = m->regs;
    EXPECT_TRUE(thread.stop(2s));
    EXPECT_EQ(thread.loopEnd(), LoopEnd::stopped);
    EXPECT_EQ(m->regs.pc, before.pc);
    EXPECT_EQ(m->regs.a, before.a);
}

TEST_F(SupervisedLoop, AnInterruptIsServedBeforeTheCheckSoItsRoutineCanBeStoppedIn) {
    // The interrupt routine at 0x0038 of page 0: INC D; RET.
    m->mem.rom[0x38] = 0x14;
    m->mem.rom[0x39] = 0xC9;
    m->regs.intFlags = intEnableBit;
    StopAt watch(0x0039);
    m->supervisor = &watch;
    EmulationThread thread(*m);
    m->control.resume();
    ASSERT_TRUE(waitUntil([&] { return watch.before > 10; }));
    m->control.post(EmuRequest::Interrupt);
    ASSERT_TRUE(stoppedThere());
    EXPECT_EQ(m->regs.pc, 0x0039);
    EXPECT_EQ(m->regs.d, 1);
}

TEST(ThreadControlDebugStop, HoldsNestAndOnlyTheDebuggersStopGivesWayToStop) {
    ThreadControl control;
    std::atomic<bool> started{false};
    std::thread loop([&] {
        control.waitForStart();
        started = true;
        control.markDebugStop();
        control.parkForDebugger();
        control.loopEnded();
    });
    control.hold();
    control.hold();
    control.resume();
    control.release();
    std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(started) << "one hold is still taken";
    control.release();
    ASSERT_TRUE(waitUntil([&] { return control.state() == LoopState::held; }));
    EXPECT_TRUE(control.debugStopped());
    control.post(EmuRequest::Stop);
    control.resume();
    loop.join();
    EXPECT_EQ(control.state(), LoopState::ended);
}

}  // namespace
}  // namespace vantrel
