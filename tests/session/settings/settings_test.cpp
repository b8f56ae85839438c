#include "session/settings/settings.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "support/full_disk.h"
#include "support/reason.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;
using test::readText;
using test::ScopedCwd;
using test::ScopedEnv;
using test::TempDir;
using test::writeText;

Settings readFrom(const std::string& iniPath) {
    Settings s;
    s.iniPath = iniPath;
    (void)readSettings(s, "");  // a missing file reads as every default
    return s;
}

Settings readIni(const TempDir& dir, const std::string& text) {
    writeText(dir / "Vantrel.ini", text);
    return readFrom(dir / "Vantrel.ini");
}

TEST(SettingsReadTest, MissingFileAndMissingKeysGiveDefaults) {
    TempDir dir;
    Settings s = readFrom(dir / "none.ini");
    EXPECT_EQ(s.romPath, "TI85Rom.bin");
    EXPECT_EQ(s.ramPath, "TI85Stat.bin");
    EXPECT_EQ(s.foreground, 0x00FFFFFFu);
    EXPECT_EQ(s.background, 0x00000000u);
    EXPECT_EQ(s.saveStateMode, SaveStateMode::showDialog);
    EXPECT_TRUE(s.beepOnErrors);
    EXPECT_FALSE(s.screenshotToFile);
    EXPECT_TRUE(s.autoLinkOnUpload);
    EXPECT_TRUE(s.testRomVersion);
    EXPECT_FALSE(s.allowMultipleInstances);
    EXPECT_EQ(s.screenshotBase, "TI85-");
    EXPECT_EQ(s.iniPath, dir / "none.ini");

    // Reading again replaces whatever the record held.
    s.romPath = "x";
    s.saveStateMode = SaveStateMode::always;
    Settings fresh = readIni(dir, "[Preferences]\nBeepOnErrors=No\n");
    EXPECT_EQ(fresh.romPath, "TI85Rom.bin");
    EXPECT_FALSE(fresh.beepOnErrors);
    EXPECT_TRUE(fresh.autoLinkOnUpload);
}

TEST(SettingsReadTest, TruthValuesModesAndEmptyValues) {
    TempDir dir;
    Settings s = readIni(dir,
                         "[Preferences]\n"
                         "AllowMultipleInst=yes\n"
                         "AutoLinkOnUpload=1\n"
                         "BeepOnErrors=true\n"
                         "ScreenShotAsBitmap=YES\n"
                         "TestROMVersion=\n"
                         "SaveState=always\n"
                         "ScreenShotBase=\n"
                         "[Directories]\n"
                         "ROMFile=\n"
                         "RAMFile=  \n");
    EXPECT_TRUE(s.allowMultipleInstances);
    EXPECT_FALSE(s.autoLinkOnUpload);
    EXPECT_FALSE(s.beepOnErrors);
    EXPECT_TRUE(s.screenshotToFile);
    EXPECT_FALSE(s.testRomVersion);  // present but empty: not "Yes"
    EXPECT_EQ(s.saveStateMode, SaveStateMode::always);
    EXPECT_EQ(s.screenshotBase, "TI85-");
    EXPECT_EQ(s.romPath, "TI85Rom.bin");
    EXPECT_EQ(s.ramPath, "TI85Stat.bin");

    for (const char* word : {"NEVER", "never"})
        EXPECT_EQ(readIni(dir, std::string("[Preferences]\nSaveState=") + word).saveStateMode,
                  SaveStateMode::never);
    for (const char* word : {"ShowDialog", "Sometimes", "2", "Never!"})
        EXPECT_EQ(readIni(dir, std::string("[Preferences]\nSaveState=") + word).saveStateMode,
                  SaveStateMode::showDialog);
}

