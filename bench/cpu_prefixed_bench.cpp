// Speed of the prefixed instruction sets: IX/IY addressing with the DDCB/FDCB forms,
// and the block copy, on a machine stepped one instruction at a time.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <initializer_list>
#include <memory>

#include "machine/bus.h"
#include "machine/machine.h"
#include "machine/run_loop.h"

namespace {

using vantrel::Machine;

// Programs live in RAM (0x8000 and up) and start at their first byte.
void place(Machine& m, uint16_t start, std::initializer_list<uint8_t> bytes) {
    uint16_t at = start;
    for (uint8_t byte : bytes) m.mem.ram()[(at++) & 0x7FFF] = byte;
    vantrel::jumpTo(m, start);
}

// 3 set-up instructions, 64 rounds of 8 indexed ones, then a 256-byte LDIR and a jump:
// 520 instructions a pass.
void BM_IndexedWorkload(benchmark::State& state) {
    auto m = std::make_unique<Machine>();
    place(*m, 0x9000,
          {
              0xDD, 0x21, 0x00, 0xA0,  // LD IX,A000
              0xFD, 0x21, 0x00, 0xA1,  // LD IY,A100
              0x06, 0x40,              // LD B,64
              0xDD, 0x7E, 0x00,        // loop: LD A,(IX+0)
              0xFD, 0x86, 0x01,        // ADD A,(IY+1)
              0xDD, 0x77, 0x02,        // LD (IX+2),A
              0xDD, 0x23,              // INC IX
              0xFD, 0x23,              // INC IY
              0xDD, 0xCB, 0x03, 0x06,  // RLC (IX+3)
              0xFD, 0xCB, 0xFF, 0x46,  // BIT 0,(IY-1)
              0x10, 0xE9,              // DJNZ loop
              0x21, 0x00, 0xA0,        // LD HL,A000
              0x11, 0x00, 0xB0,        // LD DE,B000
              0x01, 0x00, 0x01,        // LD BC,256
              0xED, 0xB0,              // LDIR
              0xC3, 0x00, 0x90,        // JP 9000
          });
    constexpr int perPass = 520;
    for (auto _ : state) {
        for (int i = 0; i < perPass; ++i) vantrel::executeOne(*m);
    }
    state.SetItemsProcessed(state.iterations() * perPass);
}
BENCHMARK(BM_IndexedWorkload);

// One LDIR of 16 KiB from the banked ROM window into RAM; items are bytes copied.
void BM_BlockCopy(benchmark::State& state) {
    auto m = std::make_unique<Machine>();
    place(*m, 0x9000, {0xED, 0xB0});
    for (auto _ : state) {
        m->regs.setHL(0x4000);
        m->regs.setDE(0xA000);
        m->regs.setBC(0x4000);
        vantrel::jumpTo(*m, 0x9000);
        vantrel::executeOne(*m);
        benchmark::DoNotOptimize(m->mem.ram()[0x2000]);
    }
    state.SetBytesProcessed(state.iterations() * 0x4000);
}
BENCHMARK(BM_BlockCopy);

}  // namespace

BENCHMARK_MAIN();
