#include "hardware/lcd_shades.h"

#include <algorithm>

namespace vantrel {

LcdShades lcdShades(const LcdFrames& frames, bool smooth) {
    LcdShades shades{};
    const std::size_t count = std::min(frames.count, smooth ? greyscaleFrames : std::size_t{1});
    if (count == 0) return shades;
    std::array<unsigned, lcdWidth * lcdHeight> sum{};
    for (std::size_t f = 0; f < count; ++f) {
        const LcdFrame& frame = frames.newestFirst[f];
        const unsigned ink = inkShade(frame.contrast);
        const unsigned bare = backgroundShade(frame.contrast);
        for (int y = 0; y < lcdHeight; ++y)
            for (int x = 0; x < lcdWidth; ++x)
                sum[static_cast<std::size_t>(y * lcdWidth + x)] +=
                    lcdPixel(frame.pixels.data(), x, y) ? ink : bare;
    }
    for (std::size_t i = 0; i < shades.size(); ++i)
        shades[i] = static_cast<uint8_t>((sum[i] + count / 2) / count);
    return shades;
}

}  // namespace vantrel
