// The debugger on a running calculator: stopping and stepping through the thread
// control, breakpoints of each kind, and what a stopped calculator does with keys,
// uploads, HALT and closing. Small programs in ROM page 0, on the real emulation thread.
#include "session/debug/debug_session.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <thread>

#include "debugger/breakpoint_file.h"
#include "machine/machine.h"
#include "session/calculator/calculator.h"
#include "session/keys/key_table.h"
#include "support/reason.h"
#include "support/scripted_front_end.h"
#include "support/temp_dir.h"

namespace vantrel::test {
namespace {

using namespace std::chrono_literals;

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 5s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// 0000 LD SP,F000; 0003 LD A,5; 0005 CALL sub; 0008 LD (C000),A; 000B RST 18h;
// 000C NOP; 000D JR 0003. RST 18h: INC A; RET. sub (0020): INC A; CALL inner; RET.
// inner (0028): INC A; RET.
const std::initializer_list<std::pair<uint16_t, std::vector<uint8_t>>> callProgram = {
    {0x0000,
     {0x31, 0x00, 0xF0, 0x3E, 0x05, 0xCD, 0x20, 0x00, 0x32, 0x00, 0xC0, 0xDF, 0x00, 0x18, 0xF4}},
    {0x0018, {0x3C, 0xC9}},
    {0x0020, {0x3C, 0xCD, 0x28, 0x00, 0xC9}},
    {0x0028, {0x3C, 0xC9}},
};

class DebugSessionTest : public ::testing::Test {
protected:
    void start(std::initializer_list<std::pair<uint16_t, std::vector<uint8_t>>> program) {
        std::vector<uint8_t> rom(romSize);
        for (const auto& [address, bytes] : program)
            std::memcpy(rom.data() + address, bytes.data(), bytes.size());
        writeBytes(dir / "rom.bin", rom);
        ASSERT_TRUE(calculator.load(dir / "rom.bin", dir / "state.bin", false).usable(false));
        debug.open(false);
    }
    void run() {
        calculator.start();
        calculator.tick();  // the first instruction runs at the first tick
    }
    void TearDown() override {
        if (calculator.running()) {
            EXPECT_TRUE(calculator.stop());
        }
    }

    bool stops() {
        return waitUntil([&] { return debug.stopped(); });
    }
    uint16_t pc() { return debug.view().registers.pc; }
    uint8_t a() { return debug.view().registers.a; }