TEST(SettingsReadTest, Colours) {
    TempDir dir;
    Settings s = readIni(dir, "[Colors]\nForeground=0x00112233\nBackground=00AABBCC\n");
    EXPECT_EQ(s.foreground, 0x00112233u);
    EXPECT_EQ(s.background, 0x00AABBCCu);

    s = readIni(dir, "[Colors]\nForeground=0x00123456\nBackground=0X00123456\n");
    EXPECT_EQ(s.foreground, 0x00FFFFFFu);
    EXPECT_EQ(s.background, 0x00000000u);

    s = readIni(dir, "[Colors]\nForeground=ff zz\nBackground=purple\n");
    EXPECT_EQ(s.foreground, 0xFFu);  // reading stops at the first non-digit
    EXPECT_EQ(s.background, 0u);

    s = readIni(dir, "[Colors]\nForeground=0x123456789\n");
    EXPECT_EQ(s.foreground, 0xFFFFFFFFu);

    // Only the first 127 characters of the text count.
    s = readIni(dir, "[Colors]\nForeground=0x" + std::string(125, '0') + "ff\n");
    EXPECT_EQ(s.foreground, 0x00FFFFFFu);  // read as 0, equal to the background
    s = readIni(dir, "[Colors]\nForeground=0x" + std::string(123, '0') + "ff\n");
    EXPECT_EQ(s.foreground, 0xFFu);
}

TEST(SettingsReadTest, WindowsWrittenFile) {
    TempDir dir;
    Settings s = readIni(dir,
                         "\xEF\xBB\xBF[Directories]\r\n"
                         "ROMFile=roms\\TI85Rom.bin\r\n"
                         "RAMFile=..\\state\\TI85Stat.bin\r\n"
                         "[Colors]\r\n"
                         "Foreground=0x00c0c0c0\r\n"
                         "[Preferences]\r\n"
                         "SaveState=Never\r\n"
                         "ScreenShotBase=shots\\calc-\r\n");
    EXPECT_EQ(s.romPath, "roms/TI85Rom.bin");
    EXPECT_EQ(s.ramPath, "../state/TI85Stat.bin");
    EXPECT_EQ(s.foreground, 0x00C0C0C0u);
    EXPECT_EQ(s.saveStateMode, SaveStateMode::never);
    EXPECT_EQ(s.screenshotBase, "shots/calc-");
}

TEST(SettingsReadTest, JunkDuplicatesAndOverlongValues) {
    TempDir dir;
    std::string junk;
    for (int i = 1; i < 3000; ++i) junk += static_cast<char>((i * 91) & 0xFF);
    const std::string longPath = "/" + std::string(1 << 20, 'p');
    const std::string euro = "\xE2\x82\xAC";  // three bytes
    const std::string base = std::string(250, 'b') + euro;
    Settings s = readIni(dir, junk +
                                  "\nROMFile=/outside/section.bin\n"
                                  "[Directories]\n"
                                  "ROMFile=" +
                                  longPath +
                                  "\n"
                                  "ROMFile=/second.bin\n"
                                  "[Preferences]\n"
                                  "ScreenShotBase=" +
                                  base + "\n" + junk);
    EXPECT_EQ(s.romPath, longPath);                      // not cut
    EXPECT_EQ(s.screenshotBase, std::string(250, 'b'));  // no half character left
    EXPECT_EQ(readIni(dir, "[Preferences]\nScreenShotBase=" + std::string(300, 'c')).screenshotBase,
              std::string(251, 'c'));

    // Not a regular file: defaults, no hang.
    fs::create_directory(dir / "folder.ini");
    EXPECT_EQ(readFrom(dir / "folder.ini").romPath, "TI85Rom.bin");
    ASSERT_EQ(::mkfifo((dir / "fifo.ini").c_str(), 0600), 0);
    EXPECT_EQ(readFrom(dir / "fifo.ini").ramPath, "TI85Stat.bin");
}

