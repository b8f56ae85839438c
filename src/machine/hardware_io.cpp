#include "machine/hardware_io.h"

#include "hardware/hardware_ports.h"
#include "hardware/ports.h"
#include "machine/complete_z80.h"
#include "machine/machine.h"

namespace vantrel {

uint64_t heldKeysNow(const Machine& m) {
    return m.hardware.heldKeys.load(std::memory_order_relaxed) | keyBit(m.hardware.typing.held());
}

uint8_t hardwarePortRead(Machine& m, uint8_t port) {
    if (port == linkPort) return m.link.readLinkPort();
    return readHardwarePort(m.mem.state, m.hardware.regs, heldKeysNow(m), port);
}

void hardwarePortWrite(Machine& m, uint8_t port, uint8_t value) {
    if (port == linkPort) {
        m.link.writeLinkPort(value);
        return;
    }
    writeHardwarePort(m.mem.state, m.hardware.regs, port, value);
    if (port == 3) updateHardwareInterruptLine(m);
}

void updateHardwareInterruptLine(Machine& m) {
    const bool line = hardwareInterruptLine(m.mem.state, m.hardware.regs);
    if (line != m.chip.interruptLine) setInterruptLine(m, line);
}

}  // namespace vantrel
