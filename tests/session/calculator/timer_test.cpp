#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <random>
#include <thread>

#include "machine/emulation_thread.h"
#include "machine/interrupts.h"
#include "session/calculator/timer_tick.h"
#include "session/keys/keypad.h"
#include "support/link_probe.h"
#include "support/scripted_host.h"
#include "support/test_machine.h"

using namespace std::chrono_literals;

namespace vantrel {
namespace {

constexpr int enterKey = 49, rightKey = 6;

// What each tick posts, looked at in the request word of a machine without a thread.
class TimerCadenceTest : public ::testing::Test {
protected:
    void press(int index) { keypad.pressKey(index); }

    std::unique_ptr<Machine> m = test::makeMachine();
    Keypad keypad{*m};
};

TEST_F(TimerCadenceTest, RunningPausedLinkAndKey) {
    m->mem.state.port3Value = 0x0B;

    // Running, idle: a repaint only.
    m->keyLatch = 9;
    timerTick(*m, keypad);
    EXPECT_EQ(m->control.pendingCode(), code(EmuRequest::Redraw));
    EXPECT_EQ(m->keyLatch.load(), 9u);

    // Paused in HALT: left asleep.
    m->control.emuRequest = code(EmuRequest::Pause);
    timerTick(*m, keypad);
    EXPECT_EQ(m->control.pendingCode(), code(EmuRequest::Pause));

    // Link busy: an interrupt without a key, paused or not.
    LinkEngineProbe(m->link).setBusy(true);
    timerTick(*m, keypad);
    EXPECT_EQ(m->control.pendingCode(), code(EmuRequest::Interrupt));
    EXPECT_EQ(m->keyLatch.load(), 0u);

    // A pending key takes precedence over the link.
    press(enterKey);
    keypad.releaseMouse();
    m->control.emuRequest = code(EmuRequest::Pause);
    timerTick(*m, keypad);
    EXPECT_EQ(m->control.pendingCode(), code(EmuRequest::Interrupt));
    EXPECT_EQ(m->keyLatch.load(), 9u);
    EXPECT_FALSE(keypad.keyPending());

    // The repeat delay of a held arrow sends interrupts with code 0.
    LinkEngineProbe(m->link).setBusy(false);
    press(rightKey);
    timerTick(*m, keypad);
    EXPECT_EQ(m->keyLatch.load(), 3u);
    m->control.emuRequest = 0;
    timerTick(*m, keypad);
    EXPECT_EQ(m->keyLatch.load(), 0u);
    EXPECT_EQ(m->control.pendingCode(), code(EmuRequest::Interrupt));
}

TEST_F(TimerCadenceTest, RepaintNeverDisplacesAnUnservedRequest) {
    for (EmuRequest pending : {EmuRequest::Interrupt, EmuRequest::Stop, EmuRequest::Abort}) {
        m->control.emuRequest = code(pending);
        timerTick(*m, keypad);
        EXPECT_EQ(m->control.pendingCode(), code(pending));
    }
}

// A machine running this program on its own emulation thread:
//   0000  LD SP,F000h / EI / HALT / JR back to HALT
//   0038  log port 1 at 8100h+n and port 3 at 8200h+n, count n at 8000h, EI, RET
class TimerThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        m->mem.state.port3Value = 0x0B;
        test::placeProgram(*m, 0x0038, {0x3A, 0x00, 0x80,  // LD A,(8000h)
                                        0x6F,              // LD L,A
                                        0x26, 0x81,        // LD H,81h
                                        0xDB, 0x01,        // IN A,(1)
                                        0x77,              // LD (HL),A
                                        0x26, 0x82,        // LD H,82h
                                        0xDB, 0x03,        // IN A,(3)
                                        0x77,              // LD (HL),A
                                        0x2A, 0x00, 0x80,  // LD HL,(8000h)
                                        0x23,              // INC HL
                                        0x22, 0x00, 0x80,  // LD (8000h),HL
                                        0xFB,              // EI
                                        0xC9});            // RET
        test::placeProgram(*m, 0x0000, {0x31, 0x00, 0xF0, 0xFB, 0x76, 0x18, 0xFD});
        m->setHost(&host);
    }

    void TearDown() override {
        if (thread) {
            EXPECT_TRUE(thread->stop(4000ms));
            EXPECT_EQ(thread->loopEnd(), LoopEnd::stopped);
        }
    }

    void start() {
        thread = std::make_unique<EmulationThread>(*m);
        timerTick(*m, keypad);  // the first tick's resumption starts the loop
        waitPaused();
    }

