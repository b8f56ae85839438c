// The picture that the hardware model shows: the LCD frames made into one shade a
// pixel, with the contrast of port 2 applied. The window, screenshots and the
// headless runner's pictures all come from here, so that they show the same.
#pragma once

#include <array>
#include <cstdint>

#include "hardware/lcd_frames.h"
#include "hardware/lcd_picture.h"

namespace vantrel {

// One byte a pixel, rows top first: 0 is the bare screen, 255 a pixel fully dark.
using LcdShades = std::array<uint8_t, lcdWidth * lcdHeight>;

// The contrast (0 to 31) as the darkness of a lit pixel and of the bare screen. From
// contrastFullInk up a lit pixel is fully dark; below, it fades to a quarter at 0. Past
// contrastDarkBackground the bare screen darkens too, to a little over half at 31, as
// the real screen's does when turned too far.
inline constexpr uint8_t contrastFullInk = 12;
inline constexpr uint8_t contrastDarkBackground = 22;
constexpr uint8_t inkShade(uint8_t contrast) {
    const unsigned c = contrast & 0x1Fu;
    return static_cast<uint8_t>(c >= contrastFullInk ? 255 : 255 * (c + 4) / (contrastFullInk + 4));
}
constexpr uint8_t backgroundShade(uint8_t contrast) {
    const unsigned c = contrast & 0x1Fu;
    return static_cast<uint8_t>(c > contrastDarkBackground ? 16 * (c - contrastDarkBackground) : 0);
}

// Each pixel's shade in the newest frame, or with smooth set the average of its shades
// in the last greyscaleFrames frames (as many as there are), each frame with its own
// contrast. Without any frame, the bare screen.
LcdShades lcdShades(const LcdFrames& frames, bool smooth);

}  // namespace vantrel
