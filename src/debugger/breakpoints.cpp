#include "debugger/breakpoints.h"

#include <algorithm>
#include <unordered_set>

namespace vantrel {

namespace {

template <class List, class Key>
auto findBy(List& list, const Key& key, auto member) {
    return std::find_if(list.begin(), list.end(),
                        [&](const auto& entry) { return entry.*member == key; });
}

}  // namespace

bool BreakpointSet::add(uint16_t address, bool enabled) {
    const auto at = std::lower_bound(
        addresses_.begin(), addresses_.end(), address,
        [](const AddressBreakpoint& entry, uint16_t value) { return entry.address < value; });
    if (at != addresses_.end() && at->address == address) return false;
    addresses_.insert(at, AddressBreakpoint{address, enabled});
    if (enabled) mark(address, true);
    return true;
}

bool BreakpointSet::remove(uint16_t address) {
    const auto at = findBy(addresses_, address, &AddressBreakpoint::address);
    if (at == addresses_.end()) return false;
    if (at->enabled) mark(address, false);
    addresses_.erase(at);
    return true;
}

bool BreakpointSet::setEnabled(uint16_t address, bool enabled) {
    const auto at = findBy(addresses_, address, &AddressBreakpoint::address);
    if (at == addresses_.end() || at->enabled == enabled) return false;
    at->enabled = enabled;
    mark(address, enabled);
    return true;
}

void BreakpointSet::mark(uint16_t address, bool enabled) {
    const uint64_t bit = uint64_t{1} << (address & 63);
    if (enabled) {
        addressMap_[address >> 6] |= bit;
        ++enabledAddresses_;
    } else {
        addressMap_[address >> 6] &= ~bit;
        --enabledAddresses_;
    }
    anyAddressEnabled_ = enabledAddresses_ != 0;
}

void BreakpointSet::assign(std::vector<AddressBreakpoint> addresses,
                           std::vector<WriteBreakpoint> writes, bool breakOnIllegal) {
    // Stable, so that the first of each address stays ahead of its duplicates.
    std::stable_sort(addresses.begin(), addresses.end(),
                     [](const AddressBreakpoint& a, const AddressBreakpoint& b) {
                         return a.address < b.address;
                     });
    addresses.erase(std::unique(addresses.begin(), addresses.end(),
                                [](const AddressBreakpoint& a, const AddressBreakpoint& b) {
                                    return a.address == b.address;
                                }),
                    addresses.end());
    std::unordered_set<uint64_t> seen;
    std::erase_if(writes, [&](const WriteBreakpoint& entry) {
        const AddressRange& r = entry.range;
        return r.length == 0 || r.length > 0x10000 ||
               !seen.insert(uint64_t{r.first} << 32 | r.length).second;
    });
    addresses_ = std::move(addresses);
    writes_ = std::move(writes);
    breakOnIllegal_ = breakOnIllegal;
    rebuildAddressMap();
    updateWriteFlag();
}

bool BreakpointSet::toggle(uint16_t address) {
    if (remove(address)) return false;
    add(address);
    return true;
}

bool BreakpointSet::contains(uint16_t address) const {
    return findBy(addresses_, address, &AddressBreakpoint::address) != addresses_.end();
}

bool BreakpointSet::addWrite(AddressRange range, bool enabled) {
    if (range.length == 0 || range.length > 0x10000) return false;
    if (findBy(writes_, range, &WriteBreakpoint::range) != writes_.end()) return false;
    writes_.push_back(WriteBreakpoint{range, enabled});
    updateWriteFlag();
    return true;
}

bool BreakpointSet::removeWrite(AddressRange range) {
    const auto at = findBy(writes_, range, &WriteBreakpoint::range);
    if (at == writes_.end()) return false;
    writes_.erase(at);
    updateWriteFlag();
    return true;
}

bool BreakpointSet::setWriteEnabled(AddressRange range, bool enabled) {
    const auto at = findBy(writes_, range, &WriteBreakpoint::range);
    if (at == writes_.end() || at->enabled == enabled) return false;
    at->enabled = enabled;
    updateWriteFlag();
    return true;
}

bool BreakpointSet::writeHits(const AddressRange& written) const {
    return std::any_of(writes_.begin(), writes_.end(), [&](const WriteBreakpoint& entry) {
        return entry.enabled && entry.range.overlaps(written);
    });
}

void BreakpointSet::clear() {
    addresses_.clear();
    writes_.clear();
    breakOnIllegal_ = false;
    rebuildAddressMap();
    updateWriteFlag();
}

void BreakpointSet::rebuildAddressMap() {
    addressMap_.fill(0);
    enabledAddresses_ = 0;
    for (const AddressBreakpoint& entry : addresses_)
        if (entry.enabled) mark(entry.address, true);
    anyAddressEnabled_ = enabledAddresses_ != 0;
}

void BreakpointSet::updateWriteFlag() {
    anyWriteEnabled_ = std::any_of(writes_.begin(), writes_.end(),
                                   [](const WriteBreakpoint& entry) { return entry.enabled; });
}

}  // namespace vantrel
