// The hardware model against the wall clock, on its emulation thread: how far the
// emulated clock drifts from real time at 1x (measured at the LCD frames, which the
// loop shows at their wall time), how fast it runs unlimited, and what a calculator
// that sleeps costs the host, halted between periodic interrupts or switched off.
// Each runs VANTREL_BENCH_SECONDS of wall time (10 for the drift, a third of it for the
// rest, by default).
//
//   build/release/bench/real_speed_bench
#include <benchmark/benchmark.h>
#include <time.h>

#include <chrono>
#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <thread>

#include "hardware/hardware_ports.h"
#include "machine/bus.h"
#include "machine/emulation_thread.h"
#include "machine/hardware_control.h"
#include "machine/hardware_state.h"
#include "machine/machine.h"

namespace vantrel {
namespace {

double benchSeconds(double fallback) {
    const char* value = std::getenv("VANTREL_BENCH_SECONDS");
    return value ? std::atof(value) : fallback;
}

double processCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void place(Machine& m, uint16_t address, std::initializer_list<uint8_t> bytes) {
    for (uint8_t byte : bytes) {
        *const_cast<uint8_t*>(m.mem.translateRead(address)) = byte;
        address = static_cast<uint16_t>(address + 1);
    }
}

// Sets port 3 to enables, then runs `work` (or halts, when empty) in a loop; the
// periodic routine acknowledges and returns.
std::unique_ptr<Machine> hardwareMachine(uint8_t enables, std::initializer_list<uint8_t> work) {
    auto m = std::make_unique<Machine>();
    m->model = MachineModel::hardware;
    powerOnHardware(*m);
    place(*m, 0x0000,
          {0x31, 0x00, 0xF0, 0xED, 0x56,  // LD SP,0xF000; IM 1
           0x3E, enables, 0xD3, 0x03,     // LD A,enables; OUT (3),A
           0xFB, 0xC3, 0x00, 0x01});      // EI; JP 0x0100
    place(*m, 0x0038,
          {0xF5, 0x3E, lcdOnBit, 0xD3, 0x03,  // PUSH AF; acknowledge
           0x3E, enables, 0xD3, 0x03,         // enable again
           0xF1, 0xFB, 0xC9});                // POP AF; EI; RET
    place(*m, 0x0100, work);
    return m;
}

// Arithmetic and RAM stores without end.
std::unique_ptr<Machine> busyMachine() {
    return hardwareMachine(periodicInterruptBit | lcdOnBit,
                           {0x21, 0x00, 0xC0,        // LD HL,0xC000
                            0x7E, 0x3C, 0x77, 0x23,  // LD A,(HL); INC A; LD (HL),A; INC HL
                            0x7C, 0xF6, 0xC0, 0x67,  // LD A,H; OR 0xC0; LD H,A
                            0xC3, 0x03, 0x01});      // JP 0x0103
}

// Notes the clock of each frame that it is told of, and the wall time then.
class FrameClock : public HostInterface {
public:
    explicit FrameClock(Machine& m) : m_(m) {}
    void repaintLcd() override {
        const LcdFrames frames = lcdFrames(m_);
        if (frames.count == 0) return;
        std::lock_guard lock(mutex_);
        last_ = {frames.newestFirst[0].clock, std::chrono::steady_clock::now()};
        if (!first_.second.time_since_epoch().count()) first_ = last_;
    }
    // Emulated time against wall time between the first and the last frame, in percent.
    double driftPercent() const {
        std::lock_guard lock(mutex_);
        const double wall = std::chrono::duration<double>(last_.second - first_.second).count();
        const double emulated = static_cast<double>(last_.first - first_.first) / cpuClockHz;
        return wall > 0 ? (emulated - wall) / wall * 100 : 0;
    }

private:
    Machine& m_;
    mutable std::mutex mutex_;
    std::pair<uint64_t, std::chrono::steady_clock::time_point> first_{}, last_{};
};

struct Outcome {
    double cpuPercent = 0;  // of one core, over the wall time
    uint64_t clock = 0;
};

// Runs the machine on its thread at the speed for the wall time.
Outcome runFor(Machine& m, SpeedFactor speed, double seconds) {
    setSpeed(m, speed);
    setRunLimit(m, noRunLimit);
    const double cpu = processCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    EmulationThread thread(m);
    m.control.resume();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    thread.stop();
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return {(processCpuSeconds() - cpu) / wall * 100, m.chip.clock()};
}

void BM_DriftAtRealSpeed(benchmark::State& state) {
    for (auto _ : state) {
        auto m = busyMachine();
        FrameClock frames(*m);
        m->setHost(&frames);
        const Outcome outcome = runFor(*m, SpeedFactor::normal, benchSeconds(10));
        state.counters["drift%"] = frames.driftPercent();
        state.counters["cpu%"] = outcome.cpuPercent;
        state.counters["speed%"] = static_cast<double>(speedReached(*m)) / cpuClockHz * 100;
    }
}
BENCHMARK(BM_DriftAtRealSpeed)->Iterations(1)->Unit(benchmark::kSecond);

void BM_UnlimitedSpeed(benchmark::State& state) {
    for (auto _ : state) {
        auto m = busyMachine();
        const double seconds = benchSeconds(10) / 3;
        const Outcome outcome = runFor(*m, SpeedFactor::unlimited, seconds);
        state.counters["x real"] = static_cast<double>(outcome.clock) / cpuClockHz / seconds;
    }
}
BENCHMARK(BM_UnlimitedSpeed)->Iterations(1)->Unit(benchmark::kSecond);

// Asleep at its prompt: HALT, woken 200 times a second by the periodic interrupt.
void BM_HaltedCost(benchmark::State& state) {
    for (auto _ : state) {
        auto m = hardwareMachine(periodicInterruptBit | lcdOnBit, {0x76, 0x18, 0xFD});
        const Outcome outcome = runFor(*m, SpeedFactor::normal, benchSeconds(10) / 3);
        state.counters["cpu%"] = outcome.cpuPercent;
    }
}
BENCHMARK(BM_HaltedCost)->Iterations(1)->Unit(benchmark::kSecond);

// Switched off: LCD off, only [ON] enabled, HALT.
void BM_SwitchedOffCost(benchmark::State& state) {
    for (auto _ : state) {
        auto m = hardwareMachine(onInterruptBit, {0x76, 0x18, 0xFD});
        const Outcome outcome = runFor(*m, SpeedFactor::normal, benchSeconds(10) / 3);
        state.counters["cpu%"] = outcome.cpuPercent;
    }
}
BENCHMARK(BM_SwitchedOffCost)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace vantrel

BENCHMARK_MAIN();
