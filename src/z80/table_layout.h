// Where each sub-table starts in the instruction table, and the handler type.
#pragma once

#include <cstddef>

namespace vantrel {

template <class M>
using Handler = void (*)(M&);

inline constexpr std::size_t instructionTableSize = 1280;
inline constexpr std::size_t mainTableBase = 0;
inline constexpr std::size_t cbTableBase = 256;
inline constexpr std::size_t ddTableBase = 512;
inline constexpr std::size_t edTableBase = 768;
inline constexpr std::size_t fdTableBase = 1024;

}  // namespace vantrel
