// The complete Z80 on this machine's memory and ports: stepping it, and running it
// against its T-state clock. The hardware model of the calculator drives it:
//
//   m.chip.clock()           T-states since the start; the model's time
//   setInterruptLine(m, on)  the maskable interrupt's input, set and cleared by the
//                            hardware (a level: taken at each boundary while set and
//                            accepted), with m.chip.interruptData on the data bus
//   runComplete(m, deadline) runs until the clock reaches the deadline (the next event
//                            of the hardware: its timer, a frame) or a request is posted
//
// A halted chip with nothing to take costs nothing: the clock moves straight to the
// deadline, and R on by the opcode fetches of the HALTs that the chip would have run.
// The request word is looked at, not served: the caller serves it as the classic loop
// does. This machine's own processor (runCpu, executeOne) is not touched by any of it.
#pragma once

#include <cstdint>

#include "z80/personality.h"

namespace vantrel {

class Machine;

// Why runComplete returned.
enum class RunStop { deadline, request };

// Runs the complete Z80 from PC until m.chip.clock() >= deadline or the request word
// holds anything, taking the interrupt at instruction boundaries while its line is set.
RunStop runComplete(Machine& m, uint64_t deadline);

// Sets or clears the interrupt line, also from within a run (a port write of the
// hardware): the run looks at it from the next boundary on.
void setInterruptLine(Machine& m, bool asserted);

// One step at the next boundary: the interrupt if the line is set and the chip takes
// it, or else one instruction, or one four-T-state round of HALT. fetchPointer must
// designate PC's byte (as after jumpTo), as for executeOne.
void stepComplete(Machine& m);

// A maskable interrupt with this byte on the data bus, taken now if the chip accepts
// one; gives the T-states it took, 0 when refused (interrupts disabled, or right after
// EI).
unsigned interruptComplete(Machine& m, uint8_t data = floatingDataBus);

}  // namespace vantrel
