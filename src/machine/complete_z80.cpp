#include "machine/complete_z80.h"

#include <array>
#include <functional>

#include "machine/bus.h"
#include "machine/dispatch_table.h"
#include "machine/machine.h"
#include "z80/interrupt_response.h"

namespace vantrel {

namespace {

// The chip fetches every byte through the memory map; the stream runs linearly through
// the host images only inside a 16 KiB page. An instruction that starts in a page's
// last four bytes takes its bytes from the map (the next page is wherever the map puts
// the next address), and the stream is derived afresh after it.
inline bool nearPageEnd(uint16_t pc) { return (pc & 0x3FFC) == 0x3FFC; }

[[gnu::noinline]] void stepAcrossPageEnd(Machine& m) {
    std::array<uint8_t, 8> window{};
    for (std::size_t i = 0; i < window.size(); ++i)
        window[i] = readByte(m, static_cast<uint16_t>(m.regs.pc + i));
    m.fetchPointer = window.data();
    const uint8_t opcode = fetchByte(m);
    completeDispatchTable[opcode](m);
    const std::less<const uint8_t*> before;
    const bool transferred = before(m.fetchPointer, window.data()) ||
                             before(window.data() + window.size(), m.fetchPointer);
    if (!transferred) jumpTo(m, m.regs.pc);
}

inline void executeInstruction(Machine& m) {
    if (nearPageEnd(m.regs.pc)) [[unlikely]] {
        stepAcrossPageEnd(m);
        return;
    }
    const uint8_t opcode = fetchByte(m);
    completeDispatchTable[opcode](m);
}

// HALT until the deadline: the rounds of four T-states that reach it.
void haltUntil(ChipState& chip, uint64_t deadline) {
    if (chip.clock() >= deadline) return;
    const uint64_t rounds = (deadline - chip.clock() + 3) / 4;
    chip.count(4 * rounds, rounds);
}

}  // namespace

unsigned interruptComplete(Machine& m, uint8_t data) { return acceptInterrupt(m, data); }

void stepComplete(Machine& m) {
    ChipState& chip = m.chip;
    if (chip.interruptLine && acceptInterrupt(m, chip.interruptData) != 0) return;
    if (chip.halted) {
        haltUntil(chip, chip.clock() + 4);
        return;
    }
    executeInstruction(m);
}

void setInterruptLine(Machine& m, bool asserted) {
    m.chip.interruptLine = asserted;
    m.runUntil = 0;
}

RunStop runComplete(Machine& m, uint64_t deadline) {
    ChipState& chip = m.chip;
    const std::atomic<uint32_t>& request = m.control.emuRequest;
    jumpTo(m, m.regs.pc);
    for (;;) {
        if (request.load(std::memory_order_relaxed) != 0) [[unlikely]]
            return RunStop::request;
        if (chip.clock() >= deadline) [[unlikely]]
            return RunStop::deadline;
        if (chip.interruptLine) [[unlikely]] {
            if (acceptInterrupt(m, chip.interruptData) != 0) continue;
        }
        if (chip.halted) [[unlikely]] {
            haltUntil(chip, deadline);
            continue;
        }
        if (nearPageEnd(m.regs.pc)) [[unlikely]] {
            stepAcrossPageEnd(m);
            continue;
        }
        // The instructions go on by themselves up to the deadline, or one at a time
        // while the interrupt line is set.
        m.runUntil = chip.interruptLine ? 0 : deadline;
        runFrom(m, Personality::complete, fetchByte(m));
    }
}

}  // namespace vantrel
