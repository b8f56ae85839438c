#include "hardware/typed_keys.h"

#include "hardware/key_codes.h"

namespace vantrel {

bool TypedKeyQueue::push(uint8_t code) {
    if (code < keyDown || code > keyMore) return false;
    std::lock_guard lock(mutex_);
    const std::size_t count = count_.load(std::memory_order_relaxed);
    if (count == codes_.size()) return false;
    codes_[(first_ + count) % codes_.size()] = code;
    count_.store(count + 1, std::memory_order_release);
    return true;
}

std::size_t TypedKeyQueue::room() const {
    return codes_.size() - count_.load(std::memory_order_acquire);
}

void TypedKeyQueue::clear() {
    std::lock_guard lock(mutex_);
    first_ = 0;
    count_.store(0, std::memory_order_release);
}

std::optional<uint8_t> TypedKeyQueue::pop() {
    if (empty()) return std::nullopt;
    std::lock_guard lock(mutex_);
    const std::size_t count = count_.load(std::memory_order_relaxed);
    if (count == 0) return std::nullopt;
    const uint8_t code = codes_[first_];
    first_ = (first_ + 1) % codes_.size();
    count_.store(count - 1, std::memory_order_release);
    return code;
}

std::optional<uint64_t> TypedKeyPlayer::nextChange() const {
    if (held_ == 0 && !inGap_) return std::nullopt;
    return until_;
}

bool TypedKeyPlayer::advance(uint64_t clock, TypedKeyQueue& queue) {
    bool onPressed = false;
    for (;;) {
        if (held_ != 0) {
            if (clock < until_) break;
            held_ = 0;
            inGap_ = true;
            until_ += typedKeyGap;
        }
        uint64_t start = clock;
        if (inGap_) {
            if (clock < until_) break;
            inGap_ = false;
            start = until_;
        }
        const std::optional<uint8_t> next = queue.pop();
        if (!next) break;
        held_ = *next;
        until_ = start + typedKeyHold;
        onPressed |= held_ == keyOn;
    }
    busy_.store(held_ != 0 || inGap_, std::memory_order_release);
    return onPressed;
}

void TypedKeyPlayer::release() {
    held_ = 0;
    inGap_ = false;
    busy_.store(false, std::memory_order_release);
}

}  // namespace vantrel
