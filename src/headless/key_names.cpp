#include "headless/key_names.h"

#include <array>
#include <cctype>
#include <utility>

#include "hardware/keypad.h"

namespace vantrel::headless {

namespace {

struct KeyName {
    const char* name;
    int code;
};

// The first name of each key is the one the help lists; later ones are aliases.
constexpr std::array<KeyName, 62> keyNames{{
    {"ENTER", 9},   {"CLEAR", 15},  {"2ND", 54},    {"ALPHA", 48},  {"EXIT", 55},
    {"MORE", 56},   {"F1", 53},     {"F2", 52},     {"F3", 51},     {"F4", 50},
    {"F5", 49},     {"UP", 4},      {"DOWN", 1},    {"LEFT", 2},    {"RIGHT", 3},
    {"0", 33},      {"1", 34},      {"2", 26},      {"3", 18},      {"4", 35},
    {"5", 27},      {"6", 19},      {"7", 36},      {"8", 28},      {"9", 20},
    {"+", 10},      {"-", 11},      {"*", 12},      {"/", 13},      {"^", 14},
    {"(", 29},      {")", 21},      {".", 25},      {"(-)", 17},    {"STO", 42},
    {"ON", 41},     {"DEL", 32},    {"XVAR", 40},   {"LINK", 40},   {"SIN", 38},
    {"COS", 30},    {"TAN", 22},    {"LOG", 46},    {"LN", 45},     {"EE", 37},
    {"X2", 44},     {"GRAPH", 47},  {"STAT", 39},   {"PRGM", 31},   {"CUSTOM", 23},
    {",", 43},      {"COMMA", 43},  {"SECOND", 54}, {"ESC", 55},    {"NEG", 17},
    {"X-VAR", 40},  {"MINUS", 11},  {"PLUS", 10},   {"TIMES", 12},  {"DIVIDE", 13},
    {"STO>", 42},   {"X^2", 44},
}};

}  // namespace

std::optional<int> keyCodeByName(std::string_view name) {
    std::string upper;
    for (const char c : name) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const KeyName& key : keyNames)
        if (upper == key.name) return key.code;
    return std::nullopt;
}

std::optional<int> keyIndexByCode(int code) {
    for (int index = 0; index < keyCount; ++index)
        if (keyRects[static_cast<std::size_t>(index)].code == code) return index;
    return std::nullopt;
}

std::string keyNameList() {
    std::string list;
    // Up to COMMA: the aliases after it stay out of the help.
    for (const KeyName& key : keyNames) {
        if (!list.empty()) list += ' ';
        list += key.name;
        if (std::string_view(key.name) == "COMMA") break;
    }
    return list;
}

}  // namespace vantrel::headless
