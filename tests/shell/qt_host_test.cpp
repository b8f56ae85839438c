// The window's answers to the emulation thread: blocking calls served by the event
// loop, and no deadlock when the window stops the thread while a call waits.
#include <QObject>

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

#include "z80/cpu_registers.h"
#include "cpu/illegal_opcode.h"
#include "shell/qt_host.h"
#include "shell_support.h"

namespace vantrel::test {
namespace {

TEST(QtHostThread, BlockingCallsAreAnsweredOnTheUserInterfaceThread) {
    QObject receiver;
    std::thread::id answeredOn;
    HostAnswers answers;
    answers.filePrompt = [&](int kind, bool isError, const std::string& name, const std::string& reason) {
        answeredOn = std::this_thread::get_id();
        return kind == promptOverwrite && !isError && name == "a.85g" && reason == "why" ? 1 : 0;
    };
    answers.askSaveName = [](std::string& name, bool backup) {
        name = backup ? "chosen.85b" : "chosen.85g";
        return true;
    };
    answers.illegalOpcode = [](const IllegalOpcodeSnapshot& s) { return s.registers.pc == 0x1234 ? 1 : 0; };
    QtHost host(&receiver, answers);

    auto results = std::async(std::launch::async, [&] {
        std::string name = "old";
        const bool named = host.askSaveName(name, true);
        CpuRegisters regs;
        regs.pc = 0x1234;
        const IllegalOpcodeSnapshot snapshot{regs, {}, {}};
        return std::make_tuple(host.filePrompt(promptOverwrite, false, "a.85g", "why"), named, name,
                               host.illegalOpcode(snapshot));
    });
    ASSERT_TRUE(waitUntil([&] { return results.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
    const auto [prompt, named, name, illegal] = results.get();
    EXPECT_EQ(prompt, 1);
    EXPECT_TRUE(named);
    EXPECT_EQ(name, "chosen.85b");
    EXPECT_EQ(illegal, 1);
    EXPECT_EQ(answeredOn, std::this_thread::get_id());
}

TEST(QtHostThread, StoppingAnswersAWaitingCallWithZero) {
    QObject receiver;
    std::atomic<int> served{0};
    HostAnswers answers;
    answers.filePrompt = [&](int, bool, const std::string&, const std::string&) {
        ++served;
        return 1;
    };
    QtHost host(&receiver, answers);
    // The event loop is not run: the call can only end through beginStop.
    auto result = std::async(std::launch::async, [&] { return host.filePrompt(promptOverwrite, false, "x", {}); });
    EXPECT_EQ(result.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    host.beginStop();
    EXPECT_EQ(result.get(), 0);
    // The queued dialog is not shown afterwards, and new calls return at once.
    QCoreApplication::processEvents();
    EXPECT_EQ(served.load(), 0);
    std::string name = "keep";
    EXPECT_FALSE(host.askSaveName(name, false));
    EXPECT_EQ(name, "keep");
}

TEST(QtHostThread, CallsFromTheUserInterfaceThreadRunDirectly) {
    QObject receiver;
    HostAnswers answers;
    int hints = 0;
    answers.uploadHint = [&](int code) { hints += code; };
    QtHost host(&receiver, answers);
    host.uploadHint(hintNotWaiting);  // would deadlock if queued to itself
    EXPECT_EQ(hints, 1);
}

TEST(QtHostThread, LinkActiveAndRepaintArePostedNotWaitedFor) {
    QObject receiver;
    std::atomic<uint32_t> link{0};
    int repaints = 0;
    HostAnswers answers;
    answers.linkActive = [&](uint32_t v) { link = v; };
    answers.repaintLcd = [&] { ++repaints; };
    QtHost host(&receiver, answers);
    std::thread([&] {
        host.postLinkActive(1);
        host.repaintLcd();
    }).join();
    EXPECT_EQ(link.load(), 0u);
    ASSERT_TRUE(waitUntil([&] { return link.load() == 1 && repaints == 1; }));
}

}  // namespace
}  // namespace vantrel::test
