// The calculator's keys as the user presses them: clicks on the skin and PC keys
// wait in a short queue that the 50 ms timer empties one press per tick. Only [ON]
// reaches a switched-off calculator.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace vantrel {

struct Machine;

// A skin key: client-area rectangle (left <= x < right, top <= y < bottom) and code.
struct KeyRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
    uint8_t code;
};

inline constexpr int keyCount = 50;
extern const std::array<KeyRect, keyCount> keyRects;

// The calculator's shift-flag byte: bit 4 while [ALPHA] is active, bit 3 while [2nd] is.
inline constexpr uint16_t shiftFlagsAddress = 0x8358;
inline constexpr uint8_t alphaShiftBit = 0x10;
inline constexpr uint8_t secondShiftBit = 0x08;

// The shift-flag byte as the calculator's software holds it now. Read without a lock
// while the emulation thread may change it; a stale value only affects one mapping.
uint8_t readShiftFlags(const Machine& m);

// The LCD's place in the client area; clicks there belong to the context menu.
inline constexpr KeyRect lcdRect{9, 3, 221, 131, 0};

// PC keys that the key-down table knows, independent of the windowing system. The
// shell maps its key events onto these; typed characters arrive as text.
enum class PcKey {
    other,
    backspace,
    tab,
    enter,
    control,
    escape,
    space,
    end,
    home,
    left,
    up,
    right,
    down,
    insert,
    del,
    f1,
    f2,
    f3,
    f4,
    f5,
    caret,  // the key that types "^" without a shift key on this layout
};

// Drawing of key edges; the shell implements it on the window.
class KeyPainter {
public:
    virtual ~KeyPainter() = default;
    virtual void drawKeyPressed(int index) = 0;  // etched edge inside the key's rectangle
    virtual void drawKeysRaised() = 0;           // raised edge inside all 50 rectangles
};

// Where a press came from: the mouse, or a PC key by a non-negative identifier of
// the shell's choosing that its key-down and key-up share.
inline constexpr int32_t mouseSource = -1;

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

class MouseKeySource {
public:
    virtual ~MouseKeySource() = default;
    virtual void onKey(bool down, KeyPainter* window, int index) = 0;

    bool mouseDown = false;
    uint8_t mouseKeyIndex = 0;
};

class KeyboardKeySource {
public:
    virtual ~KeyboardKeySource() = default;
    virtual void onKey(bool down, KeyPainter* window, int index) = 0;
};

class Keypad : public MouseKeySource, public KeyboardKeySource {
public:
    explicit Keypad(const Machine& machine);

    // A press or release of the mouse's key.
    void onKey(bool down, KeyPainter* window, int index) override;

    // Mouse (left button).
    PressOutcome pressAt(int x, int y, KeyPainter* window);
    void releaseMouse(KeyPainter* window);
    void dragTo(int x, int y, KeyPainter* window);

    // Keyboard: one press per PC key going down (every key but F6, F7 and F8, which
    // the window keeps), with the key-down's key and the character it typed; the
    // key-down table is looked at first. The platform's auto-repeat is not a press.
    PressOutcome keyboardPress(KeyPainter* window, int32_t source, PcKey key, char32_t character);
    void keyboardRelease(KeyPainter* window, int32_t source);
    // Every PC key let go at once (the window lost the keyboard).
    void releaseKeyboard(KeyPainter* window);
    bool keyboardHeld() const;

    // Index of the skin key for a key-down or a character, by the calculator's shifts.
    std::optional<int> mapPcKey(PcKey key) const;
    std::optional<int> mapPcChar(char32_t character) const;

    // Once per timer tick: the code to deliver, 0 on the ticks of the auto-repeat
    // delay, nothing when there is nothing to deliver.
    std::optional<uint8_t> nextKeyCode();
    bool keyPending() const;
    std::size_t queuedPresses() const { return queued_; }

    // Forget every press not yet delivered and any repeat: the calculator's state was
    // replaced, or it stopped. Presses made before the calculator went off are
    // forgotten at the next tick.
    void clear();

    uint8_t keyIndex = 0;     // the key pressed last
    uint8_t keyCode = 0;      // the key delivered last, while it may repeat
    uint8_t repeatCount = 0;  // ticks since keyCode was delivered, up to the delay
    bool keyPressed = false;  // keyCode's key is still held

private:
    bool secondShiftActive() const;
    bool alphaShiftActive() const;
    std::optional<int> mapPress(const QueuedPress& press) const;
    PressOutcome enqueue(KeyPainter* window, const QueuedPress& press);
    void release(KeyPainter* window, int32_t source);

    const Machine& machine_;
    std::array<QueuedPress, keyQueueCapacity> queue_{};
    std::size_t head_ = 0;
    std::size_t queued_ = 0;
    int32_t deliveredSource_ = mouseSource;  // where keyCode's press came from
    int8_t deliveredShown_ = -1;
    PressOutcome lastMouseOutcome_ = PressOutcome::ignored;
};

}  // namespace vantrel
