#include "link/link_engine.h"

namespace vantrel {

uint8_t LinkEngine::readLinkPort(Machine&) { return 3; }

void LinkEngine::writeLinkPort(Machine&, uint8_t) {}

}  // namespace vantrel

namespace vantrel {

void LinkEngine::startUpload(Machine&, const std::string&) {}

}  // namespace vantrel
