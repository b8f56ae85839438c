#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>

#include "support/scripted_host.h"
#include "support/test_machine.h"

namespace vantrel {
namespace {

using test::makeMachine;
using test::placeProgram;
using test::step;

constexpr uint16_t codeAt = 0x9000;

uint8_t& ramByte(Machine& m, uint16_t address) { return m.mem.ram()[address - 0x8000]; }

TEST(IndexLoadTest, PrefixSelectsTheIndexRegister) {
    auto m = makeMachine();
    placeProgram(*m, codeAt, {0xDD, 0x21, 0x34, 0x12, 0xFD, 0x21, 0x78, 0x56});
    step(*m);
    EXPECT_EQ(m->regs.ix, 0x1234);
    EXPECT_EQ(m->regs.iy, 0x0000);
    step(*m);
    EXPECT_EQ(m->regs.iy, 0x5678);
    EXPECT_EQ(m->regs.ix, 0x1234);
    EXPECT_EQ(m->regs.pc, codeAt + 8);
}

TEST(IndexLoadTest, DisplacementIsSignedAndWrapsIn16Bits) {
    auto m = makeMachine();
    ramByte(*m, 0xFFFF) = 0x5A;
    m->mem.rom[0x0000] = 0xC3;
    m->regs.ix = 0x0000;
    placeProgram(*m, codeAt, {0xDD, 0x7E, 0xFF});  // LD A,(IX-1)
    step(*m);
    EXPECT_EQ(m->regs.a, 0x5A);

    m->regs.ix = 0xFFFF;
    placeProgram(*m, codeAt, {0xDD, 0x7E, 0x01});  // LD A,(IX+1)
    step(*m);
    EXPECT_EQ(m->regs.a, 0xC3);

    m->regs.iy = 0x8100;
    ramByte(*m, 0x8080) = 0x77;
    placeProgram(*m, codeAt, {0xFD, 0x46, 0x80});  // LD B,(IY-128)
    step(*m);
    EXPECT_EQ(m->regs.b, 0x77);
}

TEST(IndexLoadTest, ImmediateStoreBelowRamIsLostButPcPassesAllFourBytes) {
    auto m = makeMachine();
    const auto romBefore = m->mem.rom;
    m->regs.iy = 0x7FF0;
    placeProgram(*m, codeAt, {0xFD, 0x36, 0x05, 0x99});  // LD (IY+5),99
    const auto ramWithProgram = m->mem.state.ram;
    step(*m);
    EXPECT_EQ(m->regs.pc, codeAt + 4);
    EXPECT_EQ(m->mem.rom, romBefore);
    EXPECT_EQ(m->mem.state.ram, ramWithProgram);

    m->regs.iy = 0x8000;
    placeProgram(*m, codeAt, {0xFD, 0x36, 0x05, 0x99});
    step(*m);
    EXPECT_EQ(ramByte(*m, 0x8005), 0x99);
}

TEST(IndexLoadTest, MemoryFormsUseTheRealHAndL) {
    auto m = makeMachine();
    m->regs.ix = 0x8200;
    ramByte(*m, 0x8205) = 0x3C;
    placeProgram(*m, codeAt, {0xDD, 0x66, 0x05});  // LD H,(IX+5)
    step(*m);
    EXPECT_EQ(m->regs.h, 0x3C);
    EXPECT_EQ(m->regs.ix, 0x8200);

    m->regs.h = 0xA1;
    m->regs.l = 0xB2;
    placeProgram(*m, codeAt, {0xDD, 0x74, 0x06, 0xDD, 0x75, 0x07});  // LD (IX+6),H; LD (IX+7),L
    step(*m, 2);
    EXPECT_EQ(ramByte(*m, 0x8206), 0xA1);
    EXPECT_EQ(ramByte(*m, 0x8207), 0xB2);
}

TEST(IndexHalfRegisterTest, HalvesStandInForHAndL) {
    auto m = makeMachine();
    m->regs.iy = 0x1203;
    m->regs.a = 0x10;
    m->regs.h = 0xEE;
    m->regs.l = 0xEE;
    placeProgram(*m, codeAt, {0xFD, 0x84});  // ADD A,IYh
    step(*m);
    EXPECT_EQ(m->regs.a, 0x22);
    placeProgram(*m, codeAt, {0xFD, 0x85});  // ADD A,IYl
    step(*m);
    EXPECT_EQ(m->regs.a, 0x25);

    placeProgram(*m, codeAt, {0xFD, 0x65});  // LD IYh,IYl
    step(*m);
    EXPECT_EQ(m->regs.iy, 0x0303);
    m->regs.d = 0x9D;
    placeProgram(*m, codeAt, {0xFD, 0x6A});  // LD IYl,D
    step(*m);
    EXPECT_EQ(m->regs.iy, 0x039D);
    placeProgram(*m, codeAt, {0xFD, 0x5C, 0xFD, 0x7D});  // LD E,IYh; LD A,IYl
    step(*m, 2);
    EXPECT_EQ(m->regs.e, 0x03);
    EXPECT_EQ(m->regs.a, 0x9D);
    EXPECT_EQ(m->regs.h, 0xEE);
    EXPECT_EQ(m->regs.l, 0xEE);
    EXPECT_EQ(m->regs.ix, 0x0000);
}

TEST(IndexHalfRegisterTest, IncDecAndAdcFlagsAreThoseOfTheCounterparts) {
    auto m = makeMachine();
    m->regs.ix = 0x7F00;
    m->regs.f = flagC;
    placeProgram(*m, codeAt, {0xDD, 0x24});  // INC IXh
    step(*m);
    EXPECT_EQ(m->regs.ix, 0x8000);
    EXPECT_EQ(m->regs.f, 0x95);  // S, H, P/V and the old carry

    placeProgram(*m, codeAt, {0xDD, 0x2D});  // DEC IXl: 00 -> FF
    step(*m);
    EXPECT_EQ(m->regs.ix, 0x80FF);
    EXPECT_EQ(m->regs.f, 0x93);

    m->regs.a = 0x00;
    placeProgram(*m, codeAt, {0xDD, 0x8D});  // ADC A,IXl with carry: 00 + FF + 1
    step(*m);
    EXPECT_EQ(m->regs.a, 0x00);
    EXPECT_EQ(m->regs.f, 0x51);

    placeProgram(*m, codeAt, {0xDD, 0x2E, 0x42, 0xDD, 0x26, 0x24});  // LD IXl,42; LD IXh,24
    step(*m, 2);
    EXPECT_EQ(m->regs.ix, 0x2442);
}

TEST(IndexMemoryTest, IncDecAndAluOnIndexedBytes) {
    auto m = makeMachine();
    m->regs.iy = 0x8400;
    ramByte(*m, 0x83FE) = 0x7F;
    m->regs.f = 0x00;
    placeProgram(*m, codeAt, {0xFD, 0x34, 0xFE});  // INC (IY-2)
    step(*m);
    EXPECT_EQ(ramByte(*m, 0x83FE), 0x80);
    EXPECT_EQ(m->regs.f, 0x94);

    m->regs.a = 0x80;
    placeProgram(*m, codeAt, {0xFD, 0xBE, 0xFE});  // CP (IY-2)
    step(*m);
    EXPECT_EQ(m->regs.a, 0x80);
    EXPECT_EQ(m->regs.f, 0x42);
    placeProgram(*m, codeAt, {0xFD, 0xAE, 0xFE});  // XOR (IY-2)
    step(*m);
    EXPECT_EQ(m->regs.a, 0x00);
    EXPECT_EQ(m->regs.f, 0x44);

    // INC on ROM: flags of the ROM byte plus one, memory unchanged.
    m->regs.ix = 0x0100;
    m->mem.rom[0x0101] = 0xFF;
    placeProgram(*m, codeAt, {0xDD, 0x34, 0x01});
    step(*m);
    EXPECT_EQ(m->mem.rom[0x0101], 0xFF);
    EXPECT_EQ(m->regs.f, 0x50);
}

TEST(IndexWordTest, StackJumpsAndSixteenBitForms) {
    auto m = makeMachine();
    m->regs.sp = 0xF000;
    m->regs.ix = 0xBEEF;
    placeProgram(*m, codeAt, {0xDD, 0xE5, 0xFD, 0xE1});  // PUSH IX; POP IY
    step(*m, 2);
    EXPECT_EQ(m->regs.iy, 0xBEEF);
    EXPECT_EQ(m->regs.sp, 0xF000);

    m->regs.sp = 0xE000;
    ramByte(*m, 0xE000) = 0x34;
    ramByte(*m, 0xE001) = 0x12;
    placeProgram(*m, codeAt, {0xDD, 0xE3});  // EX (SP),IX
    step(*m);
    EXPECT_EQ(m->regs.ix, 0x1234);
    EXPECT_EQ(ramByte(*m, 0xE000), 0xEF);
    EXPECT_EQ(ramByte(*m, 0xE001), 0xBE);

    placeProgram(*m, codeAt,
                 {0xDD, 0x22, 0x00, 0xC0, 0xFD, 0x2A, 0x00, 0xC0});  // LD (C000),IX; LD IY,(C000)
    m->regs.iy = 0;
    step(*m, 2);
    EXPECT_EQ(m->regs.iy, 0x1234);

    m->regs.ix = 0x8000;
    m->regs.f = 0xFF;
    placeProgram(*m, codeAt, {0xDD, 0x29});  // ADD IX,IX: carry out of bit 15, H and S kept
    step(*m);
    EXPECT_EQ(m->regs.ix, 0x0000);
    EXPECT_EQ(m->regs.f, 0xFD);
    m->regs.setBC(0x0001);
    m->regs.iy = 0xFFFF;
    placeProgram(*m, codeAt, {0xFD, 0x09, 0xFD, 0x2B, 0xFD, 0xF9});  // ADD IY,BC; DEC IY; LD SP,IY
    step(*m, 3);
    EXPECT_EQ(m->regs.sp, 0xFFFF);

    m->regs.iy = 0x8123;
    placeProgram(*m, codeAt, {0xFD, 0xE9});  // JP (IY)
    step(*m);
    EXPECT_EQ(m->regs.pc, 0x8123);
    EXPECT_EQ(m->fetchPointer, m->mem.translateRead(0x8123));
}

TEST(IndexPrefixTest, RepeatedPrefixDropsTheFirstOne) {
    auto m = makeMachine();
    placeProgram(*m, codeAt, {0xDD, 0xFD, 0x21, 0x34, 0x12});
    step(*m);  // the DD alone: back at the FD
    EXPECT_EQ(m->regs.pc, codeAt + 1);
    EXPECT_EQ(m->fetchPointer, m->mem.translateRead(codeAt + 1));
    step(*m);
    EXPECT_EQ(m->regs.iy, 0x1234);
    EXPECT_EQ(m->regs.ix, 0x0000);
    EXPECT_EQ(m->regs.pc, codeAt + 5);

    placeProgram(*m, codeAt, {0xFD, 0xDD, 0xDD, 0x21, 0x78, 0x56});
    step(*m, 3);
    EXPECT_EQ(m->regs.ix, 0x5678);
    EXPECT_EQ(m->regs.iy, 0x1234);
    EXPECT_EQ(m->regs.pc, codeAt + 6);
}

TEST(IndexedCbTest, RotatesShiftsAndBitsOnIndexedBytes) {
    auto m = makeMachine();
    m->regs.ix = 0x8300;
    ramByte(*m, 0x8302) = 0x81;
    m->regs.f = 0x3A;
    placeProgram(*m, codeAt, {0xDD, 0xCB, 0x02, 0x3E});  // SRL (IX+2)
    step(*m);
    EXPECT_EQ(ramByte(*m, 0x8302), 0x40);
    EXPECT_EQ(m->regs.f, 0x01);
    EXPECT_EQ(m->regs.pc, codeAt + 4);

    m->regs.f = 0xAD;                                    // S, 5, 3, P/V, C
    placeProgram(*m, codeAt, {0xDD, 0xCB, 0x02, 0x46});  // BIT 0,(IX+2)
    step(*m);
    EXPECT_EQ(m->regs.f, 0xFD);  // Z and H added, the rest kept

    m->regs.iy = 0x8310;
    ramByte(*m, 0x830F) = 0x00;
    placeProgram(*m, codeAt, {0xFD, 0xCB, 0xFF, 0xFE});  // SET 7,(IY-1)
    step(*m);
    EXPECT_EQ(ramByte(*m, 0x830F), 0x80);
    placeProgram(*m, codeAt, {0xFD, 0xCB, 0xFF, 0x16});  // RL (IY-1): 80 with no carry
    m->regs.f = 0x00;
    step(*m);
    EXPECT_EQ(ramByte(*m, 0x830F), 0x00);
    EXPECT_EQ(m->regs.f, 0x45);
}

TEST(IndexedCbTest, SetOnRomChangesNeitherMemoryNorFlags) {
    auto m = makeMachine();
    m->regs.ix = 0x4000;
    m->regs.f = 0x28;
    const auto romBefore = m->mem.rom;
    placeProgram(*m, codeAt, {0xDD, 0xCB, 0x10, 0xFE});
    step(*m);
    EXPECT_EQ(m->mem.rom, romBefore);
    EXPECT_EQ(m->regs.f, 0x28);
    EXPECT_EQ(m->regs.pc, codeAt + 4);
}

TEST(IndexTrapTest, MissingFormsTrapWithTheRightLength) {
    struct Case {
        std::initializer_list<uint8_t> bytes;
        uint16_t length;
    };
    const Case cases[] = {
        {{0xDD, 0x64}, 2},
        {{0xDD, 0x6D}, 2},
        {{0xDD, 0x94}, 2},
        {{0xDD, 0xBD}, 2},
        {{0xDD, 0x00}, 2},
        {{0xDD, 0x76}, 2},
        {{0xDD, 0xED}, 2},
        {{0xFD, 0xEB}, 2},
        {{0xDD, 0xCB, 0x02, 0x36}, 4},
        {{0xDD, 0xCB, 0x02, 0x00}, 4},
        {{0xFD, 0xCB, 0x02, 0x47}, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::vector<int>(c.bytes.begin(), c.bytes.end())));
        auto m = makeMachine();
        test::ScriptedHost host;
        host.illegalOpcodeAnswer = IllegalOpcodeAnswer::carryOn;
        m->setHost(&host);
        m->regs.ix = 0x8300;
        m->regs.iy = 0x8300;
        m->mem.ram()[0x302] = 0x55;
        placeProgram(*m, codeAt, c.bytes);
        const auto ramBefore = m->mem.state.ram;
        const CpuRegisters regsBefore = m->regs;
        step(*m);
        EXPECT_EQ(host.illegalOpcodeCalls(), 1);
        EXPECT_EQ(m->regs.pc, codeAt + c.length);
        EXPECT_EQ(std::memcmp(&m->regs, &regsBefore, offsetof(CpuRegisters, pc)), 0);
        EXPECT_EQ(m->mem.state.ram, ramBefore);
    }
}

}  // namespace
}  // namespace vantrel
