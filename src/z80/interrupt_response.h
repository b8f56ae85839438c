// How the complete chip takes a maskable interrupt at an instruction boundary.
#pragma once

#include <cstdint>

#include "z80/cpu_registers.h"
#include "z80/operands.h"
#include "z80/personality.h"

namespace vantrel {

// T-states of the acknowledge and the jump: IM 0 running an RST, IM 1, IM 2.
inline constexpr unsigned interruptCyclesMode0 = 13;
inline constexpr unsigned interruptCyclesMode1 = 13;
inline constexpr unsigned interruptCyclesMode2 = 19;

// Takes the interrupt if the chip accepts one now (IFF1 set, not right after EI or a
// dropped prefix): a halted chip leaves HALT, both flip-flops clear, PC is pushed, and
// the mode decides where it goes (P/V is cleared right after LD A,I or LD A,R): IM 0 runs the
// data-bus byte as an RST (the only instruction the calculator's floating bus can present), IM 1
// goes to 0x0038, IM 2 through the word at I x 256 + data. Gives the T-states taken, 0 when
// refused.
template <class M>
inline unsigned acceptInterrupt(M& m, uint8_t data) {
    constexpr Personality chip = Personality::complete;
    CpuRegisters& r = m.regs;
    ChipState& state = m.chip;
    if (!r.interruptsEnabled() || state.clock() == state.noInterruptAt) return 0;
    if (state.halted) {
        state.halted = false;
        r.pc = static_cast<uint16_t>(r.pc + 1);
    }
    if (state.clock() == state.irLoadedAt) r.f &= static_cast<uint8_t>(~flagPV);
    r.intFlags &= static_cast<uint8_t>(~intEnableBit);
    state.iff2 = false;
    push<chip>(m, r.pc);
    uint16_t target = 0;
    unsigned cycles = 0;
    if (r.interruptMode() == 2) {
        target = loadWord<chip>(m, static_cast<uint16_t>(r.i << 8 | data));
        cycles = interruptCyclesMode2;
    } else if (r.interruptMode() == 1) {
        target = 0x0038;
        cycles = interruptCyclesMode1;
    } else {
        target = data & 0x38;
        cycles = interruptCyclesMode0;
    }
    state.wz = target;
    jumpTo(m, target);
    state.count(cycles, 1);
    return cycles;
}

}  // namespace vantrel
