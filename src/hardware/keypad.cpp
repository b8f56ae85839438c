#include "hardware/keypad.h"

#include "hardware/machine.h"
#include "hardware/ports.h"

namespace vantrel {

// Client coordinates; the skin is drawn at (0, 126), so the first row of keys spans
// picture rows 19 to 37.
const std::array<KeyRect, keyCount> keyRects{{
    {7, 145, 49, 164, 53},    // [F1]
    {50, 145, 92, 164, 52},   // [F2]
    {94, 145, 136, 164, 51},  // [F3]
    {137, 145, 179, 164, 50}, // [F4]
    {181, 145, 223, 164, 49}, // [F5]
    {161, 169, 202, 188, 4},  // [up]
    {203, 179, 221, 219, 3},  // [right]
    {142, 179, 160, 219, 2},  // [left]
    {161, 210, 202, 229, 1},  // [down]
    {7, 177, 49, 196, 54},    // [2nd]
    {50, 177, 92, 196, 55},   // [EXIT]
    {94, 177, 136, 196, 56},  // [MORE]
    {7, 207, 49, 226, 48},    // [ALPHA]
    {50, 207, 92, 226, 40},   // [x-VAR]
    {94, 207, 136, 226, 32},  // [DEL]
    {7, 236, 49, 255, 47},    // [GRAPH]
    {50, 236, 92, 255, 39},   // [STAT]
    {94, 236, 136, 255, 31},  // [PRGM]
    {137, 236, 179, 255, 23}, // [CUSTOM]
    {181, 236, 223, 255, 15}, // [CLEAR]
    {7, 265, 49, 284, 46},    // [LOG]
    {50, 265, 92, 284, 38},   // [SIN]
    {94, 265, 136, 284, 30},  // [COS]
    {137, 265, 179, 284, 22}, // [TAN]
    {181, 265, 223, 284, 14}, // [^]
    {7, 294, 49, 313, 45},    // [LN]
    {50, 294, 92, 313, 37},   // [EE]
    {94, 294, 136, 313, 29},  // [(]
    {137, 294, 179, 313, 21}, // [)]
    {181, 294, 223, 313, 13}, // [÷]
    {7, 324, 49, 343, 44},    // [x²]
    {50, 324, 92, 343, 36},   // [7]
    {94, 324, 136, 343, 28},  // [8]
    {137, 324, 179, 343, 20}, // [9]
    {181, 324, 223, 343, 12}, // [×]
    {7, 353, 49, 372, 43},    // [,]
    {50, 353, 92, 372, 35},   // [4]
    {94, 353, 136, 372, 27},  // [5]
    {137, 353, 179, 372, 19}, // [6]
    {181, 353, 223, 372, 11}, // [−]
    {7, 382, 49, 401, 42},    // [STO▶]
    {50, 382, 92, 401, 34},   // [1]
    {94, 382, 136, 401, 26},  // [2]
    {137, 382, 179, 401, 18}, // [3]
    {181, 382, 223, 401, 10}, // [+]
    {7, 411, 49, 430, 41},    // [ON]
    {50, 411, 92, 430, 33},   // [0]
    {94, 411, 136, 430, 25},  // [.]
    {137, 411, 179, 430, 17}, // [(−)]
    {181, 411, 223, 430, 9},  // [ENTER]
}};

namespace {

constexpr int onKeyIndex = 45;
constexpr int caretKeyIndex = 24;
constexpr int delKeyIndex = 14;
constexpr uint8_t delKeyCode = 32;
// Arrow keys have codes 1 to 4; they and [DEL] repeat while held.
constexpr uint8_t lastArrowCode = 4;
// Ticks of the repeat delay: the code at the first tick, then 0 until the ninth.
constexpr uint8_t repeatDelayTicks = 8;

bool contains(const KeyRect& r, int x, int y) {
    return r.left <= x && x < r.right && r.top <= y && y < r.bottom;
}

bool isRepeatable(uint8_t code) { return code <= lastArrowCode || code == delKeyCode; }

// Letters without the alpha shift: the keys whose names start with them.
constexpr std::array<int8_t, 26> plainLetterKeys = {
    16, -1, 22, -1, 26, -1, 15, -1, -1, -1, -1, 20, 11,  // A..M
    25, onKeyIndex, 17, 30, -1, 21, 23, 18, -1, -1, 13, -1, -1,  // N..Z
};

// Letters with the alpha shift: the keys that carry them in the alpha layout.
constexpr std::array<int8_t, 26> alphaLetterKeys = {
    20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32,  // A..M
    33, 34, 35, 36, 37, 38, 39, 41, 42, 43, 44, 46, 47,  // N..Z
};

// Characters that mean the same key with or without the alpha shift.
std::optional<int> characterKey(char c) {
    switch (c) {
    case '(': case '[': return 27;
    case ')': case ']': return 28;
    case '*': return 34;
    case '+': return 44;
    case ',': return 35;
    case '-': return 39;
    case '.': return 47;
    case '/': return 29;
    case '0': return 46;
    case '1': return 41;
    case '2': return 42;
    case '3': return 43;
    case '4': return 36;
    case '5': return 37;
    case '6': return 38;
    case '7': return 31;
    case '8': return 32;
    case '9': return 33;
    case '<': case '>': return 40;
    default: return std::nullopt;
    }
}

}  // namespace

// Kept out of line so that the one deliberate race on the shift byte has one name.
[[gnu::noinline]] uint8_t readShiftFlags(const Machine& m) {
    return *m.mem.ramAt(shiftFlagsAddress);
}

Keypad::Keypad(const Machine& machine) : machine_(machine) {}

bool Keypad::secondShiftActive() const { return (readShiftFlags(machine_) & secondShiftBit) != 0; }
bool Keypad::alphaShiftActive() const { return (readShiftFlags(machine_) & alphaShiftBit) != 0; }

namespace {

// True when some shift state of the calculator makes the press a key: those are
// queued even when the shift that gives them meaning is still on its way.
bool mayMapLater(const QueuedPress& press) {
    if (press.key == PcKey::insert) return true;
    const char32_t c = press.character;
    return c == U'=' || (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z');
}

}  // namespace

std::optional<int> Keypad::mapPress(const QueuedPress& press) const {
    if (press.skinIndex >= 0) return press.skinIndex;
    if (const auto index = mapPcKey(press.key)) return index;
    if (press.character != 0) return mapPcChar(press.character);
    return std::nullopt;
}

PressOutcome Keypad::enqueue(KeyPainter* window, const QueuedPress& press) {
    const auto shown = mapPress(press);
    if (!shown && !mayMapLater(press)) return PressOutcome::ignored;
    if (shown) {
        if (window) window->drawKeyPressed(*shown);
        keyIndex = static_cast<uint8_t>(*shown);
    }
    // A switched-off calculator takes [ON] alone; anything else is only drawn.
    const bool on = calculatorOn(machine_);
    if (!on && shown != onKeyIndex) return PressOutcome::shownOnly;
    if (queued_ == keyQueueCapacity) return PressOutcome::dropped;
    QueuedPress& slot = queue_[(head_ + queued_) % keyQueueCapacity];
    slot = press;
    slot.shownIndex = static_cast<int8_t>(shown.value_or(-1));
    slot.pressedWhileOn = on;
    ++queued_;
    return PressOutcome::queued;
}

void Keypad::release(KeyPainter* window, int32_t source) {
    for (std::size_t i = 0; i < queued_; ++i) {
        QueuedPress& press = queue_[(head_ + i) % keyQueueCapacity];
        if (press.source == source) press.held = false;
    }
    if (keyPressed && deliveredSource_ == source) {
        keyPressed = false;
        // A repeating key stops as soon as it is let go.
        keyCode = 0;
        repeatCount = 0;
    }
    if (!window) return;
    window->drawKeysRaised();
    // Another key still held stays drawn pressed: the newest one.
    for (std::size_t i = queued_; i-- > 0;) {
        const QueuedPress& press = queue_[(head_ + i) % keyQueueCapacity];
        if (press.held && press.shownIndex >= 0) {
            window->drawKeyPressed(press.shownIndex);
            return;
        }
    }
    if (keyPressed && deliveredShown_ >= 0) window->drawKeyPressed(deliveredShown_);
}

void Keypad::onKey(bool down, KeyPainter* window, int index) {
    if (!down) {
        release(window, mouseSource);
        return;
    }
    if (index < 0 || index >= keyCount) return;
    QueuedPress press;
    press.skinIndex = static_cast<int8_t>(index);
    lastMouseOutcome_ = enqueue(window, press);
}

PressOutcome Keypad::pressAt(int x, int y, KeyPainter* window) {
    if (contains(lcdRect, x, y)) return PressOutcome::ignored;
    for (int index = 0; index < keyCount; ++index) {
        if (!contains(keyRects[static_cast<std::size_t>(index)], x, y)) continue;
        mouseKeyIndex = static_cast<uint8_t>(index);
        mouseDown = true;
        onKey(true, window, index);
        return lastMouseOutcome_;
    }
    return PressOutcome::ignored;
}

void Keypad::releaseMouse(KeyPainter* window) {
    onKey(false, window, 0);
    mouseDown = false;
}

void Keypad::dragTo(int x, int y, KeyPainter* window) {
    if (mouseDown && !contains(keyRects[mouseKeyIndex % keyCount], x, y)) releaseMouse(window);
}

PressOutcome Keypad::keyboardPress(KeyPainter* window, int32_t source, PcKey key,
                                   char32_t character) {
    QueuedPress press;
    press.source = source;
    press.key = key;
    press.character = character;
    return enqueue(window, press);
}

void Keypad::keyboardRelease(KeyPainter* window, int32_t source) { release(window, source); }

void Keypad::releaseKeyboard(KeyPainter* window) {
    bool any = false;
    for (std::size_t i = 0; i < queued_; ++i) {
        QueuedPress& press = queue_[(head_ + i) % keyQueueCapacity];
        if (press.source != mouseSource && press.held) {
            press.held = false;
            any = true;
        }
    }
    if (keyPressed && deliveredSource_ != mouseSource) {
        keyPressed = false;
        keyCode = 0;
        repeatCount = 0;
        any = true;
    }
    if (any && window) window->drawKeysRaised();
}

bool Keypad::keyboardHeld() const {
    for (std::size_t i = 0; i < queued_; ++i) {
        const QueuedPress& press = queue_[(head_ + i) % keyQueueCapacity];
        if (press.source != mouseSource && press.held) return true;
    }
    return keyPressed && deliveredSource_ != mouseSource;
}

std::optional<int> Keypad::mapPcKey(PcKey key) const {
    switch (key) {
    case PcKey::backspace: return 19;  // [CLEAR]
    case PcKey::tab: return 9;         // [2nd]
    case PcKey::enter: return 49;      // [ENTER]
    case PcKey::control: return 12;    // [ALPHA]
    case PcKey::escape: return 10;     // [EXIT]
    case PcKey::space: return 48;      // [(−)]
    case PcKey::end: return 8;         // [down]
    case PcKey::home: return 5;        // [up]
    case PcKey::left: return 7;
    case PcKey::up: return 5;
    case PcKey::right: return 6;
    case PcKey::down: return 8;
    // Insert is the key's second function: only under [2nd] does it mean [DEL].
    case PcKey::insert:
        return secondShiftActive() ? std::optional<int>(delKeyIndex) : std::nullopt;
    case PcKey::del: return delKeyIndex;
    case PcKey::f1: return 0;
    case PcKey::f2: return 1;
    case PcKey::f3: return 2;
    case PcKey::f4: return 3;
    case PcKey::f5: return 4;
    case PcKey::caret: return caretKeyIndex;
    case PcKey::other: break;
    }
    return std::nullopt;
}

std::optional<int> Keypad::mapPcChar(char32_t character) const {
    if (character > 127) return std::nullopt;
    const char c = static_cast<char>(character);
    if (const auto index = characterKey(c)) return index;

    const bool alpha = alphaShiftActive();
    if (alpha && c == '=') return 40;  // [STO▶] carries "=" in the alpha layout
    char letter = c;
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
    if (letter < 'A' || letter > 'Z') return std::nullopt;
    const int found = (alpha ? alphaLetterKeys : plainLetterKeys)[static_cast<std::size_t>(letter - 'A')];
    if (found < 0) return std::nullopt;
    return found;
}

bool Keypad::keyPending() const {
    return queued_ > 0 || (keyPressed && isRepeatable(keyCode) && keyCode != 0);
}

void Keypad::clear() {
    head_ = 0;
    queued_ = 0;
    keyCode = 0;
    repeatCount = 0;
    keyPressed = false;
}

std::optional<uint8_t> Keypad::nextKeyCode() {
    const bool on = calculatorOn(machine_);
    if (!on) {
        keyCode = 0;
        keyPressed = false;
    }
    while (queued_ > 0) {
        const QueuedPress press = queue_[head_];
        head_ = (head_ + 1) % keyQueueCapacity;
        --queued_;
        // Keys typed for the calculator before it switched itself off are not for it.
        if (!on && press.pressedWhileOn) continue;
        const auto index = mapPress(press);
        if (!index || (!on && *index != onKeyIndex)) continue;
        // A new press ends the repeat of the key before it.
        keyCode = keyRects[static_cast<std::size_t>(*index)].code;
        keyPressed = press.held;
        repeatCount = 1;
        deliveredSource_ = press.source;
        deliveredShown_ = press.shownIndex;
        return keyCode;
    }
    if (keyPressed && isRepeatable(keyCode) && keyCode != 0) {
        if (repeatCount >= repeatDelayTicks) return keyCode;
        ++repeatCount;
        return uint8_t{0};
    }
    return std::nullopt;
}

}  // namespace vantrel
