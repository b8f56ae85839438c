// The LCD as a picture: 128 x 64 one-bit pixels in RAM at 0xFC00 (bit 7 leftmost),
// shown enlarged to 212 x 128 in the window.
#pragma once

#include <array>
#include <cstdint>

#include "hardware/memory_map.h"

namespace vantrel {

inline constexpr int lcdWidth = 128;
inline constexpr int lcdHeight = 64;
inline constexpr int lcdShownWidth = 212;
inline constexpr int lcdShownHeight = 128;

// The 1024 bytes to show: RAM at 0xFC00 while the calculator is on, else the blank
// buffer. Read without a lock while the calculator writes it.
const uint8_t* lcdMemory(const MemoryMap& mem);

// The same bytes copied in one go: painting and screenshots work on the copy, so the
// racy read of a running calculator's LCD memory stays in this one place.
using LcdBytes = std::array<uint8_t, lcdBytes>;
LcdBytes lcdMemoryCopy(const MemoryMap& mem);

inline constexpr bool lcdPixel(const uint8_t* lcd, int x, int y) {
    return (lcd[y * (lcdWidth / 8) + x / 8] >> (7 - x % 8)) & 1;
}

// Nearest-neighbour stretch: every row twice, shown column d from source column
// floor(d * 128 / 212).
inline constexpr int lcdSourceColumn(int shownColumn) {
    return shownColumn * lcdWidth / lcdShownWidth;
}
inline constexpr int lcdSourceRow(int shownRow) { return shownRow * lcdHeight / lcdShownHeight; }

// The shown picture, one byte a pixel (1 set, 0 clear), rows top first.
using ShownLcd = std::array<uint8_t, lcdShownWidth * lcdShownHeight>;
void stretchLcd(const uint8_t* lcd, ShownLcd& shown);

}  // namespace vantrel
