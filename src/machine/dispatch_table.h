// The machine's one constant table of 1280 instruction handlers, in five sub-tables
// of 256 (main, CB, DD, ED, FD), built at compile time from the processor's handler
// families with the trap in every slot that holds no instruction.
#pragma once

#include <array>
#include <cstddef>

#include "z80/table_layout.h"

namespace vantrel {

class Machine;

using MachineHandler = Handler<Machine>;
extern const std::array<MachineHandler, instructionTableSize> dispatchTable;

// The prefixes' second step: the handler at a table index.
inline void dispatch(Machine& m, std::size_t index) { dispatchTable[index](m); }

}  // namespace vantrel
