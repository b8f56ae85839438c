// The picture of the hardware model: greyscale from the last frames, the contrast, and
// the LCD's memory base.
#include "hardware/lcd_shades.h"

#include <gtest/gtest.h>

#include <cstring>

#include "hardware/hardware_ports.h"

namespace vantrel {
namespace {

constexpr uint8_t plainContrast = 16;

// Frames alternating between the left half of the screen lit and nothing, newest first.
LcdFrames alternating(std::size_t count, uint8_t contrast = plainContrast) {
    LcdFrames frames;
    for (std::size_t i = 0; i < count; ++i) {
        LcdFrame& f = frames.newestFirst[i];
        f.contrast = contrast;
        f.lcdOn = true;
        if (i % 2 == 0)
            for (int row = 0; row < lcdHeight; ++row)
                for (int b = 0; b < lcdWidth / 16; ++b)
                    f.pixels[static_cast<std::size_t>(row * 16 + b)] = 0xFF;
    }
    frames.count = count;
    frames.taken = count;
    return frames;
}

uint8_t shadeAt(const LcdShades& shades, int x, int y) {
    return shades[static_cast<std::size_t>(y * lcdWidth + x)];
}

TEST(LcdShades, AlternatingPicturesAverageToGreyOnlyWhenSmoothed) {
    const LcdFrames frames = alternating(greyscaleFrames);
    const LcdShades grey = lcdShades(frames, true);
    EXPECT_EQ(shadeAt(grey, 0, 0), 128);  // lit in half the frames
    EXPECT_EQ(shadeAt(grey, 127, 63), 0);
    const LcdShades sharp = lcdShades(frames, false);
    EXPECT_EQ(shadeAt(sharp, 0, 0), 255);  // the newest frame alone
    // Three frames so far: lit in two of them.
    EXPECT_EQ(shadeAt(lcdShades(alternating(3), true), 5, 5), 170);
    // No frame yet: the bare screen.
    EXPECT_EQ(lcdShades(LcdFrames{}, true), LcdShades{});
}

TEST(LcdShades, ContrastLightensTheInkOrDarkensTheScreen) {
    EXPECT_EQ(inkShade(plainContrast), 255);
    EXPECT_EQ(backgroundShade(plainContrast), 0);
    for (uint8_t c = 1; c < 32; ++c) {
        EXPECT_GE(inkShade(c), inkShade(static_cast<uint8_t>(c - 1)));
        EXPECT_GE(backgroundShade(c), backgroundShade(static_cast<uint8_t>(c - 1)));
        EXPECT_GT(inkShade(c), backgroundShade(c));  // a lit pixel always shows
    }
    const LcdShades light = lcdShades(alternating(1, 0), false);
    EXPECT_EQ(shadeAt(light, 0, 0), inkShade(0));
    EXPECT_LT(inkShade(0), 128);
    const LcdShades dark = lcdShades(alternating(1, 31), false);
    EXPECT_EQ(shadeAt(dark, 127, 0), backgroundShade(31));
    EXPECT_GT(backgroundShade(31), 100);
    // Each frame with its own contrast.
    LcdFrames mixed = alternating(2);
    mixed.newestFirst[1].contrast = 31;
    EXPECT_EQ(shadeAt(lcdShades(mixed, true), 127, 0), (backgroundShade(31) + 1) / 2);
}

TEST(LcdMemory, BasesFollowPort0AndTheHighestRunOnAtTheStartOfRam) {
    EXPECT_EQ(lcdBaseAddress(0x3C), 0xFC00);
    EXPECT_EQ(lcdBaseAddress(0x7C), 0xFC00);
    EXPECT_EQ(lcdBaseAddress(0x00), 0xC000);
    StateRecord state;
    for (std::size_t i = 0; i < ramSize; ++i) state.ram[i] = static_cast<uint8_t>(i * 7 + i / 256);
    LcdBytes lcd;
    copyLcdMemory(state, 0x3C, lcd);
    EXPECT_EQ(0, std::memcmp(lcd.data(), state.ram.data() + 0x7C00, lcd.size()));
    copyLcdMemory(state, 0x3F, lcd);  // 0xFF00: 256 bytes there, then 0x8000 on
    EXPECT_EQ(0, std::memcmp(lcd.data(), state.ram.data() + 0x7F00, 256));
    EXPECT_EQ(0, std::memcmp(lcd.data() + 256, state.ram.data(), lcd.size() - 256));
}

}  // namespace
}  // namespace vantrel
