// The execution loop.
#pragma once

#include <cstdint>

#include "machine/loop_end.h"

namespace vantrel {

class Machine;

// Runs instructions until a Stop or Abort request is served. The request word is
// looked at before every instruction.
LoopEnd runCpu(Machine& m);

// Executes exactly one instruction without looking at the request word. For tests
// and tools that step the machine; the loop itself does the same between requests.
void executeOne(Machine& m);

// Accept a maskable interrupt: push PC, continue at 0x0038 in ROM page 0. The enable
// bit stays set; the mode and I play no part.
void takeInterrupt(Machine& m);

}  // namespace vantrel