    static bool waitUntil(const std::function<bool()>& done, std::chrono::seconds limit = 10s) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::yield();
        }
        return true;
    }

    void waitPaused() {
        ASSERT_TRUE(waitUntil([&] { return m->control.state() == LoopState::paused; }));
    }

    // RAM is the emulation thread's; the hold makes these reads safe.
    int interrupts() {
        HoldGuard hold(m->control);
        const auto& ram = m->mem.state.ram;
        return ram[0] | ram[1] << 8;
    }
    uint8_t port1Seen(int n) {
        HoldGuard hold(m->control);
        return m->mem.state.ram[0x100 + (n & 0xFF)];
    }
    uint8_t port3Seen(int n) {
        HoldGuard hold(m->control);
        return m->mem.state.ram[0x200 + (n & 0xFF)];
    }

    // One tick, then wait until the interrupt it asked for has run and the machine
    // sleeps again.
    void tickAndWaitForInterrupt() {
        const int before = interrupts();
        timerTick(*m, keypad);
        ASSERT_TRUE(waitUntil([&] { return interrupts() == before + 1; }));
        waitPaused();
    }

    void click(int index) { keypad.pressKey(index); }

    std::unique_ptr<Machine> m = test::makeMachine();
    test::ScriptedHost host;
    Keypad keypad{*m};
    std::unique_ptr<EmulationThread> thread;
};

TEST_F(TimerThreadTest, KeyPressReachesTheCalculatorThroughThePorts) {
    start();
    EXPECT_EQ(interrupts(), 0);

    // A paused machine sleeps through idle ticks: no wake, no new pause.
    const uint64_t pulses = m->control.haltEvent.pulseCount();
    for (int i = 0; i < 5; ++i) timerTick(*m, keypad);
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(m->control.haltEvent.pulseCount(), pulses);
    EXPECT_EQ(interrupts(), 0);

    // [ENTER] clicked: code 9 is group 1, bit 0.
    click(enterKey);
    keypad.releaseMouse();
    tickAndWaitForInterrupt();
    EXPECT_EQ(port1Seen(0), 0xFE);
    EXPECT_EQ(port3Seen(0), 0x0A);
    timerTick(*m, keypad);  // delivered: nothing more
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(interrupts(), 1);

    // [right] held: code 3 (group 0, bit 2), seven interrupts without a key, then 3.
    click(rightKey);
    for (int i = 0; i < 10; ++i) tickAndWaitForInterrupt();
    const uint8_t expected[] = {0xFB, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFB, 0xFB};
    for (int i = 0; i < 10; ++i) EXPECT_EQ(port1Seen(1 + i), expected[i]) << "tick " << i + 1;
    keypad.releaseMouse();

    // A busy link wakes the machine at every tick with no key.
    LinkEngineProbe(m->link).setBusy(true);
    tickAndWaitForInterrupt();
    tickAndWaitForInterrupt();
    EXPECT_EQ(port1Seen(12), 0xFF);
    EXPECT_EQ(port3Seen(12), 0x0A);
}

TEST_F(TimerThreadTest, RunningMachineGetsRepaintsButNoInterrupts) {
    // EI, then a jump to itself: never halts.
    test::placeProgram(*m, 0x0000, {0x31, 0x00, 0xF0, 0xFB, 0x18, 0xFE});
    thread = std::make_unique<EmulationThread>(*m);
    for (int i = 0; i < 5; ++i) {
        const int repaints = host.repaints();
        timerTick(*m, keypad);
        ASSERT_TRUE(waitUntil([&] { return host.repaints() > repaints; }));
    }
    EXPECT_EQ(interrupts(), 0);
    EXPECT_EQ(m->control.haltEvent.pulseCount(), 0u);
}

// A calculator that computes across several ticks (each resumes the running loop),
// then sleeps in HALT and takes a key: the loop wakes to run exactly the instruction
// after HALT before the interrupt, and pulses the halt event once for the pause.
TEST_F(TimerThreadTest, KeyAfterABusySpellInterruptsOneInstructionPastHalt) {
    test::placeProgram(*m, 0x0038,
                       {0xE1,              // POP HL
                        0xE5,              // PUSH HL
                        0x22, 0x20, 0x80,  // LD (8020h),HL: where the routine returns to
                        0xFB,              // EI
                        0xC9});            // RET
    test::placeProgram(*m, 0x0000,
                       {0x31, 0x00, 0xF0,  // LD SP,F000h
                        0xFB,              // EI
                        0x3A, 0x10, 0x80,  // 0004: LD A,(8010h)  busy until the test says go
                        0xB7,              // OR A
                        0x28, 0xFA,        // JR Z,0004h
                        0x76,              // 000A: HALT
                        0x00,              // 000B: NOP
                        0x00,              // 000C: NOP
                        0x00,              // NOP
                        0x18, 0xFA});      // JR 000Ah
    thread = std::make_unique<EmulationThread>(*m);
    for (int i = 0; i < 6; ++i) {
        const int repaints = host.repaints();
        timerTick(*m, keypad);
        ASSERT_TRUE(waitUntil([&] { return host.repaints() > repaints; }));
    }
    EXPECT_NE(m->control.state(), LoopState::paused);
    {
        HoldGuard hold(m->control);
        m->mem.state.ram[0x10] = 1;
    }
    waitPaused();
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(m->control.haltEvent.pulseCount(), 1u);

    click(enterKey);
    keypad.releaseMouse();
    timerTick(*m, keypad);
    ASSERT_TRUE(waitUntil([&] {
        HoldGuard hold(m->control);
        return m->mem.state.ram[0x20] != 0;
    }));
    waitPaused();
    std::this_thread::sleep_for(30ms);
    HoldGuard hold(m->control);
    EXPECT_EQ(m->mem.state.ram[0x20] | m->mem.state.ram[0x21] << 8, 0x000C);
    EXPECT_EQ(m->control.haltEvent.pulseCount(), 2u);
}

