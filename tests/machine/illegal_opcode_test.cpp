#include "machine/illegal_opcode.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "machine/dispatch_table.h"
#include "machine/emulation_thread.h"
#include "session/calculator/illegal_opcode_text.h"
#include "support/scripted_host.h"
#include "support/test_machine.h"
#include "z80/execute.h"

using namespace std::chrono_literals;

namespace vantrel {
namespace {

using test::makeMachine;
using test::placeProgram;
using test::step;

constexpr uint16_t codeAt = 0x9000;

std::size_t trapsIn(std::size_t base) {
    std::size_t count = 0;
    for (std::size_t i = base; i < base + 256; ++i)
        if (dispatchTable[i] == illegalOpcodeTrap) ++count;
    return count;
}

TEST(IllegalOpcodeTableTest, TrapSlotsPerSubTable) {
    EXPECT_EQ(trapsIn(cbTableBase), 8u);
    EXPECT_EQ(trapsIn(ddTableBase), 182u);
    EXPECT_EQ(trapsIn(edTableBase), 200u);
    EXPECT_EQ(trapsIn(fdTableBase), 182u);
    for (unsigned op = 0x30; op <= 0x37; ++op)
        EXPECT_EQ(dispatchTable[cbTableBase + op], illegalOpcodeTrap);
    // The index sub-tables are twins: the same slots work in both.
    for (unsigned op = 0; op < 256; ++op)
        EXPECT_EQ(dispatchTable[ddTableBase + op] == illegalOpcodeTrap,
                  dispatchTable[fdTableBase + op] == illegalOpcodeTrap)
            << op;
    std::size_t indexedTraps = 0;
    for (auto op : indexedCbTable<Personality::classic, Machine>)
        indexedTraps += op == indexedCbTrap<Machine>;
    EXPECT_EQ(indexedTraps, 225u);
    EXPECT_NE(dispatchTable[edTableBase + 0x4F],
              illegalOpcodeTrap);  // LD R,A does nothing, but exists
}

// Distinct patterns so that a byte read from the wrong image or page shows.
void fillImages(Machine& m) {
    for (std::size_t i = 0; i < romSize; ++i)
        m.mem.rom[i] = static_cast<uint8_t>(i ^ (i >> 8) ^ (i >> 14) * 0x35);
    for (std::size_t i = 0; i < ramSize; ++i) m.mem.ram()[i] = static_cast<uint8_t>(~(i * 3));
}

std::array<uint8_t, 16> bytesOf(const uint8_t* first, std::size_t count, const uint8_t* rest) {
    std::array<uint8_t, 16> out{};
    for (std::size_t i = 0; i < 16; ++i) out[i] = i < count ? first[i] : rest[i - count];
    return out;
}

TEST(IllegalOpcodeSnapshotTest, WindowsWrapThroughTheMapAtImageEnds) {
    auto m = makeMachine();
    fillImages(*m);
    const uint8_t* rom = m->mem.rom.data();
    const uint8_t* ram = m->mem.ram();

    // Near 0xFFFF: the window after PC runs from the last RAM bytes into ROM page 0.
    m->regs.pc = 0xFFFA;
    const auto top = takeIllegalOpcodeSnapshot(*m);
    EXPECT_EQ(top.bytesBefore, bytesOf(ram + 0x7FEA, 16, nullptr));
    EXPECT_EQ(top.bytesAfter, bytesOf(ram + 0x7FFA, 6, rom));
    EXPECT_EQ(&top.registers, &m->regs);

    // End of the bank window with the last page: on into RAM.
    m->mem.state.romBank = 7;
    m->regs.pc = 0x7FF8;
    const auto bankEnd = takeIllegalOpcodeSnapshot(*m);
    EXPECT_EQ(bankEnd.bytesBefore, bytesOf(rom + 0x1FFE8, 16, nullptr));
    EXPECT_EQ(bankEnd.bytesAfter, bytesOf(rom + 0x1FFF8, 8, ram));

    // PC-16 wraps to the top of RAM.
    m->regs.pc = 0x0004;
    const auto wrapped = takeIllegalOpcodeSnapshot(*m);
    EXPECT_EQ(wrapped.bytesBefore, bytesOf(ram + 0x7FF4, 12, rom));
    EXPECT_EQ(wrapped.bytesAfter, bytesOf(rom + 0x0004, 16, nullptr));

    // Page 0 runs on into the selected bank, not into page 1.
    m->mem.state.romBank = 5;
    m->regs.pc = 0x3FF8;
    const auto pageEnd = takeIllegalOpcodeSnapshot(*m);
    EXPECT_EQ(pageEnd.bytesAfter, bytesOf(rom + 0x3FF8, 8, rom + 5 * romPageSize));
}

TEST(IllegalOpcodeSnapshotTest, TrapAtTheTopOfRamSendsTheInstructionAsLastBytesBefore) {
    auto m = makeMachine();
    fillImages(*m);
    test::ScriptedHost host;
    host.illegalOpcodeAnswer = IllegalOpcodeAnswer::stop;
    m->setHost(&host);
    placeProgram(*m, 0xFFFE, {0xED, 0x4C});
    step(*m);
    ASSERT_EQ(host.illegalOpcodeCalls(), 1);
    EXPECT_EQ(m->regs.pc, 0x0000);
    const auto before = host.lastBytesBefore();
    EXPECT_EQ(before[14], 0xED);
    EXPECT_EQ(before[15], 0x4C);
    EXPECT_EQ(host.lastBytesAfter(), bytesOf(m->mem.rom.data(), 16, nullptr));
    EXPECT_EQ(m->control.pendingCode(), code(EmuRequest::Abort));
}

TEST(IllegalOpcodeTrapTest, YesContinuesAfterTheBytesWithEveryRegisterUnchanged) {
    struct Case {
        std::vector<uint8_t> bytes;
        uint16_t length;
    };
    const Case cases[] = {
        {{0xED, 0x4C}, 2}, {{0xCB, 0x30}, 2}, {{0xFD, 0x00}, 2}, {{0xFD, 0xCB, 0x10, 0x07}, 4}};
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.bytes[1]));
        auto m = makeMachine();
        test::ScriptedHost host;
        host.illegalOpcodeAnswer = IllegalOpcodeAnswer::carryOn;
        m->setHost(&host);
        m->regs = CpuRegisters{0xD7,
                               0x81,
                               0x02,
                               0x03,
                               0x04,
                               0x05,
                               0x06,
                               0x07,
                               0x8811,
                               0x8822,
                               0,
                               0xF000,
                               0x1111,
                               0x2222,
                               0x3333,
                               0x4444,
                               intEnableBit | intMode1Bit,
                               0x99};
        for (std::size_t i = 0; i < c.bytes.size(); ++i)
            m->mem.ram()[codeAt - 0x8000 + i] = c.bytes[i];
        jumpTo(*m, codeAt);
        const CpuRegisters before = m->regs;
        const auto ram = m->mem.state.ram;
        step(*m);
        EXPECT_EQ(host.illegalOpcodeCalls(), 1);
        CpuRegisters expected = before;
        expected.pc = static_cast<uint16_t>(codeAt + c.length);
        EXPECT_EQ(std::memcmp(&m->regs, &expected, sizeof expected), 0);
        EXPECT_EQ(m->fetchPointer, m->mem.translateRead(expected.pc));
        EXPECT_EQ(m->mem.state.ram, ram);
        EXPECT_EQ(m->control.pendingCode(), 0u);
    }
}

