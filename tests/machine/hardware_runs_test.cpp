// Runs of the hardware model as drivers make them: byte-identical states from the same
// program and input at the same clocks, however the run is cut into steps and whether
// or not a supervisor watches it; the state block restoring a run mid-way; and the
// debugger's stop and step on the hardware loop.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <thread>
#include <vector>

#include "hardware/hardware_ports.h"
#include "machine/supervisor.h"
#include "support/hardware_rig.h"

using namespace std::chrono_literals;

namespace vantrel {
namespace {

using test::HardwareRig;

// Busy in RAM with R, the keys and the status port, halting now and then, with the
// periodic and [ON] interrupts counted; it writes over the LCD's memory too.
void placeBusyProgram(HardwareRig& rig) {
    constexpr uint8_t enables = onInterruptBit | periodicInterruptBit | lcdOnBit;
    // clang-format off
    rig.place(0x0000, {0x31, 0x00, 0xF0, 0xED, 0x56,   // LD SP,0xF000; IM 1
                       0x3E, enables, 0xD3, 0x03,      // LD A,enables; OUT (3),A
                       0x21, 0x00, 0xC0, 0xFB,         // LD HL,0xC000; EI
                       0xED, 0x5F, 0xAE, 0x77, 0x23,   // 0x0D: LD A,R; XOR (HL); LD (HL),A; INC HL
                       0x7C, 0xF6, 0xC0, 0x67,         // LD A,H; OR 0xC0; LD H,A
                       0xDB, 0x01, 0x86, 0x77,         // IN A,(1); ADD A,(HL); LD (HL),A
                       0xDB, 0x03, 0xAE, 0x77,         // IN A,(3); XOR (HL); LD (HL),A
                       0x7D, 0xE6, 0x3F, 0x20, 0x01,   // LD A,L; AND 0x3F; JR NZ,+1
                       0x76, 0x18, 0xE7});             // HALT; JR 0x0D
    // clang-format on
    test::placeCountingRoutine(rig, enables);
}

// What a driver does at given clocks.
using Script = std::map<uint64_t, std::function<void(Machine&)>>;

Script busyScript() {
    return {
        {200'000, [](Machine& m) { setHeldKeys(m, keyBit(keyEnter) | keyBit(key3)); }},
        {450'000,
         [](Machine& m) {
             for (uint8_t code : {key5, key5, keyOn}) typeKey(m, code);
         }},
        {900'000, [](Machine& m) { setHeldKeys(m, onKeyBit); }},
        {1'100'000, [](Machine& m) { setHeldKeys(m, 0); }},
    };
}

// Everything a run leaves: the state file's bytes, the registers, the block, the frames.
struct RunResult {
    std::vector<uint8_t> state;
    CpuRegisters regs;
    std::vector<uint8_t> block;
    std::vector<LcdFrame> frames;
};

RunResult resultOf(HardwareRig& rig) {
    RunResult r;
    const auto* bytes = reinterpret_cast<const uint8_t*>(&rig.m->mem.state);
    r.state.assign(bytes, bytes + sizeof(StateRecord));
    r.regs = rig.m->regs;
    r.block = hardwareStateBlock(*rig.m);
    const LcdFrames frames = lcdFrames(*rig.m);
    r.frames.assign(frames.newestFirst.begin(), frames.newestFirst.begin() + frames.count);
    return r;
}

bool same(const RunResult& a, const RunResult& b) {
    const bool frames = a.frames.size() == b.frames.size() &&
                        std::equal(a.frames.begin(), a.frames.end(), b.frames.begin(),
                                   [](const LcdFrame& x, const LcdFrame& y) {
                                       return x.pixels == y.pixels && x.clock == y.clock &&
                                              x.contrast == y.contrast && x.lcdOn == y.lcdOn;
                                   });
    return a.state == b.state && std::memcmp(&a.regs, &b.regs, sizeof(CpuRegisters)) == 0 &&
           a.block == b.block && frames;
}

// Never stops; only makes the loop run one instruction at a time.
class Watcher : public Supervisor {
public:
    bool stopBefore(const Machine&) override { return false; }
    bool stopAfter(const Machine&) override { return false; }
    void stopped(const Machine&) override {}
};

constexpr uint64_t busyRunEnd = 2'000'000;

TEST(HardwareRuns, TheSameInputAtTheSameClocksGivesByteIdenticalRuns) {
    auto run = [](uint64_t extraStep, bool watched) {
        HardwareRig rig;
        placeBusyProgram(rig);
        Watcher watcher;
        std::vector<uint64_t> stops;
        for (const auto& [clock, action] : busyScript()) stops.push_back(clock);
        if (extraStep)
            for (uint64_t c = extraStep; c < busyRunEnd; c += extraStep) stops.push_back(c);
        stops.push_back(busyRunEnd);
        std::sort(stops.begin(), stops.end());
        const Script script = busyScript();
        for (uint64_t clock : stops) {
            EXPECT_TRUE(rig.runTo(clock));
            if (const auto action = script.find(clock); action != script.end())
                action->second(*rig.m);
            // Watched from the typed keys until [ON] is let go. (Input can wake the
            // loop for a moment: the hold waits until it rests again.)
            if (watched && clock >= 450'000) {
                HoldGuard hold(rig.m->control);
                rig.m->supervisor = clock < 1'100'000 ? &watcher : nullptr;
                rig.m->control.callAttention();
            }
        }
        EXPECT_GE(rig.ram(0x8001), 20);  // periodic and [ON] interrupts were taken
        RunResult result = resultOf(rig);
        rig.m->supervisor = nullptr;
        return result;
    };
    const RunResult first = run(0, false);
    EXPECT_TRUE(same(first, run(0, false)));
    EXPECT_TRUE(same(first, run(37'003, false)));
    EXPECT_TRUE(same(first, run(101, true)));
}

// Random memory (without HALT, which would soon end the run's interest) run with random
// input at random clocks: the same, cut into steps at other clocks and watched by a
// supervisor. A few seeds in the ordinary run; the soak
// run (VANTREL_SOAK set) goes on from fresh seeds for VANTREL_SOAK_SECONDS (20 by
// default).
RunResult randomRun(uint32_t seed, uint64_t step, bool watched) {
    std::mt19937 random(seed);
    HardwareRig rig;
    auto noHalt = [&] {
        const auto byte = static_cast<uint8_t>(random());
        return byte == 0x76 ? uint8_t{0} : byte;
    };
    for (auto& byte : rig.m->mem.rom) byte = noHalt();
    for (auto& byte : rig.m->mem.state.ram) byte = noHalt();
    constexpr uint64_t end = 3'000'000;
    Script script;
    for (int i = 0; i < 8; ++i) {
        const uint64_t clock = random() % end;
        const uint32_t input = static_cast<uint32_t>(random());
        script[clock] = [input](Machine& m) {
            if (input & 1)
                setHeldKeys(m, uint64_t{input} << 20 | input >> 8);
            else
                typeKey(m, static_cast<uint8_t>(input % 60));
        };
    }
    Watcher watcher;
    if (watched) rig.m->supervisor = &watcher;
    std::vector<uint64_t> stops;
    for (uint64_t c = step; c < end; c += step) stops.push_back(c);
    for (const auto& [clock, action] : script) stops.push_back(clock);
    stops.push_back(end);
    std::sort(stops.begin(), stops.end());
    for (uint64_t clock : stops) {
        EXPECT_TRUE(rig.runTo(clock));
        if (const auto action = script.find(clock); action != script.end()) action->second(*rig.m);
    }
    HoldGuard hold(rig.m->control);
    RunResult result = resultOf(rig);
    rig.m->supervisor = nullptr;
    return result;
}

TEST(HardwareRunsRandom, RandomProgramsRunTheSameHoweverCutAndWatched) {
    const bool soak = std::getenv("VANTREL_SOAK") != nullptr;
    const char* seconds = std::getenv("VANTREL_SOAK_SECONDS");
    const auto end = std::chrono::steady_clock::now() +
                     std::chrono::duration<double>(seconds ? std::atof(seconds) : 20.0);
    uint32_t seed =
        soak ? static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count())
             : 1;
    for (int runs = 0; soak ? std::chrono::steady_clock::now() < end : runs < 3; ++runs, ++seed) {
        const RunResult plain = randomRun(seed, 1'000'000, false);
        ASSERT_TRUE(same(plain, randomRun(seed, 9'973 + seed % 50'000, true))) << "seed " << seed;
    }
}

TEST(HardwareRuns, AStateBlockTakenMidRunGoesOnAsTheRunDoes) {
    HardwareRig original;
    placeBusyProgram(original);
    ASSERT_TRUE(original.runTo(1'300'000));
    // The state file's bytes and the block, read while the loop rests.
    const StateRecord state = original.m->mem.state;
    const CpuRegisters regs = original.m->regs;
    const std::vector<uint8_t> block = hardwareStateBlock(*original.m);
    ASSERT_TRUE(original.runTo(busyRunEnd));

    HardwareRig restored;
    restored.m->mem.rom = original.m->mem.rom;
    restored.m->mem.state = state;
    restored.m->regs = regs;
    const BlockReading reading = restoreHardwareBlock(*restored.m, block);
    ASSERT_TRUE(reading.ok()) << reading.message();
    restored.thread = std::make_unique<EmulationThread>(*restored.m);
    restored.m->control.resume();
    ASSERT_TRUE(restored.runTo(busyRunEnd));

    const RunResult a = resultOf(original);
    RunResult b = resultOf(restored);
    EXPECT_EQ(b.frames.size(), lcdFrameRingSize);
    EXPECT_TRUE(same(a, b));
}

TEST(HardwareRuns, TheChipStateOfOneBoundarySurvivesTheBlock) {
    // EI's delay and LD A,R's mark are states of one boundary: a block taken there
    // keeps them.
    auto m = test::makeMachine();
    m->model = MachineModel::hardware;
    m->chip.setClock(12345);
    m->chip.setR(0xC7);
    m->chip.noInterruptAt = 12345;
    m->chip.irLoadedAt = 12345;
    m->chip.iff2 = true;
    m->chip.wz = 0xBEEF;
    m->hardware.regs.lcdBase = 0x38;
    m->hardware.regs.port4 = 0x06;
    m->hardware.regs.pending = onInterruptBit;
    m->hardware.regs.nextPeriodic = 30000;
    m->hardware.regs.nextFrame = 100000;
    auto copy = test::makeMachine();
    ASSERT_TRUE(restoreHardwareBlock(*copy, hardwareStateBlock(*m)).ok());
    EXPECT_EQ(captureHardware(*copy), captureHardware(*m));
    EXPECT_EQ(copy->chip.counts, m->chip.counts);
    EXPECT_EQ(copy->chip.noInterruptAt, 12345u);
    EXPECT_EQ(copy->chip.irLoadedAt, 12345u);
    EXPECT_EQ(copy->chip.refreshBit7, 0x80);
}

// Stops before one address, and after one instruction when asked to step.
class Debugger : public Supervisor {
public:
    explicit Debugger(uint16_t breakAt) : breakAt_(breakAt) {}
    bool stopBefore(const Machine& m) override {
        if (resuming_.exchange(false)) return false;
        return m.regs.pc == breakAt_;
    }
    bool stopAfter(const Machine&) override { return stepping_.exchange(false); }
    void stopped(const Machine&) override { ++stops; }
    void step() {
        resuming_ = true;
        stepping_ = true;
    }
    std::atomic<int> stops{0};

private:
    uint16_t breakAt_;
    std::atomic<bool> resuming_{false};
    std::atomic<bool> stepping_{false};
};

TEST(HardwareRuns, TheDebuggerStopsAndStepsOnTheHardwareLoop) {
    HardwareRig rig;
    test::placeHaltingStart(rig, periodicInterruptBit | lcdOnBit);
    test::placeCountingRoutine(rig, periodicInterruptBit | lcdOnBit);
    Debugger debugger(0x0038);
    rig.m->supervisor = &debugger;
    setRunLimit(*rig.m, noRunLimit);
    rig.m->regs.pc = 0;
    rig.thread = std::make_unique<EmulationThread>(*rig.m);
    rig.m->control.resume();
    Machine& m = *rig.m;
    auto stoppedThere = [&] {
        return test::waitUntil(
            [&] { return m.control.debugStopped() && m.control.state() == LoopState::held; });
    };

    ASSERT_TRUE(stoppedThere());
    EXPECT_EQ(m.regs.pc, 0x0038);
    EXPECT_GE(m.chip.clock(), periodicInterruptPeriod + 13);
    const uint64_t clock = m.chip.clock();
    const uint16_t sp = m.regs.sp;
    EXPECT_EQ(debugger.stops, 1);

    debugger.step();
    m.control.endDebugStop();
    ASSERT_TRUE(test::waitUntil([&] { return debugger.stops == 2; }));
    ASSERT_TRUE(stoppedThere());
    EXPECT_EQ(m.regs.pc, 0x0039);  // PUSH AF ran, and only it
    EXPECT_EQ(m.regs.sp, static_cast<uint16_t>(sp - 2));
    EXPECT_EQ(m.chip.clock(), clock + 11);

    // Closing while stopped ends the loop there.
    ASSERT_TRUE(rig.thread->stop());
    EXPECT_EQ(rig.thread->loopEnd(), LoopEnd::stopped);
    EXPECT_EQ(m.regs.pc, 0x0039);
    rig.thread.reset();
}

}  // namespace
}  // namespace vantrel
