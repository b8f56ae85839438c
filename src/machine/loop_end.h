// How the emulation loop ended: the request it served last.
#pragma once

#include <cstdint>

namespace vantrel {

enum class LoopEnd : uint32_t {
    stopped = 2,  // Stop: the program asked it to end
    aborted = 5,  // Abort: the user refused to go on after an illegal instruction
};

}  // namespace vantrel
