// The handler in every slot that holds no instruction.
//
// The trap shows the registers and the bytes around PC to the user (through the host,
// synchronously) and either lets execution go on after the offending bytes, which then
// act as a no-operation of their length, or ends the loop with Abort.
#pragma once

#include "machine/host_interface.h"

namespace vantrel {

class Machine;

// The snapshot at the current PC, which already points past the offending bytes. Each
// window is read byte by byte through the memory map with 16-bit wrap-around, so a
// window at the top of RAM or at the end of the last ROM page never leaves the images.
IllegalOpcodeSnapshot takeIllegalOpcodeSnapshot(const Machine& m);

void illegalOpcodeTrap(Machine& m);

}  // namespace vantrel
