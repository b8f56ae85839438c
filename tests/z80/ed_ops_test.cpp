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
constexpr uint16_t romCodeAt = 0x0100;  // for programs that overwrite all of RAM

uint8_t& ramByte(Machine& m, uint16_t address) { return m.mem.ram()[address - 0x8000]; }

TEST(EdBlockCopyTest, LdirWithBcZeroCopiesTheWholeAddressSpace) {
    auto m = makeMachine();
    for (std::size_t i = 0; i < romSize; ++i)
        m->mem.rom[i] = static_cast<uint8_t>(i * 7 + (i >> 14));
    m->mem.state.romBank = 3;
    m->regs.setHL(0x0000);
    m->regs.setDE(0x8000);
    m->regs.setBC(0x0000);
    m->regs.f = 0xFF;
    placeProgram(*m, romCodeAt, {0xED, 0xB0});
    step(*m);
    EXPECT_EQ(m->regs.bc(), 0x0000);
    EXPECT_EQ(m->regs.hl(), 0x0000);  // 65,536 steps brought it round
    EXPECT_EQ(m->regs.de(), 0x8000);
    EXPECT_EQ(m->regs.f, 0xE9);  // P/V, H, N cleared; S, Z, 5, 3, C kept
    EXPECT_EQ(m->regs.pc, romCodeAt + 2);
    // RAM now holds page 0 then the banked page; the second half of the copy went
    // below 0x8000 and was lost.
    EXPECT_EQ(std::memcmp(m->mem.ram(), m->mem.rom.data(), romPageSize), 0);
    EXPECT_EQ(
        std::memcmp(m->mem.ram() + romPageSize, m->mem.rom.data() + 3 * romPageSize, romPageSize),
        0);
}

TEST(EdBlockCopyTest, SingleStepsKeepSZ53AndCarry) {
    auto m = makeMachine();
    ramByte(*m, 0xA000) = 0x11;
    ramByte(*m, 0xA001) = 0x22;
    m->regs.setHL(0xA000);
    m->regs.setDE(0xB000);
    m->regs.setBC(0x0002);
    m->regs.f = 0xFF;
    placeProgram(*m, codeAt, {0xED, 0xA0, 0xED, 0xA0});  // LDI; LDI
    step(*m);
    EXPECT_EQ(m->regs.f, 0xED);
    step(*m);
    EXPECT_EQ(m->regs.f, 0xE9);
    EXPECT_EQ(ramByte(*m, 0xB000), 0x11);
    EXPECT_EQ(ramByte(*m, 0xB001), 0x22);
    EXPECT_EQ(m->regs.hl(), 0xA002);
    EXPECT_EQ(m->regs.de(), 0xB002);

    // LDDR counts down.
    m->regs.setHL(0xA001);
    m->regs.setDE(0xC001);
    m->regs.setBC(0x0002);
    m->regs.f = 0x00;
    placeProgram(*m, codeAt, {0xED, 0xB8});
    step(*m);
    EXPECT_EQ(ramByte(*m, 0xC000), 0x11);
    EXPECT_EQ(ramByte(*m, 0xC001), 0x22);
    EXPECT_EQ(m->regs.hl(), 0x9FFF);
    EXPECT_EQ(m->regs.de(), 0xBFFF);
    EXPECT_EQ(m->regs.f, 0x00);
}

TEST(EdBlockSearchTest, CpirStopsAtFirstMatchOrWhenBcRunsOut) {
    auto m = makeMachine();
    const uint8_t data[] = {1, 2, 3, 4, 3};
    std::memcpy(&ramByte(*m, 0xA000), data, sizeof data);
    m->regs.a = 3;
    m->regs.setHL(0xA000);
    m->regs.setBC(10);
    m->regs.f = flagC;
    placeProgram(*m, codeAt, {0xED, 0xB1});
    step(*m);
    EXPECT_EQ(m->regs.hl(), 0xA003);  // one past the match
    EXPECT_EQ(m->regs.bc(), 7);
    EXPECT_EQ(m->regs.f, 0x47);  // Z, P/V, N and the kept carry
    EXPECT_EQ(m->regs.a, 3);

    m->regs.a = 9;
    m->regs.setHL(0xA000);
    m->regs.setBC(4);
    m->regs.f = 0;
    placeProgram(*m, codeAt, {0xED, 0xB1});
    step(*m);
    EXPECT_EQ(m->regs.bc(), 0);
    EXPECT_EQ(m->regs.hl(), 0xA004);
    // Last compare 9 - 4 = 5: no Z, no P/V; H from bit 4 of 9^4^5 = 0.
    EXPECT_EQ(m->regs.f, 0x02);

    // BC = 0 searches on past 256 bytes.
    m->regs.a = 0xEE;
    ramByte(*m, 0xA000 + 300) = 0xEE;
    m->regs.setHL(0xA000);
    m->regs.setBC(0);
    placeProgram(*m, codeAt, {0xED, 0xB1});
    step(*m);
    EXPECT_EQ(m->regs.hl(), 0xA000 + 301);
    EXPECT_EQ(m->regs.bc(), 0x10000 - 301);

    // CPD: one step down, H from the borrow of the low nibble.
    m->regs.a = 0x10;
    ramByte(*m, 0xA100) = 0x01;
    m->regs.setHL(0xA100);
    m->regs.setBC(1);
    placeProgram(*m, codeAt, {0xED, 0xA9});
    step(*m);
    EXPECT_EQ(m->regs.hl(), 0xA0FF);
    EXPECT_EQ(m->regs.f, 0x12);
}

