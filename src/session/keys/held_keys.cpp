#include "session/keys/held_keys.h"

#include <algorithm>

#include "hardware/hardware_ports.h"
#include "machine/hardware_control.h"
#include "session/keys/keypad.h"

namespace vantrel {

void HeldKeys::press(int32_t source, int skinIndex, uint8_t code) {
    std::erase_if(held_, [&](const Held& h) { return h.source == source; });
    held_.push_back({source, skinIndex, code, Clock::now()});
    publish();
}

void HeldKeys::release(int32_t source) {
    const auto now = Clock::now();
    for (Held& h : held_)
        if (h.source == source) h.letGo = true;
    std::erase_if(
        held_, [&](const Held& h) { return h.source == source && now - h.down >= minimumKeyHold; });
    publish();
}

void HeldKeys::letGoOfTaps() {
    const auto now = Clock::now();
    const std::size_t before = held_.size();
    std::erase_if(held_, [&](const Held& h) { return h.letGo && now - h.down >= minimumKeyHold; });
    if (held_.size() != before) publish();
}

void HeldKeys::releaseAll(bool mouseToo) {
    std::erase_if(held_, [&](const Held& h) { return mouseToo || h.source != mouseSource; });
    publish();
}

bool HeldKeys::pcKeyHeld() const {
    return std::any_of(held_.begin(), held_.end(),
                       [](const Held& h) { return h.source != mouseSource && !h.letGo; });
}

std::optional<int> HeldKeys::shownKey() const {
    if (held_.empty()) return std::nullopt;
    return held_.back().skinIndex;
}

void HeldKeys::publish() {
    uint64_t mask = 0;
    for (const Held& h : held_) mask |= keyBit(h.code);
    setHeldKeys(machine_, mask);
}

}  // namespace vantrel
