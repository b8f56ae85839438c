// A run of Z80 addresses, as written by an instruction or watched by a breakpoint.
#pragma once

#include <cstdint>

namespace vantrel {

// Wraps from 0xFFFF to 0x0000; length is 1 to 65536 (0 for none).
struct AddressRange {
    uint16_t first = 0;
    uint32_t length = 0;

    bool operator==(const AddressRange&) const = default;

    uint16_t last() const { return static_cast<uint16_t>(first + length - 1); }
    bool contains(uint16_t address) const {
        return static_cast<uint16_t>(address - first) < length;
    }
    bool overlaps(const AddressRange& other) const {
        return length != 0 && other.length != 0 && (contains(other.first) || other.contains(first));
    }
};

}  // namespace vantrel
