// Builds the 128 KiB ROM image from the assembled page 0: the pages after it are
// filled with 0xFF. The image is written to a temporary file and renamed into place.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

int main(int argc, char** argv) {
    constexpr std::size_t pageSize = 0x4000;
    constexpr std::size_t romSize = 0x20000;
    if (argc != 3) {
        std::cerr << "usage: pad_rom PAGE0.bin OUTPUT.rom\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::vector<char> image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.eof() && in.fail()) {
        std::cerr << "pad_rom: cannot read " << argv[1] << "\n";
        return 1;
    }
    if (image.size() != pageSize) {
        std::cerr << "pad_rom: page 0 is " << image.size() << " bytes, expected " << pageSize
                  << "\n";
        return 1;
    }
    image.resize(romSize, static_cast<char>(0xFF));
    const std::filesystem::path target = argv[2];
    std::filesystem::path temp = target;
    temp += ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(image.data(), static_cast<std::streamsize>(image.size()));
        out.close();
        if (!out) {
            std::cerr << "pad_rom: cannot write " << temp << "\n";
            return 1;
        }
    }
    std::error_code error;
    std::filesystem::rename(temp, target, error);
    if (error) {
        std::cerr << "pad_rom: cannot rename to " << target << ": " << error.message() << "\n";
        return 1;
    }
    return 0;
}
