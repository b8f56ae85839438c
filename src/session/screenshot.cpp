#include "session/screenshot.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "files/file_io.h"
#include "session/settings.h"
#include "session/user_dirs.h"

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

std::vector<uint8_t> buildLcdDib(const uint8_t* lcd, uint32_t foreground, uint32_t background) {
    std::vector<uint8_t> block(dibBlockSize, 0);
    uint8_t* h = block.data();
    put32(h + 0, dibHeaderSize);
    put32(h + 4, 128);  // width
    put32(h + 8, 64);   // height, positive: rows bottom-up
    put16(h + 12, 1);   // planes
    put16(h + 14, 1);   // bits per pixel
    put32(h + 16, 0);   // no compression
    put32(h + 20, dibImageSize);
    put32(h + 24, 0);  // resolutions
    put32(h + 28, 0);
    put32(h + 32, 2);  // colours used
    put32(h + 36, 0);  // important colours
    putColour(h + dibHeaderSize, background);
    putColour(h + dibHeaderSize + 4, foreground);
    uint8_t* rows = h + dibHeaderSize + dibColourTableSize;
    constexpr std::size_t rowBytes = 16;
    for (std::size_t row = 0; row < 64; ++row)
        std::copy_n(lcd + (63 - row) * rowBytes, rowBytes, rows + row * rowBytes);
    return block;
}

std::optional<std::string> nextScreenshotName(const std::string& directory, std::string base) {
    if (base.size() > screenshotBaseLimit) base.resize(screenshotBaseLimit);
    const std::string suffix = ".bmp";
    const std::size_t nameLength = base.size() + 3 + suffix.size();

    bool found = false;
    int largest = 0;
    std::error_code error;
    for (fs::directory_iterator it(directory.empty() ? "." : directory, error), end;
         !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.size() != nameLength || name.compare(0, base.size(), base) != 0 ||
            name.compare(nameLength - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        const int number = leadingNumber(name.substr(base.size(), 3));
        if (!found || number > largest) largest = number;
        found = true;
    }
    const int number = found ? largest + 1 : 0;
    if (number >= screenshotNumberLimit) return std::nullopt;

    char digits[16];  // wide enough for any int, though number is below 1000 here
    std::snprintf(digits, sizeof digits, "%.3i", number);
    std::string name = base + digits + suffix;
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

bool writeBitmapFile(const std::vector<uint8_t>& dib, const std::string& path) {
    if (dib.size() != dibBlockSize) return false;
    const std::vector<uint8_t> file = bitmapFileBytes(dib);
    return writeWholeFile(path, file.data(), file.size());
}

std::string screenshotDirectory(const std::string& iniPath) {
    fs::path directory = fs::path(iniPath).parent_path();
    if (directory.empty()) directory = ".";
    if (sameDirectory(directory, fs::path(configHome()) / "vantrel")) {
        const std::string pictures = picturesDirectory();
        if (pictures.empty()) return {};
        directory = pictures;
    }
    std::error_code error;
    fs::create_directories(directory, error);
    if (!fs::is_directory(directory, error)) return {};
    return directory.string();
}

}  // namespace vantrel