TEST(SettingsWriteTest, NewFileInWriteOrder) {
    TempDir dir;
    Settings s;
    s.iniPath = dir / "sub/folder/Vantrel.ini";  // folders made as needed
    s.romPath = "/roms/TI85 Rom.bin";
    s.ramPath = "TI85Stat.bin";
    s.foreground = 0x00ABCDEF;
    s.background = 0x00010203;
    s.saveStateMode = SaveStateMode::never;
    s.screenshotToFile = true;
    ASSERT_TRUE(writeSettings(s));
    EXPECT_EQ(readText(s.iniPath),
              "[Directories]\n"
              "ROMFile=/roms/TI85 Rom.bin\n"
              "RAMFile=TI85Stat.bin\n"
              "\n"
              "[Colors]\n"
              "Background=0x00010203\n"
              "Foreground=0x00abcdef\n"
              "\n"
              "[Preferences]\n"
              "AllowMultipleInst=No\n"
              "AutoLinkOnUpload=Yes\n"
              "BeepOnErrors=Yes\n"
              "ScreenShotAsBitmap=Yes\n"
              "ScreenShotBase=TI85-\n"
              "TestROMVersion=Yes\n"
              "SaveState=Never\n"
              "ScreenShotFormat=BMP\n"
              "ScreenShotScale=1\n"
              "RewindSeconds=60\n"
              "ScreenShotFolder=\n"
              "RecordKeys=No\n"
              "StartDemo=No\n"
              "Model=classic\n"
              "Speed=1\n"
              "SmoothGreyscale=Yes\n"
              "\n"
              "[Window]\n"
              "Maximized=No\n");

    Settings back;
    back.iniPath = s.iniPath;
    ASSERT_TRUE(readSettings(back, ""));
    EXPECT_EQ(back, s);

    s.saveStateMode = SaveStateMode::always;
    ASSERT_TRUE(writeSettings(s));
    EXPECT_EQ(readFrom(s.iniPath).saveStateMode, SaveStateMode::always);
    s.saveStateMode = SaveStateMode::showDialog;
    ASSERT_TRUE(writeSettings(s));
    EXPECT_NE(readText(s.iniPath).find("SaveState=ShowDialog\n"), std::string::npos);
}

