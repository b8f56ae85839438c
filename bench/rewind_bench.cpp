// Rewind's cost on the demo firmware: a minute of someone typing sums into the demo
// (four keys a second, a snapshot every quarter second), then what one snapshot costs
// and how many bytes the minute keeps.
#include <benchmark/benchmark.h>

#include <array>

#include "hardware/key_codes.h"
#include "hardware/rom_image.h"
#include "machine/bus.h"
#include "machine/machine.h"
#include "machine/run_loop.h"
#include "machine/thread_control.h"
#include "session/calculator/machine_files.h"
#include "session/history/snapshot_store.h"

namespace vantrel {
namespace {

constexpr std::size_t snapshotsPerMinute = 240;

bool runUntilAsleep(Machine& m) {
    for (long i = 0; i < 20'000'000; ++i) {
        executeOne(m);
        if (m.control.pendingCode() == code(EmuRequest::Pause)) {
            m.control.emuRequest.store(0);
            return true;
        }
    }
    return false;
}

// The state after each quarter second of the minute: one key delivered in each.
const std::vector<std::vector<uint8_t>>& demoMinute() {
    static const std::vector<std::vector<uint8_t>> minute = [] {
        std::vector<std::vector<uint8_t>> states;
        auto m = std::make_unique<Machine>();
        if (!loadRomImage(*m, VANTREL_FIRMWARE_ROM).read()) return states;
        coldStart(m->regs, m->mem);
        jumpTo(*m, m->regs.pc);
        runUntilAsleep(*m);
        const std::array<uint8_t, 8> keys{key1, key2,        keyAdd, key3,
                                          key4, keyMultiply, key5,   keyEnter};
        for (std::size_t i = 0; i < snapshotsPerMinute; ++i) {
            m->keyLatch.store(keys[i % keys.size()]);
            if (m->regs.intFlags & intEnableBit) takeInterrupt(*m);
            runUntilAsleep(*m);
            states.push_back(encodeStateFile(*m));
        }
        return states;
    }();
    return minute;
}

// One snapshot taken: the state's bytes made and stored, the store full (the oldest
// dropped each time), as while the calculator runs for minutes.
void BM_RewindSnapshot(benchmark::State& state) {
    const auto& minute = demoMinute();
    if (minute.empty()) return state.SkipWithError("no demo firmware");
    auto m = std::make_unique<Machine>();
    SnapshotStore store(snapshotsPerMinute);
    for (const auto& s : minute) store.push(s);
    std::size_t i = 0;
    for (auto _ : state) {
        decodeStateFile(*m, minute[i]);  // outside what a snapshot costs, but cheap
        benchmark::DoNotOptimize(store.push(encodeStateFile(*m)));
        i = (i + 1) % minute.size();
    }
    state.counters["bytes_per_minute"] = static_cast<double>(store.memoryBytes());
}
BENCHMARK(BM_RewindSnapshot)->Unit(benchmark::kMicrosecond);

// Only the store's part: the XOR and the compression.
void BM_RewindStorePush(benchmark::State& state) {
    const auto& minute = demoMinute();
    if (minute.empty()) return state.SkipWithError("no demo firmware");
    SnapshotStore store(snapshotsPerMinute);
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(store.push(minute[i]));
        i = (i + 1) % minute.size();
    }
    state.counters["bytes_per_minute"] = static_cast<double>(store.memoryBytes());
}
BENCHMARK(BM_RewindStorePush)->Unit(benchmark::kMicrosecond);

// Going back to the oldest snapshot of a full minute (the deepest a restore reaches).
void BM_RewindOldest(benchmark::State& state) {
    const auto& minute = demoMinute();
    if (minute.empty()) return state.SkipWithError("no demo firmware");
    SnapshotStore store(snapshotsPerMinute);
    for (const auto& s : minute) store.push(s);
    std::vector<uint8_t> out;
    for (auto _ : state) benchmark::DoNotOptimize(store.at(snapshotsPerMinute - 1, out));
}
BENCHMARK(BM_RewindOldest)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vantrel

BENCHMARK_MAIN();
