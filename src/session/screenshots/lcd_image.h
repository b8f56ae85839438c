// The LCD as every front end shows it: one shade a pixel (LcdShades: 0 the bare
// screen, 255 a pixel fully dark). The classic model's picture has only those two; the
// hardware model's may hold grey. Pictures of two shades are written as one-bit
// images as they always were; others as 256-entry palette images whose entries run
// from the background colour to the foreground colour.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "hardware/lcd_picture.h"
#include "hardware/lcd_shades.h"

namespace vantrel {

// The LCD's bytes (bit 7 leftmost) as shades.
LcdShades shadesOfLcdBytes(const uint8_t* lcd);
// The bytes of a picture with no grey in it; nothing for one with grey.
std::optional<LcdBytes> twoLevelBytes(const LcdShades& shades);

// The colour of a shade between the background (0) and the foreground (255), both
// 0x00BBGGRR as the settings hold them.
uint32_t blendColour(uint32_t background, uint32_t foreground, uint8_t shade);

// The shades enlarged scale times each way (1 to 16): 64 * scale rows of 128 * scale.
std::vector<uint8_t> shadesAtScale(const LcdShades& shades, int scale);

}  // namespace vantrel
