// The calculator's keys as the user presses them: clicks on the skin and PC keys
// wait in a short queue that the 50 ms timer empties one press per tick. Only [ON]
// reaches a switched-off calculator.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "session/keys/key_map.h"
#include "session/keys/key_table.h"

namespace vantrel {

class Machine;

// The calculator's shift-flag byte: bit 4 while [ALPHA] is active, bit 3 while [2nd] is.
inline constexpr uint16_t shiftFlagsAddress = 0x8358;
inline constexpr uint8_t alphaShiftBit = 0x10;
inline constexpr uint8_t secondShiftBit = 0x08;

// The shift-flag byte as the calculator's software holds it now. Read without a lock
// while the emulation thread may change it; a stale value only affects one mapping.
uint8_t readShiftFlags(const Machine& m);

// The calculator's shifts as the PC keys' mapping sees them.
struct ShiftState {
    bool second = false;
    bool alpha = false;

    bool operator==(const ShiftState&) const = default;
};
ShiftState shiftStateOf(uint8_t shiftFlags);

// The skin key that a PC key-down, or a typed character, presses under these shifts:
// the key map, then the character table, the letters without [ALPHA] and the
// alpha layout. Characters above 127 press nothing.
std::optional<int> keyForPcKey(PcKey key, ShiftState shifts, const KeyMap& map = defaultKeyMap());
std::optional<int> keyForCharacter(char32_t character, ShiftState shifts);
// Whether typed text (typeCharacter) can press a key for the character under some
// shift; a character that cannot is skipped.
bool characterHasKey(char32_t character);

// Where a press came from: the mouse, or a PC key by a non-negative identifier of
// the front end's choosing that its key-down and key-up share, or text typed by the
// program (a paste), which is never held.
inline constexpr int32_t mouseSource = -1;
inline constexpr int32_t typedTextSource = -2;

// What became of a press.
enum class PressOutcome {
    ignored,    // no calculator key
    shownOnly,  // drawn pressed, not delivered: the calculator is off
    queued,
    dropped,  // drawn pressed, not delivered: the queue is full
};

// A press waiting for its tick. Keys that follow the calculator's shifts (letters,
// "=", Insert) keep what was typed and are mapped when they are delivered, so that a
// [2nd] or [ALPHA] typed just before applies to them.
struct QueuedPress {
    int32_t source = mouseSource;
    int8_t skinIndex = -1;  // a click: the key itself
    PcKey key = PcKey::other;
    char32_t character = 0;
    int8_t shownIndex = -1;  // the key drawn pressed
    bool held = true;        // not yet released
    bool pressedWhileOn = true;
};

inline constexpr std::size_t keyQueueCapacity = 64;

class Keypad {
public:
    explicit Keypad(const Machine& machine);

    // Mouse (left button), at 1x client coordinates.
    PressOutcome pressAt(int x, int y);
    // The skin key with this index, as a click on it.
    PressOutcome pressKey(int index);
    void releaseMouse();
    // A drag off the key pressed lets it go.
    void dragTo(int x, int y);
    bool mouseHeld() const { return mouseDown_; }

    // Keyboard: one press per PC key going down, with the key-down's key and the
    // character it typed; the key-down table is looked at first. The platform's
    // auto-repeat is not a press.
    PressOutcome keyboardPress(int32_t source, PcKey key, char32_t character);
    void keyboardRelease(int32_t source);
    // A character typed by the program (a paste): pressed and let go at once, mapped
    // as a typed character when it is delivered; a line break is [ENTER], "^" is [^].
    PressOutcome typeCharacter(char32_t character);
    // Every PC key let go at once (the window lost the keyboard).
    void releaseKeyboard();
    bool keyboardHeld() const;

    // The key drawn pressed now, if any.
    std::optional<int> shownKey() const;

    // The named PC keys' map (the defaults until set). Text typed by the program keeps
    // the default meaning of a line break and "^" whatever the map says.
    void setKeyMap(const KeyMap& map) { map_ = map; }
    const KeyMap& keyMap() const { return map_; }

    // Index of the skin key for a key-down or a character, by the calculator's shifts.
    std::optional<int> mapPcKey(PcKey key) const;
    std::optional<int> mapPcChar(char32_t character) const;

    // Once per timer tick: the code to deliver, 0 on the ticks of the auto-repeat
    // delay, nothing when there is nothing to deliver.
    std::optional<uint8_t> nextKeyCode();
    bool keyPending() const;
    std::size_t queuedPresses() const { return queued_; }
    // The calculator's shifts now.
    ShiftState shifts() const;

    // Forget every press not yet delivered and any repeat: the calculator's state was
    // replaced, or it stopped. Presses made before the calculator went off are
    // forgotten at the next tick.
    void clear();

    uint8_t keyCode = 0;      // the key delivered last, while it may repeat
    uint8_t repeatCount = 0;  // ticks since keyCode was delivered, up to the delay
    bool keyPressed = false;  // keyCode's key is still held
    bool repeating = false;   // the code given last was keyCode's auto-repeat

private:
    std::optional<int> mapPress(const QueuedPress& press) const;
    bool mayMapLater(const QueuedPress& press) const;
    PressOutcome enqueue(const QueuedPress& press);
    void release(int32_t source);

    const Machine& machine_;
    KeyMap map_;
    std::array<QueuedPress, keyQueueCapacity> queue_{};
    std::size_t head_ = 0;
    std::size_t queued_ = 0;
    int32_t deliveredSource_ = mouseSource;  // where keyCode's press came from
    int8_t deliveredShown_ = -1;
    int8_t shown_ = -1;
    bool mouseDown_ = false;
    int mouseKey_ = 0;  // the skin key the mouse pressed
};

}  // namespace vantrel
