#include "session/keys/key_history.h"

#include "session/keys/key_help.h"

namespace vantrel {

std::string keyHistoryName(uint8_t code, ShiftState shifts) {
    const auto index = keyIndexOfCode(code);
    if (!index) return {};
    return "[" + keyMeaning(*index, shifts) + "]";
}

void KeyHistory::add(uint8_t code, ShiftState shifts) {
    std::string name = keyHistoryName(code, shifts);
    if (name.empty()) return;
    keys_.push_back(std::move(name));
    if (keys_.size() > keyHistoryLimit) keys_.pop_front();
    ++changes_;
}

void KeyHistory::clear() {
    keys_.clear();
    ++changes_;
}

std::string KeyHistory::text(std::size_t count) const {
    std::string joined;
    const std::size_t first = keys_.size() > count ? keys_.size() - count : 0;
    for (std::size_t i = first; i < keys_.size(); ++i) {
        if (!joined.empty()) joined += ' ';
        joined += keys_[i];
    }
    return joined;
}

}  // namespace vantrel
