#include <gtest/gtest.h>

#include <cstring>

#include "support/scripted_host.h"
#include "support/test_machine.h"

namespace vantrel {
namespace {

using test::makeMachine;
using test::placeProgram;
using test::step;

constexpr uint16_t codeAt = 0x9000;

// Register fields of the CB opcodes in encoding order (6 is (HL)).
uint8_t& field(CpuRegisters& r, unsigned f) {
    uint8_t* regs[8] = {&r.b, &r.c, &r.d, &r.e, &r.h, &r.l, nullptr, &r.a};
    return *regs[f];
}

struct ShiftCase {
    const char* name;
    uint8_t opcode;
    uint8_t value;
    bool carryIn;
    uint8_t result;
    uint8_t flags;
};

// Flags expected: C from the bit shifted out, S Z P/V from the result, H N 5 3 clear.
// Every case starts with H, N, 5 and 3 set so that clearing them is seen.
const ShiftCase shiftCases[] = {
    {"RLC A 80", 0x07, 0x80, false, 0x01, 0x01},
    {"RLC B 00 with carry", 0x00, 0x00, true, 0x00, 0x44},
    {"RRC D 01", 0x0A, 0x01, false, 0x80, 0x81},
    {"RL C 80 with carry", 0x11, 0x80, true, 0x01, 0x01},
    {"RL E 40 no carry", 0x13, 0x40, false, 0x80, 0x80},
    {"RR B 01 no carry", 0x18, 0x01, false, 0x00, 0x45},
    {"RR H 00 with carry", 0x1C, 0x00, true, 0x80, 0x80},
    {"SLA A 14 gives 28", 0x27, 0x14, true, 0x28, 0x04},
    {"SLA L 80", 0x25, 0x80, false, 0x00, 0x45},
    {"SRA 81", 0x28, 0x81, false, 0xC0, 0x85},
    {"SRA 7E", 0x2F, 0x7E, true, 0x3F, 0x04},
    {"SRL E 01", 0x3B, 0x01, false, 0x00, 0x45},
    {"SRL H FF", 0x3C, 0xFF, false, 0x7F, 0x01},
    {"SRL A 80 result has bit 5 and 3 pattern", 0x3F, 0x50, true, 0x28, 0x04},
};

TEST(CbRotateShiftTest, ResultsAndWholeFlags) {
    for (const ShiftCase& c : shiftCases) {
        SCOPED_TRACE(c.name);
        auto m = makeMachine();
        const unsigned f = c.opcode & 7;
        field(m->regs, f) = c.value;
        m->regs.f = static_cast<uint8_t>(0x3A | (c.carryIn ? flagC : 0));
        placeProgram(*m, codeAt, {0xCB, c.opcode});
        step(*m);
        EXPECT_EQ(field(m->regs, f), c.result);
        EXPECT_EQ(m->regs.f, c.flags);
        EXPECT_EQ(m->regs.pc, codeAt + 2);
    }
}

TEST(CbRotateShiftTest, MemoryFormWritesRamAndLosesRomWritesWithFlagsSet) {
    auto m = makeMachine();
    m->mem.ram()[0x10] = 0x80;
    m->regs.setHL(0x8010);
    placeProgram(*m, codeAt, {0xCB, 0x06});  // RLC (HL)
    step(*m);
    EXPECT_EQ(m->mem.ram()[0x10], 0x01);
    EXPECT_EQ(m->regs.f, 0x01);

    // In ROM: the byte stays, F is that of the rotated value.
    m->mem.rom[0x4123 - 0x4000 + 2 * romPageSize] = 0x80;
    m->mem.state.romBank = 2;
    m->regs.setHL(0x4123);
    placeProgram(*m, codeAt, {0xCB, 0x06});
    step(*m);
    EXPECT_EQ(m->mem.rom[0x0123 + 2 * romPageSize], 0x80);
    EXPECT_EQ(m->regs.f, 0x01);
}

TEST(CbBitTest, BitChangesOnlyZHAndN) {
    auto m = makeMachine();
    // BIT 7,A with A = 80: Z clear, H set; S, P/V, 5, 3 and C as they were.
    m->regs.a = 0x80;
    m->regs.f = 0x2F;  // 5, 3, P/V, N, C
    placeProgram(*m, codeAt, {0xCB, 0x7F});
    step(*m);
    EXPECT_EQ(m->regs.f, 0x3D);  // N cleared, H set
    EXPECT_EQ(m->regs.a, 0x80);

    m->regs.a = 0xFE;
    m->regs.f = 0x00;
    placeProgram(*m, codeAt, {0xCB, 0x47});  // BIT 0,A
    step(*m);
    EXPECT_EQ(m->regs.f, 0x50);

    m->regs.f = 0x84;                        // S and P/V are not recomputed from the tested bit
    placeProgram(*m, codeAt, {0xCB, 0x4F});  // BIT 1,A: set
    step(*m);
    EXPECT_EQ(m->regs.f, 0x94);
}

TEST(CbBitTest, BitOnMemoryReadsTheMappedByte) {
    auto m = makeMachine();
    m->mem.rom[0x0200] = 0x08;
    m->regs.setHL(0x0200);
    m->regs.f = 0;
    placeProgram(*m, codeAt, {0xCB, 0x5E});  // BIT 3,(HL)
    step(*m);
    EXPECT_EQ(m->regs.f, 0x10);
    placeProgram(*m, codeAt, {0xCB, 0x66});  // BIT 4,(HL)
    step(*m);
    EXPECT_EQ(m->regs.f, 0x50);
}

TEST(CbBitTest, SetAndResReachOnlyTheirRegisterAndKeepFlags) {
    for (unsigned f = 0; f < 8; ++f) {
        if (f == 6) continue;
        SCOPED_TRACE(f);
        auto m = makeMachine();
        m->regs.f = 0xA5;
        placeProgram(*m, codeAt, {0xCB, static_cast<uint8_t>(0xD8 | f)});  // SET 3,r
        step(*m);
        for (unsigned other = 0; other < 8; ++other) {
            if (other == 6) continue;
            EXPECT_EQ(field(m->regs, other), other == f ? 0x08 : 0x00) << "field " << other;
        }
        field(m->regs, f) = 0xFF;
        placeProgram(*m, codeAt, {0xCB, static_cast<uint8_t>(0xB8 | f)});  // RES 7,r
        step(*m);
        EXPECT_EQ(field(m->regs, f), 0x7F);
        EXPECT_EQ(m->regs.f, 0xA5);
    }
}

TEST(CbBitTest, SetOnRomAddressIsLostAndOnRamLands) {
    auto m = makeMachine();
    m->regs.f = 0x12;
    m->regs.setHL(0x4000);
    const auto romBefore = m->mem.rom;
    placeProgram(*m, codeAt, {0xCB, 0xC6});  // SET 0,(HL)
    step(*m);
    EXPECT_EQ(std::memcmp(romBefore.data(), m->mem.rom.data(), romSize), 0);
    EXPECT_EQ(m->regs.f, 0x12);

    m->regs.setHL(0x8000);
    placeProgram(*m, codeAt, {0xCB, 0xC6});
    step(*m);
    EXPECT_EQ(m->mem.ram()[0], 0x01);
    EXPECT_EQ(m->regs.f, 0x12);
}

TEST(CbTrapTest, SllSlotsTrapAndYesContinuesAfterTwoBytes) {
    for (uint8_t op = 0x30; op <= 0x37; ++op) {
        SCOPED_TRACE(op);
        auto m = makeMachine();
        test::ScriptedHost host;
        host.illegalOpcodeAnswer = IllegalOpcodeAnswer::carryOn;
        m->setHost(&host);
        m->regs.b = 0x81;
        m->regs.a = 0x42;
        m->regs.f = 0x00;
        placeProgram(*m, codeAt, {0xCB, op});
        const CpuRegisters before = m->regs;
        step(*m);
        EXPECT_EQ(host.illegalOpcodeCalls(), 1);
        EXPECT_EQ(m->regs.pc, codeAt + 2);
        EXPECT_EQ(m->regs.b, before.b);
        EXPECT_EQ(m->regs.a, before.a);
        EXPECT_EQ(m->regs.f, before.f);
        EXPECT_EQ(m->control.pendingCode(), 0u);
    }
}

}  // namespace
}  // namespace vantrel
