// The assembled demo firmware: what the loader tests and patches, and where the
// code may not be because the loader overwrites it.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/firmware_symbols.h"

namespace {

#ifdef VANTREL_FIRMWARE_ROM

std::vector<uint8_t> readImage() {
    std::ifstream in(VANTREL_FIRMWARE_ROM, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(FirmwareImage, PassesTheVersionTestAndFillsTheRom) {
    const auto rom = readImage();
    ASSERT_EQ(rom.size(), 131072u);
    EXPECT_EQ(std::string(rom.begin() + 0x328A, rom.begin() + 0x328E), "10.0");
    EXPECT_EQ(rom[0x0158], 0x46);
    EXPECT_EQ(rom[0x0141], 0x05);
    EXPECT_EQ(rom[0x0149], 0x0E);
    EXPECT_EQ(rom[0x0B15], 0xC9) << "the cold start's CALL 0B15h must return at once";
    for (std::size_t page = 1; page < 8; ++page)
        for (std::size_t i = 0; i < 0x4000; ++i)
            ASSERT_EQ(rom[page * 0x4000 + i], 0xFF) << "page " << page << " offset " << i;
}

TEST(FirmwareImage, NoCodeWhereTheLoaderPatches) {
    const auto rom = readImage();
    ASSERT_EQ(rom.size(), 131072u);
    const auto symbols = vantrel::test::readFirmwareSymbols();
    ASSERT_TRUE(symbols.count("interrupt") && symbols.count("boot") && symbols.count("codeEnd"));
    EXPECT_EQ(symbols.at("interrupt"), 0x38u);

    // Every label lies in a region that holds no patched byte and no version mark.
    const auto allowed = [](unsigned address) {
        return address < 0x0141 || (address >= 0x0200 && address <= 0x0B15) ||
               (address >= 0x0D10 && address < 0x328A);
    };
    for (const auto& [name, address] : symbols) {
        if (address >= 0x8000) continue;  // RAM addresses and constants
        if (name.empty() || !std::islower(static_cast<unsigned char>(name[0]))) continue;
        EXPECT_TRUE(allowed(address)) << name << " at " << std::hex << address;
    }
    EXPECT_LE(symbols.at("codeEnd"), 0x328Au);
    EXPECT_GE(symbols.at("boot"), 0x0D10u);

    // The bytes the cold start replaces with CALL 0B15h are not part of anything.
    for (unsigned offset = 0x0D00; offset < 0x0D10; ++offset) EXPECT_EQ(rom[offset], 0) << offset;
    // The reset vector jumps to the boot code.
    EXPECT_EQ(rom[0], 0xF3);
    EXPECT_EQ(rom[1], 0xC3);
    EXPECT_EQ(rom[2] | (rom[3] << 8), static_cast<int>(symbols.at("boot")));
}

#else

TEST(FirmwareImage, NotBuilt) {
    GTEST_SKIP() << "the demo firmware is not assembled in this build";
}

#endif

}  // namespace
