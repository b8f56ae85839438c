// Jumps, calls, returns and restarts, and how fetchPointer follows PC through them.
#include <gtest/gtest.h>

#include "machine/dispatch_table.h"
#include "machine/illegal_opcode.h"
#include "support/test_machine.h"

namespace vantrel {
namespace {

using test::makeMachine;
using test::placeProgram;
using test::step;

const uint8_t* romAt(Machine& m, std::size_t offset) { return m.mem.rom.data() + offset; }

// fetchPointer agrees with what the map gives for PC.
void expectAligned(const Machine& m) { EXPECT_EQ(m.fetchPointer, m.mem.translateRead(m.regs.pc)); }

TEST(ControlTransfer, ConditionsTestTheirFlag) {
    struct Cond {
        uint8_t flag;
        bool takenWhenSet;
    };
    // NZ Z NC C PO PE P M, in opcode order.
    const Cond conds[] = {{flagZ, false},  {flagZ, true},  {flagC, false}, {flagC, true},
                          {flagPV, false}, {flagPV, true}, {flagS, false}, {flagS, true}};
    for (int y = 0; y < 8; ++y) {
        for (bool set : {false, true}) {
            const bool taken = set == conds[y].takenWhenSet;
            const uint8_t f = set ? conds[y].flag : static_cast<uint8_t>(0xFF & ~conds[y].flag);
            auto m = makeMachine();
            m->regs.sp = 0xF000;
            // JP cc,0x9000
            placeProgram(*m, 0x8000, {static_cast<uint8_t>(0xC2 + y * 8), 0x00, 0x90});
            m->regs.f = f;
            step(*m);
            EXPECT_EQ(m->regs.pc, taken ? 0x9000 : 0x8003) << "JP cc " << y;
            expectAligned(*m);
            // CALL cc,0x9000
            placeProgram(*m, 0x8000, {static_cast<uint8_t>(0xC4 + y * 8), 0x00, 0x90});
            step(*m);
            EXPECT_EQ(m->regs.pc, taken ? 0x9000 : 0x8003) << "CALL cc " << y;
            EXPECT_EQ(m->regs.sp, taken ? 0xEFFE : 0xF000);
            if (taken) {
                EXPECT_EQ(readWord(*m, 0xEFFE), 0x8003);
            }
            // RET cc back to where CALL pushed (or to a fresh return address).
            m->regs.sp = 0xEFFE;
            writeWord(*m, 0xEFFE, 0x8765);
            placeProgram(*m, 0x8000, {static_cast<uint8_t>(0xC0 + y * 8)});
            step(*m);
            EXPECT_EQ(m->regs.pc, taken ? 0x8765 : 0x8001) << "RET cc " << y;
            EXPECT_EQ(m->regs.sp, taken ? 0xF000 : 0xEFFE);
            // JR cc exists for the first four conditions only.
            if (y < 4) {
                placeProgram(*m, 0x8000, {static_cast<uint8_t>(0x20 + y * 8), 0x10});
                step(*m);
                EXPECT_EQ(m->regs.pc, taken ? 0x8012 : 0x8002) << "JR cc " << y;
                expectAligned(*m);
            }
        }
    }
}

TEST(ControlTransfer, RelativeJumpsAndDjnzWrap) {
    auto m = makeMachine();
    placeProgram(*m, 0x8000, {0x18, 0xFE});  // JR $: an endless loop on itself
    step(*m, 3);
    EXPECT_EQ(m->regs.pc, 0x8000);

    placeProgram(*m, 0xFFF0, {0x18, 0x20});  // JR across 0xFFFF
    step(*m);
    EXPECT_EQ(m->regs.pc, 0x0012);
    expectAligned(*m);

    placeProgram(*m, 0x8000, {0x10, 0xFE});  // DJNZ $
    m->regs.b = 1;
    step(*m);
    EXPECT_EQ(m->regs.b, 0);
    EXPECT_EQ(m->regs.pc, 0x8002);

    jumpTo(*m, 0x8000);
    m->regs.b = 0;  // 256 rounds
    step(*m, 255);
    EXPECT_EQ(m->regs.pc, 0x8000);
    EXPECT_EQ(m->regs.b, 1);
    step(*m);
    EXPECT_EQ(m->regs.pc, 0x8002);
}

TEST(ControlTransfer, CallRetRstAndJpHL) {
    auto m = makeMachine();
    m->regs.sp = 0xF000;
    placeProgram(*m, 0x8000, {0xCD, 0x00, 0x90});  // CALL 0x9000
    placeProgram(*m, 0x9000, {0xC9});              // RET
    jumpTo(*m, 0x8000);
    step(*m);
    EXPECT_EQ(m->regs.pc, 0x9000);
    EXPECT_EQ(readWord(*m, 0xEFFE), 0x8003);
    step(*m);
    EXPECT_EQ(m->regs.pc, 0x8003);
    EXPECT_EQ(m->regs.sp, 0xF000);
    expectAligned(*m);

    // RST runs in ROM page 0 whatever the bank.
    m->mem.state.romBank = 5;
    placeProgram(*m, 0x8000, {0xFF});
    step(*m);
    EXPECT_EQ(m->regs.pc, 0x0038);
    EXPECT_EQ(m->fetchPointer, romAt(*m, 0x0038));
    EXPECT_EQ(readWord(*m, 0xEFFE), 0x8001);
    for (int y = 0; y < 8; ++y) {
        placeProgram(*m, 0x8000, {static_cast<uint8_t>(0xC7 + y * 8)});
        step(*m);
        EXPECT_EQ(m->regs.pc, y * 8);
    }

    placeProgram(*m, 0x8000, {0xE9});  // JP (HL)
    m->regs.setHL(0x4321);
    step(*m);
    EXPECT_EQ(m->regs.pc, 0x4321);
    EXPECT_EQ(m->fetchPointer, romAt(*m, 5 * romPageSize + 0x0321));
}

TEST(ControlTransfer, StackBelowRamSwallowsPushesAndPopsReadRom) {
    auto m = makeMachine();
    m->mem.state.romBank = 2;
    m->mem.rom[2 * romPageSize + 0x3FFF] = 0x34;  // last byte of page 2 at 0x7FFF
    m->mem.rom[3 * romPageSize] = 0x12;           // and the host byte after it
    m->mem.ram()[0] = 0xAA;
    placeProgram(*m, 0x8100, {0xCD, 0x00, 0x90});  // CALL 0x9000
    placeProgram(*m, 0x9000, {0xC9});
    jumpTo(*m, 0x8100);
    m->regs.sp = 0x8001;
    step(*m);
    EXPECT_EQ(m->regs.sp, 0x7FFF);
    EXPECT_EQ(m->mem.ram()[0], 0xAA);  // the high byte did not reach 0x8000
    step(*m);
    EXPECT_EQ(m->regs.pc, 0x1234);
    EXPECT_EQ(m->regs.sp, 0x8001);
}

TEST(ControlTransfer, SequentialExecutionRunsIntoTheNextHostPage) {
    auto m = makeMachine();
    m->mem.state.romBank = 3;
    // LD A,0x11 at the start of page 1, LD A,0x33 at the start of page 3.
    m->mem.rom[1 * romPageSize + 0] = 0x3E;
    m->mem.rom[1 * romPageSize + 1] = 0x11;
    m->mem.rom[3 * romPageSize + 0] = 0x3E;
    m->mem.rom[3 * romPageSize + 1] = 0x33;
    m->mem.rom[0x3FFF] = 0x00;  // NOP
    jumpTo(*m, 0x3FFF);
    step(*m, 2);
    EXPECT_EQ(m->regs.a, 0x11);
    EXPECT_EQ(m->regs.pc, 0x4002);
    EXPECT_EQ(m->fetchPointer, romAt(*m, 1 * romPageSize + 2));

    // A jump realigns with the map.
    jumpTo(*m, 0x4000);
    step(*m);
    EXPECT_EQ(m->regs.a, 0x33);

    // An operand that straddles the page end comes from page 1 too.
    m->mem.rom[0x3FFF] = 0x3E;  // LD A,n with n at host 0x4000
    m->mem.rom[1 * romPageSize] = 0x77;
    jumpTo(*m, 0x3FFF);
    step(*m);
    EXPECT_EQ(m->regs.a, 0x77);
    EXPECT_EQ(m->regs.pc, 0x4001);
    EXPECT_EQ(m->fetchPointer, romAt(*m, 1 * romPageSize + 1));
}

TEST(ControlTransfer, NotTakenBranchesRealignAndNotTakenRetDoesNot) {
    auto m = makeMachine();
    m->mem.state.romBank = 3;
    m->mem.rom[3 * romPageSize + 1] = 0x3E;  // LD A,0x33 at 0x4001 in page 3
    m->mem.rom[3 * romPageSize + 2] = 0x33;
    // JP NZ,nn at 0x3FFE with Z set; the operand's high byte lies in host page 1.
    m->mem.rom[0x3FFE] = 0xC2;
    jumpTo(*m, 0x3FFE);
    m->regs.f = flagZ;
    step(*m);
    EXPECT_EQ(m->regs.pc, 0x4001);
    expectAligned(*m);
    step(*m);
    EXPECT_EQ(m->regs.a, 0x33);

    // JR NZ and DJNZ not taken over the page end.
    for (uint8_t op : {uint8_t{0x20}, uint8_t{0x10}}) {
        m->mem.rom[0x3FFF] = op;
        jumpTo(*m, 0x3FFF);
        m->regs.b = 1;
        step(*m);
        EXPECT_EQ(m->regs.pc, 0x4001);
        expectAligned(*m);
    }
    // CALL Z not taken with Z clear.
    m->mem.rom[0x3FFE] = 0xCC;
    jumpTo(*m, 0x3FFE);
    m->regs.f = 0;
    step(*m);
    expectAligned(*m);

    // RET Z not taken, run into from page 0: fetchPointer stays in host page 1.
    m->mem.rom[0x3FFF] = 0xC8;
    jumpTo(*m, 0x3FFF);
    m->regs.sp = 0xF000;
    step(*m);
    EXPECT_EQ(m->regs.pc, 0x4000);
    EXPECT_EQ(m->regs.sp, 0xF000);
    EXPECT_EQ(m->fetchPointer, romAt(*m, 1 * romPageSize));
}

TEST(ControlTransfer, BankSwitchWhileRunningInTheBankWindow) {
    auto m = makeMachine();
    m->mem.state.romBank = 2;
    // In page 2 at 0x4000: LD A,5; OUT (5),A; LD A,(0x4100); NOP ...
    const uint8_t program[] = {0x3E, 0x05, 0xD3, 0x05, 0x3A, 0x00, 0x41, 0x00, 0xC3, 0x10, 0x40};
    for (std::size_t i = 0; i < sizeof program; ++i) m->mem.rom[2 * romPageSize + i] = program[i];
    m->mem.rom[2 * romPageSize + 0x100] = 0x22;
    m->mem.rom[5 * romPageSize + 0x100] = 0x55;
    m->mem.rom[5 * romPageSize + 0x10] = 0x3E;  // LD A,0x5F after the jump
    m->mem.rom[5 * romPageSize + 0x11] = 0x5F;
    jumpTo(*m, 0x4000);
    step(*m, 2);
    EXPECT_EQ(m->mem.state.romBank, 5);
    EXPECT_EQ(m->fetchPointer, romAt(*m, 2 * romPageSize + 4));  // instructions: old page
    step(*m);
    EXPECT_EQ(m->regs.a, 0x55);  // data: the new page at once
    step(*m, 3);                 // NOP, JP 0x4010, LD A,0x5F from page 5
    EXPECT_EQ(m->regs.a, 0x5F);
}

TEST(ControlTransfer, BankByteAboveSevenUsesItsLowBits) {
    auto m = makeMachine();
    m->mem.state.romBank = 0x0B;
    m->mem.rom[3 * romPageSize + 0x10] = 0x42;
    EXPECT_EQ(readByte(*m, 0x4010), 0x42);
    jumpTo(*m, 0x4010);
    EXPECT_EQ(m->fetchPointer, romAt(*m, 3 * romPageSize + 0x10));
    // Page "15" is page 7: a word at 0x7FFF takes its high byte from RAM 0x8000.
    m->mem.state.romBank = 0xFF;
    m->mem.rom[romSize - 1] = 0x34;
    m->mem.ram()[0] = 0x12;
    EXPECT_EQ(readWord(*m, 0x7FFF), 0x1234);
}

TEST(ControlTransfer, StackAndExchanges) {
    auto m = makeMachine();
    m->regs.sp = 0xF000;
    // POP AF takes all eight bits of F; a later ADD clears bits 5 and 3.
    writeWord(*m, 0xF000, 0x12FF);
    placeProgram(*m, 0x8000, {0xF1, 0xF5, 0xC6, 0x00});
    step(*m);
    EXPECT_EQ(m->regs.a, 0x12);
    EXPECT_EQ(m->regs.f, 0xFF);
    step(*m);  // PUSH AF
    EXPECT_EQ(readWord(*m, 0xF000), 0x12FF);
    step(*m);
    EXPECT_EQ(m->regs.f & 0x28, 0);

    m->regs.setBC(0x0102);
    m->regs.setDE(0x0304);
    m->regs.setHL(0x0506);
    m->regs.setAF(0x0708);
    m->regs.bcAlt = 0x1112;
    m->regs.deAlt = 0x1314;
    m->regs.hlAlt = 0x1516;
    m->regs.afAlt = 0x1718;
    placeProgram(*m, 0x8000, {0xD9, 0x08, 0xD9, 0x08, 0xEB});
    step(*m, 2);
    EXPECT_EQ(m->regs.bc(), 0x1112);
    EXPECT_EQ(m->regs.de(), 0x1314);
    EXPECT_EQ(m->regs.hl(), 0x1516);
    EXPECT_EQ(m->regs.af(), 0x1718);
    EXPECT_EQ(m->regs.bcAlt, 0x0102);
    EXPECT_EQ(m->regs.afAlt, 0x0708);
    step(*m, 2);
    EXPECT_EQ(m->regs.bc(), 0x0102);
    EXPECT_EQ(m->regs.af(), 0x0708);
    step(*m);  // EX DE,HL
    EXPECT_EQ(m->regs.de(), 0x0506);
    EXPECT_EQ(m->regs.hl(), 0x0304);

    writeWord(*m, 0xF000, 0xBEEF);
    m->regs.sp = 0xF000;
    placeProgram(*m, 0x8000, {0xE3, 0xF9});  // EX (SP),HL; LD SP,HL
    step(*m);
    EXPECT_EQ(m->regs.hl(), 0xBEEF);
    EXPECT_EQ(readWord(*m, 0xF000), 0x0304);
    step(*m);
    EXPECT_EQ(m->regs.sp, 0xBEEF);
}

TEST(ControlTransfer, LoadsThroughTheMap) {
    auto m = makeMachine();
    m->mem.state.romBank = 4;
    m->mem.rom[4 * romPageSize] = 0x44;
    // LD HL,0x4000; LD (HL),A; LD A,(HL): the store is lost, the load reads page 4.
    placeProgram(*m, 0x8000, {0x21, 0x00, 0x40, 0x77, 0x7E});
    m->regs.a = 0x99;
    step(*m, 3);
    EXPECT_EQ(m->regs.a, 0x44);
    EXPECT_EQ(m->mem.rom[4 * romPageSize], 0x44);

    // LD A,(nn) sees the bank selected at the moment of the read.
    m->mem.rom[6 * romPageSize + 0x20] = 0x66;
    placeProgram(*m, 0x8000, {0x3E, 0x06, 0xD3, 0x05, 0x3A, 0x20, 0x40});
    step(*m, 3);
    EXPECT_EQ(m->regs.a, 0x66);

    // Every LD r,r' moves the right byte: fill B..A with distinct values and copy.
    for (int d = 0; d < 8; ++d) {
        for (int s = 0; s < 8; ++s) {
            if (d == 6 && s == 6) continue;  // HALT
            auto n = makeMachine();
            n->mem.ram()[0x0102] = 0x66;  // (HL) with HL = 0x8102
            placeProgram(*n, 0x9000, {static_cast<uint8_t>(0x40 | d << 3 | s)});
            uint8_t* regs[] = {&n->regs.b, &n->regs.c, &n->regs.d, &n->regs.e,
                               &n->regs.h, &n->regs.l, nullptr,    &n->regs.a};
            const uint8_t values[] = {0x10, 0x11, 0x12, 0x13, 0x81, 0x02, 0x66, 0x17};
            for (int r = 0; r < 8; ++r)
                if (regs[r]) *regs[r] = values[r];
            n->regs.f = 0xA5;
            step(*n);
            const uint8_t got = d == 6 ? n->mem.ram()[0x0102] : *regs[d];
            EXPECT_EQ(got, values[s]) << "LD " << d << "," << s;
            EXPECT_EQ(n->regs.f, 0xA5);
        }
    }

    // 16-bit loads and stores; LD (nn),HL below 0x8000 is lost.
    placeProgram(*m, 0x8100,
                 {0x21, 0x34, 0x12, 0x22, 0x00, 0xC0, 0x2A, 0x00, 0xC0, 0x22, 0xFF, 0x7F});
    m->mem.ram()[0] = 0x5A;
    step(*m, 4);
    EXPECT_EQ(readWord(*m, 0xC000), 0x1234);
    EXPECT_EQ(m->regs.hl(), 0x1234);
    EXPECT_EQ(m->mem.ram()[0], 0x5A);
}

TEST(ControlTransfer, InAndOutLeaveFlagsAndPassThePortOnly) {
    auto m = makeMachine();
    placeProgram(*m, 0x8000, {0x3E, 0x0D, 0xD3, 0x05, 0xDB, 0x05, 0xDB, 0x00});
    m->regs.f = 0xD7;
    step(*m, 3);
    EXPECT_EQ(m->regs.a, 5);
    EXPECT_EQ(m->regs.f, 0xD7);
    step(*m);
    EXPECT_EQ(m->regs.a, 0xFF);  // port 0 has no function
}

}  // namespace
}  // namespace vantrel
