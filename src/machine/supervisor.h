// What watches the processor between instructions while a debugger needs it.
//
// The run loop consults a supervisor only while one is installed (Machine::supervisor);
// it then runs a second loop that calls it around every instruction, and goes back to
// the unwatched loop when it is removed. Install and remove it only while the loop
// rests (held, stopped for the debugger, paused, or not started), then call
// ThreadControl::callAttention so that a loop busy in a host call looks again.
#pragma once

#include <optional>

#include "machine/host_interface.h"

namespace vantrel {

class Machine;

class Supervisor {
public:
    virtual ~Supervisor() = default;

    // Before an instruction, once pending requests have been served: true stops the
    // loop there, before the instruction runs.
    virtual bool stopBefore(const Machine& m) = 0;
    // After an instruction, before any request is served: true stops the loop there.
    virtual bool stopAfter(const Machine& m) = 0;
    // The loop has stopped for the debugger (after stopBefore or stopAfter said so)
    // and rests from now on. Runs on the emulation thread.
    virtual void stopped(const Machine& m) = 0;
    // The illegal-opcode trap runs: an answer given here is used instead of asking
    // the host.
    virtual std::optional<IllegalOpcodeAnswer> illegalInstruction(const Machine&) {
        return std::nullopt;
    }
};

}  // namespace vantrel
