// Operand selection by the opcode's register, pair and condition fields.
//
// Each handler is a template instance with its operand fixed, so the fields of the
// opcode are resolved at compile time and never decoded while running.
#pragma once

#include <cstdint>

#include "z80/cpu_registers.h"

namespace vantrel {

// The three-bit register field: 6 is the memory operand (HL), which the families that
// take it handle through readOperand and writeOperand.
enum Reg8 : int {
    regB = 0,
    regC = 1,
    regD = 2,
    regE = 3,
    regH = 4,
    regL = 5,
    regMemHL = 6,
    regA = 7
};

// The two-bit register-pair field; pairStackAF replaces SP in PUSH and POP.
enum Pair16 : int { pairBC = 0, pairDE = 1, pairHL = 2, pairSP = 3, pairStackAF = 4 };

// Condition field: NZ, Z, NC, C, PO, PE, P, M.
enum Cond : int { condNZ, condZ, condNC, condC, condPO, condPE, condP, condM };

template <int R>
constexpr uint8_t& registerField(CpuRegisters& r) {
    static_assert(R >= 0 && R <= 7 && R != regMemHL, "a register, not (HL)");
    if constexpr (R == regB)
        return r.b;
    else if constexpr (R == regC)
        return r.c;
    else if constexpr (R == regD)
        return r.d;
    else if constexpr (R == regE)
        return r.e;
    else if constexpr (R == regH)
        return r.h;
    else if constexpr (R == regL)
        return r.l;
    else
        return r.a;
}

template <int P>
constexpr uint16_t pairField(const CpuRegisters& r) {
    static_assert(P >= 0 && P <= pairStackAF);
    if constexpr (P == pairBC)
        return r.bc();
    else if constexpr (P == pairDE)
        return r.de();
    else if constexpr (P == pairHL)
        return r.hl();
    else if constexpr (P == pairSP)
        return r.sp;
    else
        return r.af();
}

template <int P>
constexpr void setPairField(CpuRegisters& r, uint16_t value) {
    static_assert(P >= 0 && P <= pairStackAF);
    if constexpr (P == pairBC)
        r.setBC(value);
    else if constexpr (P == pairDE)
        r.setDE(value);
    else if constexpr (P == pairHL)
        r.setHL(value);
    else if constexpr (P == pairSP)
        r.sp = value;
    else
        r.setAF(value);
}

template <int C>
constexpr bool condition(const CpuRegisters& r) {
    if constexpr (C == condNZ)
        return (r.f & flagZ) == 0;
    else if constexpr (C == condZ)
        return (r.f & flagZ) != 0;
    else if constexpr (C == condNC)
        return (r.f & flagC) == 0;
    else if constexpr (C == condC)
        return (r.f & flagC) != 0;
    else if constexpr (C == condPO)
        return (r.f & flagPV) == 0;
    else if constexpr (C == condPE)
        return (r.f & flagPV) != 0;
    else if constexpr (C == condP)
        return (r.f & flagS) == 0;
    else
        return (r.f & flagS) != 0;
}

// An 8-bit source operand: a register, or the byte that a read of HL yields.
template <int R, class M>
inline uint8_t readOperand(M& m) {
    if constexpr (R == regMemHL)
        return readByte(m, m.regs.hl());
    else
        return registerField<R>(m.regs);
}

template <int R, class M>
inline void writeOperand(M& m, uint8_t value) {
    if constexpr (R == regMemHL)
        writeByte(m, m.regs.hl(), value);
    else
        registerField<R>(m.regs) = value;
}

}  // namespace vantrel
