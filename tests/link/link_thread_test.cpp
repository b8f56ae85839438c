// The upload starts on the user-interface thread while the emulation thread keeps
// accessing port 7. Run under ThreadSanitizer.
#include <atomic>
#include <thread>

#include "link/link_fixture.h"
#include "machine/bus.h"
#include "machine/emulation_thread.h"

namespace vantrel::test {
namespace {

// The emulation thread as the loop runs it: it starts on the first resume, looks at
// the request word before every instruction (each port access here) and rests there
// while the user-interface thread holds it.
class CalculatorThread {
public:
    CalculatorThread(Machine& m, CalculatorSide& calc, std::function<void()> body) : m_(m) {
        calc.beforeAccess = [this] { boundary(); };
        thread_ = std::thread([this, body = std::move(body)] {
            m_.control.waitForStart();
            body();
            m_.control.loopEnded();
        });
        m_.control.resume();
    }
    ~CalculatorThread() { thread_.join(); }

private:
    void boundary() {
        ThreadControl& control = m_.control;
        if (control.emuRequest.load(std::memory_order_relaxed) == 0) return;
        if (control.emuRequest.exchange(0, std::memory_order_acq_rel) & holdRequestBit)
            control.honourHold();
    }

    Machine& m_;
    std::thread thread_;
};

using LinkThreadTest = LinkFixture;

TEST_F(LinkThreadTest, UploadStartsWhileTheCalculatorPollsThePort) {
    const auto header = varHeader(0x00, "A", 10);
    const auto data = bytesOf(10, 4);
    const auto path = (dir / "up.85n").string();
    writeBytes(path, variableFile({header, data}));

    for (int round = 0; round < 10; ++round) {
        auto machine = makeMachine();
        machine->setHost(&host);
        std::memcpy(machine->mem.state.ram.data() + 0xDF, " Waiting", 8);
        machine->mem.state.port3Value = 0x0B;
        CalculatorSide side(*machine);
        std::vector<std::vector<uint8_t>> seen;
        std::atomic<bool> started{false};
        {
            CalculatorThread thread(*machine, side, [&] {
                // The receive screen: read until the PC's first packet arrives.
                std::optional<std::vector<uint8_t>> packet;
                for (long tries = 0; !packet && tries < 50'000'000; ++tries) {
                    packet = side.receivePacket();
                    if (!packet && tries % 64 == 0) std::this_thread::yield();
                }
                if (!packet) return;
                seen.push_back(*packet);
                side.sendBytes(calcPacket(cmdAck));
                side.sendBytes(calcPacket(cmdCts));
                for (int i = 0; i < 2; ++i)
                    seen.push_back(side.receivePacket().value_or(std::vector<uint8_t>{}));
                side.sendBytes(calcPacket(cmdAck));
                seen.push_back(side.receivePacket().value_or(std::vector<uint8_t>{}));
                side.sendBytes(calcPacket(cmdAck));
            });
            // Let the calculator reach its polling before the upload starts.
            while (machine->control.state() == LoopState::notStarted) std::this_thread::yield();
            vantrel::startUpload(*machine, front, path);
            started = true;
        }
        ASSERT_TRUE(started);
        const std::vector<std::vector<uint8_t>> expected{pcPacket(cmdVar, header), pcPacket(cmdAck),
                                                         pcPacket(cmdData, data), pcPacket(cmdEot)};
        EXPECT_EQ(seen, expected) << "round " << round;
        EXPECT_TRUE(side.faults().empty());
        EXPECT_EQ(machine->link.state(), LinkState::Idle);
        EXPECT_EQ(LinkEngineProbe(machine->link).receiveMode, 1u);
    }
}

TEST_F(LinkThreadTest, RefusedUploadsDuringAReceiveLeaveItWhole) {
    const auto header = varHeader(0x00, "A", 10);
    const auto data = bytesOf(10, 4);
    std::atomic<bool> done{false};
    {
        CalculatorThread thread(*m, calc, [&] {
            calc.sendBytes(calcPacket(cmdVar, header));
            calc.receiveAll();
            calc.sendBytes(calcPacket(cmdAck));
            calc.sendBytes(calcPacket(cmdData, data));
            calc.receiveAll();
            calc.sendBytes(calcPacket(cmdEot));
            calc.receiveAll();
            done = true;
        });
        // The calculator is sending, not waiting: every attempt only gets the hint.
        int attempts = 0;
        while (!done) {
            startUpload((dir / "none.85g").string());
            ++attempts;
            std::this_thread::yield();
        }
        EXPECT_EQ(static_cast<int>(front.linkHints().size()), attempts);
    }
    EXPECT_TRUE(calc.faults().empty());
    EXPECT_EQ(readBytes(host.saveName), variableFileWithComment({header, data}));
    EXPECT_TRUE(engineAtRest());
}

TEST_F(LinkThreadTest, UploadStartsWhileTheRunningLoopExecutesPortAccesses) {
    const auto header = varHeader(0x00, "A", 10);
    const auto path = (dir / "up.85n").string();
    writeBytes(path, variableFile({header, bytesOf(10, 4)}));
    showWaiting();
    // A calculator taking whatever the PC presents: wait for a bit, answer it, release.
    placeProgram(*m, 0x9000,
                 {
                     0xDB, 0x07,  // loop: in a,(7)
                     0xFE, 0x03,  //       cp 3
                     0x28, 0xFA,  //       jr z,loop
                     0xD3, 0x07,  //       out (7),a
                     0x3E, 0xC0,  //       ld a,0C0h
                     0xD3, 0x07,  //       out (7),a
                     0x18, 0xF2,  //       jr loop
                 });
    EmulationThread thread(*m);
    m->control.resume();
    startUpload(path);

    bool headerTaken = false;
    for (int i = 0; i < 1'000'000 && !headerTaken; ++i) {
        HoldGuard guard(m->control);
        headerTaken = LinkEngineProbe(m->link).sending == 0;
    }
    EXPECT_TRUE(headerTaken);
    {
        HoldGuard guard(m->control);
        EXPECT_EQ(m->link.state(), LinkState::TxHeader);
        EXPECT_EQ(LinkEngineProbe(m->link).variables.count(), 1);
        EXPECT_EQ(LinkEngineProbe(m->link).sendQueue.bitIndex, 8);
    }
    EXPECT_TRUE(thread.stop());
}

}  // namespace
}  // namespace vantrel::test
