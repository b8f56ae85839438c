// The PC end of the link cable on port 7. Placeholder line layer: both lines at
// rest, writes ignored, until the protocol engine lands.
#pragma once

#include <cstdint>

namespace vantrel {

struct Machine;

class LinkEngine {
public:
    uint8_t readLinkPort(Machine& machine);
    void writeLinkPort(Machine& machine, uint8_t value);
};

}  // namespace vantrel
