// Whether the calculator stands in its receive screen.
#pragma once

namespace vantrel {

class Machine;

// The calculator is on and its text-screen memory at 0x80DF starts with " Waiting".
// Read without a lock from the user-interface thread.
bool screenShowsWaiting(const Machine& m);

}  // namespace vantrel
