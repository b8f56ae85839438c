#include "link/receive_screen.h"

#include <cstring>

#include "hardware/machine.h"
#include "hardware/ports.h"

namespace vantrel {

bool screenShowsWaiting(const Machine& m) {
    if (!calculatorOn(m)) return false;
    return std::memcmp(m.mem.ramAt(0x80DF), " Waiting", 8) == 0;
}

}  // namespace vantrel
