// Accesses and instruction streams at the ends of the ROM and RAM images, where no
// following host byte exists: the map's byte for the following address is used.
#include <gtest/gtest.h>

#include "machine/dispatch_table.h"
#include "machine/illegal_opcode.h"
#include "support/test_machine.h"

namespace vantrel {
namespace {

using test::makeMachine;
using test::placeProgram;
using test::step;

TEST(ImageEnd, WordAccessesAtPageAndImageEnds) {
    auto m = makeMachine();
    m->mem.rom[0x0000] = 0x12;
    m->mem.ram()[ramSize - 1] = 0x34;
    EXPECT_EQ(readWord(*m, 0xFFFF), 0x1234);  // 0xFFFF is followed by 0x0000

    m->mem.state.romBank = 7;
    m->mem.rom[romSize - 1] = 0x78;
    m->mem.ram()[0] = 0x56;
    EXPECT_EQ(readWord(*m, 0x7FFF), 0x5678);  // page 7 is followed by RAM

    m->mem.state.romBank = 3;
    m->mem.rom[0x3FFF] = 0xCD;
    m->mem.rom[1 * romPageSize] = 0xAB;
    m->mem.rom[3 * romPageSize] = 0xEE;
    EXPECT_EQ(readWord(*m, 0x3FFF), 0xABCD);  // host byte after page 0: page 1

    // A word stored at 0xFFFF keeps its low byte in RAM and loses the high one.
    const RomImage romBefore = m->mem.rom;
    writeWord(*m, 0xFFFF, 0xBEEF);
    EXPECT_EQ(m->mem.ram()[ramSize - 1], 0xEF);
    EXPECT_EQ(m->mem.rom, romBefore);
    // One stored at 0x7FFF is lost whole: RAM 0x8000 keeps its byte.
    writeWord(*m, 0x7FFF, 0x1111);
    EXPECT_EQ(m->mem.ram()[0], 0x56);
    writeByte(*m, 0x1234, 0x99);
    EXPECT_EQ(readByte(*m, 0x1234), m->mem.rom[0x1234]);
    EXPECT_EQ(m->mem.rom, romBefore);

    // SP wraps in both directions.
    m->regs.sp = 0x0001;
    pushWord(*m, 0x4242);
    EXPECT_EQ(m->regs.sp, 0xFFFF);
    EXPECT_EQ(m->mem.ram()[ramSize - 1], 0x42);
    EXPECT_EQ(popWord(*m), 0x1242);
    EXPECT_EQ(m->regs.sp, 0x0001);
}

TEST(ImageEnd, InstructionRunningPastTheEndOfRam) {
    auto m = makeMachine();
    // LD BC,nn at 0xFFFE: its high operand byte is ROM 0x0000.
    m->mem.rom[0x0000] = 0x12;
    m->mem.rom[0x0001] = 0x3C;  // INC A
    placeProgram(*m, 0xFFFE, {0x01, 0x34});
    step(*m);
    EXPECT_EQ(m->regs.bc(), 0x1234);
    EXPECT_EQ(m->regs.pc, 0x0001);
    EXPECT_EQ(m->fetchPointer, m->mem.rom.data() + 1);
    step(*m);
    EXPECT_EQ(m->regs.a, 1);

    // A one-byte instruction in the last byte continues at ROM 0x0000.
    m->mem.rom[0x0000] = 0x3C;
    placeProgram(*m, 0xFFFF, {0x3C});
    m->regs.a = 0;
    step(*m, 2);
    EXPECT_EQ(m->regs.a, 2);
    EXPECT_EQ(m->regs.pc, 0x0001);

    // An instruction ending just before the end keeps fetching from the image.
    placeProgram(*m, 0xFFFC, {0x3E, 0x07, 0x3C});  // LD A,7; INC A
    step(*m, 2);
    EXPECT_EQ(m->regs.a, 8);
    EXPECT_EQ(m->fetchPointer, m->mem.ram() + ramSize - 1);
}

TEST(ImageEnd, InstructionRunningPastTheEndOfRom) {
    auto m = makeMachine();
    m->mem.state.romBank = 7;
    // JP nn at 0x7FFE in page 7: the high operand byte is RAM 0x8000.
    m->mem.rom[romSize - 2] = 0xC3;
    m->mem.rom[romSize - 1] = 0x00;
    m->mem.ram()[0] = 0x90;
    jumpTo(*m, 0x7FFE);
    step(*m);
    EXPECT_EQ(m->regs.pc, 0x9000);

    // Running linearly from page 6 into page 7 and on past its end reaches RAM by
    // the map: after 0xBFFF in page 7 comes 0xC000.
    m->mem.state.romBank = 6;
    m->mem.rom[romSize - 1] = 0x00;  // NOP, the last ROM byte, seen at PC 0xBFFF
    m->mem.ram()[0x4000] = 0x3E;     // LD A,0x21 at 0xC000
    m->mem.ram()[0x4001] = 0x21;
    m->regs.pc = 0xBFFF;
    m->fetchPointer = m->mem.rom.data() + romSize - 1;
    step(*m, 2);
    EXPECT_EQ(m->regs.a, 0x21);
    EXPECT_EQ(m->regs.pc, 0xC002);
    EXPECT_EQ(m->fetchPointer, m->mem.ram() + 0x4002);

    // The same with the stream already at the image end (as after a four-byte
    // instruction ending on the last ROM byte): still 0xC000, not RAM 0x8000.
    m->mem.ram()[0] = 0x3C;  // INC A, the wrong byte
    m->regs.pc = 0xC000;
    m->fetchPointer = m->mem.rom.data() + romSize;
    step(*m);
    EXPECT_EQ(m->regs.a, 0x21);
    EXPECT_EQ(m->fetchPointer, m->mem.ram() + 0x4002);
}

// A four-byte instruction that ends exactly on the last byte of RAM leaves the
// stream at the image end; the next fetch must come from ROM 0x0000.
TEST(ImageEnd, FourByteInstructionEndingOnTheLastRamByte) {
    if (dispatchTable[ddTableBase + 0x21] == &illegalOpcodeTrap) GTEST_SKIP() << "needs LD IX,nn";
    auto m = makeMachine();
    m->mem.rom[0x0000] = 0x3E;  // LD A,0x5A
    m->mem.rom[0x0001] = 0x5A;
    placeProgram(*m, 0xFFFC, {0xDD, 0x21, 0x34, 0x12});  // LD IX,0x1234
    step(*m);
    EXPECT_EQ(m->regs.ix, 0x1234);
    EXPECT_EQ(m->regs.pc, 0x0000);
    step(*m);
    EXPECT_EQ(m->regs.a, 0x5A);
    EXPECT_EQ(m->regs.pc, 0x0002);
}

// The same through the loop itself, with the machine state at the image end forced.
TEST(ImageEnd, StreamAtTheVeryEndOfRamFetchesFromRomZero) {
    auto m = makeMachine();
    m->mem.rom[0x0000] = 0x3E;  // LD A,0x5A
    m->mem.rom[0x0001] = 0x5A;
    m->regs.pc = 0x0000;
    m->fetchPointer = m->mem.ram() + ramSize;  // as after an instruction ending at 0xFFFF
    step(*m);
    EXPECT_EQ(m->regs.a, 0x5A);
    EXPECT_EQ(m->fetchPointer, m->mem.rom.data() + 2);
}

}  // namespace
}  // namespace vantrel