TEST(EdBlockIoTest, InirAndOtirWithBZeroMake256Transfers) {
    auto m = makeMachine();
    m->mem.state.port6Value = 0x5A;
    m->regs.c = 6;
    m->regs.b = 0;
    m->regs.setHL(0xA000);
    m->regs.f = 0xFF;
    placeProgram(*m, codeAt, {0xED, 0xB2});  // INIR
    step(*m);
    EXPECT_EQ(m->regs.b, 0);
    EXPECT_EQ(m->regs.hl(), 0xA100);
    EXPECT_EQ(m->regs.f, 0x42);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(ramByte(*m, static_cast<uint16_t>(0xA000 + i)), 0x5A) << i;
    EXPECT_EQ(ramByte(*m, 0xA100), 0x00);

    for (int i = 0; i < 256; ++i)
        ramByte(*m, static_cast<uint16_t>(0xB000 + i)) = static_cast<uint8_t>(i);
    m->regs.setHL(0xB0FF);
    m->regs.b = 0;
    placeProgram(*m, codeAt, {0xED, 0xBB});  // OTDR: last byte sent is the one at B000
    step(*m);
    EXPECT_EQ(m->regs.hl(), 0xAFFF);
    EXPECT_EQ(m->mem.state.port6Value, 0x00);
    EXPECT_EQ(m->regs.f, 0x42);
}

TEST(EdBlockIoTest, SingleStepsClearCarryAndSetZOnlyAtZero) {
    auto m = makeMachine();
    m->mem.state.port6Value = 0x21;
    m->regs.c = 6;
    m->regs.b = 2;
    m->regs.setHL(0xA000);
    m->regs.f = 0xFF;
    placeProgram(*m, codeAt, {0xED, 0xA2, 0xED, 0xAA});  // INI; IND
    step(*m);
    EXPECT_EQ(m->regs.f, 0x02);
    EXPECT_EQ(m->regs.hl(), 0xA001);
    step(*m);
    EXPECT_EQ(m->regs.f, 0x42);
    EXPECT_EQ(m->regs.hl(), 0xA000);

    ramByte(*m, 0xA000) = 0x07;
    m->regs.b = 1;
    placeProgram(*m, codeAt, {0xED, 0xA3});  // OUTI
    step(*m);
    EXPECT_EQ(m->mem.state.port6Value, 0x07);
    EXPECT_EQ(m->regs.f, 0x42);
}

TEST(EdPortTest, InAndOutWithPortC) {
    auto m = makeMachine();
    m->mem.state.port6Value = 0x03;
    m->regs.setBC(0x1206);  // B is no part of the port number
    m->regs.f = flagC | flagH | flagN;
    placeProgram(*m, codeAt, {0xED, 0x78});  // IN A,(C)
    step(*m);
    EXPECT_EQ(m->regs.a, 0x03);
    EXPECT_EQ(m->regs.f, 0x05);  // even parity, carry kept

    m->mem.state.port6Value = 0x80;
    placeProgram(*m, codeAt, {0xED, 0x60});  // IN H,(C)
    step(*m);
    EXPECT_EQ(m->regs.h, 0x80);
    EXPECT_EQ(m->regs.f, 0x81);

    m->regs.e = 0x44;
    placeProgram(*m, codeAt, {0xED, 0x59});  // OUT (C),E
    step(*m);
    EXPECT_EQ(m->mem.state.port6Value, 0x44);
    EXPECT_EQ(m->regs.f, 0x81);
}

