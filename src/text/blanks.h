// Blanks between the words of the debugger's text files: spaces, tabs and the
// carriage return of a file written on Windows.
#pragma once

#include <string_view>

namespace vantrel {

constexpr bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

constexpr std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

}  // namespace vantrel
