#include "headless/command_line.h"

#include <gtest/gtest.h>

namespace vantrel::headless {
namespace {

ParsedCommandLine parse(std::vector<std::string> args) { return parseCommandLine(args); }

TEST(HeadlessCommandLineTest, PathsInEveryForm) {
    auto p = parse({"--rom", "/roms/my rom.bin", "--ram=state dir/TI85Stat.bin"});
    ASSERT_EQ(p.error, "");
    EXPECT_EQ(p.options.romPath, "/roms/my rom.bin");
    EXPECT_EQ(p.options.ramPath, "state dir/TI85Stat.bin");

    // The slash form carries a whole Linux path, prefix in any case.
    p = parse({"/ROM:/a/b/rom.bin", "/Ram:/c/d.bin"});
    ASSERT_EQ(p.error, "");
    EXPECT_EQ(p.options.romPath, "/a/b/rom.bin");
    EXPECT_EQ(p.options.ramPath, "/c/d.bin");

    // A later option wins; nothing given leaves the settings' paths in charge.
    p = parse({"--rom=a", "--rom=b"});
    EXPECT_EQ(p.options.romPath, "b");
    p = parse({});
    EXPECT_FALSE(p.options.romPath);
    EXPECT_FALSE(p.options.ramPath);
    EXPECT_TRUE(p.options.save);
    EXPECT_DOUBLE_EQ(p.options.seconds, 1.0);
}

TEST(HeadlessCommandLineTest, SecondsFlagsAndErrors) {
    auto p = parse({"--seconds", "2.5", "--no-save"});
    ASSERT_EQ(p.error, "");
    EXPECT_DOUBLE_EQ(p.options.seconds, 2.5);
    EXPECT_FALSE(p.options.save);
    EXPECT_DOUBLE_EQ(parse({"--seconds=0"}).options.seconds, 0.0);
    EXPECT_TRUE(parse({"--help"}).options.help);
    EXPECT_TRUE(parse({"-h"}).options.help);
    EXPECT_TRUE(parse({"--version"}).options.version);

    for (std::vector<std::string> bad : {
             std::vector<std::string>{"--seconds", "-1"},
             {"--seconds", "abc"},
             {"--seconds", "5x"},
             {"--seconds", "nan"},
             {"--seconds", "inf"},
             {"--seconds", "1e300"},
             {"--seconds="},
             {"--seconds"},
             {"--rom"},
             {"--rom="},
             {"/rom:"},
             {"--frobnicate"},
             {"rom.bin"},
         })
        EXPECT_NE(parse(bad).error, "") << bad[0];
}

}  // namespace
}  // namespace vantrel::headless
