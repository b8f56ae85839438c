#include "session/keys/keypad.h"

#include <utility>

#include "machine/bus.h"
#include "text/ascii_case.h"

namespace vantrel {

namespace {

constexpr int onKeyIndex = vantrel::keyIndex(keyOn);
// Ticks of the repeat delay: the code at the first tick, then 0 until the ninth.
constexpr uint8_t repeatDelayTicks = 8;

// Letters without the alpha shift: the keys whose names start with them.
constexpr std::array<int8_t, 26> plainLetterKeys = [] {
    std::array<int8_t, 26> keys{};
    keys.fill(-1);
    const std::pair<char, KeyCode> named[] = {
        {'A', keyStat}, {'C', keyCos}, {'E', keyEE},     {'G', keyGraph}, {'L', keyLog},
        {'M', keyMore}, {'N', keyLn},  {'O', keyOn},     {'P', keyPrgm},  {'Q', keySquare},
        {'S', keySin},  {'T', keyTan}, {'U', keyCustom}, {'X', keyXVar},
    };
    for (const auto& [letter, code] : named)
        keys[static_cast<std::size_t>(letter - 'A')] = static_cast<int8_t>(keyIndex(code));
    return keys;
}();

// A character with the alpha shift: the key that carries it in the alpha layout.
constexpr std::optional<int> alphaKey(char c) {
    for (int index = 0; index < keyCount; ++index) {
        const char* legend = skinKeys[static_cast<std::size_t>(index)].alphaLegend;
        if (legend[0] == c && legend[1] == '\0') return index;
    }
    return std::nullopt;
}

// Characters that mean the same key with or without the alpha shift.
constexpr std::optional<int> characterKey(char c) {
    switch (c) {
        case '(':
        case '[':
            return vantrel::keyIndex(keyOpenParen);
        case ')':
        case ']':
            return vantrel::keyIndex(keyCloseParen);
        case '*':
            return vantrel::keyIndex(keyMultiply);
        case '+':
            return vantrel::keyIndex(keyAdd);
        case ',':
            return vantrel::keyIndex(keyComma);
        case '-':
            return vantrel::keyIndex(keySubtract);
        case '.':
            return vantrel::keyIndex(keyPoint);
        case '/':
            return vantrel::keyIndex(keyDivide);
        case '0':
            return vantrel::keyIndex(key0);
        case '1':
            return vantrel::keyIndex(key1);
        case '2':
            return vantrel::keyIndex(key2);
        case '3':
            return vantrel::keyIndex(key3);
        case '4':
            return vantrel::keyIndex(key4);
        case '5':
            return vantrel::keyIndex(key5);
        case '6':
            return vantrel::keyIndex(key6);
        case '7':
            return vantrel::keyIndex(key7);
        case '8':
            return vantrel::keyIndex(key8);
        case '9':
            return vantrel::keyIndex(key9);
        case '<':
        case '>':
            return vantrel::keyIndex(keySto);
        default:
            return std::nullopt;
    }
}

}  // namespace

// Kept out of line so that the one deliberate race on the shift byte has one name.
[[gnu::noinline]] uint8_t readShiftFlags(const Machine& m) {
    return *m.mem.ramAt(shiftFlagsAddress);
}

Keypad::Keypad(const Machine& machine) : machine_(machine) {}

ShiftState shiftStateOf(uint8_t shiftFlags) {
    return {(shiftFlags & secondShiftBit) != 0, (shiftFlags & alphaShiftBit) != 0};
}

ShiftState Keypad::shifts() const { return shiftStateOf(readShiftFlags(machine_)); }

// True when some shift state of the calculator makes the press a key: those are
// queued even when the shift that gives them meaning is still on its way.
bool Keypad::mayMapLater(const QueuedPress& press) const {
    if (map_.binding(press.key).afterSecond) return true;
    const char32_t c = press.character;
    return c == U'=' || (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z');
}

std::optional<int> Keypad::mapPress(const QueuedPress& press) const {
    if (press.skinIndex >= 0) return press.skinIndex;
    const KeyMap& map = press.source == typedTextSource ? defaultKeyMap() : map_;
    if (const auto index = keyForPcKey(press.key, shifts(), map)) return index;
    if (press.character != 0) return mapPcChar(press.character);
    return std::nullopt;
}

PressOutcome Keypad::enqueue(const QueuedPress& press) {
    const auto shown = mapPress(press);
    if (!shown && !mayMapLater(press)) return PressOutcome::ignored;
    if (shown) shown_ = static_cast<int8_t>(*shown);
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

void Keypad::release(int32_t source) {
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
    shown_ = -1;
    // Another key still held stays drawn pressed: the newest one.
    for (std::size_t i = queued_; i-- > 0;) {
        const QueuedPress& press = queue_[(head_ + i) % keyQueueCapacity];
        if (press.held && press.shownIndex >= 0) {
            shown_ = press.shownIndex;
            return;
        }
    }
    if (keyPressed && deliveredShown_ >= 0) shown_ = deliveredShown_;
}

std::optional<int> Keypad::shownKey() const {
    if (shown_ < 0) return std::nullopt;
    return shown_;
}

PressOutcome Keypad::pressAt(int x, int y) {
    const auto index = keyIndexAt(x, y);
    return index ? pressKey(*index) : PressOutcome::ignored;
}

PressOutcome Keypad::pressKey(int index) {
    if (index < 0 || index >= keyCount) return PressOutcome::ignored;
    mouseKey_ = index;
    mouseDown_ = true;
    QueuedPress press;
    press.skinIndex = static_cast<int8_t>(index);
    return enqueue(press);
}

void Keypad::releaseMouse() {
    release(mouseSource);
    mouseDown_ = false;
}

void Keypad::dragTo(int x, int y) {
    if (mouseDown_ && !skinKeys[static_cast<std::size_t>(mouseKey_)].box.contains(x, y))
        releaseMouse();
}

PressOutcome Keypad::keyboardPress(int32_t source, PcKey key, char32_t character) {
    QueuedPress press;
    press.source = source;
    press.key = key;
    press.character = character;
    return enqueue(press);
}

void Keypad::keyboardRelease(int32_t source) { release(source); }

PressOutcome Keypad::typeCharacter(char32_t character) {
    // Text has no key-downs: a line break stands for Enter and "^" for its key.
    PcKey key = PcKey::other;
    if (character == U'\n') key = PcKey::enter;
    if (character == U'^') key = PcKey::caret;
    const PressOutcome outcome =
        keyboardPress(typedTextSource, key, key == PcKey::other ? character : 0);
    release(typedTextSource);
    return outcome;
}

void Keypad::releaseKeyboard() {
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
    if (any) shown_ = -1;
}

bool Keypad::keyboardHeld() const {
    for (std::size_t i = 0; i < queued_; ++i) {
        const QueuedPress& press = queue_[(head_ + i) % keyQueueCapacity];
        if (press.source != mouseSource && press.held) return true;
    }
    return keyPressed && deliveredSource_ != mouseSource;
}

std::optional<int> keyForPcKey(PcKey key, ShiftState shifts, const KeyMap& map) {
    const KeyBinding& binding = map.binding(key);
    if (binding.index < 0 || (binding.afterSecond && !shifts.second)) return std::nullopt;
    return binding.index;
}

std::optional<int> keyForCharacter(char32_t character, ShiftState shifts) {
    if (character > 127) return std::nullopt;
    const char c = static_cast<char>(character);
    if (const auto index = characterKey(c)) return index;

    const bool alpha = shifts.alpha;
    if (alpha && c == '=') return alphaKey('=');  // [STO▶] carries "=" in the alpha layout
    const char letter = asciiUpper(c);
    if (letter < 'A' || letter > 'Z') return std::nullopt;
    if (alpha) return alphaKey(letter);
    const int found = plainLetterKeys[static_cast<std::size_t>(letter - 'A')];
    if (found < 0) return std::nullopt;
    return found;
}

bool characterHasKey(char32_t character) {
    if (character == U'\n' || character == U'^') return true;
    for (const bool second : {false, true})
        for (const bool alpha : {false, true})
            if (keyForCharacter(character, {second, alpha})) return true;
    return false;
}

std::optional<int> Keypad::mapPcKey(PcKey key) const { return keyForPcKey(key, shifts(), map_); }

std::optional<int> Keypad::mapPcChar(char32_t character) const {
    return keyForCharacter(character, shifts());
}

bool Keypad::keyPending() const {
    return queued_ > 0 || (keyPressed && keyRepeats(keyCode) && keyCode != 0);
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
        keyCode = skinKeys[static_cast<std::size_t>(*index)].code;
        keyPressed = press.held;
        repeatCount = 1;
        repeating = false;
        deliveredSource_ = press.source;
        deliveredShown_ = press.shownIndex;
        return keyCode;
    }
    if (keyPressed && keyRepeats(keyCode) && keyCode != 0) {
        if (repeatCount >= repeatDelayTicks) {
            repeating = true;
            return keyCode;
        }
        ++repeatCount;
        return uint8_t{0};
    }
    return std::nullopt;
}

}  // namespace vantrel
