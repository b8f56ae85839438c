// The calculator's keys by their key-matrix code: code c is group (c - 1) / 8,
// bit (c - 1) % 8 on port 1; [ON] (41) is read on port 3 instead.
#pragma once

#include <cstdint>

namespace vantrel {

enum KeyCode : uint8_t {
    keyDown = 1,
    keyLeft = 2,
    keyRight = 3,
    keyUp = 4,
    keyEnter = 9,
    keyAdd = 10,
    keySubtract = 11,
    keyMultiply = 12,
    keyDivide = 13,
    keyPower = 14,
    keyClear = 15,
    keyNegate = 17,
    key3 = 18,
    key6 = 19,
    key9 = 20,
    keyCloseParen = 21,
    keyTan = 22,
    keyCustom = 23,
    keyPoint = 25,
    key2 = 26,
    key5 = 27,
    key8 = 28,
    keyOpenParen = 29,
    keyCos = 30,
    keyPrgm = 31,
    keyDel = 32,
    key0 = 33,
    key1 = 34,
    key4 = 35,
    key7 = 36,
    keyEE = 37,
    keySin = 38,
    keyStat = 39,
    keyXVar = 40,  // its second function is [LINK]
    keyOn = 41,
    keySto = 42,
    keyComma = 43,
    keySquare = 44,
    keyLn = 45,
    keyLog = 46,
    keyGraph = 47,
    keyAlpha = 48,
    keyF5 = 49,
    keyF4 = 50,
    keyF3 = 51,
    keyF2 = 52,
    keyF1 = 53,
    keySecond = 54,
    keyExit = 55,
    keyMore = 56,
};

// Arrows and [DEL] repeat while held.
constexpr bool keyRepeats(uint8_t code) {
    return (code >= keyDown && code <= keyUp) || code == keyDel;
}

}  // namespace vantrel
