// The one constant table of 1280 instruction handlers, in five sub-tables of 256:
// main, CB, DD, ED, FD. Built at compile time from the handler families.
#pragma once

#include <array>
#include <cstddef>

namespace vantrel {

struct Machine;

using Handler = void (*)(Machine&);
using HandlerTable = std::array<Handler, 1280>;

inline constexpr std::size_t mainTableBase = 0;
inline constexpr std::size_t cbTableBase = 256;
inline constexpr std::size_t ddTableBase = 512;
inline constexpr std::size_t edTableBase = 768;
inline constexpr std::size_t fdTableBase = 1024;

extern const HandlerTable dispatchTable;

}  // namespace vantrel
