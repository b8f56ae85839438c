// Recordings read back by ImageMagick, a reader of its own: the frames and delays that
// went in come out, and a recording that fails leaves nothing behind.
#include "session/screenshots/gif_recording.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <random>

#include "session/screenshots/lcd_recording.h"
#include "session/settings/settings.h"
#include "support/command_output.h"
#include "support/full_disk.h"
#include "support/temp_dir.h"

namespace vantrel {
namespace {

using test::commandOutput;
using test::TempDir;

// "delay width height" a frame, as ImageMagick reads the file.
std::string framesOf(const std::string& gif) {
    return commandOutput("identify -format '%T %w %h\\n' '" + gif + "' 2>&1");
}

// Every frame's pixels as red, green, blue bytes, frames one after the other.
std::string pixelsOf(const std::string& gif) {
    return commandOutput("convert '" + gif + "' -coalesce -depth 8 rgb:- 2>/dev/null");
}

const std::vector<GifColour> palette{{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};

std::string rgbOf(const std::vector<uint8_t>& frame) {
    std::string rgb;
    for (uint8_t index : frame)
        rgb += {static_cast<char>(palette[index].red), static_cast<char>(palette[index].green),
                static_cast<char>(palette[index].blue)};
    return rgb;
}

TEST(GifRecording, FramesMergedAndTheirDelaysAddUpToTheRecordedTime) {
    TempDir dir;
    const std::string gif = dir / "shot.gif";
    const std::vector<uint8_t> a{0, 1, 2, 3, 3, 2}, b{1, 1, 1, 1, 1, 1}, c{3, 0, 3, 0, 3, 0};
    GifRecording recording;
    ASSERT_TRUE(recording.start(gif, 3, 2, palette));
    ASSERT_TRUE(recording.addFrame(a, 1000));
    ASSERT_TRUE(recording.addFrame(a, 1030));  // unchanged: A goes on
    ASSERT_TRUE(recording.addFrame(b, 1133));  // A for 13.3 hundredths: 13
    ASSERT_TRUE(recording.addFrame(c, 1140));  // B shown too briefly: C takes its place
    ASSERT_TRUE(recording.addFrame(a, 1406));  // C from 13 to 41 (1406 rounded): 28
    EXPECT_FALSE(std::filesystem::exists(gif)) << "in place only when it ends";
    ASSERT_TRUE(recording.finish(1999));  // A to 100: 59, 100 in all
    EXPECT_FALSE(recording.recording());

    EXPECT_EQ(framesOf(gif), "13 3 2\n28 3 2\n59 3 2\n");
    EXPECT_EQ(pixelsOf(gif), rgbOf(a) + rgbOf(c) + rgbOf(a));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1)
        << "no temporary file left";
}

TEST(GifRecording, AFrameLongerThanAGifDelayIsShownAgainForTheRest) {
    TempDir dir;
    const std::string gif = dir / "long.gif";
    GifRecording recording;
    ASSERT_TRUE(recording.start(gif, 1, 1, palette));
    ASSERT_TRUE(recording.addFrame(std::vector<uint8_t>{2}, 0));
    ASSERT_TRUE(recording.finish(700'000));
    EXPECT_EQ(framesOf(gif), "65535 1 1\n4465 1 1\n");
}

TEST(GifRecording, AFailedRecordingLeavesNoFileAndTheOldOneAsItWas) {
    TempDir dir;
    const std::string gif = dir / "TI85-000.gif";
    // Noise does not compress: the file outgrows the disk within a few frames, or at
    // once where the disk is full to the last byte.
    const auto run = test::runOnFullDisk(
        dir.path(), [&] { test::writeText(gif, "an older recording"); },
        [&] {
            GifRecording recording;
            Result<> step = recording.start(gif, 200, 200, palette);
            std::mt19937 random(7);
            std::vector<uint8_t> frame(200 * 200);
            for (uint64_t t = 0; step && t < 100; ++t) {
                for (uint8_t& pixel : frame) pixel = static_cast<uint8_t>(random() & 3);
                step = recording.addFrame(frame, t * 100);
            }
            if (step) return 10;
            if (step.failure().reason != errorText(step.failure().code)) return 11;
            if (recording.recording()) return 12;
            if (test::readText(gif) != "an older recording") return 13;
            for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
                if (entry.path() != gif && entry.path().filename() != ".filler") return 14;
            return 0;
        },
        8192);
    EXPECT_EQ(run.status, 0) << "10: no failure, 11: not the system's reason, 12: still "
                                "recording, 13: the old file changed, 14: a file left behind";
}

TEST(LcdRecording, TheLcdEnlargedInTheWindowsColoursBelowItTheCaption) {
    TempDir dir;
    const std::string gif = dir / "lcd.gif";
    LcdBytes lcd{};
    lcd[0] = 0x80;  // the top-left pixel
    LcdShades shades = shadesOfLcdBytes(lcd.data());
    shades[2] = 128;  // a grey one, as the hardware model shows it
    LcdRecording recording;
    ASSERT_TRUE(recording.start(gif, 2, 0x00FFFFFF, 0x00204060, 1));
    std::vector<uint8_t> caption(256, 0);
    caption[255] = 255;
    ASSERT_TRUE(recording.addFrame(shades, 0, caption));
    ASSERT_TRUE(recording.finish(500));
    EXPECT_EQ(framesOf(gif), "50 256 129\n");
    const std::string rgb = pixelsOf(gif);
    ASSERT_EQ(rgb.size(), 256u * 129 * 3);
    auto pixel = [&](int x, int y) {
        return rgb.substr(static_cast<std::size_t>((y * 256 + x) * 3), 3);
    };
    const std::string white("\xFF\xFF\xFF", 3), background("\x60\x40\x20", 3);
    EXPECT_EQ(pixel(0, 0), white);
    EXPECT_EQ(pixel(1, 1), white);
    EXPECT_EQ(pixel(2, 0), background);
    EXPECT_EQ(pixel(4, 0), std::string("\xB4\xA5\x96", 3)) << "level 8 of 15 between the two";
    EXPECT_EQ(pixel(255, 128), white);
    EXPECT_EQ(pixel(254, 128), background);
}

TEST(LcdRecording, NumberedAfterTheScreenshotsOfTheFolder) {
    TempDir dir;
    Settings settings;
    settings.iniPath = dir / "Vantrel.ini";
    settings.screenshotFolder = dir.path();
    test::writeText(dir / "TI85-002.png", "x");
    const auto path = nextRecordingPath(settings);
    ASSERT_TRUE(path);
    EXPECT_EQ(*path, dir / "TI85-003.gif");
}

}  // namespace
}  // namespace vantrel
