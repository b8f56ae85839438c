// The calculator's keys as the user presses them: clicks on the skin and PC keys
// become one key code that the 50 ms timer delivers. One key at a time, nothing
// queued; no key reaches a switched-off calculator; [ON] is refused under [2nd].
#pragma once

#include <array>
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

    bool keyboardDown = false;
    uint8_t keyboardKeyIndex = 0;
};

class Keypad : public MouseKeySource, public KeyboardKeySource {
public:
    explicit Keypad(const Machine& machine);

    void onKey(bool down, KeyPainter* window, int index) override;

    // Mouse (left button).
    void pressAt(int x, int y, KeyPainter* window);
    void releaseMouse(KeyPainter* window);
    void dragTo(int x, int y, KeyPainter* window);

    // Keyboard: a key-down (every key but F6, F7 and F8, which the window keeps), then
    // the characters it typed. While one PC key holds a skin key everything else is
    // ignored, the platform's auto-repeat included; the key-up of any key releases it
    // (auto-repeat key-ups are not key-ups).
    void keyboardKeyDown(KeyPainter* window, PcKey key);
    void keyboardChar(KeyPainter* window, char32_t character);
    void keyboardRelease(KeyPainter* window);

    // Index of the skin key for a key-down or a character, by the calculator's shifts.
    std::optional<int> mapPcKey(PcKey key) const;
    std::optional<int> mapPcChar(char32_t character) const;

    // Once per timer tick while keyPending: the code to deliver (0 on the ticks of the
    // auto-repeat delay).
    uint8_t nextKeyCode();

    uint8_t keyIndex = 0;
    uint8_t keyCode = 0;
    uint8_t repeatCount = 0;
    bool keyPressed = false;
    bool keyPending = false;

private:
    bool secondShiftActive() const;
    bool alphaShiftActive() const;

    const Machine& machine_;
};

}  // namespace vantrel
