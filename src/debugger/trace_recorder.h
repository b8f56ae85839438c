// The last instructions the processor ran, kept for a trace file: each as its address,
// its bytes and the registers before it ran. Recording copies a few bytes; the text is
// made only when the trace is read.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "z80/cpu_registers.h"

namespace vantrel {

class Machine;
class SymbolTable;

class TraceRecorder {
public:
    // Keeps the last `capacity` instructions (at least one).
    explicit TraceRecorder(std::size_t capacity);

    // The instruction at PC, about to run. Emulation thread.
    void record(const Machine& m);

    // Instructions recorded in all, and of those the ones kept.
    uint64_t recorded() const { return recorded_; }
    std::size_t kept() const;

    // The kept instructions, oldest first, one trace line each.
    std::vector<std::string> lines(const SymbolTable* symbols = nullptr) const;

private:
    struct Entry {
        CpuRegisters registers;
        std::array<uint8_t, 4> bytes;
        uint64_t clock;  // the hardware model's T-state clock; noClock in the classic model
    };

    static constexpr uint64_t noClock = ~uint64_t{0};
    std::vector<Entry> entries_;
    std::size_t next_ = 0;
    uint64_t recorded_ = 0;
};

}  // namespace vantrel
