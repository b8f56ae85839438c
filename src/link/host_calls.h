// Blocking calls from the link engine to the window.
#pragma once

#include "hardware/machine.h"

namespace vantrel {

// Inside a port access of the running emulation loop the call goes through
// Machine::callHost, so that a hold taken meanwhile is granted while the window
// answers. Without a running loop (a machine driven directly, as by the fuzzers)
// the host is called as it is: marking a host call there would leave the loop's
// state as running and make the next hold wait for a loop that does not exist.
template <class Call>
auto callHostFromLoop(Machine& m, Call&& call) {
    if (m.control.state() == LoopState::running) return m.callHost(call);
    return call(*m.host);
}

}  // namespace vantrel
