// The machine's constant tables of 1280 instruction handlers, in five sub-tables of 256
// (main, CB, DD, ED, FD), built at compile time from the one description of the
// instruction set: one for this machine's processor, with the trap in every slot that
// holds no instruction there, and one for the complete Z80, which has none.
#pragma once

#include <array>
#include <cstddef>

#include "z80/personality.h"
#include "z80/table_layout.h"

namespace vantrel {

class Machine;

using MachineHandler = Handler<Machine>;
using MachineTable = std::array<MachineHandler, instructionTableSize>;
extern const MachineTable dispatchTable;          // this machine's processor
extern const MachineTable completeDispatchTable;  // the complete Z80

// The prefixes' second step: the handler at a table index.
inline void dispatch(Machine& m, Personality personality, std::size_t index) {
    (personality == Personality::complete ? completeDispatchTable : dispatchTable)[index](m);
}

}  // namespace vantrel
