#include "session/screenshots/screenshot.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "files/file_io.h"
#include "hardware/lcd_picture.h"
#include "session/screenshots/lcd_image.h"
#include "session/settings/settings.h"
#include "support/reason.h"
#include "support/scoped_env.h"

namespace fs = std::filesystem;

namespace vantrel {
namespace {

uint32_t le32(const std::vector<uint8_t>& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
uint16_t le16(const std::vector<uint8_t>& b, std::size_t at) {
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

class ScratchDir {
public:
    ScratchDir() {
        path_ = fs::temp_directory_path() /
                ("vantrel-shot-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~ScratchDir() { fs::remove_all(path_); }
    std::string str() const { return path_.string(); }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    void touch(const std::string& name) const { std::ofstream(path_ / name) << "x"; }

private:
    static inline int counter_ = 0;
    fs::path path_;
};

TEST(ScreenshotBitmap, HeaderColoursAndRowsBottomUp) {
    std::array<uint8_t, 1024> lcd{};
    lcd[0] = 0x80;             // top-left pixel
    lcd[63 * 16 + 15] = 0x01;  // bottom-right pixel
    const auto dib = buildLcdDib(lcd.data(), 0x00112233, 0x00A0B0C0);
    ASSERT_EQ(dib.size(), 1072u);
    EXPECT_EQ(le32(dib, 0), 40u);
    EXPECT_EQ(le32(dib, 4), 128u);
    EXPECT_EQ(le32(dib, 8), 64u);
    EXPECT_EQ(le16(dib, 12), 1);
    EXPECT_EQ(le16(dib, 14), 1);
    EXPECT_EQ(le32(dib, 16), 0u);
    EXPECT_EQ(le32(dib, 20), 1024u);
    EXPECT_EQ(le32(dib, 24), 0u);
    EXPECT_EQ(le32(dib, 28), 0u);
    EXPECT_EQ(le32(dib, 32), 2u);
    EXPECT_EQ(le32(dib, 36), 0u);
    // Entry 0 is the background, entry 1 the foreground: blue, green, red, 0 from
    // colours kept as 0x00BBGGRR.
    EXPECT_EQ((std::vector<uint8_t>(dib.begin() + 40, dib.begin() + 48)),
              (std::vector<uint8_t>{0xA0, 0xB0, 0xC0, 0, 0x11, 0x22, 0x33, 0}));
    // The first stored row is the bottom row of the LCD.
    EXPECT_EQ(dib[48 + 15], 0x01);
    EXPECT_EQ(dib[48 + 63 * 16], 0x80);
    EXPECT_EQ(dib[48], 0x00);
}

TEST(ScreenshotBitmap, FileHeaderAndWrittenFile) {
    std::array<uint8_t, 1024> lcd{};
    lcd[5] = 0x42;
    const auto dib = buildLcdDib(lcd.data(), 0x00FFFFFF, 0);
    const auto bytes = bitmapFileBytes(dib);
    ASSERT_EQ(bytes.size(), 1086u);
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    EXPECT_EQ(le32(bytes, 2), 1086u);
    EXPECT_EQ(le32(bytes, 6), 0u);
    EXPECT_EQ(le32(bytes, 10), 62u);
    EXPECT_TRUE(std::equal(dib.begin(), dib.end(), bytes.begin() + 14));

    ScratchDir dir;
    const std::string path = dir.file("shot.bmp");
    dir.touch("shot.bmp");  // replaced, not appended to
    ASSERT_TRUE(writeBitmapFile(dib, path));
    const auto back = readFileBytes(path, 1 << 20);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, bytes);
    EXPECT_EQ(fs::file_size(path), 1086u);

    EXPECT_FALSE(writeBitmapFile(dib, dir.file("missing/shot.bmp")));
    EXPECT_FALSE(writeBitmapFile(std::vector<uint8_t>(10), dir.file("short.bmp")));
}

TEST(ScreenshotNaming, NumbersFollowTheLargestPresent) {
    ScratchDir dir;
    EXPECT_EQ(nextScreenshotName(dir.str(), "TI85-"), dir.file("TI85-000.bmp"));

    dir.touch("TI85-007.bmp");
    dir.touch("TI85-002.bmp");
    dir.touch("TI85-0123.bmp");  // four characters: not a match
    dir.touch("Other-050.bmp");
    dir.touch("TI85-040.jpg");
    EXPECT_EQ(nextScreenshotName(dir.str(), "TI85-"), dir.file("TI85-008.bmp"));

    // BMP, PNG and GIF (recordings) files are one series, whichever kind comes next.
    EXPECT_EQ(nextScreenshotName(dir.str(), "TI85-", ".png"), dir.file("TI85-008.png"));
    dir.touch("TI85-011.png");
    EXPECT_EQ(nextScreenshotName(dir.str(), "TI85-", ".gif"), dir.file("TI85-012.gif"));
    dir.touch("TI85-012.gif");
    EXPECT_EQ(nextScreenshotName(dir.str(), "TI85-"), dir.file("TI85-013.bmp"));

    // Letters read as 0 but still count as a match.
    ScratchDir letters;
    letters.touch("TI85-abc.bmp");
    EXPECT_EQ(nextScreenshotName(letters.str(), "TI85-"), letters.file("TI85-001.bmp"));
}

TEST(ScreenshotNaming, UsedUpEmptyBaseAndLongBase) {
    ScratchDir dir;
    dir.touch("TI85-999.bmp");
    EXPECT_EQ(nextScreenshotName(dir.str(), "TI85-"), std::nullopt);

    EXPECT_EQ(nextScreenshotName(dir.str(), ""), dir.file("000.bmp"));
    dir.touch("000.bmp");
    EXPECT_EQ(nextScreenshotName(dir.str(), ""), dir.file("001.bmp"));

    const std::string longBase(300, 'b');
    const auto name = nextScreenshotName(dir.str(), longBase);
    ASSERT_TRUE(name);
    EXPECT_EQ(fs::path(*name).filename().string(),
              std::string(screenshotBaseLimit, 'b') + "000.bmp");
}

TEST(ScreenshotDirectory, SettingsDirectoryOrPictures) {
    ScratchDir home;
    const std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    const char* savedConfig = std::getenv("XDG_CONFIG_HOME");
    const std::string savedConfigValue = savedConfig ? savedConfig : "";
    ::setenv("HOME", home.str().c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", home.file("cfg").c_str(), 1);

    // A settings file elsewhere: its own directory.
    fs::create_directories(home.file("portable"));
    EXPECT_EQ(test::textOf(screenshotDirectory(home.file("portable/Vantrel.ini"))),
              home.file("portable"));

    // The per-user configuration: the pictures directory, created on demand.
    fs::create_directories(home.file("cfg/vantrel"));
    EXPECT_EQ(test::textOf(screenshotDirectory(home.file("cfg/vantrel/Vantrel.ini"))),
              home.file("Pictures"));
    EXPECT_TRUE(fs::is_directory(home.file("Pictures")));

    std::ofstream(home.file("cfg/user-dirs.dirs"))
        << "# comment\nXDG_PICTURES_DIR=\"$HOME/Bilder\"\n";
    EXPECT_EQ(test::textOf(screenshotDirectory(home.file("cfg/vantrel/Vantrel.ini"))),
              home.file("Bilder"));
    // A chosen relative folder is where the user's other relative paths are.
    const test::ScopedEnv data("XDG_DATA_HOME", nullptr);
    EXPECT_EQ(test::textOf(screenshotDirectory(home.file("cfg/vantrel/Vantrel.ini"), "shots")),
              home.file(".local/share/vantrel/shots"));

    ::setenv("HOME", savedHome.c_str(), 1);
    if (savedConfig)
        ::setenv("XDG_CONFIG_HOME", savedConfigValue.c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");
}

TEST(ScreenshotDirectory, ChosenFolderBesideAnyOtherSettingsFile) {
    ScratchDir dir;
    const std::string ini = dir.file("Vantrel.ini");
    EXPECT_EQ(test::textOf(screenshotDirectory(ini, "shots/lcd")), dir.file("shots/lcd"));
    EXPECT_TRUE(fs::is_directory(dir.file("shots/lcd")));
    EXPECT_EQ(test::textOf(screenshotDirectory(ini, dir.file("abs"))), dir.file("abs"));

    // A file where the folder should be: no folder, and the reason names it.
    dir.touch("taken");
    const std::string why = test::reasonOf(screenshotDirectory(ini, "taken"));
    EXPECT_NE(why.find("taken"), std::string::npos) << why;
}

// A pattern in which every pixel differs from its right and lower neighbours somewhere.
std::array<uint8_t, 1024> checkerLcd() {
    std::array<uint8_t, 1024> lcd{};
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 128; ++x)
            if ((x + y) % 3 == 0 || x == 127 || y == 0)
                lcd[static_cast<std::size_t>(y * 16 + x / 8)] |=
                    static_cast<uint8_t>(0x80 >> (x % 8));
    return lcd;
}

TEST(ScreenshotScale, EveryLcdPixelBecomesASquareOfScale) {
    const auto lcd = checkerLcd();
    EXPECT_EQ(lcdBitsAtScale(lcd.data(), 1), std::vector<uint8_t>(lcd.begin(), lcd.end()));
    for (int k : {2, 3, 4}) {
        const auto bits = lcdBitsAtScale(lcd.data(), k);
        const int width = 128 * k;
        ASSERT_EQ(bits.size(), static_cast<std::size_t>(width / 8 * 64 * k));
        for (int y = 0; y < 64 * k; ++y)
            for (int x = 0; x < width; ++x)
                ASSERT_EQ(
                    (bits[static_cast<std::size_t>(y * width / 8 + x / 8)] >> (7 - x % 8)) & 1,
                    lcdPixel(lcd.data(), x / k, y / k) ? 1 : 0)
                    << "scale " << k << " at " << x << "," << y;
    }
    // The bitmap block at scale 2: 256 x 64 * 2, the enlarged rows bottom-up.
    const auto dib = buildLcdDib(lcd.data(), 0x00FFFFFF, 0, 2);
    ASSERT_EQ(dib.size(), 48u + 4096u);
    EXPECT_EQ(le32(dib, 4), 256u);
    EXPECT_EQ(le32(dib, 8), 128u);
    EXPECT_EQ(le32(dib, 20), 4096u);
    const auto bits = lcdBitsAtScale(lcd.data(), 2);
    EXPECT_TRUE(std::equal(bits.end() - 32, bits.end(), dib.begin() + 48));
}

TEST(ScreenshotFile, BitmapByDefaultPngAtItsScaleInTheChosenFolder) {
    ScratchDir dir;
    Settings settings;
    settings.iniPath = dir.file("Vantrel.ini");
    settings.screenshotScale = 3;  // not for bitmap files
    const auto lcd = checkerLcd();

    auto saved = saveScreenshotFile(shadesOfLcdBytes(lcd.data()), settings);
    ASSERT_EQ(test::textOf(saved), dir.file("TI85-000.bmp"));
    auto bytes = readFileBytes(*saved, 1 << 20);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(*bytes, bitmapFileBytes(buildLcdDib(lcd.data(), 0x00FFFFFF, 0)));

    settings.screenshotFormat = ScreenshotFormat::png;
    settings.screenshotFolder = "shots";
    saved = saveScreenshotFile(shadesOfLcdBytes(lcd.data()), settings);
    ASSERT_EQ(test::textOf(saved), dir.file("shots/TI85-000.png"));
    bytes = readFileBytes(*saved, 1 << 20);
    ASSERT_TRUE(bytes);
    ASSERT_GT(bytes->size(), 24u);
    // IHDR: 384 x 192, big-endian.
    EXPECT_EQ((std::vector<uint8_t>(bytes->begin() + 16, bytes->begin() + 24)),
              (std::vector<uint8_t>{0, 0, 1, 128, 0, 0, 0, 192}));

    // The series goes on across both kinds; a used-up series says so.
    settings.screenshotFolder.clear();
    dir.touch("TI85-999.png");
    saved = saveScreenshotFile(shadesOfLcdBytes(lcd.data()), settings);
    EXPECT_NE(test::reasonOf(saved).find("used up"), std::string::npos) << test::reasonOf(saved);
}

// A base with a folder in it numbers the files of that folder (made when missing), so
// that no screenshot writes over the one before.
TEST(ScreenshotFile, BaseWithAFolderNumbersTheFilesOfThatFolder) {
    ScratchDir dir;
    Settings settings;
    settings.iniPath = dir.file("Vantrel.ini");
    settings.screenshotBase = "shots/TI85-";
    const auto lcd = checkerLcd();
    for (const char* expected :
         {"shots/TI85-000.bmp", "shots/TI85-001.bmp", "shots/TI85-002.bmp"}) {
        EXPECT_EQ(test::textOf(saveScreenshotFile(shadesOfLcdBytes(lcd.data()), settings)),
                  dir.file(expected));
    }
    // A full path as the base stands on its own.
    ScratchDir other;
    EXPECT_EQ(nextScreenshotName(dir.str(), other.file("pic-")), other.file("pic-000.bmp"));
}

}  // namespace
}  // namespace vantrel