TEST(SettingsWriteTest, ExistingFileKeepsUnknownContentAndItsForm) {
    TempDir dir;
    const std::string original =
        "\xEF\xBB\xBF; written by hand\r\n"
        "[Preferences]\r\n"
        "SaveState=Always\r\n"
        "Extra=keep\r\n"
        "\r\n"
        "[Mine]\r\n"
        "a=b\r\n";
    writeText(dir / "Vantrel.ini", original);
    ::chmod((dir / "Vantrel.ini").c_str(), 0600);
    Settings s = readFrom(dir / "Vantrel.ini");
    s.romPath = "line\nbreak.bin";  // cannot be stored: the file keeps no ROMFile
    ASSERT_TRUE(writeSettings(s));
    const std::string text = readText(dir / "Vantrel.ini");
    EXPECT_EQ(text.rfind("\xEF\xBB\xBF; written by hand\r\n[Preferences]\r\n", 0), 0u);
    EXPECT_NE(text.find("SaveState=Always\r\nExtra=keep\r\nAllowMultipleInst=No\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("[Mine]\r\na=b\r\n"), std::string::npos);
    EXPECT_EQ(text.find("line"), std::string::npos);
    EXPECT_EQ(text.find("\n\n"), std::string::npos);  // no bare line end slipped in
    struct stat st {};
    ::stat((dir / "Vantrel.ini").c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(SettingsWriteTest, UnwritablePlacesFailWithoutDamageSayingWhy) {
    TempDir dir;
    Settings s;
    EXPECT_FALSE(writeSettings(s));  // nowhere to write
    fs::create_directory(dir / "Vantrel.ini");
    s.iniPath = dir / "Vantrel.ini";
    EXPECT_EQ(writeSettings(s).failure(),
              Failure::system(EISDIR, "It cannot be read: Is a directory."));
    EXPECT_TRUE(fs::is_directory(dir / "Vantrel.ini"));

    // A full disk (or a quota): the system's reason, and the old file whole.
    s.iniPath = dir / "full.ini";
    writeText(s.iniPath, "[Mine]\nkeep=1\n");
    std::string why;
    {
        test::FileSizeLimit limit(64);
        why = test::reasonOf(writeSettings(s));
    }
    EXPECT_EQ(why, "File too large");
    EXPECT_EQ(readText(s.iniPath), "[Mine]\nkeep=1\n");
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool measuresMemory = false;
#else
constexpr bool measuresMemory = true;
#endif

// A hostile settings file of 16 MiB of blank lines: read in memory in proportion to
// it (the run is made in a child whose peak memory is measured), and not written
// back larger than a start would read.
TEST(SettingsHostileFile, SixteenMiBOfBlankLinesTakeLittleMemoryAndAreNotWrittenTooLarge) {
    TempDir dir;
    const std::string ini = dir / "Vantrel.ini";
    writeText(ini, std::string(16u << 20, '\n'));
    const pid_t child = ::fork();
    if (child == 0) {
        rusage before{};
        ::getrusage(RUSAGE_SELF, &before);
        Settings s;
        s.iniPath = ini;
        if (!readSettings(s, "")) ::_exit(2);
        const Result<> written = writeSettings(s);
        if (written) ::_exit(3);  // it would be larger than 16 MiB
        if (written.failure().reason.find("larger than a settings file may be") ==
            std::string::npos)
            ::_exit(4);
        rusage after{};
        ::getrusage(RUSAGE_SELF, &after);
        // The file itself, a copy of it and a little more: well under 256 MiB (where no
        // sanitizer keeps books of its own in proportion to what the program touches).
        ::_exit(!measuresMemory || after.ru_maxrss - before.ru_maxrss < 256 * 1024 ? 0 : 5);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(fs::file_size(ini), 16u << 20);

    // A little below the limit it is read, written and read again, blank lines kept.
    writeText(ini, std::string((16u << 20) - 4096, '\n'));
    Settings s;
    s.iniPath = ini;
    ASSERT_TRUE(readSettings(s, ""));
    s.saveStateMode = SaveStateMode::always;
    const Result<> written = writeSettings(s);
    ASSERT_TRUE(written) << test::reasonOf(written);
    Settings again;
    again.iniPath = ini;
    ASSERT_TRUE(readSettings(again, ""));
    EXPECT_EQ(again.saveStateMode, SaveStateMode::always);
    char start[4] = {};
    std::ifstream(ini, std::ios::binary).read(start, sizeof start);
    EXPECT_EQ(std::string(start, sizeof start), "\n\n\n\n");
}

// The window's place and the screenshot options live under keys that older versions
// neither read nor write: files without them read as before, and the files written
// keep everything older versions read exactly as those wrote it.
TEST(SettingsNewerKeys, OlderFilesReadAsAPlacedWindowWithoutAZoomAndBitmaps) {
    TempDir dir;
    const Settings s = readIni(dir, "[Preferences]\nScreenShotAsBitmap=Yes\n");
    EXPECT_EQ(s.zoom, 0);  // none chosen: the window takes the largest that fits
    EXPECT_EQ(s.squarePixels, SquarePixels::fromTwice);
    EXPECT_FALSE(s.startDemo);
    EXPECT_TRUE(s.recentRoms.empty());
    EXPECT_EQ(s.window, WindowPlace{});
    EXPECT_EQ(s.screenshotFormat, ScreenshotFormat::bmp);
    EXPECT_EQ(s.screenshotScale, 1);
    EXPECT_EQ(s.screenshotFolder, "");
}

TEST(SettingsNewerKeys, RoundTripAndValuesOutOfRange) {
    TempDir dir;
    Settings s;
    s.iniPath = dir / "Vantrel.ini";
    s.romPath = "TI85Rom.bin";
    s.ramPath = "TI85Stat.bin";
    s.zoom = 3;
    s.window = {true, -40, 25, 700, 1340, true};
    s.screenshotFormat = ScreenshotFormat::png;
    s.screenshotScale = 4;
    s.screenshotFolder = "/pictures/calc";
    s.squarePixels = SquarePixels::never;
    ASSERT_TRUE(writeSettings(s));
    EXPECT_EQ(readFrom(s.iniPath), s);
    s.squarePixels = SquarePixels::always;
    s.startDemo = true;
    for (const char* rom : {"/a.bin", "/b.bin", "/a.bin", "/c.bin", "/d.bin", "/e.bin"})
        rememberRecentRom(s, rom);
    EXPECT_EQ(s.recentRoms, (std::vector<std::string>{"/e.bin", "/d.bin", "/c.bin", "/a.bin"}));
    ASSERT_TRUE(writeSettings(s));
    EXPECT_EQ(readFrom(s.iniPath), s);
    // A shorter list leaves no old entries behind.
    s.recentRoms = {"/f.bin"};
    ASSERT_TRUE(writeSettings(s));
    EXPECT_EQ(readFrom(s.iniPath), s);

    // Whatever is not a zoom, a scale or a place reads as none.
    const Settings odd = readIni(dir,
                                 "[Window]\nZoom=7\nX=12\nWidth=2x\nHeight=400\n"
                                 "[Preferences]\nScreenShotScale=0\nScreenShotFormat=gif\n");
    EXPECT_EQ(odd.zoom, 0);
    EXPECT_FALSE(odd.window.placed);  // X without Y
    EXPECT_EQ(odd.window.width, 0);
    EXPECT_EQ(odd.window.height, 0);
    EXPECT_EQ(odd.screenshotScale, 1);
    EXPECT_EQ(odd.screenshotFormat, ScreenshotFormat::bmp);
    EXPECT_EQ(readIni(dir, "[Preferences]\nScreenShotFormat=png\n").screenshotFormat,
              ScreenshotFormat::png);
    EXPECT_EQ(readIni(dir, "[Window]\nX=-99999999999\nY=5\n").window.placed, false);
}

TEST(SettingsNewerKeys, ModelSpeedAndGreyscaleRoundTripAndOddValuesReadAsDefaults) {
    TempDir dir;
    Settings s = readIni(dir, "[Preferences]\nModel=Hardware\nSpeed=1/4\nSmoothGreyscale=no\n");
    EXPECT_EQ(s.model, MachineModel::hardware);
    EXPECT_EQ(s.speed, SpeedFactor::quarter);
    EXPECT_FALSE(s.smoothGreyscale);
    for (SpeedFactor f : {SpeedFactor::half, SpeedFactor::normal, SpeedFactor::twice,
                          SpeedFactor::fourTimes, SpeedFactor::unlimited}) {
        s.speed = f;
        ASSERT_TRUE(writeSettings(s));
        EXPECT_EQ(readFrom(s.iniPath).speed, f);
    }
    s = readIni(dir, "[Preferences]\nModel=fast\nSpeed=3\nSmoothGreyscale=maybe\n");
    EXPECT_EQ(s.model, MachineModel::classic);
    EXPECT_EQ(s.speed, SpeedFactor::normal);
    EXPECT_TRUE(s.smoothGreyscale);
}

TEST(SettingsNewerKeys, KeyboardSectionOnlyOnceTheMapDiffersAndBadValuesReadAsDefaults) {
    TempDir dir;
    Settings s;
    s.iniPath = dir / "Vantrel.ini";
    s.romPath = "TI85Rom.bin";
    s.ramPath = "TI85Stat.bin";
    ASSERT_TRUE(writeSettings(s));
    EXPECT_EQ(readText(s.iniPath).find("[Keyboard]"), std::string::npos);
    s.keyMap.bind(PcKey::control, {});
    s.keyMap.bind(PcKey::alt, {keyIndex(keyAlpha), false});
    ASSERT_TRUE(writeSettings(s));
    const std::string text = readText(s.iniPath);
    EXPECT_NE(text.find("Ctrl=none\n"), std::string::npos);
    EXPECT_NE(text.find("Alt=ALPHA\n"), std::string::npos);
    EXPECT_NE(text.find("Insert=DEL after 2ND\n"), std::string::npos);
    EXPECT_EQ(readFrom(s.iniPath), s);
    // Back to the defaults: the section says so instead of keeping the old map.
    s.keyMap = KeyMap();
    ASSERT_TRUE(writeSettings(s));
    EXPECT_EQ(readFrom(s.iniPath).keyMap, KeyMap());

    const Settings odd = readIni(dir, "[Keyboard]\nCtrl=nothing\nTab=EXIT\nF6=ENTER\n");
    KeyMap expected;
    expected.bind(PcKey::tab, {keyIndex(keyExit), false});
    EXPECT_EQ(odd.keyMap, expected);
}

TEST(SettingsNewerKeys, WrittenFileKeepsTheOlderKeysAsTheyWere) {
    TempDir dir;
    const std::string older =
        "[Directories]\nROMFile=TI85Rom.bin\nRAMFile=TI85Stat.bin\n\n"
        "[Colors]\nBackground=0x00000000\nForeground=0x00ffffff\n\n"
        "[Preferences]\nAllowMultipleInst=No\nAutoLinkOnUpload=Yes\nBeepOnErrors=Yes\n"
        "ScreenShotAsBitmap=No\nScreenShotBase=TI85-\nTestROMVersion=Yes\nSaveState=ShowDialog\n";
    writeText(dir / "Vantrel.ini", older);
    Settings s = readFrom(dir / "Vantrel.ini");
    s.zoom = 2;
    s.screenshotFormat = ScreenshotFormat::png;
    ASSERT_TRUE(writeSettings(s));
    const std::string text = readText(dir / "Vantrel.ini");
    // The older keys first and unchanged; the new ones only after them.
    EXPECT_EQ(text.rfind(older, 0), 0u) << text;
    EXPECT_NE(text.find("ScreenShotFormat=PNG\n"), std::string::npos);
    EXPECT_NE(text.find("[Window]\nZoom=2\n"), std::string::npos);
}

TEST(SettingsLocateTest, CurrentDirectoryThenProgramFolderThenConfigHome) {
    TempDir work, program, config;
    ScopedEnv xdg("XDG_CONFIG_HOME", config.path().c_str());
    ScopedCwd cwd(work.path());

    // Nothing in the current directory, and a writable program folder takes no new file.
    Settings s;
    locateSettingsFile(s, program.path());
    EXPECT_EQ(s.iniPath, config / "vantrel/Vantrel.ini");
    EXPECT_TRUE(writeSettings(s));
    EXPECT_FALSE(fs::exists(program / "Vantrel.ini"));
    fs::remove_all(config / "vantrel");

    // A file in the current directory wins, named by its full path.
    writeText(work / "Vantrel.ini", "[Preferences]\nSaveState=Never\n");
    s.iniPath.clear();
    EXPECT_TRUE(readSettings(s, program.path()));
    EXPECT_EQ(fs::path(s.iniPath), fs::canonical(work.path()) / "Vantrel.ini");
    EXPECT_EQ(s.saveStateMode, SaveStateMode::never);
    fs::remove(work / "Vantrel.ini");

    // No usable program folder: the user's configuration folder, made on write.
    s.iniPath.clear();
    locateSettingsFile(s, program / "does/not/exist");
    EXPECT_EQ(s.iniPath, config / "vantrel/Vantrel.ini");
    EXPECT_TRUE(writeSettings(s));
    EXPECT_TRUE(fs::is_regular_file(config / "vantrel/Vantrel.ini"));
}

TEST(SettingsLocateTest, ProgramFolderUsedWhenFileExistsThere) {
    TempDir work, program, config;
    ScopedEnv xdg("XDG_CONFIG_HOME", config.path().c_str());
    ScopedCwd cwd(work.path());
    writeText(program / "Vantrel.ini", "");
    ::chmod(program.path().c_str(), 0555);
    Settings s;
    locateSettingsFile(s, program.path());
    EXPECT_EQ(s.iniPath, program / "Vantrel.ini");
    ::chmod(program.path().c_str(), 0755);
    fs::remove(program / "Vantrel.ini");
    s.iniPath.clear();
    locateSettingsFile(s, program.path());
    EXPECT_EQ(s.iniPath, config / "vantrel/Vantrel.ini");
}

TEST(SettingsLocateTest, ConfigHomeFallsBackToHome) {
    TempDir work, home;
    ScopedCwd cwd(work.path());
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", "relative/not/allowed");
        ScopedEnv h("HOME", home.path().c_str());
        Settings s;
        locateSettingsFile(s, "");
        EXPECT_EQ(s.iniPath, home / ".config/vantrel/Vantrel.ini");
    }
}

// Where relative ROM and state paths lead, on real folders with the user's folders
// moved into temporary ones. The current directory is elsewhere throughout.
class DataFolder : public ::testing::Test {
protected:
    TempDir root;
    std::string home = root / "home";
    ScopedEnv homeEnv{"HOME", home.c_str()};
    ScopedEnv configEnv{"XDG_CONFIG_HOME", nullptr};
    ScopedEnv dataEnv{"XDG_DATA_HOME", nullptr};
    std::string work = root / "work";
    std::string program = root / "program";

    void SetUp() override {
        fs::create_directories(work);
        fs::create_directories(program);
        fs::create_directories(home);
    }
    Settings located() {
        ScopedCwd cwd(work);
        Settings s;
        (void)readSettings(s, program);  // only where it is looked for matters
        return s;
    }
};

TEST_F(DataFolder, UserSettingsKeepTheirFilesInTheDataFolderMadeWhenNeeded) {
    Settings s = located();
    EXPECT_EQ(s.iniPath, home + "/.config/vantrel/Vantrel.ini");
    EXPECT_EQ(dataDirectory(s), home + "/.local/share/vantrel");
    // The defaults included, whatever the current directory is.
    EXPECT_EQ(resolvePath(s, s.romPath), home + "/.local/share/vantrel/TI85Rom.bin");
    EXPECT_EQ(resolvePath(s, s.ramPath), home + "/.local/share/vantrel/TI85Stat.bin");
    EXPECT_EQ(resolvePath(s, "sub/state.bin"), home + "/.local/share/vantrel/sub/state.bin");
    EXPECT_EQ(resolvePath(s, "/abs/rom.bin"), "/abs/rom.bin");

    EXPECT_FALSE(fs::exists(home + "/.local/share/vantrel"));
    EXPECT_TRUE(makeDataDirectory(s));
    const auto made = fs::status(home + "/.local/share/vantrel");
    EXPECT_TRUE(fs::is_directory(made));
    EXPECT_EQ(made.permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_TRUE(makeDataDirectory(s));  // there already

    // Not made for settings whose paths are all absolute.
    fs::remove_all(home + "/.local");
    s.romPath = "/abs/rom.bin";
    s.ramPath = "/abs/state.bin";
    EXPECT_TRUE(makeDataDirectory(s));
    EXPECT_FALSE(fs::exists(home + "/.local/share/vantrel"));
    EXPECT_TRUE(fs::is_empty(work));
}

TEST_F(DataFolder, XdgFoldersAreHonoured) {
    const std::string config = root / "cfg";
    const std::string data = root / "data";
    ScopedEnv c("XDG_CONFIG_HOME", config.c_str());
    ScopedEnv d("XDG_DATA_HOME", (data + "/").c_str());
    Settings s = located();
    EXPECT_EQ(s.iniPath, config + "/vantrel/Vantrel.ini");
    EXPECT_EQ(resolvePath(s, s.romPath), data + "/vantrel/TI85Rom.bin");
    ASSERT_TRUE(makeDataDirectory(s));
    EXPECT_TRUE(fs::is_directory(data + "/vantrel"));
    // A settings file named to the runner from there means the same folder.
    Settings named;
    named.iniPath = config + "/./vantrel/Vantrel.ini";
    EXPECT_EQ(dataDirectory(named), data + "/vantrel");
}

TEST_F(DataFolder, OtherSettingsFilesKeepTheirFilesBesideThem) {
    // A portable copy: the file beside the program, and its files beside it.
    writeText(program + "/Vantrel.ini", "[Directories]\nROMFile=roms/mine.bin\n");
    Settings portable = located();
    EXPECT_EQ(portable.iniPath, program + "/Vantrel.ini");
    EXPECT_EQ(resolvePath(portable, portable.romPath), program + "/roms/mine.bin");
    EXPECT_EQ(resolvePath(portable, portable.ramPath), program + "/TI85Stat.bin");
    EXPECT_TRUE(makeDataDirectory(portable));
    EXPECT_FALSE(fs::exists(home + "/.local"));

    // One in the current directory: that directory, as always.
    writeText(work + "/Vantrel.ini", "");
    Settings here = located();
    EXPECT_EQ(fs::path(resolvePath(here, here.romPath)), fs::canonical(work) / "TI85Rom.bin");

    // Before the file is known: the path as it stands.
    EXPECT_EQ(resolvePath(Settings{}, "TI85Rom.bin"), "TI85Rom.bin");
}

TEST_F(DataFolder, PathsTypedOnTheCommandLineMeanTheCurrentDirectory) {
    ScopedCwd cwd(work);
    EXPECT_EQ(fs::path(absoluteFromHere("roms/x.bin")), fs::current_path() / "roms/x.bin");
    EXPECT_EQ(absoluteFromHere("/abs/x.bin"), "/abs/x.bin");
    EXPECT_EQ(absoluteFromHere(""), "");
}

}  // namespace
}  // namespace vantrel
