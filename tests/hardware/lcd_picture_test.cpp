#include "hardware/lcd_picture.h"

#include <gtest/gtest.h>

#include <memory>

namespace vantrel {
namespace {

uint8_t& lcdByte(MemoryMap& mem, int offset) { return mem.state.ram[lcdAddress - 0x8000 + offset]; }

TEST(LcdPictureTest, ShowsRamWhileOnAndBlankWhileOff) {
    auto mem = std::make_unique<MemoryMap>();
    lcdByte(*mem, 0) = 0x80;
    lcdByte(*mem, lcdBytes - 1) = 0x01;

    mem->state.port3Value = 0x0B;
    const LcdBytes on = lcdMemoryCopy(*mem);
    EXPECT_EQ(on[0], 0x80);
    EXPECT_EQ(on[lcdBytes - 1], 0x01);
    EXPECT_TRUE(lcdPixel(on.data(), 0, 0));
    EXPECT_FALSE(lcdPixel(on.data(), 1, 0));
    EXPECT_TRUE(lcdPixel(on.data(), 127, 63));

    // Bit 3 of port 3 clear: the blank picture, whatever RAM holds.
    mem->state.port3Value = 0xF7;
    EXPECT_EQ(lcdMemory(*mem), blankLcdBuffer.data());
    const LcdBytes off = lcdMemoryCopy(*mem);
    for (uint8_t byte : off) ASSERT_EQ(byte, 0);
}

TEST(LcdPictureTest, StretchDoublesRowsAndSpreadsColumnsInOrder) {
    LcdBytes lcd{};
    lcd[0] = 0x80;             // top-left pixel
    lcd[lcdBytes - 1] = 0x01;  // bottom-right pixel
    auto shown = std::make_unique<ShownLcd>();
    stretchLcd(lcd.data(), *shown);
    auto at = [&](int x, int y) { return (*shown)[y * lcdShownWidth + x]; };

    // The top-left pixel becomes a block two rows high at the picture's corner.
    EXPECT_EQ(at(0, 0), 1);
    EXPECT_EQ(at(0, 1), 1);
    EXPECT_EQ(at(0, 2), 0);
    EXPECT_EQ(at(1, 0), 1);
    EXPECT_EQ(at(2, 0), 0);
    EXPECT_EQ(at(lcdShownWidth - 1, lcdShownHeight - 1), 1);
    EXPECT_EQ(at(lcdShownWidth - 1, lcdShownHeight - 2), 1);
    EXPECT_EQ(at(lcdShownWidth - 1, lcdShownHeight - 3), 0);

    // Every source column shows as one or two neighbouring columns, left to right,
    // and together they fill the 212 columns.
    int previous = -1;
    int widths[lcdWidth] = {};
    for (int x = 0; x < lcdShownWidth; ++x) {
        const int source = lcdSourceColumn(x);
        ASSERT_TRUE(source == previous || source == previous + 1) << x;
        ++widths[source];
        previous = source;
    }
    EXPECT_EQ(previous, lcdWidth - 1);
    for (int width : widths) EXPECT_TRUE(width == 1 || width == 2);
    for (int y = 0; y < lcdShownHeight; ++y) EXPECT_EQ(lcdSourceRow(y), y / 2);
}

}  // namespace
}  // namespace vantrel
