#include "session/settings/ini_file.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

TEST(IniFileTest, LookupIgnoresCaseTrimsBlanksAndFirstDuplicateWins) {
    const IniFile ini(
        "orphan=outside\n"
        "[Directories]\n"
        "  romfile =   /roms/my rom.bin  \n"
        "ROMFile=/second.bin\n"
        "; ROMFile=/commented.bin\n"
        "no equals sign here\n"
        "=no key\n"
        "Empty=\n"
        "Url=http://x/?a=b\n"
        "[ Colors ]\n"
        "Foreground=0x00ff0000\n"
        "[directories]\n"
        "RAMFile=/later.bin\n");
    EXPECT_EQ(ini.get("DIRECTORIES", "ROMFILE"), "/roms/my rom.bin");
    EXPECT_EQ(ini.get("Directories", "Empty"), "");
    EXPECT_EQ(ini.get("Directories", "Url"), "http://x/?a=b");
    EXPECT_EQ(ini.get("colors", "foreground"), "0x00ff0000");
    // A later section of the same name still counts.
    EXPECT_EQ(ini.get("Directories", "RAMFile"), "/later.bin");
    // Keys outside any section and in other sections are not found.
    EXPECT_EQ(ini.get("", "orphan"), std::nullopt);
    EXPECT_EQ(ini.get("Colors", "ROMFile"), std::nullopt);
    EXPECT_EQ(ini.get("Missing", "Key"), std::nullopt);
}

TEST(IniFileTest, EditingKeepsEverythingElseInPlace) {
    IniFile ini(
        "; my settings\n"
        "[Directories]\n"
        "ROMFile = old.bin\n"
        "Custom=keep me\n"
        "\n"
        "; about colours\n"
        "[Colors]\n"
        "[Unknown]\n"
        "x=1\n");
    EXPECT_TRUE(ini.set("directories", "romfile", "new.bin"));    // keeps its place and spelling
    EXPECT_TRUE(ini.set("Directories", "RAMFile", "state.bin"));  // after the last key
    EXPECT_TRUE(ini.set("Colors", "Background", "0x00000000"));   // into an empty section
    EXPECT_TRUE(ini.set("Preferences", "SaveState", "Never"));    // a new section at the end
    EXPECT_EQ(ini.text(),
              "; my settings\n"
              "[Directories]\n"
              "ROMFile=new.bin\n"
              "Custom=keep me\n"
              "RAMFile=state.bin\n"
              "\n"
              "; about colours\n"
              "[Colors]\n"
              "Background=0x00000000\n"
              "[Unknown]\n"
              "x=1\n"
              "\n"
              "[Preferences]\n"
              "SaveState=Never\n");
    EXPECT_EQ(IniFile(ini.text()).get("Directories", "ROMFile"), "new.bin");
}

TEST(IniFileTest, WindowsFileKeepsBomAndCrlfAndReadsCleanly) {
    IniFile ini("\xEF\xBB\xBF[Directories]\r\nROMFile=C:\\calc\\TI85Rom.bin\r\n");
    EXPECT_EQ(ini.get("Directories", "ROMFile"), "C:\\calc\\TI85Rom.bin");
    ini.set("Directories", "RAMFile", "x.bin");
    EXPECT_EQ(ini.text(),
              "\xEF\xBB\xBF[Directories]\r\nROMFile=C:\\calc\\TI85Rom.bin\r\nRAMFile=x.bin\r\n");
}

TEST(IniFileTest, LineBreakInValueIsRefusedSoNoLineCanBeInjected) {
    IniFile ini("[Directories]\nROMFile=a.bin\n");
    EXPECT_FALSE(ini.set("Directories", "ROMFile", "b.bin\n[Preferences]\nSaveState=Always"));
    EXPECT_FALSE(ini.set("Directories", "RAMFile", "c.bin\r"));
    EXPECT_EQ(ini.text(), "[Directories]\nROMFile=a.bin\n");
}

TEST(IniFileTest, JunkAndHugeLinesAreHandled) {
    std::string junk;
    for (int i = 0; i < 4096; ++i) junk += static_cast<char>((i * 37) & 0xFF);
    const std::string huge(1 << 20, 'A');
    // Junk may hold "[" lines of its own, so the keys come right after their header.
    const std::string text =
        junk + "\n[Preferences]\nSaveState=Always\nScreenShotBase=" + huge + "\n" + junk;
    IniFile ini(text);
    EXPECT_EQ(ini.get("Preferences", "ScreenShotBase")->size(), huge.size());
    EXPECT_EQ(ini.get("Preferences", "SaveState"), "Always");
    ini.set("Preferences", "SaveState", "Never");
    EXPECT_EQ(IniFile(ini.text()).get("Preferences", "SaveState"), "Never");
    EXPECT_TRUE(IniFile("").text().empty());
    EXPECT_EQ(IniFile(std::string("[a]\nk=v\0w\n", 10)).get("a", "k")->size(), 3u);
}

}  // namespace
}  // namespace vantrel
