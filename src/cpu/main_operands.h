// Operand selection for the unprefixed handler families.
//
// Each handler is a template instance with its register operand fixed, so the register
// field of the opcode is resolved at compile time and never decoded while running.
#pragma once

#include <cstdint>

#include "cpu/memory_access.h"
#include "hardware/machine.h"

namespace vantrel {

// The Z80's three-bit register field: 6 is the memory operand (HL).
enum Reg8 : int { regB = 0, regC = 1, regD = 2, regE = 3, regH = 4, regL = 5, regMemHL = 6, regA = 7 };

// The two-bit register-pair field; pairStackAF replaces SP in PUSH and POP.
enum Pair16 : int { pairBC = 0, pairDE = 1, pairHL = 2, pairSP = 3, pairStackAF = 4 };

// Condition field: NZ, Z, NC, C, PO, PE, P, M.
enum Cond : int { condNZ, condZ, condNC, condC, condPO, condPE, condP, condM };

template <int R>
inline uint8_t& reg8(CpuRegisters& r) {
    static_assert(R >= 0 && R <= 7 && R != regMemHL, "a register, not (HL)");
    if constexpr (R == regB) return r.b;
    else if constexpr (R == regC) return r.c;
    else if constexpr (R == regD) return r.d;
    else if constexpr (R == regE) return r.e;
    else if constexpr (R == regH) return r.h;
    else if constexpr (R == regL) return r.l;
    else return r.a;
}

// An 8-bit source operand: a register, or the byte that a read of HL yields.
template <int R>
inline uint8_t readOperand(Machine& m) {
    if constexpr (R == regMemHL) return readByte(m, m.regs.hl());
    else return reg8<R>(m.regs);
}

template <int R>
inline void writeOperand(Machine& m, uint8_t value) {
    if constexpr (R == regMemHL) writeByte(m, m.regs.hl(), value);
    else reg8<R>(m.regs) = value;
}

template <int P>
inline uint16_t pair16(const CpuRegisters& r) {
    if constexpr (P == pairBC) return r.bc();
    else if constexpr (P == pairDE) return r.de();
    else if constexpr (P == pairHL) return r.hl();
    else if constexpr (P == pairSP) return r.sp;
    else return r.af();
}

template <int P>
inline void setPair16(CpuRegisters& r, uint16_t value) {
    if constexpr (P == pairBC) r.setBC(value);
    else if constexpr (P == pairDE) r.setDE(value);
    else if constexpr (P == pairHL) r.setHL(value);
    else if constexpr (P == pairSP) r.sp = value;
    else r.setAF(value);
}

template <int C>
inline bool condition(const CpuRegisters& r) {
    if constexpr (C == condNZ) return (r.f & flagZ) == 0;
    else if constexpr (C == condZ) return (r.f & flagZ) != 0;
    else if constexpr (C == condNC) return (r.f & flagC) == 0;
    else if constexpr (C == condC) return (r.f & flagC) != 0;
    else if constexpr (C == condPO) return (r.f & flagPV) == 0;
    else if constexpr (C == condPE) return (r.f & flagPV) != 0;
    else if constexpr (C == condP) return (r.f & flagS) == 0;
    else return (r.f & flagS) != 0;
}

}  // namespace vantrel
