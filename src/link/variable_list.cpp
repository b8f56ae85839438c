#include "link/variable_list.h"

#include <utility>

namespace vantrel {

void VariableList::append(LinkPacket packet) { entries_.push_back(std::move(packet)); }

LinkPacket VariableList::takeFirst() {
    LinkPacket packet = std::move(entries_.front());
    entries_.pop_front();
    return packet;
}

void VariableList::clear() {
    entries_.clear();
    fileName.reset();
}

}  // namespace vantrel
