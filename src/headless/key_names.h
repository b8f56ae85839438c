// Calculator keys by the names printed on them, for scripts.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vantrel::headless {

// The key-matrix code of a key name: ENTER, 2ND, F1, UP, 7, +, (-), LINK (the
// [x-VAR] key, whose second function it is) and so on, in any case. None for a name
// no key carries.
std::optional<int> keyCodeByName(std::string_view name);

// Index of the skin key with that code; none for a code no key has.
std::optional<int> keyIndexByCode(int code);

// The names, space-separated, for the help text.
std::string keyNameList();

}  // namespace vantrel::headless
