// The PC end of the link cable on port 7. Placeholder line layer: both lines at
// rest, writes ignored, until the protocol engine lands.
#pragma once

#include <cstdint>
#include <string>

namespace vantrel {

struct Machine;

class LinkEngine {
public:
    uint8_t readLinkPort(Machine& machine);
    void writeLinkPort(Machine& machine, uint8_t value);
    // Begins sending a variable file (user-interface thread).
    void startUpload(Machine& machine, const std::string& path);
};

}  // namespace vantrel
