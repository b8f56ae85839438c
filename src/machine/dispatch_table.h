// The machine's constant tables of 1280 instruction handlers, in five sub-tables of 256
// (main, CB, DD, ED, FD), built at compile time from the one description of the
// instruction set: one for this machine's processor, with the trap in every slot that
// holds no instruction there, and one for the complete Z80, which has none.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "z80/personality.h"
#include "z80/table_layout.h"

namespace vantrel {

class Machine;

using MachineHandler = Handler<Machine>;
using MachineTable = std::array<MachineHandler, instructionTableSize>;
extern const MachineTable dispatchTable;          // this machine's processor
extern const MachineTable completeDispatchTable;  // the complete Z80

// The unprefixed slots of both tables for the run loops: each handler goes on to the
// next instruction itself, with its own indirect jump, and returns to the loop only
// when the loop has something to look at (the request word holds something, the
// stream nears a page end, the complete Z80's clock reached runUntil). Built only where
// the compiler turns the handler's last call into a jump: optimised builds without a
// sanitizer. Elsewhere the loops call the tables above, with the same effect.
#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define VANTREL_SANITIZED 1
#endif
#endif
#if defined(__OPTIMIZE__) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__) && \
    !defined(VANTREL_SANITIZED)
#define VANTREL_CHAINED_DISPATCH 1
using ChainedTable = std::array<MachineHandler, 256>;
extern const ChainedTable chainedDispatchTable;
extern const ChainedTable chainedCompleteTable;
#endif

// The prefixes' second step: the handler at a table index.
inline void dispatch(Machine& m, Personality personality, std::size_t index) {
    (personality == Personality::complete ? completeDispatchTable : dispatchTable)[index](m);
}

// The run loops' start of an instruction: the chained handler where those are built.
inline void runFrom(Machine& m, Personality personality, uint8_t opcode) {
#ifdef VANTREL_CHAINED_DISPATCH
    (personality == Personality::complete ? chainedCompleteTable : chainedDispatchTable)[opcode](m);
#else
    dispatch(m, personality, opcode);
#endif
}

}  // namespace vantrel
