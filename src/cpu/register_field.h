// The 8-bit register selected by a three-bit opcode field: 0 B, 1 C, 2 D, 3 E, 4 H,
// 5 L, 7 A (6 is the memory operand, which each family handles itself).
#pragma once

#include <cstdint>

#include "cpu/cpu_registers.h"

namespace vantrel {

template <unsigned Field>
constexpr uint8_t& registerField(CpuRegisters& r) {
    static_assert(Field < 8 && Field != 6, "field 6 is the memory operand");
    if constexpr (Field == 0)
        return r.b;
    else if constexpr (Field == 1)
        return r.c;
    else if constexpr (Field == 2)
        return r.d;
    else if constexpr (Field == 3)
        return r.e;
    else if constexpr (Field == 4)
        return r.h;
    else if constexpr (Field == 5)
        return r.l;
    else
        return r.a;
}

// The register pair selected by a two-bit field (0 BC, 1 DE, 2 HL, 3 SP).
template <unsigned Pair>
constexpr uint16_t pairField(const CpuRegisters& r) {
    static_assert(Pair < 4);
    if constexpr (Pair == 0)
        return r.bc();
    else if constexpr (Pair == 1)
        return r.de();
    else if constexpr (Pair == 2)
        return r.hl();
    else
        return r.sp;
}

template <unsigned Pair>
constexpr void setPairField(CpuRegisters& r, uint16_t value) {
    static_assert(Pair < 4);
    if constexpr (Pair == 0)
        r.setBC(value);
    else if constexpr (Pair == 1)
        r.setDE(value);
    else if constexpr (Pair == 2)
        r.setHL(value);
    else
        r.sp = value;
}

}  // namespace vantrel
