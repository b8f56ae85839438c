// Speed of the execution loop on a fixed Z80 workload run from RAM: loads, 8- and
// 16-bit arithmetic, reads through the bank window, RAM writes, jumps, calls and
// returns, about a million instructions a run. The program ends on an opcode that is
// no instruction on this machine; with no window to ask, the trap ends the loop with
// Abort. The complete Z80 runs the same program, counting T-states, until its clock
// reaches the T-states that bring it to that opcode.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

#include "machine/bus.h"
#include "machine/complete_z80.h"
#include "machine/machine.h"
#include "machine/run_loop.h"

namespace vantrel {
namespace {

constexpr uint16_t programStart = 0x8000;
constexpr uint16_t outerRounds = 1110;
constexpr uint8_t innerRounds = 64;

struct Workload {
    std::vector<uint8_t> bytes;
    uint16_t trapAddress = 0;
};

Workload buildWorkload() {
    Workload w;
    std::vector<uint8_t>& p = w.bytes;
    auto emit = [&](std::initializer_list<uint8_t> bytes) {
        for (uint8_t b : bytes) p.push_back(b);
    };
    auto here = [&] { return static_cast<uint16_t>(programStart + p.size()); };
    auto lo = [](uint16_t v) { return static_cast<uint8_t>(v); };
    auto hi = [](uint16_t v) { return static_cast<uint8_t>(v >> 8); };

    emit({0x31, 0x00, 0xF0});                        // LD SP,0xF000
    emit({0x21, 0x00, 0xC0});                        // LD HL,0xC000
    emit({0x11, lo(outerRounds), hi(outerRounds)});  // LD DE,outerRounds
    const uint16_t outer = here();
    emit({0x06, innerRounds});  // LD B,innerRounds
    const uint16_t inner = here();
    emit({0x3A, 0x00, 0x40});  // LD A,(0x4000)  bank window
    emit({0x86});              // ADD A,(HL)
    emit({0x77});              // LD (HL),A
    emit({0x23});              // INC HL
    const std::size_t callAt = p.size();
    emit({0xCD, 0x00, 0x00});                                  // CALL sub
    emit({0xE6, 0x0F});                                        // AND 0x0F
    emit({0x4F});                                              // LD C,A
    emit({0x09});                                              // ADD HL,BC
    emit({0x7C, 0xF6, 0xC0, 0x67});                            // LD A,H; OR 0xC0; LD H,A
    emit({0x10, static_cast<uint8_t>(inner - (here() + 2))});  // DJNZ inner
    emit({0x1B, 0x7A, 0xB3});                                  // DEC DE; LD A,D; OR E
    emit({0xC2, lo(outer), hi(outer)});                        // JP NZ,outer
    w.trapAddress = here();
    emit({0xED, 0x00});  // no instruction: the end
    const uint16_t sub = here();
    emit({0xC6, 0x01, 0xC9});  // ADD A,1; RET
    p[callAt + 1] = lo(sub);
    p[callAt + 2] = hi(sub);
    return w;
}

void load(Machine& m, const Workload& w) {
    std::copy(w.bytes.begin(), w.bytes.end(), m.mem.ram() + (programStart - 0x8000));
    m.mem.state.romBank = 1;
    for (std::size_t i = 0; i < romSize; ++i) m.mem.rom[i] = static_cast<uint8_t>(i * 7);
    m.regs = CpuRegisters{};
    m.regs.pc = programStart;
}

// The instructions of one run, the trap's included, counted once by stepping.
uint64_t countInstructions(const Workload& w) {
    auto m = std::make_unique<Machine>();
    load(*m, w);
    jumpTo(*m, programStart);
    uint64_t count = 1;
    while (m->regs.pc != w.trapAddress) {
        executeOne(*m);
        ++count;
    }
    return count;
}

void BM_RunCpuFromRam(benchmark::State& state) {
    const Workload w = buildWorkload();
    const uint64_t perRun = countInstructions(w);
    auto m = std::make_unique<Machine>();
    load(*m, w);
    for (auto _ : state) {
        m->regs.pc = programStart;
        const LoopEnd end = runCpu(*m);
        benchmark::DoNotOptimize(end);
        if (end != LoopEnd::aborted) state.SkipWithError("the workload did not end on its trap");
    }
    const double executed = static_cast<double>(perRun) * static_cast<double>(state.iterations());
    state.counters["instructions"] = static_cast<double>(perRun);
    state.counters["instr/s"] = benchmark::Counter(executed, benchmark::Counter::kIsRate);
    state.counters["time/instr"] =
        benchmark::Counter(executed, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_RunCpuFromRam)->Unit(benchmark::kMillisecond);

// The T-states of one run on the complete Z80, up to the final opcode.
uint64_t countCycles(const Workload& w) {
    auto m = std::make_unique<Machine>();
    load(*m, w);
    jumpTo(*m, programStart);
    while (m->regs.pc != w.trapAddress) stepComplete(*m);
    return m->chip.clock();
}

void BM_RunCompleteFromRam(benchmark::State& state) {
    const Workload w = buildWorkload();
    const uint64_t perRun = countInstructions(w) - 1;  // the final opcode does not run
    const uint64_t cycles = countCycles(w);
    auto m = std::make_unique<Machine>();
    load(*m, w);
    for (auto _ : state) {
        m->regs.pc = programStart;
        m->chip.setClock(0);
        const RunStop stop = runComplete(*m, cycles);
        benchmark::DoNotOptimize(stop);
        if (m->regs.pc != w.trapAddress) state.SkipWithError("the workload did not end in time");
    }
    const double executed = static_cast<double>(perRun) * static_cast<double>(state.iterations());
    state.counters["instructions"] = static_cast<double>(perRun);
    state.counters["T-states"] = static_cast<double>(cycles);
    state.counters["instr/s"] = benchmark::Counter(executed, benchmark::Counter::kIsRate);
    state.counters["time/instr"] =
        benchmark::Counter(executed, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_RunCompleteFromRam)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vantrel

BENCHMARK_MAIN();
