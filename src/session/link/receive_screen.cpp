#include "session/link/receive_screen.h"

#include <cstring>

#include "machine/bus.h"
#include "machine/machine.h"

namespace vantrel {

bool screenShowsWaiting(const Machine& m) {
    if (!calculatorOn(m)) return false;
    return std::memcmp(m.mem.ramAt(0x80DF), " Waiting", 8) == 0;
}

}  // namespace vantrel
