#include "machine/illegal_opcode.h"

#include "machine/machine.h"

namespace vantrel {

namespace {

std::array<uint8_t, 16> readWindow(const Machine& m, uint16_t first) {
    std::array<uint8_t, 16> bytes{};
    for (unsigned i = 0; i < bytes.size(); ++i)
        bytes[i] = *m.mem.translateRead(static_cast<uint16_t>(first + i));
    return bytes;
}

}  // namespace

IllegalOpcodeSnapshot takeIllegalOpcodeSnapshot(const Machine& m) {
    const uint16_t pc = m.regs.pc;
    return IllegalOpcodeSnapshot{m.regs, readWindow(m, static_cast<uint16_t>(pc - 16)),
                                 readWindow(m, pc)};
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
