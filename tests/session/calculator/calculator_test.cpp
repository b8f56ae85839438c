// One running calculator: what load, start, stop and save do with the ROM image and
// the state file, the rules for closing, and the loop's calls answered on the front
// end's own thread.
#include "session/calculator/calculator.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <future>
#include <mutex>
#include <thread>

#include "hardware/hardware_ports.h"
#include "hardware/state_block.h"
#include "machine/illegal_opcode.h"
#include "machine/machine.h"
#include "machine/thread_control.h"
#include "session/calculator/session_host.h"
#include "session/keys/key_table.h"
#include "support/scripted_front_end.h"
#include "support/temp_dir.h"

namespace vantrel::test {
namespace {

using namespace std::chrono_literals;

std::vector<uint8_t> passingRom() {
    std::vector<uint8_t> rom(romSize);
    std::memcpy(rom.data() + 0x328A, "10.0", 4);
    rom[0x0158] = 0x46;
    rom[0x0141] = 0x05;
    rom[0x0149] = 0x0E;
    rom[0x0000] = 0x18;  // JR -2: spins at 0 once the processor runs it
    rom[0x0001] = 0xFE;
    return rom;
}

TEST(CalculatorTest, UnusableRomNeverRunsNorSaves) {
    TempDir dir;
    ScriptedFrontEnd front;
    Calculator missing(front);
    EXPECT_EQ(missing.load(dir / "none.bin", dir / "state.bin", true).outcome, RomLoad::missing);
    EXPECT_FALSE(missing.usable());
    missing.start();
    EXPECT_FALSE(missing.running());
    EXPECT_FALSE(missing.saveState());
    EXPECT_EQ(missing.saveOnClose(SaveStateMode::always, true), CloseSave::discard);

    auto rom = passingRom();
    rom[0x0141] = 0;
    writeBytes(dir / "old.bin", rom);
    Calculator wrong(front);
    EXPECT_EQ(wrong.load(dir / "old.bin", dir / "state.bin", true).outcome, RomLoad::wrongVersion);
    EXPECT_FALSE(wrong.usable());
    Calculator allowed(front);
    EXPECT_EQ(allowed.load(dir / "old.bin", dir / "state.bin", false).outcome,
              RomLoad::wrongVersion);
    EXPECT_TRUE(allowed.usable());
    EXPECT_FALSE(std::filesystem::exists(dir / "state.bin"));
}

TEST(CalculatorThreadTest, StopEndsTheLoopAndTheStateComesBackNextTime) {
    TempDir dir;
    writeBytes(dir / "rom.bin", passingRom());
    ScriptedFrontEnd front;
    CpuRegisters before;
    {
        Calculator calculator(front);
        ASSERT_EQ(calculator.load(dir / "rom.bin", dir / "state.bin", true).outcome,
                  RomLoad::loaded);
        EXPECT_FALSE(calculator.stateRestored());
        calculator.start();
        for (int i = 0; i < 3; ++i) {
            calculator.tick();
            std::this_thread::sleep_for(20ms);
        }
        EXPECT_FALSE(calculator.saveState());  // not while the thread runs
        ASSERT_TRUE(calculator.stop());
        EXPECT_EQ(calculator.loopEnd(), LoopEnd::stopped);
        EXPECT_EQ(front.loopEnds(), std::vector<LoopEnd>{LoopEnd::stopped});
        before = calculator.registers();
        EXPECT_TRUE(calculator.calculatorOn());
        ASSERT_TRUE(calculator.saveState());
    }
    const auto file = readBytes(dir / "state.bin");
    ASSERT_EQ(file.size(), stateFileSize);
    EXPECT_EQ(file[0x8000 + 12] | file[0x8000 + 13] << 8, before.pc);

    Calculator again(front);
    ASSERT_TRUE(again.load(dir / "rom.bin", dir / "state.bin", true).usable(true));
    EXPECT_TRUE(again.stateRestored());
    EXPECT_EQ(again.registers().sp, before.sp);
}

TEST(CalculatorTest, ClosingSavesAsTheModeSaysAndNeverAfterARefusedInstruction) {
    TempDir dir;
    auto rom = passingRom();
    rom[0x0000] = 0xED;  // no instruction here: the trap, and the front end says stop
    rom[0x0001] = 0x00;
    writeBytes(dir / "rom.bin", rom);
    ScriptedFrontEnd front;
    Calculator calculator(front);
    ASSERT_TRUE(calculator.load(dir / "rom.bin", dir / "state.bin", true).usable(true));
    EXPECT_EQ(calculator.saveOnClose(SaveStateMode::always, true), CloseSave::save);
    EXPECT_EQ(calculator.saveOnClose(SaveStateMode::never, true), CloseSave::discard);
    EXPECT_EQ(calculator.saveOnClose(SaveStateMode::showDialog, true), CloseSave::ask);
    // Without a question a calculator that is on is kept.
    EXPECT_EQ(calculator.saveOnClose(SaveStateMode::showDialog, false), CloseSave::save);

    calculator.start();
    calculator.tick();
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!calculator.loopEnd() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(5ms);
    EXPECT_EQ(calculator.loopEnd(), LoopEnd::aborted);
    EXPECT_EQ(front.illegalOpcodeCalls(), 1);
    EXPECT_EQ(calculator.saveOnClose(SaveStateMode::always, true), CloseSave::discard);
    EXPECT_TRUE(calculator.stop());
}

// Two calculators on one state file: whichever closed last would write over the
// other's work, so the second never writes it (and is not asked to), and a switch to
// a state file in use is refused with the old one kept.
TEST(CalculatorTest, StateFileBelongsToOneRunningCalculatorAtATime) {
    TempDir dir;
    writeBytes(dir / "rom.bin", passingRom());
    ScriptedFrontEnd front;
    auto first = std::make_unique<Calculator>(front);
    ASSERT_TRUE(first->load(dir / "rom.bin", dir / "state.bin", true).usable(true));
    EXPECT_FALSE(first->stateFileInUse());
    EXPECT_EQ(first->claimedStateFile(), dir / "state.bin");
    ASSERT_TRUE(first->saveState());
    const auto saved = readBytes(dir / "state.bin");

    Calculator second(front);
    ASSERT_TRUE(second.load(dir / "rom.bin", dir / "state.bin", true).usable(true));
    EXPECT_TRUE(second.stateFileInUse());
    EXPECT_EQ(second.stateFileHolder(), ::getpid());
    EXPECT_TRUE(second.stateRestored());  // it runs on what the file holds
    EXPECT_EQ(second.saveOnClose(SaveStateMode::always, true), CloseSave::discard);
    EXPECT_EQ(second.saveState().failure(), Failure::decline(stateFileInUseText));

    Calculator third(front);
    ASSERT_TRUE(third.load(dir / "rom.bin", dir / "other.bin", true).usable(true));
    EXPECT_EQ(third.reloadState(dir / "state.bin").outcome, StateLoad::inUse);
    EXPECT_TRUE(third.reloadRefused());
    EXPECT_EQ(third.ramPath(), dir / "other.bin");
    EXPECT_EQ(third.claimedStateFile(), dir / "other.bin");

    // Once the first has gone, the file is free again.
    first.reset();
    EXPECT_TRUE(third.reloadState(dir / "state.bin").restored());
    EXPECT_FALSE(third.reloadRefused());
    EXPECT_TRUE(third.saveState());
    EXPECT_EQ(readBytes(dir / "state.bin"), saved);
}

// A file at the state path that is no state file (a text file, a huge file, a folder)
// is said to be so, the calculator starts cold, and the file is never written over
// until the user chooses to replace it.
TEST(CalculatorTest, FileThatIsNoStateFileIsKeptUnlessReplacingIsChosen) {
    TempDir dir;
    writeBytes(dir / "rom.bin", passingRom());
    writeText(dir / "notes.txt", "my notes\n");
    std::vector<uint8_t> big(100000, 0x5A);
    writeBytes(dir / "big.bin", big);
    std::filesystem::create_directory(dir / "folder.bin");
    ScriptedFrontEnd front;

    Calculator notes(front);
    ASSERT_TRUE(notes.load(dir / "rom.bin", dir / "notes.txt", true).usable(true));
    EXPECT_EQ(notes.stateLoad().outcome, StateLoad::wrongSize);
    EXPECT_EQ(notes.stateLoad().size, 9u);
    EXPECT_TRUE(notes.stateFileKept());
    EXPECT_EQ(notes.saveState().failure(), Failure::decline(notAStateFileKeptText));
    EXPECT_EQ(readText(dir / "notes.txt"), "my notes\n");
    notes.allowReplacingStateFile();
    EXPECT_TRUE(notes.saveState());
    EXPECT_EQ(std::filesystem::file_size(dir / "notes.txt"), stateFileSize);

    Calculator large(front);
    ASSERT_TRUE(large.load(dir / "rom.bin", dir / "big.bin", true).usable(true));
    EXPECT_EQ(large.stateLoad().outcome, StateLoad::wrongSize);
    EXPECT_EQ(large.stateLoad().size, big.size());
    EXPECT_EQ(large.machine().mem.state.ram[0], 0);  // none of it was taken for RAM
    EXPECT_FALSE(large.saveState());
    EXPECT_EQ(readBytes(dir / "big.bin"), big);

    Calculator folder(front);
    ASSERT_TRUE(folder.load(dir / "rom.bin", dir / "folder.bin", true).usable(true));
    EXPECT_EQ(folder.stateLoad().outcome, StateLoad::unreadable);
    EXPECT_EQ(folder.stateLoad().failure, Failure::system(EISDIR));
    EXPECT_TRUE(folder.stateFileKept());

    // A missing file is no problem: it is made at the first save.
    Calculator fresh(front);
    ASSERT_TRUE(fresh.load(dir / "rom.bin", dir / "new.bin", true).usable(true));
    EXPECT_EQ(fresh.stateLoad().outcome, StateLoad::missing);
    EXPECT_FALSE(fresh.stateFileKept());
    EXPECT_TRUE(fresh.saveState());
}

// The hardware model: the ROM image as it is, keys held together on the matrix and
// typed keys pressed in emulated time, a state file with its block.
TEST(CalculatorThreadTest, HardwareModelHoldsAndTypesKeysAndSavesItsBlock) {
    TempDir dir;
    writeBytes(dir / "rom.bin", passingRom());
    ScriptedFrontEnd front;
    Calculator calculator(front);
    calculator.setModel(MachineModel::hardware);
    ASSERT_TRUE(calculator.load(dir / "rom.bin", dir / "state.bin", true).usable(true));
    Machine& m = calculator.machine();
    EXPECT_EQ(m.mem.rom[0x0158], 0x46);  // unpatched

    const auto index = [](uint8_t code) { return *keyIndexOfCode(code); };
    EXPECT_EQ(calculator.pcKeyDown(1, PcKey::other, U'7'), PressOutcome::queued);
    EXPECT_EQ(calculator.pcKeyDown(2, PcKey::other, U'8'), PressOutcome::queued);
    EXPECT_EQ(m.hardware.heldKeys.load(), keyBit(key7) | keyBit(key8));
    EXPECT_EQ(calculator.shownKey(), index(key8));
    calculator.pcKeyUp(2);  // a tap: held on until the calculator can have seen it
    EXPECT_EQ(m.hardware.heldKeys.load(), keyBit(key7) | keyBit(key8));
    calculator.tick();
    EXPECT_EQ(m.hardware.heldKeys.load(), keyBit(key7) | keyBit(key8));
    std::this_thread::sleep_for(minimumKeyHold);
    calculator.tick();
    EXPECT_EQ(m.hardware.heldKeys.load(), keyBit(key7));
    EXPECT_EQ(calculator.pressKey(index(keyOn)), PressOutcome::queued);  // the mouse too
    EXPECT_EQ(m.hardware.heldKeys.load(), keyBit(key7) | onKeyBit);
    calculator.releasePcKeys();
    std::this_thread::sleep_for(minimumKeyHold);
    calculator.releaseMouse();
    EXPECT_EQ(m.hardware.heldKeys.load(), 0u);

    EXPECT_EQ(calculator.typeCharacter(U'5'), PressOutcome::queued);
    EXPECT_EQ(calculator.keyQueueRoom(), typedKeyCapacity - 1);
    EXPECT_TRUE(calculator.keyPending());
    calculator.start();
    const auto until = std::chrono::steady_clock::now() + 5s;
    while (calculator.keyPending() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(10ms);
    EXPECT_FALSE(calculator.keyPending());  // pressed, released and through its gap
    ASSERT_TRUE(calculator.stop());
    ASSERT_TRUE(calculator.saveState());
    EXPECT_EQ(std::filesystem::file_size(dir / "state.bin"), stateFileSize + stateBlockSize);
}

TEST(CalculatorThreadTest, ResetColdStartsASleepingCalculatorAndForgetsItsKeys) {
    TempDir dir;
    auto rom = passingRom();
    const std::vector<uint8_t> program = {
        0xF3,              // DI
        0x31, 0x00, 0xF0,  // LD SP,0xF000
        0x3A, 0x00, 0x81,  // LD A,(0x8100)  counts the starts from 0x0000
        0x3C,              // INC A
        0x32, 0x00, 0x81,  // LD (0x8100),A
        0xED, 0x56,        // IM 1
        0xFB, 0x76,        // EI; HALT
        0x18, 0xFC,        // JR back to EI
    };
    std::copy(program.begin(), program.end(), rom.begin());
    rom[0x38] = 0xFB;  // EI
    rom[0x39] = 0xC9;  // RET
    writeBytes(dir / "rom.bin", rom);
    ScriptedFrontEnd front;
    Calculator calculator(front);
    ASSERT_TRUE(calculator.load(dir / "rom.bin", dir / "state.bin", true).usable(true));
    EXPECT_FALSE(calculator.reset());  // nothing runs yet

    Machine& m = calculator.machine();
    auto ram = [&m](uint16_t address) {
        HoldGuard hold(m.control);
        return m.mem.ram()[address - 0x8000];
    };
    calculator.start();
    calculator.tick();
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!calculator.asleep() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(5ms);
    ASSERT_TRUE(calculator.asleep());
    ASSERT_EQ(ram(0x8100), 1);
    {
        HoldGuard hold(m.control);
        m.mem.ram()[0x0100] = 0x41;
        m.mem.ram()[0x1000] = 0x5A;
    }
    calculator.pcKeyDown(1, PcKey::other, U'7');
    calculator.pcKeyUp(1);
    ASSERT_TRUE(calculator.keyPending());

    // No tick: the reset itself wakes the calculator, which starts on cleared memory.
    ASSERT_TRUE(calculator.reset());
    EXPECT_FALSE(calculator.keyPending());
    while (ram(0x8100) != 1 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(5ms);
    EXPECT_EQ(ram(0x8100), 1);
    EXPECT_EQ(ram(0x9000), 0);
    EXPECT_EQ(m.keyLatch.load(), 0u);
    EXPECT_TRUE(calculator.calculatorOn());
    EXPECT_TRUE(calculator.stop());
    EXPECT_FALSE(std::filesystem::exists(dir / "state.bin"));
}

// A front end with a thread of its own, whose work waits in a queue until the test
// lets it run, as the window's event loop does.
class QueueFrontEnd : public ScriptedFrontEnd {
public:
    void post(std::function<void()> work) override {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(work));
        cv_.notify_all();
    }
    bool onOwnThread() const override { return std::this_thread::get_id() == owner_; }
    // Runs what is queued until done() holds, for at most five seconds.
    bool runUntil(const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (!done()) {
            std::function<void()> work;
            {
                std::unique_lock lock(mutex_);
                if (!cv_.wait_until(lock, deadline, [&] { return !queue_.empty(); })) return done();
                work = std::move(queue_.front());
                queue_.pop_front();
            }
            work();
        }
        return true;
    }
    std::size_t queued() {
        std::lock_guard lock(mutex_);
        return queue_.size();
    }

private:
    std::thread::id owner_ = std::this_thread::get_id();
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> queue_;
};

TEST(SessionHostThread, BlockingCallsAreAnsweredOnTheFrontEndsThread) {
    QueueFrontEnd front;
    front.saveName = "chosen.85n";
    front.illegalOpcodeAnswer = IllegalOpcodeAnswer::carryOn;
    SessionHost host(front);
    auto results = std::async(std::launch::async, [&] {
        CpuRegisters regs;
        regs.pc = 0x1234;
        return std::make_tuple(host.askSaveName(false),
                               host.illegalOpcode(IllegalOpcodeSnapshot{regs, {}, {}}));
    });
    ASSERT_TRUE(front.runUntil([&] { return results.wait_for(0s) == std::future_status::ready; }));
    const auto [name, answer] = results.get();
    EXPECT_EQ(name, "chosen.85n");
    EXPECT_EQ(answer, IllegalOpcodeAnswer::carryOn);
}

TEST(SessionHostThread, StoppingAnswersAWaitingCallAndLaterOnesAtOnce) {
    QueueFrontEnd front;
    front.saveName = "never.85g";
    SessionHost host(front);
    // The queue is not run: the call can only end through beginStop.
    auto result = std::async(std::launch::async, [&] { return host.askSaveName(false); });
    EXPECT_EQ(result.wait_for(100ms), std::future_status::timeout);
    host.beginStop();
    EXPECT_EQ(result.get(), std::nullopt);
    // The queued dialog is not shown afterwards, and new calls return at once.
    front.runUntil([&] { return front.queued() == 0; });
    EXPECT_EQ(host.askSaveName(true), std::nullopt);
    host.repaintLcd();
    EXPECT_EQ(front.queued(), 0u);
}

TEST(SessionHostThread, CallsOnTheFrontEndsThreadRunDirectly) {
    QueueFrontEnd front;
    front.saveName = "direct.85g";
    SessionHost host(front);
    EXPECT_EQ(host.askSaveName(false), "direct.85g");  // would wait for ever if queued to itself
}

TEST(SessionHostThread, WorkQueuedBeforeTheHostWentFindsNobody) {
    QueueFrontEnd front;
    {
        SessionHost host(front);
        std::thread([&] { host.repaintLcd(); }).join();
    }
    EXPECT_EQ(front.queued(), 1u);
    front.runUntil([&] { return front.queued() == 0; });
    EXPECT_EQ(front.repaints(), 0);
}

}  // namespace
}  // namespace vantrel::test