TEST(EdArithmeticTest, AdcAndSbcOnHl) {
    auto m = makeMachine();
    m->regs.setHL(0x7FFF);
    m->regs.setBC(0x0000);
    m->regs.f = flagC;
    placeProgram(*m, codeAt, {0xED, 0x4A});  // ADC HL,BC
    step(*m);
    EXPECT_EQ(m->regs.hl(), 0x8000);
    EXPECT_EQ(m->regs.f, 0x84);  // S, P/V; H not computed

    m->regs.setHL(0xFFFF);
    m->regs.setDE(0x0001);
    m->regs.f = 0;
    placeProgram(*m, codeAt, {0xED, 0x5A});  // ADC HL,DE
    step(*m);
    EXPECT_EQ(m->regs.hl(), 0x0000);
    EXPECT_EQ(m->regs.f, 0x41);

    m->regs.f = flagC;
    placeProgram(*m, codeAt, {0xED, 0x62});  // SBC HL,HL with carry
    step(*m);
    EXPECT_EQ(m->regs.hl(), 0xFFFF);
    EXPECT_EQ(m->regs.f, 0x83);

    m->regs.setHL(0x8000);
    m->regs.sp = 0x0001;
    m->regs.f = 0;
    placeProgram(*m, codeAt, {0xED, 0x72});  // SBC HL,SP: signed overflow
    step(*m);
    EXPECT_EQ(m->regs.hl(), 0x7FFF);
    EXPECT_EQ(m->regs.f, 0x06);
}

TEST(EdArithmeticTest, Neg) {
    struct Case {
        uint8_t a, result, flags;
    };
    const Case cases[] = {
        {0x80, 0x80, 0x87}, {0x00, 0x00, 0x42}, {0x01, 0xFF, 0x93}, {0x10, 0xF0, 0x83}};
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.a));
        auto m = makeMachine();
        m->regs.a = c.a;
        m->regs.f = 0x28;
        placeProgram(*m, codeAt, {0xED, 0x44});
        step(*m);
        EXPECT_EQ(m->regs.a, c.result);
        EXPECT_EQ(m->regs.f, c.flags);
    }
}

TEST(EdRegisterTest, IAndRTransfers) {
    auto m = makeMachine();
    m->regs.a = 0x55;
    m->regs.intFlags = intEnableBit;
    m->regs.f = 0xBB;
    placeProgram(*m, codeAt, {0xED, 0x4F});  // LD R,A
    const CpuRegisters before = m->regs;
    step(*m);
    EXPECT_EQ(std::memcmp(&m->regs, &before, offsetof(CpuRegisters, pc)), 0);
    EXPECT_EQ(m->regs.f, 0xBB);

    placeProgram(*m, codeAt, {0xED, 0x5F});  // LD A,R
    step(*m);
    EXPECT_EQ(m->regs.a, 0x00);
    EXPECT_EQ(m->regs.f, 0x45);  // Z, P/V from the enable bit, carry kept
    m->regs.intFlags = 0;
    m->regs.f = 0;
    placeProgram(*m, codeAt, {0xED, 0x5F});
    step(*m);
    EXPECT_EQ(m->regs.f, 0x40);

    m->regs.a = 0x80;
    m->regs.intFlags = intEnableBit;
    placeProgram(*m, codeAt, {0xED, 0x47, 0x00, 0xED, 0x57});  // LD I,A; NOP; LD A,I
    m->regs.f = 0x00;
    step(*m);
    EXPECT_EQ(m->regs.i, 0x80);
    m->regs.a = 0;
    step(*m, 2);
    EXPECT_EQ(m->regs.a, 0x80);
    EXPECT_EQ(m->regs.f, 0x84);
}

TEST(EdRegisterTest, RrdAndRld) {
    auto m = makeMachine();
    m->regs.setHL(0xA000);
    ramByte(*m, 0xA000) = 0x34;
    m->regs.a = 0x12;
    m->regs.f = flagC;
    placeProgram(*m, codeAt, {0xED, 0x67});  // RRD
    step(*m);
    EXPECT_EQ(m->regs.a, 0x14);
    EXPECT_EQ(ramByte(*m, 0xA000), 0x23);
    EXPECT_EQ(m->regs.f, 0x05);
    placeProgram(*m, codeAt, {0xED, 0x6F});  // RLD undoes it
    step(*m);
    EXPECT_EQ(m->regs.a, 0x12);
    EXPECT_EQ(ramByte(*m, 0xA000), 0x34);

    // On ROM the memory half is lost; A still changes.
    m->regs.setHL(0x0010);
    m->mem.rom[0x0010] = 0xAB;
    m->regs.a = 0x00;
    placeProgram(*m, codeAt, {0xED, 0x67});
    step(*m);
    EXPECT_EQ(m->regs.a, 0x0B);
    EXPECT_EQ(m->mem.rom[0x0010], 0xAB);
}