    TempDir dir;
    ScriptedFrontEnd front;
    Calculator calculator{front};
    DebugSession& debug = calculator.debugger();
};

TEST_F(DebugSessionTest, BreakStopsAtABoundaryAndStepIntoRunsOneInstruction) {
    start(callProgram);
    run();
    debug.breakIn();
    ASSERT_TRUE(debug.stopped());
    EXPECT_EQ(debug.lastStop().reason, StopReason::breakIn);
    const CpuRegisters before = debug.view().registers;
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(debug.view().registers.pc, before.pc) << "a stopped calculator runs on";

    ASSERT_TRUE(debug.addBreakpoint(0x0003));
    debug.continueRun();
    ASSERT_TRUE(stops());
    EXPECT_EQ(pc(), 0x0003);
    debug.stepInto();
    ASSERT_TRUE(stops());
    EXPECT_EQ(debug.lastStop().reason, StopReason::step);
    EXPECT_EQ(pc(), 0x0005);
    EXPECT_EQ(a(), 5);
    debug.stepInto();  // into the call
    ASSERT_TRUE(stops());
    EXPECT_EQ(pc(), 0x0020);
    EXPECT_EQ(debug.view().registers.sp, 0xEFFE);
}

TEST_F(DebugSessionTest, StepOverRunsCallsAndRestartsToTheirReturn) {
    start(callProgram);
    debug.addBreakpoint(0x0005);
    run();
    ASSERT_TRUE(stops());
    debug.stepOver();  // CALL sub, which calls inner
    ASSERT_TRUE(stops());
    EXPECT_EQ(pc(), 0x0008);
    EXPECT_EQ(a(), 7);
    EXPECT_EQ(debug.view().registers.sp, 0xF000);
    debug.stepOver();  // a plain instruction is one step
    ASSERT_TRUE(stops());
    EXPECT_EQ(pc(), 0x000B);
    debug.stepOver();  // RST 18h
    ASSERT_TRUE(stops());
    EXPECT_EQ(pc(), 0x000C);
    EXPECT_EQ(a(), 8);
    debug.stepOver();
    ASSERT_TRUE(stops());
    debug.stepOver();  // JR back
    ASSERT_TRUE(stops());
    EXPECT_EQ(pc(), 0x0003);
}

TEST_F(DebugSessionTest, StepOverStopsAtABreakpointInsideTheCall) {
    start(callProgram);
    debug.addBreakpoint(0x0005);
    debug.addBreakpoint(0x0028);
    run();
    ASSERT_TRUE(stops());
    debug.stepOver();
    ASSERT_TRUE(stops());
    EXPECT_EQ(debug.lastStop().reason, StopReason::breakpoint);
    EXPECT_EQ(pc(), 0x0028);
    debug.stepOut();  // out of inner, back in sub
    ASSERT_TRUE(stops());
    EXPECT_EQ(debug.lastStop().reason, StopReason::step);
    EXPECT_EQ(pc(), 0x0024);
    debug.stepOut();  // out of sub
    ASSERT_TRUE(stops());
    EXPECT_EQ(pc(), 0x0008);
    EXPECT_EQ(debug.view().registers.sp, 0xF000);
}

TEST_F(DebugSessionTest, RunToCursorAndAddressBreakpointsHitOncePerPass) {
    start(callProgram);
    debug.addBreakpoint(0x0008);
    run();
    ASSERT_TRUE(stops());
    EXPECT_EQ(pc(), 0x0008);
    EXPECT_EQ(debug.stopText(), "Breakpoint at 0008");
    // Continuing from a breakpoint runs it; the next pass stops there again.
    debug.continueRun();
    ASSERT_TRUE(stops());
    EXPECT_EQ(pc(), 0x0008);
    EXPECT_EQ(a(), 7);
    debug.runTo(0x000C);
    ASSERT_TRUE(stops());
    EXPECT_EQ(debug.lastStop().reason, StopReason::runToCursor);
    EXPECT_EQ(pc(), 0x000C);
    // A disabled breakpoint lets the run go past: only Run to Cursor stops it.
    debug.setBreakpointEnabled(0x0008, false);
    debug.runTo(0x000B);
    ASSERT_TRUE(stops());
    EXPECT_EQ(pc(), 0x000B);
    EXPECT_EQ(debug.lastStop().reason, StopReason::runToCursor);
}

TEST_F(DebugSessionTest, WriteBreakpointStopsBeforeTheWritingInstruction) {
    start(callProgram);
    ASSERT_TRUE(debug.addWriteBreakpoint(AddressRange{0xC000, 1}));
    run();
    ASSERT_TRUE(stops());
    EXPECT_EQ(debug.lastStop().reason, StopReason::writeBreakpoint);
    EXPECT_EQ(pc(), 0x0008);
    EXPECT_EQ(debug.memory(0xC000, 1)[0], 0) << "stopped after the write";
    EXPECT_EQ(debug.stopText(), "Write to C000 by the instruction at 0008");
    debug.stepInto();
    ASSERT_TRUE(stops());
    EXPECT_EQ(debug.memory(0xC000, 1)[0], 7);
    // The pushes of a call hit a range on the stack.
    debug.removeWriteBreakpoint(AddressRange{0xC000, 1});
    debug.addWriteBreakpoint(AddressRange{0xEFFE, 2});
    debug.continueRun();  // from the RST at 000B, which runs unchecked
    ASSERT_TRUE(stops());
    EXPECT_EQ(pc(), 0x0005);  // the call pushes its return address there
}

TEST_F(DebugSessionTest, StoppedCalculatorLetsRegistersAndRamBeChanged) {
    start(callProgram);
    debug.addBreakpoint(0x0008);
    run();
    ASSERT_TRUE(stops());
    CpuRegisters r = debug.view().registers;
    r.a = 0x40;
    r.pc = 0x000B;  // skip the store
    ASSERT_TRUE(debug.setRegisters(r));
    EXPECT_FALSE(debug.writeMemory(0x1234, 1)) << "ROM cannot change";
    ASSERT_TRUE(debug.writeMemory(0xC001, 0x99));
    debug.stepInto();
    ASSERT_TRUE(stops());
    EXPECT_EQ(pc(), 0x0018);  // ran the RST at the new PC
    EXPECT_EQ(debug.memory(0xC000, 2), (std::vector<uint8_t>{0x00, 0x99}));
    debug.continueRun();
    ASSERT_TRUE(stops());
    EXPECT_EQ(a(), 7);
    debug.removeBreakpoint(0x0008);
    debug.continueRun();
    std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(debug.stopped());
    EXPECT_FALSE(debug.setRegisters(r)) << "not while it runs";
}

TEST_F(DebugSessionTest, IllegalInstructionBreaksInsteadOfTheDialogWhileOpen) {
    // LD SP,F000; ED 00 (no instruction); INC A; JR to itself.
    start({{0x0000, {0x31, 0x00, 0xF0, 0xED, 0x00, 0x3C, 0x18, 0xFE}}});
    debug.setBreakOnIllegal(true);
    run();
    ASSERT_TRUE(stops());
    EXPECT_EQ(debug.lastStop().reason, StopReason::illegalInstruction);
    EXPECT_EQ(pc(), 0x0003);
    debug.stepInto();  // goes past it as the dialog's Yes does
    ASSERT_TRUE(stops());
    EXPECT_EQ(pc(), 0x0005);
    EXPECT_EQ(front.illegalOpcodeCalls(), 0);
    debug.close();  // closed, the calculator runs on unwatched
    EXPECT_FALSE(debug.stopped());
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(calculator.registers().a, 1);
    EXPECT_EQ(calculator.machine().supervisor, nullptr);
}

TEST_F(DebugSessionTest, StepOntoHaltSleepsAndTheNextStepWaitsForTheKey) {
    // LD SP,F000; EI; HALT; INC A; JR to the HALT. The interrupt: INC B; RET.
    start({{0x0000, {0x31, 0x00, 0xF0, 0xFB, 0x76, 0x3C, 0x18, 0xFC}}, {0x0038, {0x04, 0xC9}}});
    debug.addBreakpoint(0x0004);
    run();
    ASSERT_TRUE(stops());
    debug.stepInto();  // HALT
    ASSERT_TRUE(stops());
    EXPECT_EQ(pc(), 0x0005);
    EXPECT_TRUE(debug.view().asleep);

    // Keys wait while stopped: the timer delivers nothing.
    calculator.pressKey(*keyIndexOfCode(keyEnter));
    calculator.releaseMouse();
    for (int i = 0; i < 3; ++i) calculator.tick();
    EXPECT_TRUE(calculator.keyPending());

    debug.stepInto();  // sleeps until the key wakes it
    ASSERT_TRUE(
        waitUntil([&] { return calculator.machine().control.state() == LoopState::paused; }));
    EXPECT_FALSE(debug.stopped());
    ASSERT_TRUE(waitUntil([&] {
        calculator.tick();
        return debug.stopped();
    }));
    EXPECT_EQ(a(), 1);
    EXPECT_EQ(pc(), 0x0006);
    EXPECT_FALSE(calculator.keyPending());
    debug.stepInto();  // the interrupt comes first, then its first instruction
    ASSERT_TRUE(stops());
    EXPECT_EQ(pc(), 0x0039);
    EXPECT_EQ(debug.view().keyLatch, keyEnter);
}

TEST_F(DebugSessionTest, StopWhileStoppedEndsAtOnceWhereItStopped) {
    start(callProgram);
    debug.addBreakpoint(0x0020);
    run();
    ASSERT_TRUE(stops());
    const auto before = std::chrono::steady_clock::now();
    ASSERT_TRUE(calculator.stop());
    EXPECT_LT(std::chrono::steady_clock::now() - before, 1s);
    EXPECT_EQ(calculator.registers().pc, 0x0020);
    EXPECT_FALSE(debug.stopped());
}

TEST_F(DebugSessionTest, UploadIsRefusedWhileStopped) {
    start(callProgram);
    run();
    debug.breakIn();
    calculator.upload(false, dir / "none.85g");
    EXPECT_EQ(front.linkHints(), std::vector<LinkHint>{LinkHint::debuggerStopped});
    EXPECT_EQ(front.openDialogs(), 0);
}

TEST_F(DebugSessionTest, ListingFindsInstructionStartsAndNamesAddresses) {
    start(callProgram);
    const std::string symbols = dir / "rom.sym";
    std::ofstream(symbols) << "sub EQU 0020H\ninner EQU 0028H\nresult EQU 0C000H\n";
    ASSERT_TRUE(debug.loadSymbols(symbols));
    EXPECT_EQ(debug.symbolFileBesideRom(), symbols);
    run();
    debug.breakIn();
    const auto lines = debug.code(0x0000, 5);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[2].address, 0x0005);
    EXPECT_EQ(lines[2].text, "CALL sub");
    EXPECT_EQ(lines[3].text, "LD (result),A");
    EXPECT_EQ(debug.codeStartBefore(0x000B, 2), 0x0005);
    EXPECT_EQ(debug.codeStartBefore(0x0021, 1), 0x0020);
    EXPECT_EQ(debug.parseAddress("INNER"), 0x0028);
    EXPECT_EQ(debug.parseAddress("$1f"), 0x001F);
    EXPECT_EQ(debug.parseAddress("0C000h"), 0xC000);
    EXPECT_EQ(debug.parseAddress("10000"), std::nullopt);
    EXPECT_EQ(debug.addressText(0x0029), "0029 (inner+1)");
}

// An address typed as a number means that number; a symbol file whose names read as
// numbers says so, and those names stay out of the listing.
TEST_F(DebugSessionTest, NumbersAreAddressesAndNamesThatReadAsNumbersAreReported) {
    start(callProgram);
    const std::string symbols = dir / "odd.sym";
    std::ofstream(symbols) << "C000h EQU 0020H\nFFFF EQU 0028H\nsub EQU 0020H\n";
    const auto loaded = debug.loadSymbols(symbols);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(*loaded,
              "Left out, since they read as numbers (an address typed as a number means that "
              "number): C000h, FFFF.");
    EXPECT_EQ(debug.parseAddress("C000h"), 0xC000);
    EXPECT_EQ(debug.parseAddress("FFFF"), 0xFFFF);
    EXPECT_EQ(debug.parseAddress("sub"), 0x0020);
    EXPECT_EQ(debug.nameAt(0x0028), "");

    EXPECT_EQ(debug.loadSymbols(dir / "missing.sym").failure(),
              Failure::system(ENOENT, "No such file or directory."));
}

// A word is named by the routine whose CALL or RST would have pushed it; a constant
// that happens to equal the call's or the return's address is not that routine, nor
// is a name that starts at the return address.
TEST_F(DebugSessionTest, StackNamesTheWordsThatFollowACall) {
    start(callProgram);
    std::ofstream(dir / "rom.sym")
        << "main EQU 0000H\nsub EQU 0020H\nLIMIT EQU 0021H\nafterSub EQU 0008H\n";
    ASSERT_TRUE(debug.loadSymbols(dir / "rom.sym"));
    debug.addBreakpoint(0x0028);
    run();
    ASSERT_TRUE(stops());
    // Above the two return addresses: the one of RST 18h, and a word after an
    // instruction that calls nothing (LD (0C000h),A at 0008h).
    for (const auto& [address, value] : {std::pair{0xF000, 0x000C}, std::pair{0xF002, 0x000B}}) {
        ASSERT_TRUE(debug.writeMemory(static_cast<uint16_t>(address), static_cast<uint8_t>(value)));
        ASSERT_TRUE(debug.writeMemory(static_cast<uint16_t>(address + 1), 0x00));
    }
    const auto stack = debug.stack(4);
    EXPECT_EQ(stack[0].address, 0xEFFC);
    EXPECT_EQ(stack[0].value, 0x0024);
    EXPECT_EQ(stack[0].name, "sub+4");
    EXPECT_EQ(stack[1].value, 0x0008);
    EXPECT_EQ(stack[1].name, "main+8");
    EXPECT_EQ(stack[2].name, "afterSub+4");  // RST 18h at 000Bh
    EXPECT_EQ(stack[3].value, 0x000B);
    EXPECT_EQ(stack[3].name, "");
}

TEST_F(DebugSessionTest, BreakpointsAreKeptBesideTheStateFilePerRom) {
    start(callProgram);
    debug.close();
    debug.open(true);
    debug.toggleBreakpoint(0x0008);
    debug.addWriteBreakpoint(AddressRange{0xC000, 4});
    debug.setBreakOnIllegal(true);
    EXPECT_TRUE(debug.breakpointFileState());
    EXPECT_EQ(debug.breakpointFile(), dir / "state.bin.breakpoints");

    ScriptedFrontEnd otherFront;
    Calculator other(otherFront);
    ASSERT_TRUE(other.load(dir / "rom.bin", dir / "state.bin", false).usable(false));
    other.debugger().open(true);
    ASSERT_EQ(other.debugger().breakpoints().size(), 1u);
    EXPECT_EQ(other.debugger().breakpoints()[0].address, 0x0008);
    ASSERT_EQ(other.debugger().writeBreakpoints().size(), 1u);
    EXPECT_EQ(other.debugger().writeBreakpoints()[0].range, (AddressRange{0xC000, 4}));
    EXPECT_TRUE(other.debugger().breakOnIllegal());
    EXPECT_TRUE(other.debugger().breakpointFileState());
}

// A breakpoint file that cannot be read is said so and not written over; the edits
// made meanwhile are said not to be saved, instead of being dropped in silence.
TEST_F(DebugSessionTest, BreakpointFileThatCannotBeReadOrWrittenIsReported) {
    start(callProgram);
    debug.close();
    const std::string file = dir / "state.bin.breakpoints";
    test::writeText(file, "[rom 00000000]\nbreak 1000\n");
    std::filesystem::resize_file(file, maxBreakpointFileBytes + 1);
    debug.open(true);
    EXPECT_EQ(test::reasonOf(debug.breakpointFileState()),
              "The breakpoint file " + file +
                  " was not read, and is not written: It is larger than a breakpoint file may "
                  "be (1 MiB).");
    debug.addBreakpoint(0x0008);
    EXPECT_EQ(test::reasonOf(debug.breakpointFileState()),
              "The breakpoints are not saved in " + file +
                  ": It is larger than a breakpoint file may be (1 MiB). It is kept as it is.");
    EXPECT_EQ(std::filesystem::file_size(file), maxBreakpointFileBytes + 1);

    std::filesystem::remove(file);
    debug.addBreakpoint(0x000B);
    EXPECT_TRUE(debug.breakpointFileState());
}

// A debugger opened before any calculator was loaded has no state file to sit beside:
// its breakpoints stay in memory instead of landing in the current folder.
TEST(DebugSessionWithoutCalculator, BreakpointsWriteNoFile) {
    TempDir dir;
    const auto before = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    {
        ScriptedFrontEnd front;
        Calculator calculator{front};
        DebugSession& debug = calculator.debugger();
        debug.open(true);
        EXPECT_TRUE(debug.addBreakpoint(0x1234));
        EXPECT_EQ(debug.breakpoints().size(), 1u);
    }
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        ADD_FAILURE() << "written: " << entry.path();
    std::filesystem::current_path(before);
}

}  // namespace
}  // namespace vantrel::test
