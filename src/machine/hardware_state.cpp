#include "machine/hardware_state.h"

#include "machine/hardware_io.h"
#include "machine/machine.h"

namespace vantrel {

namespace {

constexpr uint64_t never = ~uint64_t{0};

}  // namespace

HardwareSnapshot captureHardware(const Machine& m) {
    const ChipState& chip = m.chip;
    HardwareSnapshot s;
    s.model = MachineModel::hardware;
    s.clock = chip.clock();
    s.r = chip.r();
    s.iff2 = chip.iff2;
    s.halted = chip.halted;
    s.interruptHeldOff = chip.noInterruptAt == s.clock;
    s.irJustLoaded = chip.irLoadedAt == s.clock;
    s.memptr = chip.wz;
    s.ports = m.hardware.regs;
    return s;
}

void restoreHardware(Machine& m, const HardwareSnapshot& s) {
    ChipState& chip = m.chip;
    chip = ChipState{};
    chip.setR(s.r);
    chip.setClock(s.clock);
    chip.iff2 = s.iff2;
    chip.halted = s.halted;
    chip.noInterruptAt = s.interruptHeldOff ? s.clock : never;
    chip.irLoadedAt = s.irJustLoaded ? s.clock : never;
    chip.wz = s.memptr;
    m.hardware.regs = s.ports;
    m.hardware.frames.clear();
    m.hardware.typedKeys.clear();
    m.hardware.typing.release();
    updateHardwareInterruptLine(m);
}

void powerOnHardware(Machine& m) {
    HardwareSnapshot s;
    s.iff2 = m.regs.interruptsEnabled();
    restoreHardware(m, s);
}

std::vector<uint8_t> hardwareStateBlock(const Machine& m) {
    return encodeStateBlock(captureHardware(m));
}

BlockReading restoreHardwareBlock(Machine& m, std::span<const uint8_t> block) {
    BlockReading reading = decodeStateBlock(block, MachineModel::hardware);
    if (reading.snapshot) restoreHardware(m, *reading.snapshot);
    return reading;
}

}  // namespace vantrel
