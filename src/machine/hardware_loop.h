// The hardware model's loop: the complete Z80 run against its T-state clock up to the
// next event of the hardware around it, and the request word served between runs as
// the classic loop serves it.
//
// Events, all at emulated clocks: the periodic interrupt's ticks, the LCD frames, the
// typed keys' presses and releases, and the run limit. Real speed paces the loop at
// each frame; input from the front end (held keys, [ON], typed keys) is taken at the
// boundaries between runs. A halted processor costs nothing (the clock moves to the
// next event), and a switched-off one (halted with nothing but [ON] to wake it) sleeps
// on the host until [ON] or a request wakes it, its clock moved on by the time slept.
// With a supervisor installed (the debugger), instructions run one at a time through
// stepComplete, asking it around each.
#pragma once

#include "machine/loop_end.h"

namespace vantrel {

class Machine;

// Runs until a Stop or Abort request is served.
LoopEnd runHardware(Machine& m);

}  // namespace vantrel
