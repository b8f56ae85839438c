#include "cpu/illegal_opcode.h"

#include "hardware/machine.h"

namespace vantrel {

// Placeholder until the trap dialog exists: stop the emulation.
void illegalOpcodeTrap(Machine& m) { m.control.post(EmuRequest::Abort); }

}  // namespace vantrel
