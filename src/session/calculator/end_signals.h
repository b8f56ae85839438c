// The signals that ask a running program to end (Ctrl-C, a termination request, a
// closed terminal), caught so that the front end ends as at a normal close, the state
// saved as the settings say. The handler does only what a signal handler may: it sets
// a flag, which a loop can poll, and writes a byte to a pipe, which an event loop can
// watch.
#pragma once

#include <atomic>
#include <initializer_list>

#include "text/failure.h"

namespace vantrel {

// Catches these signals from now on. Fails, catching none, when the pipe cannot be
// made.
Result<> catchEndSignals(std::initializer_list<int> numbers);

// Set once one of them has come.
const std::atomic<bool>& endRequested();

// Readable, a byte for each signal that came; -1 before catchEndSignals.
int endSignalDescriptor();

}  // namespace vantrel
