// LCD screenshots as one-bit device-independent bitmaps: the block that goes on the
// clipboard, and numbered ".bmp" (or ".png") files in the screenshot folder.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "hardware/lcd_shades.h"
#include "text/failure.h"

namespace vantrel {

inline constexpr std::size_t dibHeaderSize = 40;
inline constexpr std::size_t dibColourTableSize = 8;  // two entries of blue, green, red, 0
inline constexpr std::size_t dibImageSize = 1024;     // 64 rows of 16 bytes
inline constexpr std::size_t dibBlockSize = dibHeaderSize + dibColourTableSize + dibImageSize;
inline constexpr std::size_t bitmapFileHeaderSize = 14;
inline constexpr std::size_t bitmapFileSize = bitmapFileHeaderSize + dibBlockSize;  // 1086

inline constexpr int screenshotNumberLimit = 1000;

// The LCD's one-bit rows (bit 7 leftmost, top row first) enlarged scale times each
// way: 64 * scale rows of 16 * scale bytes. Scale 1 gives the LCD bytes themselves.
std::vector<uint8_t> lcdBitsAtScale(const uint8_t* lcd, int scale);

// The header, the colour table (entry 0 the background, entry 1 the foreground, both
// 0x00BBGGRR) and the 1024 bytes of the LCD (bit 7 leftmost) with the bottom row first.
// A scale above 1 gives the picture enlarged that many times each way.
std::vector<uint8_t> buildLcdDib(const uint8_t* lcd, uint32_t foreground, uint32_t background,
                                 int scale = 1);
// The same for a picture: one-bit without grey, else 8 bits a pixel with a palette of
// 256 entries from the background (0) to the foreground (255).
std::vector<uint8_t> buildLcdDib(const LcdShades& picture, uint32_t foreground, uint32_t background,
                                 int scale);

// The next free name in directory: base, three digits, extension (".bmp", ".png" or
// ".gif"). The number follows the largest one present among all three kinds of files
// (gaps stay gaps), so screenshots and recordings share one series; none when the
// numbers are used up.
// A base with a folder in it ("shots/TI85-") counts the files of that folder, inside
// directory unless it is a full path.
std::optional<std::string> nextScreenshotName(std::string directory, std::string base,
                                              const std::string& extension = ".bmp");

// The 14-byte file header followed by the block.
std::vector<uint8_t> bitmapFileBytes(const std::vector<uint8_t>& dib);
// Those bytes written atomically, replacing any file of that name.
Result<> writeBitmapFile(const std::vector<uint8_t>& dib, const std::string& path);

// Where screenshot files go: the chosen folder (a relative one where the settings'
// relative paths are, see resolvePath) when there is one; else the settings file's
// directory, or the user's pictures directory when the settings file lives in the
// per-user configuration directory (nobody looks for pictures there). Created when
// missing; fails when it cannot be.
Result<std::string> screenshotDirectory(const std::string& iniPath, const std::string& folder = {});
// The folder that screenshotDirectory uses without a chosen one, not created.
std::string defaultScreenshotDirectory(const std::string& iniPath);

struct Settings;

// The next numbered file of the screenshot folder (made when missing) with this
// extension, as the settings name the series.
Result<std::string> nextScreenshotPath(const Settings& settings, const std::string& extension);

// The LCD in the next numbered file of the screenshot folder, as the settings say:
// BMP (always 1x, the bitmap block behind a file header) or PNG at the chosen scale.
// Gives the path written.
Result<std::string> saveScreenshotFile(const LcdShades& lcd, const Settings& settings);

}  // namespace vantrel
