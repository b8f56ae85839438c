// The demo firmware stepped instruction by instruction: boot, keys, the calculator.
#include <gtest/gtest.h>

#include "e2e/firmware_machine.h"

namespace vantrel::test {
namespace {

TEST(FirmwareBoot, ColdStartDrawsTheTitleAndSleeps) {
    auto m = bootFirmware();
    ASSERT_TRUE(runUntilAsleep(*m));
    EXPECT_TRUE(calculatorOn(*m));
    EXPECT_EQ(trimmedRow(*m, 0), "  VANTREL DEMO");
    for (int row = 1; row < textRows; ++row) EXPECT_EQ(trimmedRow(*m, row), "") << row;
    EXPECT_EQ(lcdBytes(*m), expectedPicture(*m));
    EXPECT_TRUE(m->regs.intFlags & intEnableBit);
}

}  // namespace
}  // namespace vantrel::test

namespace vantrel::test {
namespace {

struct Evaluation {
    const char* entry;
    const char* shown;  // the result row, trimmed; 0x60 is the negative sign
};

class FirmwareCalculator : public ::testing::TestWithParam<Evaluation> {};

TEST_P(FirmwareCalculator, EvaluatesOnEnter) {
    auto m = bootFirmware();
    ASSERT_TRUE(runUntilAsleep(*m));
    typeEntry(*m, GetParam().entry);
    deliverKey(*m, key::enter);
    std::string result = trimmedRow(*m, 5);
    result.erase(0, result.find_first_not_of(' '));
    EXPECT_EQ(result, GetParam().shown) << GetParam().entry;
    EXPECT_EQ(lcdBytes(*m), expectedPicture(*m));
}

INSTANTIATE_TEST_SUITE_P(
    Entries, FirmwareCalculator,
    ::testing::Values(
        Evaluation{"12+30", "42"}, Evaluation{"2+3*4", "14"}, Evaluation{"2*3-4*5", "`14"},
        Evaluation{"100/7", "14"}, Evaluation{"~7/2", "`3"}, Evaluation{"~~5", "5"},
        Evaluation{"7-~3", "10"}, Evaluation{"2147483647", "2147483647"},
        Evaluation{"2147483647+1", "OVERFLOW"}, Evaluation{"~2147483647-1", "`2147483648"},
        Evaluation{"~2147483647-2", "OVERFLOW"}, Evaluation{"65536*32768", "OVERFLOW"},
        Evaluation{"65536*~32768", "`2147483648"}, Evaluation{"46341*46341", "OVERFLOW"},
        Evaluation{"2147483648", "OVERFLOW"}, Evaluation{"5/0", "DIVIDE BY 0"},
        Evaluation{"5/~0", "DIVIDE BY 0"}, Evaluation{"0*~5", "0"},
        Evaluation{"5+", "SYNTAX ERROR"}, Evaluation{"*5", "SYNTAX ERROR"},
        Evaluation{"5~", "SYNTAX ERROR"}, Evaluation{"1-2-3", "`4"}, Evaluation{"60/2/3", "10"}));

TEST(FirmwareKeys, EntryEditingClearAndANewEntryAfterEnter) {
    auto m = bootFirmware();
    ASSERT_TRUE(runUntilAsleep(*m));
    typeEntry(*m, "123");
    deliverKey(*m, key::del);
    EXPECT_EQ(trimmedRow(*m, 3), "12");
    deliverKey(*m, key::enter);
    typeEntry(*m, "4");  // a new entry starts and the old result goes
    EXPECT_EQ(trimmedRow(*m, 3), "4");
    EXPECT_EQ(trimmedRow(*m, 5), "");
    typeEntry(*m, "12345678901234567890");  // the entry holds 16 characters
    EXPECT_EQ(trimmedRow(*m, 3), "4123456789012345");
    // The ones past it are refused aloud, until the entry changes.
    EXPECT_EQ(trimmedRow(*m, resultRow), "      ENTRY FULL");
    EXPECT_EQ(lcdBytes(*m), expectedPicture(*m));
    deliverKey(*m, key::del);
    EXPECT_EQ(trimmedRow(*m, 3), "412345678901234");
    EXPECT_EQ(trimmedRow(*m, resultRow), "");
    typeEntry(*m, "56");
    EXPECT_EQ(trimmedRow(*m, resultRow), "      ENTRY FULL");
    deliverKey(*m, key::clear);
    EXPECT_EQ(trimmedRow(*m, 3), "");
    deliverKey(*m, key::enter);  // nothing to evaluate
    EXPECT_EQ(trimmedRow(*m, 5), "");
}

TEST(FirmwareKeys, ShiftFlagsFollowSecondAndAlpha) {
    auto m = bootFirmware();
    ASSERT_TRUE(runUntilAsleep(*m));
    auto flags = [&] { return *m->mem.ramAt(shiftFlags) & 0x18; };
    deliverKey(*m, key::second);
    EXPECT_EQ(flags(), 0x08);
    deliverKey(*m, key::second);
    EXPECT_EQ(flags(), 0x00);
    deliverKey(*m, 48);  // [ALPHA]
    EXPECT_EQ(flags(), 0x10);
    deliverKey(*m, key::digits[1]);  // the next key clears it
    EXPECT_EQ(flags(), 0x00);
    deliverKey(*m, key::second);
    deliverKey(*m, key::digits[2]);
    EXPECT_EQ(flags(), 0x00);
    // A shifted digit still types the digit here.
    EXPECT_EQ(trimmedRow(*m, 3), "12");
}

// The entry's cursor shows a pending [2nd] or [ALPHA] as the calculator does: an
// arrow or an A in the block after the entry; the link menu has none.
TEST(FirmwareKeys, TheCursorShowsAPendingShift) {
    static const auto symbols = firmwareSymbols();
    auto m = bootFirmware();
    ASSERT_TRUE(runUntilAsleep(*m));
    auto cell = [&](int column) {
        std::array<uint8_t, 8> rows{};
        for (int line = 0; line < 8; ++line)
            rows[static_cast<std::size_t>(line)] = *m->mem.ramAt(
                static_cast<uint16_t>(lcdAddress + (entryRow * 8 + line) * 16 + column));
        return rows;
    };
    auto glyph = [&](const char* name) {
        std::array<uint8_t, 8> rows{};
        std::copy_n(m->mem.rom.begin() + symbols.at(name), 8, rows.begin());
        return rows;
    };
    const std::array<uint8_t, 8> block{0x7C, 0x7C, 0x7C, 0x7C, 0x7C, 0x7C, 0x7C, 0};
    typeEntry(*m, "12");
    EXPECT_EQ(cell(2), block);
    deliverKey(*m, key::second);
    EXPECT_EQ(cell(2), glyph("cursor2ndGlyph"));
    deliverKey(*m, 48);  // [ALPHA] takes the place of [2nd]
    EXPECT_EQ(cell(2), glyph("cursorAlphaGlyph"));
    deliverKey(*m, key::digits[3]);  // the shift goes with the key
    EXPECT_EQ(cell(3), block);
    deliverKey(*m, key::second);
    deliverKey(*m, key::xVar);
    EXPECT_EQ(lcdBytes(*m), expectedPicture(*m));
}

TEST(FirmwareKeys, RequestsWithoutAKeyChangeNothing) {
    auto m = bootFirmware();
    ASSERT_TRUE(runUntilAsleep(*m));
    typeEntry(*m, "9");
    const auto before = lcdBytes(*m);
    const uint16_t sp = m->regs.sp;
    for (int i = 0; i < 50; ++i) deliverKey(*m, 0);
    EXPECT_EQ(lcdBytes(*m), before);
    EXPECT_EQ(m->regs.sp, sp);
}

TEST(FirmwareKeys, AKeyThatWakesTheLoopLateIsNotLostOnAnyScreen) {
    for (int spurious = 0; spurious < 3; ++spurious) {
        auto m = bootFirmware();
        ASSERT_TRUE(runUntilAsleep(*m));
        wakeWithKey(*m, key::digits[3], spurious);
        EXPECT_EQ(trimmedRow(*m, 3), "3") << spurious;
        wakeWithKey(*m, key::second, spurious);
        wakeWithKey(*m, key::xVar, spurious);
        EXPECT_EQ(trimmedRow(*m, 0), "LINK") << spurious;
        wakeWithKey(*m, key::f2, spurious);
        EXPECT_EQ(trimmedRow(*m, 0), " Waiting") << spurious;
        for (int i = 0; i < 4; ++i) wakeWithKey(*m, 0, spurious);  // the link's wake-ups
        wakeWithKey(*m, key::exit, spurious);
        EXPECT_EQ(trimmedRow(*m, 0), "LINK") << spurious;
        wakeWithKey(*m, key::exit, spurious);
        EXPECT_EQ(trimmedRow(*m, 0), "  VANTREL DEMO") << spurious;
    }
}

TEST(FirmwarePower, SecondOnSwitchesOffAndOnlyOnComesBack) {
    auto m = bootFirmware();
    ASSERT_TRUE(runUntilAsleep(*m));
    typeEntry(*m, "7");
    const auto before = lcdBytes(*m);
    deliverKey(*m, key::second);
    deliverKey(*m, key::on);
    EXPECT_FALSE(calculatorOn(*m));
    deliverKey(*m, key::digits[5]);  // were it delivered at all, it is not typed
    deliverKey(*m, 0);
    EXPECT_FALSE(calculatorOn(*m));
    deliverKey(*m, key::on);
    EXPECT_TRUE(calculatorOn(*m));
    EXPECT_EQ(lcdBytes(*m), before);
    EXPECT_EQ(*m->mem.ramAt(shiftFlags) & 0x18, 0);
    typeEntry(*m, "+1");
    deliverKey(*m, key::enter);
    EXPECT_EQ(trimmedRow(*m, 5), "               8");
}

}  // namespace
}  // namespace vantrel::test
