#include "machine/illegal_opcode.h"

#include "machine/bus.h"
#include "machine/machine.h"

namespace vantrel {

IllegalOpcodeSnapshot takeIllegalOpcodeSnapshot(const Machine& m) {
    const uint16_t pc = m.regs.pc;
    return IllegalOpcodeSnapshot{m.regs, readBytes<16>(m, static_cast<uint16_t>(pc - 16)),
                                 readBytes<16>(m, pc)};
}

void illegalOpcodeTrap(Machine& m) {
    const IllegalOpcodeSnapshot snapshot = takeIllegalOpcodeSnapshot(m);
    // A debugger that stopped at the instruction has shown it already.
    std::optional<IllegalOpcodeAnswer> decided;
    if (m.supervisor) decided = m.supervisor->illegalInstruction(m);
    const IllegalOpcodeAnswer answer =
        decided ? *decided
                : m.callHost([&](HostInterface& h) { return h.illegalOpcode(snapshot); });
    // No, Escape, or no window to ask: the loop ends before the next instruction.
    if (answer == IllegalOpcodeAnswer::stop) m.control.post(EmuRequest::Abort);
}

}  // namespace vantrel
