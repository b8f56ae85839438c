// Files a person did not mean to be that large: a breakpoint file of every address
// (in the worst order, descending) and a settings file of 16 MiB of blank lines. Both
// must load in time in proportion to their size.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "debugger/breakpoint_file.h"
#include "debugger/breakpoints.h"
#include "session/settings/ini_file.h"

namespace {

using namespace vantrel;

std::string writeTemporary(const std::string& name, const std::string& text) {
    const std::string path =
        (std::filesystem::temp_directory_path() / (name + "-" + std::to_string(::getpid())))
            .string();
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

void BM_BreakpointFileOfEveryAddress(benchmark::State& state) {
    const auto lines = static_cast<unsigned>(state.range(0));
    std::string text = "[rom 00000001]\n";
    char line[32];
    for (unsigned i = 0; i < lines; ++i) {
        std::snprintf(line, sizeof line, "break %04X\n", 0xFFFF - (i & 0xFFFF));
        text += line;
    }
    const std::string path = writeTemporary("vantrel-bench.breakpoints", text);
    for (auto _ : state) {
        BreakpointSet set;
        benchmark::DoNotOptimize(loadBreakpoints(path, 1, set));
        benchmark::DoNotOptimize(set.addresses().size());
    }
    std::filesystem::remove(path);
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_BreakpointFileOfEveryAddress)
    ->RangeMultiplier(4)
    ->Range(1024, 65536)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

void BM_SettingsOfBlankLines(benchmark::State& state) {
    const std::string text(static_cast<std::size_t>(state.range(0)), '\n');
    for (auto _ : state) {
        IniFile ini(text);
        ini.set("Preferences", "SaveState", "Always");
        benchmark::DoNotOptimize(ini.text().size());
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_SettingsOfBlankLines)
    ->RangeMultiplier(4)
    ->Range(1 << 16, 16 << 20)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

}  // namespace

BENCHMARK_MAIN();
