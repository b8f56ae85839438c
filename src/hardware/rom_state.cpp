// Placeholder: ROM and state files land with the files work.
#include "hardware/rom_state.h"

#include "hardware/machine.h"

namespace vantrel {

int loadRomImage(Machine&, const std::string&) { return romUnreadable; }
bool patchRomImage(Machine&) { return false; }
int loadStateFile(Machine& m, const std::string&) {
    coldStart(m);
    return 1;
}
void coldStart(Machine& m) {
    m.regs.pc = 0x0000;
    m.regs.sp = 0xF000;
    m.mem.state.romBank = 1;
    m.mem.state.port3Value = 0x0B;
    m.mem.state.reservedStateByte = 0x0F;
}
bool saveStateFile(Machine&, const std::string&) { return false; }

}  // namespace vantrel
