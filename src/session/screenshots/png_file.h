// The LCD as a PNG file: a two-colour palette image, 128 x 64 (or that enlarged),
// written without any library. The image data goes into stored (uncompressed) deflate
// blocks, which every PNG reader accepts; at 1x the whole file stays under 2 KiB.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "files/crc32.h"
#include "hardware/lcd_shades.h"
#include "text/failure.h"

namespace vantrel::headless {

uint32_t adler32(const uint8_t* data, std::size_t size);

// A zlib stream of stored blocks holding data.
std::vector<uint8_t> zlibStored(const std::vector<uint8_t>& data);

// The 1024 LCD bytes (bit 7 leftmost, top row first) with palette entry 0 the
// background and 1 the foreground, both 0x00BBGGRR as the settings hold them. A scale
// above 1 enlarges every LCD pixel to a square of scale x scale.
std::vector<uint8_t> buildLcdPng(const uint8_t* lcd, uint32_t foreground, uint32_t background,
                                 int scale = 1);

// The same for a picture: one-bit without grey, else 8 bits a pixel with a palette of
// 256 entries from the background (0) to the foreground (255).
std::vector<uint8_t> buildLcdPng(const LcdShades& picture, uint32_t foreground, uint32_t background,
                                 int scale);

// Written atomically, replacing any file of that name.
Result<> writePngFile(const std::vector<uint8_t>& png, const std::string& path);

}  // namespace vantrel::headless
