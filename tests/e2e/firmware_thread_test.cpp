// The demo firmware on the running machine: the emulation thread, the timer ticks
// and the keypad as the window drives them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "e2e/running_calculator.h"

namespace vantrel::test {
namespace {

TEST(FirmwareThread, BootsToTheTitleAndCalculates) {
    RunningCalculator calc;
    ASSERT_TRUE(calc.settle());
    calc.read([](const Machine& m) {
        EXPECT_EQ(trimmedRow(m, 0), "  VANTREL DEMO");
        EXPECT_EQ(lcdBytes(m), expectedPicture(m));
    });

    for (char32_t c : {U'1', U'2', U'+', U'3', U'0'}) calc.type(c);
    calc.click(key::enter);
    EXPECT_EQ(calc.row(3), "12+30");
    EXPECT_EQ(calc.row(5), "              42");
    calc.read([](const Machine& m) { EXPECT_EQ(lcdBytes(m), expectedPicture(m)); });
}

TEST(FirmwareThread, SecondOnSwitchesOffAndOnSwitchesOnFromTheKeypad) {
    RunningCalculator calc;
    ASSERT_TRUE(calc.settle());
    calc.click(key::digits[5]);
    calc.click(key::second);
    calc.click(key::on);
    ASSERT_TRUE(calc.settle());
    EXPECT_FALSE(calc.read([](const Machine& m) { return calculatorOn(m); }));

    // Only [ON] reaches a switched-off calculator.
    calc.click(key::digits[7]);
    EXPECT_FALSE(calc.calculator.keyPending());
    calc.type(U'o');
    ASSERT_TRUE(calc.tickUntil([](const Machine& m) { return calculatorOn(m); }));
    ASSERT_TRUE(calc.settle());
    EXPECT_EQ(calc.row(3), "5");  // the 7 typed while off never arrived
}

TEST(FirmwareThread, StateFileBringsBackTheSameScreen) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("vantrel-e2e-state-" + std::to_string(::getpid()) + ".bin");
    std::filesystem::remove(path);
    std::array<uint8_t, 1024> screen{};
    {
        RunningCalculator calc(path.string());
        ASSERT_FALSE(calc.calculator.stateRestored());
        ASSERT_TRUE(calc.settle());
        for (char32_t c : {U'6', U'*', U'7'}) calc.type(c);
        calc.click(key::enter);
        screen = calc.read([](const Machine& m) { return lcdBytes(m); });
        calc.stop();
        ASSERT_TRUE(calc.calculator.saveState());
    }
    RunningCalculator calc(path.string());
    EXPECT_TRUE(calc.calculator.stateRestored());
    std::filesystem::remove(path);
    calc.tick();
    EXPECT_EQ(calc.read([](const Machine& mm) { return lcdBytes(mm); }), screen);
    EXPECT_EQ(calc.row(5), "              42");
    // It carries on from where it was.
    calc.type(U'9');
    EXPECT_EQ(calc.row(3), "9");
}

}  // namespace
}  // namespace vantrel::test
