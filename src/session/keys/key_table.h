// The calculator's 50 keys as the window draws them and every front end names them:
// key code, place on the skin, legends, and the name scripts use. One table for the
// keypad, the skin painter, the headless runner and the upload's injected keys.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "hardware/key_codes.h"

namespace vantrel {

// A rectangle in the window's client area at 1x: left <= x < right, top <= y < bottom.
struct KeyBox {
    int left;
    int top;
    int right;
    int bottom;

    constexpr bool contains(int x, int y) const {
        return left <= x && x < right && top <= y && y < bottom;
    }
    constexpr int width() const { return right - left; }
    constexpr int height() const { return bottom - top; }
};

// How a key looks: the colour family of its face.
enum class KeyStyle { function, arrow, second, alpha, digit, plain, enter };

struct SkinKey {
    KeyCode code;
    KeyBox box;
    const char* legend;        // on the key (UTF-8); empty for the arrows
    const char* secondLegend;  // the [2nd] function, printed above the key on the left
    const char* alphaLegend;   // the [ALPHA] letter, printed above the key on the right
    KeyStyle style;
    const char* name;     // the name scripts use ("ENTER", "2ND", "+")
    const char* aliases;  // further names, separated by spaces
};

inline constexpr int keyCount = 50;

// Client coordinates; the skin is drawn at (0, 126), so the first row of keys spans
// picture rows 19 to 37.
inline constexpr std::array<SkinKey, keyCount> skinKeys{{
    {keyF1, {7, 145, 49, 164}, "F1", "M1", "", KeyStyle::function, "F1", ""},           // [F1]
    {keyF2, {50, 145, 92, 164}, "F2", "M2", "", KeyStyle::function, "F2", ""},          // [F2]
    {keyF3, {94, 145, 136, 164}, "F3", "M3", "", KeyStyle::function, "F3", ""},         // [F3]
    {keyF4, {137, 145, 179, 164}, "F4", "M4", "", KeyStyle::function, "F4", ""},        // [F4]
    {keyF5, {181, 145, 223, 164}, "F5", "M5", "", KeyStyle::function, "F5", ""},        // [F5]
    {keyUp, {161, 169, 202, 188}, "", "", "", KeyStyle::arrow, "UP", ""},               // [up]
    {keyRight, {203, 179, 221, 219}, "", "", "", KeyStyle::arrow, "RIGHT", ""},         // [right]
    {keyLeft, {142, 179, 160, 219}, "", "", "", KeyStyle::arrow, "LEFT", ""},           // [left]
    {keyDown, {161, 210, 202, 229}, "", "", "", KeyStyle::arrow, "DOWN", ""},           // [down]
    {keySecond, {7, 177, 49, 196}, "2nd", "", "", KeyStyle::second, "2ND", "SECOND"},   // [2nd]
    {keyExit, {50, 177, 92, 196}, "EXIT", "QUIT", "", KeyStyle::plain, "EXIT", "ESC"},  // [EXIT]
    {keyMore, {94, 177, 136, 196}, "MORE", "MODE", "", KeyStyle::plain, "MORE", ""},    // [MORE]
    {keyAlpha, {7, 207, 49, 226}, "ALPHA", "alpha", "", KeyStyle::alpha, "ALPHA", ""},  // [ALPHA]
    {keyXVar,
     {50, 207, 92, 226},
     "x-VAR",
     "LINK",
     "",
     KeyStyle::plain,
     "XVAR",
     "LINK X-VAR"},                                                                      // [x-VAR]
    {keyDel, {94, 207, 136, 226}, "DEL", "INS", "", KeyStyle::plain, "DEL", ""},         // [DEL]
    {keyGraph, {7, 236, 49, 255}, "GRAPH", "SOLVER", "", KeyStyle::plain, "GRAPH", ""},  // [GRAPH]
    {keyStat, {50, 236, 92, 255}, "STAT", "SIMULT", "", KeyStyle::plain, "STAT", ""},    // [STAT]
    {keyPrgm, {94, 236, 136, 255}, "PRGM", "POLY", "", KeyStyle::plain, "PRGM", ""},     // [PRGM]
    {keyCustom,
     {137, 236, 179, 255},
     "CUSTOM",
     "CATLG",
     "",
     KeyStyle::plain,
     "CUSTOM",
     ""},  // [CUSTOM]
    {keyClear,
     {181, 236, 223, 255},
     "CLEAR",
     "TOLER",
     "",
     KeyStyle::plain,
     "CLEAR",
     ""},                                                                             // [CLEAR]
    {keyLog, {7, 265, 49, 284}, "LOG", "10\u02E3", "A", KeyStyle::plain, "LOG", ""},  // [LOG]
    {keySin,
     {50, 265, 92, 284},
     "SIN",
     "SIN\u207B\u00B9",
     "B",
     KeyStyle::plain,
     "SIN",
     ""},  // [SIN]
    {keyCos,
     {94, 265, 136, 284},
     "COS",
     "COS\u207B\u00B9",
     "C",
     KeyStyle::plain,
     "COS",
     ""},  // [COS]
    {keyTan,
     {137, 265, 179, 284},
     "TAN",
     "TAN\u207B\u00B9",
     "D",
     KeyStyle::plain,
     "TAN",
     ""},                                                                                // [TAN]
    {keyPower, {181, 265, 223, 284}, "^", "\u03C0", "E", KeyStyle::plain, "^", ""},      // [^]
    {keyLn, {7, 294, 49, 313}, "LN", "e\u02E3", "F", KeyStyle::plain, "LN", ""},         // [LN]
    {keyEE, {50, 294, 92, 313}, "EE", "x\u207B\u00B9", "G", KeyStyle::plain, "EE", ""},  // [EE]
    {keyOpenParen, {94, 294, 136, 313}, "(", "[", "H", KeyStyle::plain, "(", ""},        // [(]
    {keyCloseParen, {137, 294, 179, 313}, ")", "]", "I", KeyStyle::plain, ")", ""},      // [)]
    {keyDivide,
     {181, 294, 223, 313},
     "\u00F7",
     "MATH",
     "J",
     KeyStyle::plain,
     "/",
     "DIVIDE"},                                                                              // [÷]
    {keySquare, {7, 324, 49, 343}, "x\u00B2", "\u221A", "K", KeyStyle::plain, "X2", "X^2"},  // [x²]
    {key7, {50, 324, 92, 343}, "7", "CALC", "L", KeyStyle::digit, "7", ""},                  // [7]
    {key8, {94, 324, 136, 343}, "8", "VECTR", "M", KeyStyle::digit, "8", ""},                // [8]
    {key9, {137, 324, 179, 343}, "9", "MATRX", "N", KeyStyle::digit, "9", ""},               // [9]
    {keyMultiply,
     {181, 324, 223, 343},
     "\u00D7",
     "CONS",
     "O",
     KeyStyle::plain,
     "*",
     "TIMES"},                                                                        // [×]
    {keyComma, {7, 353, 49, 372}, ",", "ANGLE", "P", KeyStyle::plain, ",", "COMMA"},  // [,]
    {key4, {50, 353, 92, 372}, "4", "CONV", "Q", KeyStyle::digit, "4", ""},           // [4]
    {key5, {94, 353, 136, 372}, "5", "STRNG", "R", KeyStyle::digit, "5", ""},         // [5]
    {key6, {137, 353, 179, 372}, "6", "LIST", "S", KeyStyle::digit, "6", ""},         // [6]
    {keySubtract,
     {181, 353, 223, 372},
     "\u2212",
     "CPLX",
     "T",
     KeyStyle::plain,
     "-",
     "MINUS"},                                                                             // [−]
    {keySto, {7, 382, 49, 401}, "STO\u25B8", "RCL", "=", KeyStyle::plain, "STO", "STO>"},  // [STO▶]
    {key1, {50, 382, 92, 401}, "1", "BASE", "U", KeyStyle::digit, "1", ""},                // [1]
    {key2, {94, 382, 136, 401}, "2", "TEST", "V", KeyStyle::digit, "2", ""},               // [2]
    {key3, {137, 382, 179, 401}, "3", "VARS", "W", KeyStyle::digit, "3", ""},              // [3]
    {keyAdd, {181, 382, 223, 401}, "+", "MEM", "X", KeyStyle::plain, "+", "PLUS"},         // [+]
    {keyOn, {7, 411, 49, 430}, "ON", "OFF", "", KeyStyle::plain, "ON", ""},                // [ON]
    {key0, {50, 411, 92, 430}, "0", "CHAR", "Y", KeyStyle::digit, "0", ""},                // [0]
    {keyPoint, {94, 411, 136, 430}, ".", "=", "Z", KeyStyle::digit, ".", ""},              // [.]
    {keyNegate,
     {137, 411, 179, 430},
     "(\u2212)",
     "ANS",
     "_",
     KeyStyle::digit,
     "(-)",
     "NEG"},  // [(−)]
    {keyEnter,
     {181, 411, 223, 430},
     "ENTER",
     "ENTRY",
     "",
     KeyStyle::enter,
     "ENTER",
     ""},  // [ENTER]
}};

// PC keys that the key-down table knows, independent of the windowing system. The
// front ends map their key events onto these; typed characters arrive as text.
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
    alt,
    pageUp,
    pageDown,
};
inline constexpr std::size_t pcKeyCount = static_cast<std::size_t>(PcKey::pageDown) + 1;

