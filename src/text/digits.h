// Numbers written in digits, as the debugger's files and entry fields hold them:
// addresses, offsets and checksums in any base up to 16.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace vantrel {

constexpr std::optional<unsigned> digitValue(char c) {
    if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F') return static_cast<unsigned>(c - 'A' + 10);
    return std::nullopt;
}

// The value of digits in base; nothing when they are empty, hold anything but digits of
// that base, or stand for more than max.
constexpr std::optional<uint32_t> parseDigits(std::string_view digits, unsigned base,
                                              uint32_t max) {
    if (digits.empty()) return std::nullopt;
    uint64_t value = 0;
    for (char c : digits) {
        const auto digit = digitValue(c);
        if (!digit || *digit >= base) return std::nullopt;
        value = value * base + *digit;
        if (value > max) return std::nullopt;
    }
    return static_cast<uint32_t>(value);
}

// A number as assemblers and debuggers write it: "$1234", "#1234", "0x1234" and "1234h"
// are hexadecimal, digits without a mark are in bareBase.
constexpr std::optional<uint32_t> parseMarkedNumber(std::string_view text, unsigned bareBase,
                                                    uint32_t max) {
    if (text.empty()) return std::nullopt;
    if (text.front() == '$' || text.front() == '#') return parseDigits(text.substr(1), 16, max);
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        return parseDigits(text.substr(2), 16, max);
    if (text.back() == 'h' || text.back() == 'H')
        return parseDigits(text.substr(0, text.size() - 1), 16, max);
    return parseDigits(text, bareBase, max);
}

}  // namespace vantrel
