// The demo's firmware found beside an installed program, and its own folder made
// ready without touching the user's settings.
#include "session/settings/demo_firmware.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "session/screenshots/screenshot.h"
#include "session/settings/settings.h"
#include "support/reason.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace vantrel::test {
namespace {

namespace fs = std::filesystem;

TEST(DemoFirmware, FoundInTheDataFolderOfTheProgramsOwnPrefix) {
    TempDir prefix;
    const std::string bin = prefix / VANTREL_TEST_BINDIR;
    const std::string data = prefix / (std::string(VANTREL_TEST_DATADIR) + "/vantrel");
    fs::create_directories(bin);
    fs::create_directories(data);
    writeBytes(data + "/" + demoFirmwareName, {1, 2, 3});
    EXPECT_EQ(fs::path(findDemoFirmware(bin)), fs::path(data) / demoFirmwareName);
    // Another prefix without the file never finds this one.
    TempDir other;
    EXPECT_NE(findDemoFirmware(other.path()), data + "/" + demoFirmwareName);
}

class DemoFolder : public ::testing::Test {
protected:
    TempDir root;
    std::string data = root / "data";
    std::string config = root / "config";
    ScopedEnv dataEnv{"XDG_DATA_HOME", data.c_str()};
    ScopedEnv configEnv{"XDG_CONFIG_HOME", config.c_str()};
    std::string firmware = root / "vantrel-demo.rom";
    std::string demo = data + "/vantrel/demo";
};

TEST_F(DemoFolder, MadeOnceWithItsOwnSettingsAndTheFirmwareCopiedAfresh) {
    writeBytes(firmware, {0xAA, 0xBB});
    auto prepared = prepareDemo(firmware);
    ASSERT_TRUE(prepared) << reasonOf(prepared);
    Settings s = *prepared;
    EXPECT_EQ(demoDirectory(), demo);
    EXPECT_EQ(s.iniPath, demo + "/Vantrel.ini");
    EXPECT_EQ(resolvePath(s, s.romPath), demo + "/TI85Rom.bin");
    EXPECT_EQ(resolvePath(s, s.ramPath), demo + "/TI85Stat.bin");
    EXPECT_TRUE(s.allowMultipleInstances);
    EXPECT_EQ(readBytes(demo + "/TI85Rom.bin"), (std::vector<uint8_t>{0xAA, 0xBB}));
    EXPECT_FALSE(fs::exists(demo + "/TI85Rom.sym"));  // a firmware without symbols runs

    // The firmware's symbols go beside the copy, where the debugger reads them.
    writeBytes(root / "vantrel-demo.sym", {'a', ' ', 'E', 'Q', 'U', ' ', '1', 'H'});
    prepared = prepareDemo(firmware);
    ASSERT_TRUE(prepared) << reasonOf(prepared);
    EXPECT_EQ(readBytes(demo + "/TI85Rom.sym").size(), 8u);

    // The demo's preferences stay; a newer firmware replaces the copy.
    s.saveStateMode = SaveStateMode::never;
    ASSERT_TRUE(writeSettings(s));
    writeBytes(firmware, {0xCC});
    prepared = prepareDemo(firmware);
    ASSERT_TRUE(prepared) << reasonOf(prepared);
    EXPECT_EQ(prepared->saveStateMode, SaveStateMode::never);
    EXPECT_EQ(readBytes(demo + "/TI85Rom.bin"), (std::vector<uint8_t>{0xCC}));
    EXPECT_FALSE(fs::exists(config));  // the user's settings folder is never touched
}

TEST_F(DemoFolder, ScreenshotsGoWhereTheUsersOwnGoNotIntoTheHiddenFolder) {
    ScopedEnv home("HOME", root.path().c_str());
    writeBytes(firmware, {0xAA});
    const auto prepared = prepareDemo(firmware);
    ASSERT_TRUE(prepared);
    const Settings& s = *prepared;
    EXPECT_EQ(defaultScreenshotDirectory(s.iniPath), root / "Pictures");
    EXPECT_EQ(test::textOf(screenshotDirectory(s.iniPath)), root / "Pictures");
}

TEST_F(DemoFolder, MissingFirmwareIsTold) {
    EXPECT_EQ(reasonOf(prepareDemo("")), "The demo firmware is not installed.");
    const std::string why = reasonOf(prepareDemo(firmware));  // named, but not there
    EXPECT_NE(why.find(firmware), std::string::npos) << why;
    EXPECT_NE(why.find("No such file or directory"), std::string::npos) << why;
}

}  // namespace
}  // namespace vantrel::test
