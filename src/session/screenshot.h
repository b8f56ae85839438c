// LCD screenshots as one-bit device-independent bitmaps: the block that goes on the
// clipboard, and numbered ".bmp" files beside the settings file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vantrel {

inline constexpr std::size_t dibHeaderSize = 40;
inline constexpr std::size_t dibColourTableSize = 8;  // two entries of blue, green, red, 0
inline constexpr std::size_t dibImageSize = 1024;     // 64 rows of 16 bytes
inline constexpr std::size_t dibBlockSize = dibHeaderSize + dibColourTableSize + dibImageSize;
inline constexpr std::size_t bitmapFileHeaderSize = 14;
inline constexpr std::size_t bitmapFileSize = bitmapFileHeaderSize + dibBlockSize;  // 1086

inline constexpr int screenshotNumberLimit = 1000;

// The header, the colour table (entry 0 the background, entry 1 the foreground, both
// 0x00BBGGRR) and the 1024 bytes of the LCD (bit 7 leftmost) with the bottom row first.
std::vector<uint8_t> buildLcdDib(const uint8_t* lcd, uint32_t foreground, uint32_t background);

// The next free name in directory: base, three digits, ".bmp". The number follows the
// largest one present (gaps stay gaps); none when the numbers are used up.
std::optional<std::string> nextScreenshotName(const std::string& directory, std::string base);

// The 14-byte file header followed by the block.
std::vector<uint8_t> bitmapFileBytes(const std::vector<uint8_t>& dib);
// Those bytes written atomically, replacing any file of that name.
bool writeBitmapFile(const std::vector<uint8_t>& dib, const std::string& path);

// Where screenshot files go: the settings file's directory, or the user's pictures
// directory when the settings file lives in the per-user configuration directory
// (nobody looks for pictures there). Created when missing; empty when it cannot be.
std::string screenshotDirectory(const std::string& iniPath);

}  // namespace vantrel