class InjectKeyTest : public TimerThreadTest {};

TEST_F(InjectKeyTest, ReturnsWhenTheMachinePausesAndInjectsTheKey) {
    start();
    const auto begin = std::chrono::steady_clock::now();
    injectKey(*m, 0x100 | 41, 5000);  // only the low 8 bits count: [ON]
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 2500ms);
    ASSERT_TRUE(waitUntil([&] { return interrupts() == 1; }));
    EXPECT_EQ(port3Seen(0), 0x01);
    EXPECT_EQ(port1Seen(0), 0xFE);  // group 5, bit 0

    injectKey(*m, 54, 100);  // [2nd]: group 6, bit 5
    ASSERT_TRUE(waitUntil([&] { return interrupts() == 2; }));
    EXPECT_EQ(port1Seen(1), 0xDF);
    EXPECT_EQ(port3Seen(1), 0x0A);
}

TEST_F(InjectKeyTest, WaitsAtMostItsBoundForAMachineThatNeverHalts) {
    // DI, then a jump to itself: the key's interrupt is dropped, the code stays latched.
    test::placeProgram(*m, 0x0000, {0xF3, 0x18, 0xFE});
    thread = std::make_unique<EmulationThread>(*m);
    m->control.resume();
    for (uint16_t wait : {uint16_t{0}, uint16_t{150}}) {
        const auto begin = std::chrono::steady_clock::now();
        injectKey(*m, 54, wait);
        const auto took = std::chrono::steady_clock::now() - begin;
        EXPECT_GE(took, std::chrono::milliseconds(std::max<uint16_t>(wait, 100)));
        EXPECT_LT(took, 3000ms);
        EXPECT_EQ(m->keyLatch.load(), 54u);
    }
    EXPECT_EQ(interrupts(), 0);
}

// Requests posted at every point of the loop's cycle (interrupt routine, HALT, the
// pause being served, asleep) must each be served: a lost one leaves the machine
// asleep for good.
TEST_F(TimerThreadTest, PauseWindowNeverLosesAnInterrupt) {
    start();
    std::minstd_rand random(12345);
    constexpr int rounds = 3000;
    for (int i = 1; i <= rounds; ++i) {
        for (auto spin = random() % 3000; spin > 0; --spin)
            std::atomic_signal_fence(std::memory_order_seq_cst);
        switch (i % 3) {
            case 0:
                requestInterrupt(*m);
                break;
            case 1:
                click(enterKey);
                keypad.releaseMouse();
                timerTick(*m, keypad);
                break;
            default:
                injectKey(*m, 9, 0);
                break;
        }
        ASSERT_TRUE(waitUntil([&] { return interrupts() == i; })) << "request " << i << " lost";
    }
}

TEST_F(TimerThreadTest, StopIsNeverLostToAHaltingMachine) {
    std::minstd_rand random(777);
    for (int round = 0; round < 60; ++round) {
        auto machine = test::makeMachine();
        std::copy(m->mem.rom.begin(), m->mem.rom.begin() + 0x100, machine->mem.rom.begin());
        EmulationThread emulation(*machine);
        std::atomic<bool> done{false};
        // Keeps the machine cycling through its interrupt routine and HALT.
        std::thread interrupter([&] {
            while (!done) requestInterrupt(*machine);
        });
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 2000));
        const bool stopped = emulation.stop(3000ms);
        done = true;
        interrupter.join();
        ASSERT_TRUE(stopped) << "round " << round;
        EXPECT_EQ(emulation.loopEnd(), LoopEnd::stopped);
    }
}

}  // namespace
}  // namespace vantrel