// Answers from a list, one per call, and notes PC and a request posted meanwhile.
class AnsweringHost : public HostInterface {
public:
    AnsweringHost(Machine& m, std::vector<IllegalOpcodeAnswer> answers,
                  EmuRequest postedMeanwhile = EmuRequest::None)
        : machine_(m), answers_(std::move(answers)), meanwhile_(postedMeanwhile) {}

    IllegalOpcodeAnswer illegalOpcode(const IllegalOpcodeSnapshot& snapshot) override {
        std::lock_guard lock(mutex_);
        pcs_.push_back(snapshot.registers.pc);
        if (meanwhile_ != EmuRequest::None) machine_.control.post(meanwhile_);
        if (pcs_.size() > answers_.size()) return IllegalOpcodeAnswer::stop;
        return answers_[pcs_.size() - 1];
    }
    std::vector<uint16_t> pcs() const {
        std::lock_guard lock(mutex_);
        return pcs_;
    }

private:
    Machine& machine_;
    std::vector<IllegalOpcodeAnswer> answers_;
    EmuRequest meanwhile_;
    mutable std::mutex mutex_;
    std::vector<uint16_t> pcs_;
};

TEST(IllegalOpcodeLoopTest, YesRunsOnAndNoEndsTheLoopBeforeTheNextInstruction) {
    auto m = makeMachine();
    AnsweringHost host(*m, {IllegalOpcodeAnswer::carryOn, IllegalOpcodeAnswer::stop});
    m->setHost(&host);
    // ED 4C (Yes) ; LD IX,1234 ; DD 00 (No) ; LD IY,5678
    placeProgram(*m, codeAt,
                 {0xED, 0x4C, 0xDD, 0x21, 0x34, 0x12, 0xDD, 0x00, 0xFD, 0x21, 0x78, 0x56});
    EXPECT_EQ(runCpu(*m), LoopEnd::aborted);
    EXPECT_EQ(host.pcs(), (std::vector<uint16_t>{codeAt + 2, codeAt + 8}));
    EXPECT_EQ(m->regs.ix, 0x1234);
    EXPECT_EQ(m->regs.iy, 0x0000);
    EXPECT_EQ(m->regs.pc, codeAt + 8);
}

