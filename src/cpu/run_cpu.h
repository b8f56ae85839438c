// The execution loop.
#pragma once

#include <cstdint>

namespace vantrel {

struct Machine;

// Runs instructions until a Stop (returns 2) or Abort (returns 5) request is served.
// The request word is looked at before every instruction.
int runCpu(Machine& m);

// Executes exactly one instruction without looking at the request word. For tests
// and tools that step the machine; the loop itself does the same between requests.
void executeOne(Machine& m);

// Accept a maskable interrupt: push PC, continue at 0x0038 in ROM page 0. The enable
// bit stays set; the mode and I play no part.
void takeInterrupt(Machine& m);

}  // namespace vantrel
