// Flags of the unprefixed arithmetic, checked by running the opcodes.
#include <gtest/gtest.h>

#include "support/test_machine.h"
#include "z80/cpu_registers.h"

namespace vantrel {
namespace {

using test::makeMachine;
using test::placeProgram;
using test::step;

// Runs one instruction at 0x8000 with the given A and F and returns the machine.
struct OneOp {
    std::unique_ptr<Machine> m = makeMachine();
    OneOp(std::initializer_list<uint8_t> program, uint8_t a, uint8_t f = 0) {
        placeProgram(*m, 0x8000, program);
        m->regs.a = a;
        m->regs.f = f;
        step(*m);
    }
    uint8_t a() const { return m->regs.a; }
    uint8_t f() const { return m->regs.f; }
};

TEST(ArithmeticFlags, DocumentedAddSubAndLogicCases) {
    struct Case {
        uint8_t opcode, a, n, expectA, expectF;
    };
    const Case cases[] = {
        {0xC6, 0x7F, 0x01, 0x80, 0x94},  // ADD: S, H, P/V
        {0xC6, 0xFF, 0x01, 0x00, 0x51},  // ADD: Z, H, C
        {0xC6, 0x20, 0x08, 0x28, 0x00},  // result bits 5 and 3 never reach F
        {0xD6, 0x00, 0x01, 0xFF, 0x93},  // SUB: S, H, N, C
        {0xD6, 0x80, 0x01, 0x7F, 0x16},  // SUB: H, P/V, N
        {0xFE, 0x00, 0x01, 0x00, 0x93},  // CP leaves A
        {0xE6, 0x0F, 0xF0, 0x00, 0x54},  // AND: Z, H, P/V
        {0xF6, 0x07, 0x00, 0x07, 0x00},  // OR: three one bits, odd parity
        {0xEE, 0xFF, 0x0F, 0xF0, 0x84},  // XOR: S, even parity
    };
    for (const Case& c : cases) {
        OneOp r({c.opcode, c.n}, c.a, 0xFF);
        EXPECT_EQ(r.a(), c.expectA) << std::hex << int(c.opcode) << " a=" << int(c.a);
        EXPECT_EQ(r.f(), c.expectF) << std::hex << int(c.opcode) << " a=" << int(c.a);
    }
}

TEST(ArithmeticFlags, OperandAIsItsOwnOperand) {
    EXPECT_EQ(OneOp({0xAF}, 0x5A, 0xFF).f(), 0x44);  // XOR A
    OneOp subA({0x97}, 0x5A);
    EXPECT_EQ(subA.a(), 0x00);
    EXPECT_EQ(subA.f(), 0x42);
    OneOp cpA({0xBF}, 0x5A);
    EXPECT_EQ(cpA.a(), 0x5A);
    EXPECT_EQ(cpA.f(), 0x42);
    OneOp sbcNoCarry({0x9F}, 0x5A, 0x00);
    EXPECT_EQ(sbcNoCarry.a(), 0x00);
    EXPECT_EQ(sbcNoCarry.f(), 0x42);
    OneOp sbcCarry({0x9F}, 0x5A, flagC);
    EXPECT_EQ(sbcCarry.a(), 0xFF);
    EXPECT_EQ(sbcCarry.f(), 0x93);
}

// Expected flags from signed and nibble arithmetic, written independently of the
// bitwise formulas the handlers use.
uint8_t referenceAddFlags(int a, int b, int carry) {
    const int sum = a + b + carry;
    const int r = sum & 0xFF;
    const int signedSum = int8_t(a) + int8_t(b) + carry;
    uint8_t f = 0;
    if (r & 0x80) f |= flagS;
    if (r == 0) f |= flagZ;
    if ((a & 0x0F) + (b & 0x0F) + carry > 0x0F) f |= flagH;
    if (signedSum < -128 || signedSum > 127) f |= flagPV;
    if (sum > 0xFF) f |= flagC;
    return f;
}
uint8_t referenceSubFlags(int a, int b, int carry) {
    const int diff = a - b - carry;
    const int r = diff & 0xFF;
    const int signedDiff = int8_t(a) - int8_t(b) - carry;
    uint8_t f = flagN;
    if (r & 0x80) f |= flagS;
    if (r == 0) f |= flagZ;
    if ((a & 0x0F) - (b & 0x0F) - carry < 0) f |= flagH;
    if (signedDiff < -128 || signedDiff > 127) f |= flagPV;
    if (diff < 0) f |= flagC;
    return f;
}

TEST(ArithmeticFlags, AddAndSubtractAgreeWithSignedArithmeticForAllOperands) {
    auto m = makeMachine();
    // ADD A,B; ADC A,B; SUB B; SBC A,B; CP B, each run on every pair of operands.
    placeProgram(*m, 0x8000, {0x80, 0x88, 0x90, 0x98, 0xB8});
    int mismatches = 0;
    for (int a = 0; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) {
            for (int carry = 0; carry < 2; ++carry) {
                for (int op = 0; op < 5; ++op) {
                    jumpTo(*m, static_cast<uint16_t>(0x8000 + op));
                    m->regs.a = static_cast<uint8_t>(a);
                    m->regs.b = static_cast<uint8_t>(b);
                    m->regs.f = static_cast<uint8_t>(0x28 | carry);  // bits 5 and 3 set before
                    step(*m);
                    const int c = (op == 1 || op == 3) ? carry : 0;
                    const bool add = op < 2;
                    const uint8_t wantF =
                        add ? referenceAddFlags(a, b, c) : referenceSubFlags(a, b, c);
                    const uint8_t wantA =
                        op == 4 ? uint8_t(a) : uint8_t(add ? a + b + c : a - b - c);
                    if (m->regs.f != wantF || m->regs.a != wantA) {
                        if (++mismatches < 5)
                            ADD_FAILURE()
                                << "op " << op << " a=" << a << " b=" << b << " c=" << carry
                                << " got A=" << int(m->regs.a) << " F=" << int(m->regs.f);
                    }
                }
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(ArithmeticFlags, IncAndDecKeepCarryAndFlagTheBoundaries) {
    EXPECT_EQ(OneOp({0x3C}, 0x7F, flagC).f(), 0x94 | flagC);  // INC A to 0x80
    EXPECT_EQ(OneOp({0x3C}, 0x7F, 0x00).f(), 0x94);
    OneOp decA({0x3D}, 0x80, flagC);
    EXPECT_EQ(decA.a(), 0x7F);
    EXPECT_EQ(decA.f(), 0x16 | flagC);
    OneOp incWrap({0x3C}, 0xFF, 0x00);
    EXPECT_EQ(incWrap.a(), 0x00);
    EXPECT_EQ(incWrap.f(), flagZ | flagH);
    OneOp decWrap({0x3D}, 0x00, 0x00);
    EXPECT_EQ(decWrap.a(), 0xFF);
    EXPECT_EQ(decWrap.f(), flagS | flagH | flagN);

    // Each register form touches its own register only.
    const uint8_t incOps[] = {0x04, 0x0C, 0x14, 0x1C, 0x24, 0x2C};
    for (int r = 0; r < 6; ++r) {
        auto m = makeMachine();
        placeProgram(*m, 0x8000, {incOps[r]});
        step(*m);
        uint8_t* regs[] = {&m->regs.b, &m->regs.c, &m->regs.d, &m->regs.e, &m->regs.h, &m->regs.l};
        for (int other = 0; other < 6; ++other) EXPECT_EQ(*regs[other], other == r ? 1 : 0) << r;
    }
}

TEST(ArithmeticFlags, IncAndDecOfMemory) {
    auto m = makeMachine();
    m->mem.ram()[0x10] = 0x0F;
    placeProgram(*m, 0x8000, {0x34, 0x35, 0x35});  // INC (HL); DEC (HL); DEC (HL)
    m->regs.setHL(0x8010);
    step(*m);
    EXPECT_EQ(m->mem.ram()[0x10], 0x10);
    EXPECT_EQ(m->regs.f, flagH);
    step(*m, 2);
    EXPECT_EQ(m->mem.ram()[0x10], 0x0E);

    // On ROM the flags describe the ROM byte plus one; the ROM keeps its value.
    m->mem.rom[0x1234] = 0x7F;
    placeProgram(*m, 0x8000, {0x34, 0x7E});  // INC (HL); LD A,(HL)
    m->regs.setHL(0x1234);
    m->regs.f = 0;
    step(*m, 2);
    EXPECT_EQ(m->regs.f, 0x94);
    EXPECT_EQ(m->regs.a, 0x7F);
    EXPECT_EQ(m->mem.rom[0x1234], 0x7F);
}

TEST(ArithmeticFlags, AddHLWritesOnlyNAndCarry) {
    auto m = makeMachine();
    placeProgram(*m, 0x8000, {0x19});  // ADD HL,DE
    m->regs.setHL(0x0FFF);
    m->regs.setDE(0x0001);
    m->regs.f = flagN | flagZ;
    step(*m);
    EXPECT_EQ(m->regs.hl(), 0x1000);
    EXPECT_EQ(m->regs.f, flagZ);  // no H from bit 11, N cleared, Z kept

    placeProgram(*m, 0x8000, {0x19});
    m->regs.setHL(0xFFFF);
    m->regs.f = flagH | 0x28;
    step(*m);
    EXPECT_EQ(m->regs.hl(), 0x0000);
    EXPECT_EQ(m->regs.f, flagH | 0x28 | flagC);

    placeProgram(*m, 0x8000, {0x29});  // ADD HL,HL: carry from bit 15 before the shift
    m->regs.setHL(0x8001);
    m->regs.f = 0;
    step(*m);
    EXPECT_EQ(m->regs.hl(), 0x0002);
    EXPECT_EQ(m->regs.f, flagC);

    placeProgram(*m, 0x8000, {0x39});  // ADD HL,SP
    m->regs.setHL(0x1000);
    m->regs.sp = 0x0234;
    step(*m);
    EXPECT_EQ(m->regs.hl(), 0x1234);
}

TEST(ArithmeticFlags, DecimalAdjustOfThisMachine) {
    // After ADD A,n with 0x15 + 0x27 (A = 0x3C, H = 0, C = 0).
    auto m = makeMachine();
    placeProgram(*m, 0x8000, {0xC6, 0x27, 0x27});
    m->regs.a = 0x15;
    step(*m, 2);
    EXPECT_EQ(m->regs.a, 0x42);
    EXPECT_EQ(m->regs.f, flagH | flagPV);

    // After SUB n with 0x42 - 0x15 (A = 0x2D, H = 1, N = 1).
    placeProgram(*m, 0x8000, {0xD6, 0x15, 0x27});
    m->regs.a = 0x42;
    step(*m, 2);
    EXPECT_EQ(m->regs.a, 0x27);
    EXPECT_EQ(m->regs.f, flagH | flagPV | flagN);

    EXPECT_EQ(OneOp({0x27}, 0x9A, 0x00).a(), 0x00);
    EXPECT_EQ(OneOp({0x27}, 0x9A, 0x00).f(), flagZ | flagH | flagPV | flagC);
    // H after an addition is the low-digit test: set H with a low digit of 0-9 stays set.
    OneOp addH({0x27}, 0x12, flagH);
    EXPECT_EQ(addH.a(), 0x18);
    EXPECT_EQ(addH.f() & flagH, flagH);
    // After a subtraction a low correction that borrows sets C although A <= 0x99.
    OneOp borrow({0x27}, 0x03, flagH | flagN);
    EXPECT_EQ(borrow.a(), 0xFD);
    EXPECT_EQ(borrow.f(), flagS | flagH | flagN | flagC);
    // The 0x60 test looks at A before the low correction: 0x99 + 6 would be 0x9F.
    OneOp noHigh({0x27}, 0x99, 0x00);
    EXPECT_EQ(noHigh.a(), 0x99);
    EXPECT_EQ(noHigh.f() & flagC, 0);
    // Bits 5 and 3 are cleared even if they were set.
    EXPECT_EQ(OneOp({0x27}, 0x00, 0x28).f(), flagZ | flagPV);
}

TEST(ArithmeticFlags, RotatesOfAAndFlagInstructions) {
    OneOp rlca({0x07}, 0x81, 0xFF & ~flagC);
    EXPECT_EQ(rlca.a(), 0x03);
    EXPECT_EQ(rlca.f(), 0xEC | flagC);  // H and N cleared, S Z P/V 5 3 kept
    OneOp rrca({0x0F}, 0x01, 0x00);
    EXPECT_EQ(rrca.a(), 0x80);
    EXPECT_EQ(rrca.f(), flagC);
    OneOp rla({0x17}, 0x80, flagC);
    EXPECT_EQ(rla.a(), 0x01);
    EXPECT_EQ(rla.f(), flagC);
    OneOp rlaNoCarry({0x17}, 0x40, 0x00);
    EXPECT_EQ(rlaNoCarry.a(), 0x80);
    EXPECT_EQ(rlaNoCarry.f(), 0x00);
    OneOp rra({0x1F}, 0x01, flagC);
    EXPECT_EQ(rra.a(), 0x80);
    EXPECT_EQ(rra.f(), flagC);

    OneOp cpl({0x2F}, 0x5A, 0x00);
    EXPECT_EQ(cpl.a(), 0xA5);
    EXPECT_EQ(cpl.f(), flagH | flagN);
    EXPECT_EQ(OneOp({0x37}, 0, 0xFF & ~flagC).f(), 0xFF & ~(flagH | flagN));  // SCF
    EXPECT_EQ(OneOp({0x3F}, 0, flagC | flagH | flagN).f(), flagH);            // CCF keeps H
    EXPECT_EQ(OneOp({0x3F}, 0, 0x00).f(), flagC);
}

}  // namespace
}  // namespace vantrel
