#include "session/receive_screen.h"

#include <cstring>

#include "machine/machine.h"
#include "machine/bus.h"

namespace vantrel {

bool screenShowsWaiting(const Machine& m) {
    if (!calculatorOn(m)) return false;
    return std::memcmp(m.mem.ramAt(0x80DF), " Waiting", 8) == 0;
}

}  // namespace vantrel
