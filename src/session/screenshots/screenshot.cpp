#include "session/screenshots/screenshot.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "files/file_io.h"
#include "hardware/lcd_picture.h"
#include "session/screenshots/lcd_image.h"
#include "session/screenshots/png_file.h"
#include "session/settings/demo_firmware.h"
#include "session/settings/settings.h"
#include "session/settings/user_dirs.h"

namespace fs = std::filesystem;

namespace vantrel {

namespace {

void put16(uint8_t* at, uint32_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

void put32(uint8_t* at, uint32_t value) {
    put16(at, value);
    put16(at + 2, value >> 16);
}

void putColour(uint8_t* at, uint32_t bgr) {
    at[0] = static_cast<uint8_t>(bgr >> 16);  // blue
    at[1] = static_cast<uint8_t>(bgr >> 8);   // green
    at[2] = static_cast<uint8_t>(bgr);        // red
    at[3] = 0;
}

// The leading decimal digits of the three characters, as a C conversion reads them:
// a non-digit ends the number.
int leadingNumber(const std::string& digits) {
    int value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') break;
        value = value * 10 + (c - '0');
    }
    return value;
}

bool sameDirectory(const fs::path& a, const fs::path& b) {
    std::error_code error;
    return fs::weakly_canonical(a, error) == fs::weakly_canonical(b, error);
}

}  // namespace

std::vector<uint8_t> lcdBitsAtScale(const uint8_t* lcd, int scale) {
    constexpr std::size_t lcdRowBytes = lcdWidth / 8;
    const auto k = static_cast<std::size_t>(std::clamp(scale, 1, 16));
    if (k == 1) return std::vector<uint8_t>(lcd, lcd + lcdRowBytes * lcdHeight);
    const std::size_t rowBytes = lcdRowBytes * k;
    std::vector<uint8_t> bits(rowBytes * lcdHeight * k, 0);
    for (std::size_t y = 0; y < lcdHeight; ++y) {
        uint8_t* row = bits.data() + y * k * rowBytes;
        for (std::size_t x = 0; x < lcdWidth; ++x) {
            if (!lcdPixel(lcd, static_cast<int>(x), static_cast<int>(y))) continue;
            for (std::size_t i = x * k; i < (x + 1) * k; ++i)
                row[i / 8] = static_cast<uint8_t>(row[i / 8] | (0x80u >> (i % 8)));
        }
        for (std::size_t copy = 1; copy < k; ++copy)
            std::copy_n(row, rowBytes, row + copy * rowBytes);
    }
    return bits;
}

std::vector<uint8_t> buildLcdDib(const uint8_t* lcd, uint32_t foreground, uint32_t background,
                                 int scale) {
    const std::vector<uint8_t> bits = lcdBitsAtScale(lcd, scale);
    const auto k = static_cast<uint32_t>(std::clamp(scale, 1, 16));
    const std::size_t rowBytes = lcdWidth / 8 * k;  // a multiple of 4, as rows must be
    const std::size_t height = lcdHeight * k;
    std::vector<uint8_t> block(dibHeaderSize + dibColourTableSize + bits.size(), 0);
    uint8_t* h = block.data();
    put32(h + 0, dibHeaderSize);
    put32(h + 4, lcdWidth * k);   // width
    put32(h + 8, lcdHeight * k);  // height, positive: rows bottom-up
    put16(h + 12, 1);             // planes
    put16(h + 14, 1);             // bits per pixel
    put32(h + 16, 0);             // no compression
    put32(h + 20, static_cast<uint32_t>(bits.size()));
    put32(h + 24, 0);  // resolutions
    put32(h + 28, 0);
    put32(h + 32, 2);  // colours used
    put32(h + 36, 0);  // important colours
    putColour(h + dibHeaderSize, background);
    putColour(h + dibHeaderSize + 4, foreground);
    uint8_t* rows = h + dibHeaderSize + dibColourTableSize;
    for (std::size_t row = 0; row < height; ++row)
        std::copy_n(bits.data() + (height - 1 - row) * rowBytes, rowBytes, rows + row * rowBytes);
    return block;
}

std::vector<uint8_t> buildLcdDib(const LcdShades& picture, uint32_t foreground, uint32_t background,
                                 int scale) {
    if (const auto bytes = twoLevelBytes(picture))
        return buildLcdDib(bytes->data(), foreground, background, scale);
    const std::vector<uint8_t> pixels = shadesAtScale(picture, scale);
    const auto k = static_cast<uint32_t>(std::clamp(scale, 1, 16));
    const std::size_t rowBytes = lcdWidth * k;  // a multiple of 4, as rows must be
    const std::size_t height = lcdHeight * k;
    constexpr std::size_t palette = 256 * 4;
    std::vector<uint8_t> block(dibHeaderSize + palette + pixels.size(), 0);
    uint8_t* h = block.data();
    put32(h + 0, dibHeaderSize);
    put32(h + 4, lcdWidth * k);
    put32(h + 8, lcdHeight * k);
    put16(h + 12, 1);
    put16(h + 14, 8);
    put32(h + 20, static_cast<uint32_t>(pixels.size()));
    put32(h + 32, 256);
    for (uint32_t shade = 0; shade < 256; ++shade)
        putColour(h + dibHeaderSize + 4 * shade,
                  blendColour(background, foreground, static_cast<uint8_t>(shade)));
    uint8_t* rows = h + dibHeaderSize + palette;
    for (std::size_t row = 0; row < height; ++row)
        std::copy_n(pixels.data() + (height - 1 - row) * rowBytes, rowBytes, rows + row * rowBytes);
    return block;
}

std::optional<std::string> nextScreenshotName(std::string directory, std::string base,
                                              const std::string& extension) {
    if (base.size() > screenshotBaseLimit) base.resize(screenshotBaseLimit);
    // A base with a folder in it numbers the files of that folder.
    if (const auto slash = base.rfind('/'); slash != std::string::npos) {
        directory = (fs::path(directory.empty() ? "." : directory) / base.substr(0, slash + 1))
                        .lexically_normal()
                        .string();
        base.erase(0, slash + 1);
    }

    bool found = false;
    int largest = 0;
    std::error_code error;
    for (fs::directory_iterator it(directory.empty() ? "." : directory, error), end;
         !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        for (const char* kind : {".bmp", ".png", ".gif"}) {
            const std::string ending = kind;
            const std::size_t nameLength = base.size() + 3 + ending.size();
            if (name.size() != nameLength || name.compare(0, base.size(), base) != 0 ||
                name.compare(nameLength - ending.size(), ending.size(), ending) != 0)
                continue;
            const int number = leadingNumber(name.substr(base.size(), 3));
            if (!found || number > largest) largest = number;
            found = true;
        }
    }
    const int number = found ? largest + 1 : 0;
    if (number >= screenshotNumberLimit) return std::nullopt;

    char digits[16];  // wide enough for any int, though number is below 1000 here
    std::snprintf(digits, sizeof digits, "%.3i", number);
    std::string name = base + digits + extension;
    if (directory.empty()) return name;
    return (fs::path(directory) / name).string();
}

std::vector<uint8_t> bitmapFileBytes(const std::vector<uint8_t>& dib) {
    std::vector<uint8_t> file(bitmapFileHeaderSize + dib.size(), 0);
    file[0] = 'B';
    file[1] = 'M';
    put32(file.data() + 2, bitmapFileSize);
    put32(file.data() + 10, bitmapFileHeaderSize + dibHeaderSize + dibColourTableSize);
    std::copy(dib.begin(), dib.end(), file.begin() + bitmapFileHeaderSize);
    return file;
}

Result<> writeBitmapFile(const std::vector<uint8_t>& dib, const std::string& path) {
    if (dib.size() != dibBlockSize) return Failure::system(EINVAL, "not a picture of the LCD");
    const std::vector<uint8_t> file = bitmapFileBytes(dib);
    return writeWholeFile(path, file.data(), file.size());
}

std::string defaultScreenshotDirectory(const std::string& iniPath) {
    fs::path directory = fs::path(iniPath).parent_path();
    if (directory.empty()) directory = ".";
    if (sameDirectory(directory, fs::path(configHome()) / "vantrel")) return picturesDirectory();
    // Nor in the demo's hidden folder: its pictures go where the user's own do.
    if (const std::string demo = demoDirectory(); !demo.empty() && sameDirectory(directory, demo))
        return picturesDirectory();
    return directory.string();
}

Result<std::string> screenshotDirectory(const std::string& iniPath, const std::string& folder) {
    fs::path directory;
    if (folder.empty()) {
        directory = defaultScreenshotDirectory(iniPath);
    } else {
        // A relative folder means what the settings' other relative paths mean.
        Settings where;
        where.iniPath = iniPath;
        directory = resolvePath(where, folder);
    }
    if (directory.empty()) return Failure::system(ENOENT, "No folder for pictures was found.");
    std::error_code made, probe;
    fs::create_directories(directory, made);
    if (!fs::is_directory(directory, probe))
        return Failure::system(made ? made.value() : ENOTDIR,
                               "The folder \"" + directory.string() + "\" cannot be made" +
                                   (made ? ": " + made.message() + "." : "."));
    return directory.string();
}

Result<std::string> nextScreenshotPath(const Settings& settings, const std::string& extension) {
    const auto directory = screenshotDirectory(settings.iniPath, settings.screenshotFolder);
    if (!directory) return directory.failure();
    const auto name = nextScreenshotName(*directory, settings.screenshotBase, extension);
    if (!name)
        return Failure::decline("The numbers of \"" + settings.screenshotBase +
                                "\" are used up in \"" + *directory + "\".");
    // The folder that the base names, made when missing as the screenshot folder is.
    std::error_code made;
    fs::create_directories(fs::path(*name).parent_path(), made);
    return *name;
}

Result<std::string> saveScreenshotFile(const LcdShades& lcd, const Settings& settings) {
    const bool png = settings.screenshotFormat == ScreenshotFormat::png;
    const auto name = nextScreenshotPath(settings, png ? ".png" : ".bmp");
    if (!name) return name;
    const std::vector<uint8_t> bytes =
        png ? headless::buildLcdPng(lcd, settings.foreground, settings.background,
                                    std::clamp(settings.screenshotScale, minZoom, maxZoom))
            : bitmapFileBytes(buildLcdDib(lcd, settings.foreground, settings.background, 1));
    if (const Result<> written = writeWholeFile(*name, bytes.data(), bytes.size()); !written)
        return Failure::system(written.failure().code,
                               "\"" + *name + "\": " + written.failure().reason);
    return *name;
}

}  // namespace vantrel
