// The keys as the calculator took them, newest last, for the key history panel and
// for captions under recordings: each named by what it meant under the [2nd] and
// [ALPHA] shifts of the moment ("[2nd] [LINK]" for [2nd] then [x-VAR]). Only presses
// count: a held key's auto-repeat is not a new one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

#include "hardware/key_codes.h"
#include "session/keys/keypad.h"

namespace vantrel {

inline constexpr std::size_t keyHistoryLimit = 200;

// "[LINK]" for [x-VAR] under [2nd], "[A]" for [LOG] under [ALPHA], "[ENTER]"; empty
// for a code that is no key.
std::string keyHistoryName(uint8_t code, ShiftState shifts);

class KeyHistory {
public:
    // A key delivered under these shifts. The oldest is forgotten past the limit.
    void add(uint8_t code, ShiftState shifts);
    void clear();

    const std::deque<std::string>& keys() const { return keys_; }
    // The last count keys (all when fewer), separated by spaces: what Copy gives for
    // all of them, and a recording's caption for a few.
    std::string text(std::size_t count = keyHistoryLimit) const;
    // Counts every change, so that a view knows when to look again.
    uint64_t changes() const { return changes_; }

private:
    std::deque<std::string> keys_;
    uint64_t changes_ = 0;
};

}  // namespace vantrel
