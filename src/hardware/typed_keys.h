// Typed keys in the hardware model: text and scripted keys become presses of the key
// matrix in emulated time, one key after the other, each held for typedKeyHold and
// released for typedKeyGap, so that the calculator's keypad scan sees every one.
//
// The queue is filled from the front end's thread and emptied by the emulation loop;
// it is a fixed ring (nothing is allocated on the loop's path) behind a small lock
// that the loop takes only when keys wait. The player is the loop's own.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>

#include "hardware/hardware_clock.h"

namespace vantrel {

class TypedKeyQueue {
public:
    // Any thread. False when the queue is full or the code is no key (1 to 56).
    bool push(uint8_t code);
    std::size_t room() const;
    bool empty() const { return count_.load(std::memory_order_acquire) == 0; }
    void clear();
    // The emulation loop.
    std::optional<uint8_t> pop();

private:
    mutable std::mutex mutex_;
    std::array<uint8_t, typedKeyCapacity> codes_{};
    std::size_t first_ = 0;
    std::atomic<std::size_t> count_{0};
};

// The key being typed and when it changes. Used by the emulation loop only, but for
// busy(), which any thread may ask.
class TypedKeyPlayer {
public:
    // The key held now, 0 when none.
    uint8_t held() const { return held_; }
    // A key is held or its gap runs: the clock of the next change.
    std::optional<uint64_t> nextChange() const;
    // Moves on to the clock: a key whose hold ended is released, one whose gap ended
    // lets the next key of the queue down (at the gap's end), and an idle player takes
    // the next key now. True when [ON] went down meanwhile.
    bool advance(uint64_t clock, TypedKeyQueue& queue);
    // Lets go of the key at once and forgets the gap.
    void release();
    // Keys typed but not yet released and through their gap.
    bool busy() const { return busy_.load(std::memory_order_acquire); }

private:
    uint8_t held_ = 0;
    bool inGap_ = false;
    uint64_t until_ = 0;  // the end of the hold or of the gap
    std::atomic<bool> busy_{false};
};

}  // namespace vantrel
