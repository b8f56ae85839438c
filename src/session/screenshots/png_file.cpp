#include "session/screenshots/png_file.h"

#include <algorithm>

#include "files/crc32.h"
#include "files/file_io.h"
#include "hardware/lcd_picture.h"
#include "session/screenshots/lcd_image.h"
#include "session/screenshots/screenshot.h"

namespace vantrel::headless {

namespace {

// A stored deflate block holds at most 65535 bytes.
constexpr std::size_t storedBlockLimit = 65535;

void putBigEndian(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

void putChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
    putBigEndian(out, static_cast<uint32_t>(data.size()));
    const std::size_t typeAt = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    putBigEndian(out, crc32(out.data() + typeAt, out.size() - typeAt));
}

}  // namespace

uint32_t adler32(const uint8_t* data, std::size_t size) {
    uint32_t a = 1, b = 0;
    for (std::size_t i = 0; i < size; ++i) {
        a = (a + data[i]) % 65521;
        b = (b + a) % 65521;
    }
    return b << 16 | a;
}

std::vector<uint8_t> zlibStored(const std::vector<uint8_t>& data) {
    std::vector<uint8_t> out{0x78, 0x01};  // deflate, 32 KiB window, no dictionary
    std::size_t at = 0;
    do {
        const std::size_t length = std::min(storedBlockLimit, data.size() - at);
        const bool last = at + length == data.size();
        out.push_back(last ? 1 : 0);  // BFINAL, BTYPE 00
        out.push_back(static_cast<uint8_t>(length));
        out.push_back(static_cast<uint8_t>(length >> 8));
        out.push_back(static_cast<uint8_t>(~length));
        out.push_back(static_cast<uint8_t>(~length >> 8));
        out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
                   data.begin() + static_cast<std::ptrdiff_t>(at + length));
        at += length;
    } while (at < data.size());
    putBigEndian(out, adler32(data.data(), data.size()));
    return out;
}

namespace {

// A palette image of rows rowBytes long, each row given filter type 0.
std::vector<uint8_t> palettePng(std::size_t width, std::size_t height, uint8_t bitDepth,
                                const std::vector<uint32_t>& colours,
                                const std::vector<uint8_t>& rows) {
    static constexpr uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> png(signature, signature + 8);
    std::vector<uint8_t> header;
    putBigEndian(header, static_cast<uint32_t>(width));
    putBigEndian(header, static_cast<uint32_t>(height));
    header.insert(header.end(),
                  {bitDepth, 3, 0, 0, 0});  // palette, deflate, filter 0, no interlace
    putChunk(png, "IHDR", header);
    std::vector<uint8_t> palette;
    for (const uint32_t colour : colours)
        palette.insert(palette.end(),
                       {static_cast<uint8_t>(colour), static_cast<uint8_t>(colour >> 8),
                        static_cast<uint8_t>(colour >> 16)});
    putChunk(png, "PLTE", palette);
    const std::size_t rowBytes = rows.size() / height;
    std::vector<uint8_t> raw;
    raw.reserve(height * (rowBytes + 1));
    for (std::size_t row = 0; row < height; ++row) {
        raw.push_back(0);
        const auto from = rows.begin() + static_cast<std::ptrdiff_t>(row * rowBytes);
        raw.insert(raw.end(), from, from + static_cast<std::ptrdiff_t>(rowBytes));
    }
    putChunk(png, "IDAT", zlibStored(raw));
    putChunk(png, "IEND", {});
    return png;
}

}  // namespace

std::vector<uint8_t> buildLcdPng(const uint8_t* lcd, uint32_t foreground, uint32_t background,
                                 int scale) {
    // The LCD's rows are already PNG rows of a one-bit image.
    const auto k = static_cast<std::size_t>(std::clamp(scale, 1, 16));
    return palettePng(lcdWidth * k, lcdHeight * k, 1, {background, foreground},
                      lcdBitsAtScale(lcd, scale));
}

std::vector<uint8_t> buildLcdPng(const LcdShades& picture, uint32_t foreground, uint32_t background,
                                 int scale) {
    if (const auto bytes = twoLevelBytes(picture))
        return buildLcdPng(bytes->data(), foreground, background, scale);
    const auto k = static_cast<std::size_t>(std::clamp(scale, 1, 16));
    std::vector<uint32_t> colours;
    for (unsigned shade = 0; shade < 256; ++shade)
        colours.push_back(blendColour(background, foreground, static_cast<uint8_t>(shade)));
    return palettePng(lcdWidth * k, lcdHeight * k, 8, colours, shadesAtScale(picture, scale));
}

Result<> writePngFile(const std::vector<uint8_t>& png, const std::string& path) {
    return writeWholeFile(path, png.data(), png.size());
}

}  // namespace vantrel::headless
