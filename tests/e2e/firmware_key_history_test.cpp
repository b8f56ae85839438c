// The key history on the demo firmware: keys named by what the calculator's own shifts
// made of them when it took them.
#include <gtest/gtest.h>

#include "e2e/running_calculator.h"

namespace vantrel::test {
namespace {

TEST(FirmwareKeyHistory, KeysAreNamedUnderTheShiftTheCalculatorHadAndRepeatsAreNotPresses) {
    RunningCalculator calc;
    ASSERT_TRUE(calc.settle());
    calc.calculator.pcKeyDown(0, PcKey::tab, 0);  // [2nd]
    calc.calculator.pcKeyUp(0);
    ASSERT_TRUE(calc.settle());
    calc.type(U'x');
    EXPECT_EQ(calc.calculator.keyHistory().text(), "[2nd] [LINK]");
    calc.click(key::exit);

    // Held through several auto-repeats: one press.
    calc.calculator.pcKeyDown(1, PcKey::left, 0);
    for (int i = 0; i < 12; ++i) calc.tick();
    calc.calculator.pcKeyUp(1);
    ASSERT_TRUE(calc.settle());
    calc.type(U'7');
    EXPECT_EQ(calc.calculator.keyHistory().text(), "[2nd] [LINK] [EXIT] [\u2190] [7]");
    EXPECT_EQ(calc.calculator.keyHistory().text(2), "[\u2190] [7]");
}

}  // namespace
}  // namespace vantrel::test