TEST(IllegalOpcodeLoopTest, RequestPostedDuringTheDialogIsServedAfterYes) {
    auto m = makeMachine();
    AnsweringHost host(*m, {IllegalOpcodeAnswer::carryOn}, EmuRequest::Stop);
    m->setHost(&host);
    placeProgram(*m, codeAt, {0xED, 0x77, 0xDD, 0x21, 0x34, 0x12});
    EXPECT_EQ(runCpu(*m), LoopEnd::stopped);
    EXPECT_EQ(m->regs.pc, codeAt + 2);
    EXPECT_EQ(m->regs.ix, 0x0000);
}

TEST(IllegalOpcodeThreadTest, NoOnTheEmulationThreadEndsItWithAbort) {
    auto m = makeMachine();
    // A redraw posted while the dialog is open must not survive the No.
    AnsweringHost host(*m, {IllegalOpcodeAnswer::stop}, EmuRequest::Redraw);
    m->setHost(&host);
    placeProgram(*m, codeAt, {0xFD, 0xCB, 0x00, 0x30, 0xDD, 0x21, 0x34, 0x12});
    EmulationThread thread(*m);
    m->control.resume();
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (!thread.finished() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    ASSERT_TRUE(thread.finished());
    EXPECT_EQ(thread.loopEnd(), LoopEnd::aborted);
    EXPECT_EQ(host.pcs(), (std::vector<uint16_t>{codeAt + 4}));
    EXPECT_EQ(m->regs.ix, 0x0000);
}

TEST(IllegalOpcodeTextTest, OpcodeTextShowsAPrefixOnlyWhenOneStandsBefore) {
    CpuRegisters regs;
    auto snapshotWith = [&](uint8_t atPcMinus2, uint8_t atPcMinus1) {
        IllegalOpcodeSnapshot s{regs, {}, {}};
        s.bytesBefore[14] = atPcMinus2;
        s.bytesBefore[15] = atPcMinus1;
        return s;
    };
    EXPECT_EQ(illegalOpcodeText(snapshotWith(0xDD, 0x00)), "dd 00 ");
    EXPECT_EQ(illegalOpcodeText(snapshotWith(0xED, 0x4C)), "ed 4c ");
    EXPECT_EQ(illegalOpcodeText(snapshotWith(0xCB, 0x37)), "cb 37 ");
    // DDCB forms: the byte at PC-2 is the displacement.
    EXPECT_EQ(illegalOpcodeText(snapshotWith(0xED, 0x00)), "ed 00 ");
    EXPECT_EQ(illegalOpcodeText(snapshotWith(0x05, 0x00)), "00 ");
}

TEST(IllegalOpcodeTextTest, DdcbFormWithDisplacementEdFromTheRealTrap) {
    auto m = makeMachine();
    test::ScriptedHost host;
    host.illegalOpcodeAnswer = IllegalOpcodeAnswer::carryOn;
    m->setHost(&host);
    placeProgram(*m, codeAt, {0xDD, 0xCB, 0xED, 0x00});
    step(*m);
    IllegalOpcodeSnapshot s{m->regs, host.lastBytesBefore(), host.lastBytesAfter()};
    EXPECT_EQ(illegalOpcodeText(s), "ed 00 ");
    EXPECT_EQ(illegalOpcodeByteLine(s.bytesBefore).substr(36), "dd cb ed 00 ");
}

TEST(IllegalOpcodeTextTest, RegisterTextsAndByteLines) {
    CpuRegisters r;
    r.a = 0xAB;
    r.f = 0xCD;
    r.setBC(0x0102);
    r.setDE(0xFEDC);
    r.setHL(0x000A);
    r.ix = 0x1234;
    r.iy = 0xBEEF;
    r.sp = 0xF000;
    r.pc = 0x0007;
    const std::array<std::string, 8> expected = {"0xabcd", "0x0102", "0xfedc", "0x000a",
                                                 "0x1234", "0xbeef", "0xf000", "0x0007"};
    EXPECT_EQ(illegalOpcodeRegisterTexts(r), expected);

    std::array<uint8_t, 16> bytes{};
    for (unsigned i = 0; i < 16; ++i) bytes[i] = static_cast<uint8_t>(i * 0x11);
    const std::string line = illegalOpcodeByteLine(bytes);
    EXPECT_EQ(line.size(), 48u);
    EXPECT_EQ(line, "00 11 22 33 44 55 66 77 88 99 aa bb cc dd ee ff ");
}

}  // namespace
}  // namespace vantrel
