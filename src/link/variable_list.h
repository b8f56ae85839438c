// First-in first-out list of packets: the variables being received, or the packets of
// the file being uploaded, with the name of that file.
#pragma once

#include <deque>
#include <optional>
#include <string>

#include "link/link_packet.h"

namespace vantrel {

class VariableList {
public:
    void append(LinkPacket packet);
    // The first entry, taken out of the list. The list must not be empty.
    LinkPacket takeFirst();
    const LinkPacket& first() const { return entries_.front(); }
    bool empty() const { return entries_.empty(); }
    int count() const { return static_cast<int>(entries_.size()); }
    const std::deque<LinkPacket>& entries() const { return entries_; }
    // Releases every entry and the file name.
    void clear();

    std::optional<std::string> fileName;

private:
    std::deque<LinkPacket> entries_;
};

}  // namespace vantrel
