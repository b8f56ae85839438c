// The program's arguments, old and new spellings.
#include "session/settings/command_line.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "session/settings/settings.h"

namespace vantrel {
namespace {

TEST(CommandLine, SlashOptionsSetBothPathsInAnyCase) {
    const CommandLine line =
        parseCommandLine({"/rom:/home/me/My ROMs/ti85.bin", "/RAM:state/one.bin"});
    ASSERT_TRUE(line.romPath && line.ramPath);
    // The value runs to the end of the argument: slashes and blanks belong to it.
    EXPECT_EQ(*line.romPath, "/home/me/My ROMs/ti85.bin");
    EXPECT_EQ(*line.ramPath, "state/one.bin");
    EXPECT_TRUE(line.warnings.empty());
    EXPECT_TRUE(line.errors.empty());
}

TEST(CommandLine, LongOptionsWithSeparateOrJoinedValues) {
    const CommandLine line =
        parseCommandLine({"--rom", "a.bin", "--ram=b.bin", "--grab", "shot.png"});
    EXPECT_EQ(line.romPath.value_or(""), "a.bin");
    EXPECT_EQ(line.ramPath.value_or(""), "b.bin");
    EXPECT_EQ(line.grabPath.value_or(""), "shot.png");
    const CommandLine last = parseCommandLine({"--rom=x", "/rom:y"});
    EXPECT_EQ(last.romPath.value_or(""), "y");  // a later option wins
}

TEST(CommandLine, ModelInBothFormsAndOddValuesNamingTheAccepted) {
    EXPECT_EQ(parseCommandLine({"--model", "hardware"}).model, MachineModel::hardware);
    EXPECT_EQ(parseCommandLine({"--model=classic"}).model, MachineModel::classic);
    const CommandLine odd = parseCommandLine({"--model", "Hardware"});
    EXPECT_FALSE(odd.model);
    EXPECT_EQ(odd.errors,
              std::vector<std::string>{"--model takes classic or hardware, not \"Hardware\""});
    EXPECT_EQ(parseCommandLine({"--model"}).errors.size(), 1u);
}

TEST(CommandLine, MissingValuesAreErrorsUnknownArgumentsWarnings) {
    EXPECT_FALSE(parseCommandLine({"--rom"}).errors.empty());
    EXPECT_FALSE(parseCommandLine({"--ram="}).errors.empty());
    EXPECT_FALSE(parseCommandLine({"/rom:"}).errors.empty());
    const CommandLine line = parseCommandLine({"rom:x", "-x", "/romx"});
    EXPECT_FALSE(line.romPath);
    EXPECT_EQ(line.warnings.size(), 3u);
    EXPECT_TRUE(line.errors.empty());
}

TEST(CommandLine, PathsOfAnyLengthAreTakenWhole) {
    // Deep folders make paths far beyond 259 characters; a cut one names another file.
    const std::string rom = "/" + std::string(300, 'r') + "/" + std::string(200, 'o') + ".bin";
    const std::string ram = "/" + std::string(1000, 's') + ".bin";
    Settings settings;
    CommandLine line = parseCommandLine({"/rom:" + rom, "--ram=" + ram});
    EXPECT_TRUE(line.warnings.empty());
    applyCommandLine(line, settings);
    EXPECT_EQ(settings.romPath, rom);
    EXPECT_EQ(settings.ramPath, ram);
}

TEST(CommandLine, RelativePathsAreStoredAbsoluteAndTheDemoTakesNone) {
    Settings settings;
    applyCommandLine(parseCommandLine({"--rom", "roms/ti85.bin", "/ram:state.bin"}), settings);
    const auto here = std::filesystem::current_path();
    EXPECT_EQ(std::filesystem::path(settings.romPath), here / "roms/ti85.bin");
    EXPECT_EQ(std::filesystem::path(settings.ramPath), here / "state.bin");

    EXPECT_TRUE(parseCommandLine({"--demo"}).demo);
    EXPECT_TRUE(parseCommandLine({"--demo"}).errors.empty());
    EXPECT_FALSE(parseCommandLine({"--demo", "--rom=x.bin"}).errors.empty());
    EXPECT_FALSE(parseCommandLine({"/ram:s.bin", "--demo"}).errors.empty());
}

TEST(CommandLine, NoArgumentsChangeNothing) {
    Settings settings;
    settings.romPath = "r";
    settings.ramPath = "s";
    const Settings before = settings;
    const CommandLine line = parseCommandLine({});
    applyCommandLine(line, settings);
    EXPECT_EQ(settings, before);
    EXPECT_FALSE(line.help || line.version);
    EXPECT_TRUE(parseCommandLine({"--help"}).help);
    EXPECT_TRUE(parseCommandLine({"--version"}).version);
}

TEST(CommandLine, VariableFileIsUploadedOthersIgnored) {
    const CommandLine line =
        parseCommandLine({"/home/u/prog.85p", "--rom=/r/rom.bin", "second.85n", "notes.txt"});
    ASSERT_TRUE(line.uploadPath);
    EXPECT_EQ(*line.uploadPath, "/home/u/prog.85p");
    EXPECT_EQ(line.romPath, "/r/rom.bin");
    EXPECT_EQ(line.warnings.size(), 2u);  // the second file and the text file
    EXPECT_TRUE(line.errors.empty());
    EXPECT_FALSE(parseCommandLine({"/rom:x.85p"}).uploadPath);
}

}  // namespace
}  // namespace vantrel
