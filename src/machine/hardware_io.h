// The hardware model's side of IN and OUT (bus.h branches here on the machine's
// model): the ports of hardware_ports.h with the keys held now, the link on port 7,
// and the processor's interrupt line following the interrupt sources.
#pragma once

#include <cstdint>

namespace vantrel {

class Machine;

uint8_t hardwarePortRead(Machine& m, uint8_t port);
void hardwarePortWrite(Machine& m, uint8_t port, uint8_t value);

// Sets the interrupt line from the sources that happened while enabled.
void updateHardwareInterruptLine(Machine& m);

// Every key held now: the front end's and the typed key held by the loop.
uint64_t heldKeysNow(const Machine& m);

}  // namespace vantrel
