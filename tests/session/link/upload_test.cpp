#include "session/link/upload.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "machine/emulation_thread.h"
#include "machine/machine.h"
#include "support/scripted_front_end.h"
#include "support/test_machine.h"

using namespace std::chrono_literals;

namespace vantrel {
namespace {

// Answers the Open dialog from a script and records the sleeps instead of sleeping.
class ScriptedDialogs : public test::ScriptedFrontEnd {
public:
    std::optional<std::string> answer;
    int dialogs = 0;
    std::vector<std::chrono::milliseconds> sleeps;
    std::function<void()> onSleep;

    std::optional<std::string> chooseUploadFile() override {
        ++dialogs;
        return answer;
    }
    void sleepFor(std::chrono::milliseconds duration) override {
        sleeps.push_back(duration);
        if (onSleep) onSleep();
    }
};

void switchOn(Machine& m) { m.mem.state.port3Value |= 0x08; }
void showWaiting(Machine& m) { std::memcpy(m.mem.ram() + (0x80DF - 0x8000), " Waiting", 8); }

TEST(UploadFlow, CalculatorOffShowsNothingAndTypesNothing) {
    auto m = test::makeMachine();
    showWaiting(*m);  // text memory is not looked at while the display is off
    ScriptedDialogs dialogs;
    dialogs.answer = "/tmp/x.85p";
    uploadFile(*m, dialogs, true);
    EXPECT_EQ(dialogs.dialogs, 0);
    EXPECT_TRUE(dialogs.sleeps.empty());
    EXPECT_EQ(m->keyLatch.load(), 0u);
    EXPECT_EQ(m->control.pendingCode(), 0u);
}

TEST(UploadFlow, WaitingScreenSkipsTheLinkAttempts) {
    auto m = test::makeMachine();
    switchOn(*m);
    showWaiting(*m);
    ScriptedDialogs dialogs;
    dialogs.answer = "/nonexistent/prog.85p";
    uploadFile(*m, dialogs, true);
    EXPECT_EQ(dialogs.dialogs, 1);
    EXPECT_TRUE(dialogs.sleeps.empty());
    // The chosen file ends in an interrupt without a key.
    EXPECT_EQ(m->keyLatch.load(), 0u);
    EXPECT_EQ(m->control.pendingCode(), code(EmuRequest::Interrupt));
}

TEST(UploadFlow, LinkAttemptsStopWhenTheScreenWaitsAndNeverExceedThree) {
    auto m = test::makeMachine();
    switchOn(*m);
    ScriptedDialogs dialogs;
    dialogs.answer = "/nonexistent/prog.85p";
    uploadFile(*m, dialogs, true);
    ASSERT_EQ(dialogs.sleeps.size(), 3u);
    for (auto sleep : dialogs.sleeps) EXPECT_EQ(sleep, 500ms);
    EXPECT_EQ(dialogs.dialogs, 1);

    auto second = test::makeMachine();
    switchOn(*second);
    ScriptedDialogs early;
    early.onSleep = [&] { showWaiting(*second); };
    uploadFile(*second, early, true);
    EXPECT_EQ(early.sleeps.size(), 1u);
    EXPECT_EQ(early.dialogs, 1);
}

TEST(UploadFlow, GivenFileSkipsTheDialogAndTheOnKey) {
    auto m = test::makeMachine();
    switchOn(*m);
    showWaiting(*m);
    ScriptedDialogs dialogs;
    uploadFile(*m, dialogs, true, "/nonexistent/prog.85p");
    EXPECT_EQ(dialogs.dialogs, 0);
    EXPECT_EQ(m->keyLatch.load(), 0u);
    EXPECT_EQ(m->control.pendingCode(), code(EmuRequest::Interrupt));
}

TEST(UploadFlow, NoLinkAttemptsWhenSwitchedOff) {
    auto m = test::makeMachine();
    switchOn(*m);
    ScriptedDialogs dialogs;
    dialogs.answer = "/nonexistent/prog.85p";
    uploadFile(*m, dialogs, false);
    EXPECT_TRUE(dialogs.sleeps.empty());
    EXPECT_EQ(dialogs.dialogs, 1);
}

// A calculator that sleeps in HALT and counts, in its interrupt routine, every
// interrupt (0x8101) and every one that came with [ON] (0x8100).
void placeSleepingCalculator(Machine& m) {
    switchOn(m);
    m.regs.sp = 0xFFF0;
    test::placeProgram(m, 0x0038,
                       {
                           0xF5,              // PUSH AF
                           0xE5,              // PUSH HL
                           0x21, 0x01, 0x81,  // LD HL,0x8101
                           0x34,              // INC (HL)
                           0xDB, 0x03,        // IN A,(3)
                           0xE6, 0x01,        // AND 1
                           0x28, 0x02,        // JR Z,+2
                           0x2B,              // DEC HL
                           0x34,              // INC (HL)
                           0xE1,              // POP HL
                           0xF1,              // POP AF
                           0xFB,              // EI
                           0xC9,              // RET
                       });
    test::placeProgram(m, 0x0000,
                       {
                           0xFB,        // EI
                           0x76,        // HALT
                           0x18, 0xFC,  // JR 0x0000
                       });
}

template <class Condition>
bool eventually(Condition condition) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

TEST(UploadInjectThread, CancelledDialogPressesOnTwice) {
    auto m = test::makeMachine();
    placeSleepingCalculator(*m);
    EmulationThread thread(*m);
    m->control.resume();
    ASSERT_TRUE(eventually([&] { return m->control.state() == LoopState::paused; }));

    ScriptedDialogs dialogs;  // cancels
    uploadFile(*m, dialogs, false);
    EXPECT_EQ(dialogs.dialogs, 1);

    // RAM is read under the hold, so the loop rests while the test looks.
    ASSERT_TRUE(eventually([&] {
        HoldGuard hold(m->control);
        return *m->mem.ramAt(0x8101) >= 2;
    }));
    ASSERT_TRUE(eventually([&] { return m->control.state() == LoopState::paused; }));
    EXPECT_TRUE(thread.stop());
    EXPECT_EQ(*m->mem.ramAt(0x8100), 2);
    EXPECT_EQ(*m->mem.ramAt(0x8101), 2);
    EXPECT_EQ(m->keyLatch.load(), keyOn);
}

}  // namespace
}  // namespace vantrel

