// The debugger's breakpoints: on an instruction address, on a write to an address
// range, and on an illegal instruction.
//
// The run loop asks breaksAt for every instruction, so that answer is one look into a
// bit map of all 65536 addresses, kept up to date with each change. The set is not
// synchronised: change it only while the loop is held.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "debugger/address_range.h"

namespace vantrel {

class BreakpointSet {
public:
    struct AddressBreakpoint {
        uint16_t address = 0;
        bool enabled = true;
        bool operator==(const AddressBreakpoint&) const = default;
    };
    struct WriteBreakpoint {
        AddressRange range;
        bool enabled = true;
        bool operator==(const WriteBreakpoint&) const = default;
    };

    // Address breakpoints, listed in address order. Each gives false when there was
    // nothing to change.
    bool add(uint16_t address, bool enabled = true);
    bool remove(uint16_t address);
    bool setEnabled(uint16_t address, bool enabled);
    // Adds one where there is none, else removes it; gives whether there is one now.
    bool toggle(uint16_t address);
    bool contains(uint16_t address) const;
    const std::vector<AddressBreakpoint>& addresses() const { return addresses_; }

    // Write breakpoints, listed in the order added; one per distinct range.
    bool addWrite(AddressRange range, bool enabled = true);
    bool removeWrite(AddressRange range);
    bool setWriteEnabled(AddressRange range, bool enabled);
    const std::vector<WriteBreakpoint>& writes() const { return writes_; }
    // True when an enabled write breakpoint watches an address of the range.
    bool writeHits(const AddressRange& written) const;

    bool breakOnIllegal() const { return breakOnIllegal_; }
    void setBreakOnIllegal(bool on) { breakOnIllegal_ = on; }

    // An enabled address breakpoint at this address.
    bool breaksAt(uint16_t address) const {
        return (addressMap_[address >> 6] >> (address & 63)) & 1;
    }
    bool anyAddressEnabled() const { return anyAddressEnabled_; }
    bool anyWriteEnabled() const { return anyWriteEnabled_; }
    // Whether the run loop has anything to check between instructions.
    bool anyEnabled() const { return anyAddressEnabled_ || anyWriteEnabled_; }

    bool empty() const { return addresses_.empty() && writes_.empty() && !breakOnIllegal_; }
    void clear();

    // Replaces the contents at once, as add and addWrite one by one would (the first of
    // duplicates counts), in time in proportion to the lists: for a file of breakpoints.
    void assign(std::vector<AddressBreakpoint> addresses, std::vector<WriteBreakpoint> writes,
                bool breakOnIllegal);

private:
    void mark(uint16_t address, bool enabled);
    void rebuildAddressMap();
    void updateWriteFlag();

    std::vector<AddressBreakpoint> addresses_;
    std::vector<WriteBreakpoint> writes_;
    std::array<uint64_t, 65536 / 64> addressMap_{};
    std::size_t enabledAddresses_ = 0;
    bool anyAddressEnabled_ = false;
    bool anyWriteEnabled_ = false;
    bool breakOnIllegal_ = false;
};

}  // namespace vantrel