// The PC keys as the keyboard help names them, in the order it lists them, with the
// names the settings file's [Keyboard] section gives them.
struct PcKeyName {
    PcKey key;
    const char* name;
    const char* settingName;
};
inline constexpr std::array<PcKeyName, pcKeyCount - 1> pcKeyNames{{
    {PcKey::f1, "F1", "F1"},
    {PcKey::f2, "F2", "F2"},
    {PcKey::f3, "F3", "F3"},
    {PcKey::f4, "F4", "F4"},
    {PcKey::f5, "F5", "F5"},
    {PcKey::up, "Up", "Up"},
    {PcKey::down, "Down", "Down"},
    {PcKey::left, "Left", "Left"},
    {PcKey::right, "Right", "Right"},
    {PcKey::home, "Home", "Home"},
    {PcKey::end, "End", "End"},
    {PcKey::pageUp, "Page Up", "PageUp"},
    {PcKey::pageDown, "Page Down", "PageDown"},
    {PcKey::tab, "Tab", "Tab"},
    {PcKey::escape, "Esc", "Esc"},
    {PcKey::control, "Ctrl", "Ctrl"},
    {PcKey::alt, "Alt", "Alt"},
    {PcKey::del, "Delete", "Delete"},
    {PcKey::insert, "Insert", "Insert"},
    {PcKey::backspace, "Backspace", "Backspace"},
    {PcKey::caret, "^ (without Shift)", "Caret"},
    {PcKey::space, "Space", "Space"},
    {PcKey::enter, "Enter", "Enter"},
}};

// The index in skinKeys of the key with this code.
constexpr int keyIndex(KeyCode code) {
    for (int index = 0; index < keyCount; ++index)
        if (skinKeys[static_cast<std::size_t>(index)].code == code) return index;
    return -1;
}
static_assert(keyIndex(keyOn) == 45 && keyIndex(keyEnter) == 49);

// The LCD's place in the client area at 1x; clicks there belong to the context menu.
inline constexpr KeyBox lcdBox{9, 3, 221, 131};

// The key whose box holds the point (1x client coordinates), if any.
std::optional<int> keyIndexAt(int x, int y);
// The index of the key with this code, if any.
std::optional<int> keyIndexOfCode(int code);
// The key with this name or alias, in any letter case.
std::optional<int> keyIndexByName(std::string_view name);
// Every key's name, with its aliases in parentheses, in the order of the skin.
std::string keyNameList();

}  // namespace vantrel
