// The hardware model's held keys: every key held now, by where it is held (a PC key's
// source, the mouse on a skin key), goes to the key matrix as one mask, so that several
// at once combine and a key let go leaves the others held. Typed text does not come
// here: it goes to the typed-key queue (typeKey in machine/hardware_control.h).
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

namespace vantrel {

class Machine;

// The calculator's software sees a key only when it scans the keypad (every periodic
// interrupt, 5 ms of emulated time), so a tap shorter than that would be lost. A key
// let go sooner than this after it went down stays on the matrix until this long has
// passed; the next window tick lets it go (letGoOfTaps).
inline constexpr std::chrono::milliseconds minimumKeyHold{40};

class HeldKeys {
public:
    explicit HeldKeys(Machine& machine) : machine_(machine) {}

    // A key going down at source (skin index for drawing, key code for the matrix).
    void press(int32_t source, int skinIndex, uint8_t code);
    void release(int32_t source);
    // Lets go of the taps whose minimumKeyHold has passed.
    void letGoOfTaps();
    // Every key but the mouse's (false) or every key (true).
    void releaseAll(bool mouseToo);
    bool pcKeyHeld() const;
    // The key drawn pressed: the one pressed last that is still held.
    std::optional<int> shownKey() const;

private:
    using Clock = std::chrono::steady_clock;
    struct Held {
        int32_t source;
        int skinIndex;
        uint8_t code;
        Clock::time_point down;
        bool letGo = false;  // released, held on until minimumKeyHold has passed
    };
    void publish();

    Machine& machine_;
    std::vector<Held> held_;  // oldest first
};

}  // namespace vantrel