namespace vantrel {
namespace {

TEST(SaveNameExtension, OnlyTheFileNameCountsAndABackupGetsItsOwn) {
    EXPECT_EQ(withVariableFileExtension("/calc/prog", false), "/calc/prog.85g");
    EXPECT_EQ(withVariableFileExtension("/calc/prog", true), "/calc/prog.85b");
    // Dotted folders are common on Linux; they say nothing about the file's name.
    EXPECT_EQ(withVariableFileExtension("/home/u/.local/share/v1.2/prog", false),
              "/home/u/.local/share/v1.2/prog.85g");
    EXPECT_EQ(withVariableFileExtension("v1.2/backup", true), "v1.2/backup.85b");
    EXPECT_EQ(withVariableFileExtension("/x/.hidden", false), "/x/.hidden.85g");
    EXPECT_EQ(withVariableFileExtension("prog.85n", true), "prog.85n");
    EXPECT_EQ(withVariableFileExtension("/x/notes.txt", false), "/x/notes.txt");
    EXPECT_EQ(withVariableFileExtension("", false), "");
    EXPECT_EQ(withVariableFileExtension("/x/", false), "/x/");
}

TEST(SaveNameExtension, VariableFileNames) {
    EXPECT_TRUE(isVariableFileName("/home/u/prog.85p"));
    EXPECT_TRUE(isVariableFileName("a.85g"));
    EXPECT_FALSE(isVariableFileName("/x/prog.85"));
    EXPECT_FALSE(isVariableFileName("/x/prog.86p"));
    EXPECT_FALSE(isVariableFileName("/x.85g/prog"));
    EXPECT_FALSE(isVariableFileName(""));
}

}  // namespace
}  // namespace vantrel