TEST(EdWordTest, AbsoluteLoadsObeyTheMap) {
    auto m = makeMachine();
    m->regs.setBC(0xB1C1);
    ramByte(*m, 0x8000) = 0xEE;
    placeProgram(*m, codeAt, {0xED, 0x43, 0xFF, 0x7F});  // LD (7FFF),BC: both bytes lost
    step(*m);
    EXPECT_EQ(ramByte(*m, 0x8000), 0xEE);
    placeProgram(*m, codeAt, {0xED, 0x43, 0x00, 0x80});  // LD (8000),BC
    step(*m);
    EXPECT_EQ(ramByte(*m, 0x8000), 0xC1);
    EXPECT_EQ(ramByte(*m, 0x8001), 0xB1);
    EXPECT_EQ(m->regs.pc, codeAt + 4);

    placeProgram(*m, codeAt,
                 {0xED, 0x7B, 0x00, 0x80, 0xED, 0x5B, 0x00, 0x80});  // LD SP,(8000); LD DE,(8000)
    step(*m, 2);
    EXPECT_EQ(m->regs.sp, 0xB1C1);
    EXPECT_EQ(m->regs.de(), 0xB1C1);
}

TEST(EdInterruptTest, RetiAndRetnEnableInterruptsAndReturn) {
    for (uint8_t op : {uint8_t{0x45}, uint8_t{0x4D}}) {
        SCOPED_TRACE(int(op));
        auto m = makeMachine();
        m->regs.intFlags = intMode1Bit;
        m->regs.sp = 0xF000;
        ramByte(*m, 0xF000) = 0x34;
        ramByte(*m, 0xF001) = 0x92;
        placeProgram(*m, codeAt, {0xED, op});
        step(*m);
        EXPECT_EQ(m->regs.intFlags, intEnableBit | intMode1Bit);
        EXPECT_EQ(m->regs.pc, 0x9234);
        EXPECT_EQ(m->regs.sp, 0xF002);
        EXPECT_EQ(m->fetchPointer, m->mem.translateRead(0x9234));
    }
}

TEST(EdInterruptTest, ModesAreStoredButAcceptanceIgnoresThem) {
    auto m = makeMachine();
    m->regs.intFlags = intEnableBit;
    m->regs.i = 0x12;
    placeProgram(*m, codeAt, {0xED, 0x5E});  // IM 2
    step(*m);
    EXPECT_EQ(m->regs.intFlags, intEnableBit | intMode2Bit);
    m->regs.sp = 0xF000;
    takeInterrupt(*m);
    EXPECT_EQ(m->regs.pc, 0x0038);
    EXPECT_EQ(ramByte(*m, 0xEFFE), 0x02);
    EXPECT_EQ(ramByte(*m, 0xEFFF), 0x90);

    placeProgram(*m, codeAt, {0xED, 0x56});  // IM 1
    step(*m);
    EXPECT_EQ(m->regs.intFlags, intEnableBit | intMode1Bit);
    placeProgram(*m, codeAt, {0xED, 0x46});  // IM 0
    step(*m);
    EXPECT_EQ(m->regs.intFlags, intEnableBit);
}

TEST(EdTrapTest, UndocumentedFormsTrap) {
    for (uint8_t op : {0x4C, 0x54, 0x55, 0x63, 0x6B, 0x70, 0x71, 0x77, 0x00, 0xA4, 0xFF}) {
        SCOPED_TRACE(int(op));
        auto m = makeMachine();
        test::ScriptedHost host;
        host.illegalOpcodeAnswer = IllegalOpcodeAnswer::carryOn;
        m->setHost(&host);
        m->regs.a = 0x80;
        placeProgram(*m, codeAt, {0xED, op, 0x00, 0x80});
        step(*m);
        EXPECT_EQ(host.illegalOpcodeCalls(), 1);
        EXPECT_EQ(m->regs.pc, codeAt + 2);
        EXPECT_EQ(m->regs.a, 0x80);
        EXPECT_EQ(m->regs.hl(), 0);
    }
}

}  // namespace
}  // namespace vantrel
