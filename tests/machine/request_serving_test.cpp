// How runCpu serves the request word, on the calling thread: the host's repaint is
// where the test posts its next request, so every step is deterministic.
#include <gtest/gtest.h>

#include <functional>

#include "machine/run_loop.h"
#include "support/scripted_host.h"
#include "support/test_machine.h"

namespace vantrel {
namespace {

using test::makeMachine;
using test::placeProgram;

// A host that reacts to each repaint (numbered from 1) by posting a request.
class ReactingHost : public test::ScriptedHost {
public:
    std::function<void(int)> onRepaint;
    void repaintLcd() override {
        ScriptedHost::repaintLcd();
        if (onRepaint) onRepaint(repaints());
    }
};

struct LoopFixture : ::testing::Test {
    std::unique_ptr<Machine> m = makeMachine();
    ReactingHost host;
    void SetUp() override {
        m->setHost(&host);
        m->regs.sp = 0xF000;
        // 0x8000: a run of INC A, so A counts the instructions executed there.
        for (int i = 0; i < 64; ++i) m->mem.ram()[i] = 0x3C;
        m->regs.pc = 0x8000;
        m->mem.rom[0x0038] = 0x04;  // INC B: the interrupt routine's first instruction
        m->mem.rom[0x0039] = 0x04;
    }
    void stopAfterRepaint(int number) {
        host.onRepaint = [this, number](int n) {
            if (n == number) m->control.post(EmuRequest::Stop);
        };
    }
};

using RequestServing = LoopFixture;

TEST_F(RequestServing, StopAndAbortEndTheLoopBeforeTheNextInstruction) {
    m->control.post(EmuRequest::Stop);
    EXPECT_EQ(runCpu(*m), LoopEnd::stopped);
    EXPECT_EQ(m->regs.pc, 0x8000);
    EXPECT_EQ(m->regs.a, 0);
    EXPECT_EQ(m->control.pendingCode(), 0u);

    m->control.post(EmuRequest::Abort);
    EXPECT_EQ(runCpu(*m), LoopEnd::aborted);
    EXPECT_EQ(m->regs.a, 0);
}

TEST_F(RequestServing, EveryServedRequestIsFollowedByExactlyOneInstruction) {
    host.onRepaint = [this](int n) {
        m->control.post(n < 5 ? EmuRequest::Redraw : EmuRequest::Stop);
    };
    m->control.post(EmuRequest::Redraw);
    EXPECT_EQ(runCpu(*m), LoopEnd::stopped);
    EXPECT_EQ(host.repaints(), 5);
    EXPECT_EQ(m->regs.a, 5);
}

TEST_F(RequestServing, InterruptWithInterruptsEnabledGoesTo0x0038InPageZero) {
    m->mem.state.romBank = 3;
    for (uint8_t modeBits : {uint8_t{0}, intMode1Bit, intMode2Bit}) {
        SCOPED_TRACE(int(modeBits));
        m->regs.intFlags = intEnableBit | modeBits;
        m->regs.i = 0x12;
        m->regs.pc = 0x8000;
        m->regs.sp = 0xF000;
        m->regs.b = 0;
        host.onRepaint = [this](int) { m->control.post(EmuRequest::Stop); };
        m->control.post(EmuRequest::Interrupt);
        EXPECT_EQ(runCpu(*m), LoopEnd::stopped);
        EXPECT_EQ(readWord(*m, 0xEFFE), 0x8000);  // the next instruction's address
        EXPECT_EQ(m->regs.sp, 0xEFFE);
        EXPECT_EQ(m->regs.pc, 0x0039);
        EXPECT_EQ(m->regs.b, 1);
        EXPECT_EQ(m->regs.intFlags, intEnableBit | modeBits);  // not cleared on acceptance
    }
}

TEST_F(RequestServing, CodeSixIsServedLikeInterrupt) {
    m->regs.intFlags = intEnableBit;
    stopAfterRepaint(1);
    m->control.post(6);
    EXPECT_EQ(runCpu(*m), LoopEnd::stopped);
    EXPECT_EQ(m->regs.pc, 0x0039);
    EXPECT_EQ(host.repaints(), 1);
}

TEST_F(RequestServing, InterruptWithInterruptsDisabledIsLostEvenAfterEi) {
    // 0x8000: EI, then INC A.
    m->mem.ram()[0] = 0xFB;
    host.onRepaint = [this](int n) {
        m->control.post(n < 3 ? EmuRequest::Redraw : EmuRequest::Stop);
    };
    m->control.post(EmuRequest::Interrupt);
    EXPECT_EQ(runCpu(*m), LoopEnd::stopped);
    EXPECT_EQ(host.repaints(), 3);  // the dropped interrupt still repaints
    EXPECT_EQ(m->regs.intFlags, intEnableBit);
    EXPECT_EQ(m->regs.sp, 0xF000);
    EXPECT_EQ(m->regs.pc, 0x8003);
    EXPECT_EQ(m->regs.b, 0);
}

TEST_F(RequestServing, EiTakesEffectBeforeTheNextInstruction) {
    m->mem.ram()[0] = 0xFB;  // EI
    host.onRepaint = [this](int n) {
        m->control.post(n == 1 ? EmuRequest::Interrupt : EmuRequest::Stop);
    };
    m->control.post(EmuRequest::Redraw);
    EXPECT_EQ(runCpu(*m), LoopEnd::stopped);
    EXPECT_EQ(readWord(*m, 0xEFFE), 0x8001);  // accepted right after EI
}

TEST_F(RequestServing, ALaterRequestReplacesAPendingOne) {
    m->regs.intFlags = intEnableBit;
    stopAfterRepaint(1);
    m->control.post(EmuRequest::Interrupt);
    m->control.post(EmuRequest::Redraw);
    EXPECT_EQ(runCpu(*m), LoopEnd::stopped);
    EXPECT_EQ(m->regs.sp, 0xF000);  // the interrupt never happened
    EXPECT_EQ(m->regs.a, 1);
}

TEST_F(RequestServing, UnknownCodesAreClearedAndIgnored) {
    // 0x8000: INC A; INC A; then an opcode that is no instruction (answered "stop").
    m->mem.ram()[2] = 0xED;
    m->mem.ram()[3] = 0x00;
    m->control.post(7);
    EXPECT_EQ(runCpu(*m), LoopEnd::aborted);
    EXPECT_EQ(host.repaints(), 0);
    EXPECT_EQ(m->regs.a, 2);
    m->control.post(0x1234);
    jumpTo(*m, 0x8000);
    m->regs.a = 0;
    EXPECT_EQ(runCpu(*m), LoopEnd::aborted);
    EXPECT_EQ(m->regs.a, 2);
}

TEST_F(RequestServing, HaltWithInterruptsDisabledIsANoOperation) {
    // HALT, INC A, then an opcode that is no instruction (answered "stop").
    m->mem.ram()[0] = 0x76;
    m->mem.ram()[2] = 0xED;
    m->mem.ram()[3] = 0x00;
    EXPECT_EQ(runCpu(*m), LoopEnd::aborted);
    EXPECT_EQ(m->regs.a, 1);
    EXPECT_EQ(host.repaints(), 0);
}

TEST_F(RequestServing, LoopEntryDerivesFetchPointerFromPc) {
    m->fetchPointer = m->mem.rom.data();  // stale, as after replacing the registers
    m->regs.pc = 0x8000;
    stopAfterRepaint(1);
    m->control.post(EmuRequest::Redraw);
    EXPECT_EQ(runCpu(*m), LoopEnd::stopped);
    EXPECT_EQ(m->regs.a, 1);
}

}  // namespace
}  // namespace vantrel

