#include "session/screenshots/lcd_image.h"

#include <algorithm>

namespace vantrel {

LcdShades shadesOfLcdBytes(const uint8_t* lcd) {
    LcdShades shades{};
    for (int y = 0; y < lcdHeight; ++y)
        for (int x = 0; x < lcdWidth; ++x)
            shades[static_cast<std::size_t>(y * lcdWidth + x)] = lcdPixel(lcd, x, y) ? 255 : 0;
    return shades;
}

std::optional<LcdBytes> twoLevelBytes(const LcdShades& shades) {
    LcdBytes bytes{};
    for (std::size_t i = 0; i < shades.size(); ++i) {
        if (shades[i] != 0 && shades[i] != 255) return std::nullopt;
        if (shades[i]) bytes[i / 8] = static_cast<uint8_t>(bytes[i / 8] | (0x80u >> (i % 8)));
    }
    return bytes;
}

uint32_t blendColour(uint32_t background, uint32_t foreground, uint8_t shade) {
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const uint32_t b = (background >> shift) & 0xFF, f = (foreground >> shift) & 0xFF;
        out |= ((b * (255u - shade) + f * shade + 127) / 255) << shift;
    }
    return out;
}

std::vector<uint8_t> shadesAtScale(const LcdShades& shades, int scale) {
    const auto k = static_cast<std::size_t>(std::clamp(scale, 1, 16));
    const std::size_t width = lcdWidth * k;
    std::vector<uint8_t> out(width * lcdHeight * k);
    for (std::size_t y = 0; y < lcdHeight * k; ++y)
        for (std::size_t x = 0; x < width; ++x)
            out[y * width + x] = shades[y / k * lcdWidth + x / k];
    return out;
}

}  // namespace vantrel