namespace vantrel {
namespace {

TEST(HaltRequest, HaltReplacesARepaintButNotAStopAbortOrInterrupt) {
    auto m = test::makeMachine();
    m->regs.intFlags = intEnableBit;
    for (EmuRequest pending : {EmuRequest::None, EmuRequest::Redraw}) {
        m->control.emuRequest = code(pending);
        test::placeProgram(*m, 0x8000, {0x76});
        test::step(*m);
        EXPECT_EQ(m->control.pendingCode(), code(EmuRequest::Pause)) << code(pending);
        EXPECT_EQ(m->regs.pc, 0x8001);
    }
    // The close sequence's Stop, posted just before HALT runs, must survive it, and
    // so must a key's Interrupt.
    for (EmuRequest ending : {EmuRequest::Stop, EmuRequest::Abort, EmuRequest::Interrupt}) {
        m->control.emuRequest = code(ending);
        test::placeProgram(*m, 0x8000, {0x76});
        test::step(*m);
        EXPECT_EQ(m->control.pendingCode(), code(ending));
    }
    // The hold bit stays beside the pause.
    m->control.emuRequest = holdRequestBit;
    test::placeProgram(*m, 0x8000, {0x76});
    test::step(*m);
    EXPECT_EQ(m->control.emuRequest.load(), holdRequestBit | code(EmuRequest::Pause));
    // With interrupts disabled nothing is posted.
    m->control.emuRequest = 0;
    m->regs.intFlags = intMode1Bit;
    test::placeProgram(*m, 0x8000, {0x76});
    test::step(*m);
    EXPECT_EQ(m->control.emuRequest.load(), 0u);
}

}  // namespace
}  // namespace vantrel
