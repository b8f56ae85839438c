#include "headless/command_line.h"

#include <gtest/gtest.h>

namespace vantrel::headless {
namespace {

Result<Options> parse(std::vector<std::string> args) { return parseCommandLine(args); }

TEST(HeadlessCommandLineTest, PathsInEveryForm) {
    auto p = parse({"--rom", "/roms/my rom.bin", "--ram=state dir/TI85Stat.bin"});
    ASSERT_TRUE(p) << p.failure().reason;
    EXPECT_EQ(p->romPath, "/roms/my rom.bin");
    EXPECT_EQ(p->ramPath, "state dir/TI85Stat.bin");

    // The slash form carries a whole Linux path, prefix in any case.
    p = parse({"/ROM:/a/b/rom.bin", "/Ram:/c/d.bin"});
    ASSERT_TRUE(p) << p.failure().reason;
    EXPECT_EQ(p->romPath, "/a/b/rom.bin");
    EXPECT_EQ(p->ramPath, "/c/d.bin");

    // A later option wins; nothing given leaves the settings' paths in charge.
    p = parse({"--rom=a", "--rom=b"});
    EXPECT_EQ(p->romPath, "b");
    p = parse({});
    EXPECT_FALSE(p->romPath);
    EXPECT_FALSE(p->ramPath);
    EXPECT_TRUE(p->save);
    EXPECT_DOUBLE_EQ(p->seconds, 1.0);
}

TEST(HeadlessCommandLineTest, SecondsFlagsAndErrors) {
    auto p = parse({"--seconds", "2.5", "--no-save"});
    ASSERT_TRUE(p) << p.failure().reason;
    EXPECT_DOUBLE_EQ(p->seconds, 2.5);
    EXPECT_FALSE(p->save);
    EXPECT_DOUBLE_EQ(parse({"--seconds=0"})->seconds, 0.0);
    EXPECT_TRUE(parse({"--help"})->help);
    EXPECT_TRUE(parse({"-h"})->help);
    EXPECT_TRUE(parse({"--version"})->version);

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
        EXPECT_FALSE(parse(bad)) << bad[0];
}

TEST(HeadlessCommandLineTest, ScriptStepsInOrderWithTimes) {
    auto p = parse({"--key", "enter@250", "--key=(-)", "--inject", "Link", "--type", "1+2@40",
                    "--upload", "me@home.85g", "--upload", "/tmp/a@7"});
    ASSERT_TRUE(p) << p.failure().reason;
    const auto& e = p->events;
    ASSERT_EQ(e.size(), 8u);
    EXPECT_EQ(e[0].action, ScriptAction::key);
    EXPECT_EQ(e[0].code, 9);
    EXPECT_EQ(e[0].atMs, 250);
    EXPECT_EQ(e[1].code, 17);
    EXPECT_FALSE(e[1].atMs);
    EXPECT_EQ(e[2].action, ScriptAction::inject);
    EXPECT_EQ(e[2].code, 40);  // [LINK] is the second function of [x-VAR]
    // Typed text: one step a character, the time on the first only.
    EXPECT_EQ(e[3].action, ScriptAction::character);
    EXPECT_EQ(e[3].character, U'1');
    EXPECT_EQ(e[3].atMs, 40);
    EXPECT_EQ(e[5].character, U'2');
    EXPECT_FALSE(e[5].atMs);
    // An "@" not followed by digits alone belongs to the file name.
    EXPECT_EQ(e[6].action, ScriptAction::upload);
    EXPECT_EQ(e[6].text, "me@home.85g");
    EXPECT_FALSE(e[6].atMs);
    EXPECT_EQ(e[7].text, "/tmp/a");
    EXPECT_EQ(e[7].atMs, 7);

    for (const char* name : {"2nd", "ALPHA", "more", "f5", "left", "x2", "STO", "comma", ",", "^",
                             "Custom", "ee", "ln", "9", "."})
        EXPECT_TRUE(parse({"--key", name})) << name;
}

TEST(HeadlessCommandLineTest, LinkAndPictureOptions) {
    auto p = parse({"--receive", "out.85g", "--overwrite", "--no-auto-link", "--lcd", "a.PNG",
                    "--ini", "my.ini", "--until-sleep"});
    ASSERT_TRUE(p) << p.failure().reason;
    EXPECT_EQ(p->receivePath, "out.85g");
    EXPECT_TRUE(p->overwrite);
    EXPECT_FALSE(p->autoLink);
    EXPECT_EQ(p->lcdPath, "a.PNG");
    EXPECT_EQ(p->iniPath, "my.ini");
    // --until-sleep without --seconds gets a limit of its own; with it, that one.
    EXPECT_DOUBLE_EQ(p->seconds, defaultSleepLimitSeconds);
    EXPECT_DOUBLE_EQ(parse({"--seconds", "3", "--until-sleep"})->seconds, 3.0);
    EXPECT_DOUBLE_EQ(parse({"--until-sleep", "--seconds", "3"})->seconds, 3.0);

    for (std::vector<std::string> bad : {
             std::vector<std::string>{"--key", "HOME"},
             {"--key", "@100"},
             {"--key", "ENTER@99999999999"},
             {"--inject", "F6"},
             {"--key"},
             {"--type", ""},
             {"--type", "@5"},
             {"--type", "caf\xc3\xa9"},
             {"--upload", "@10"},
             {"--lcd", "shot.jpg"},
             {"--lcd", "dir.png/shot"},
             {"--receive", ""},
             {"--ini="},
         })
        EXPECT_FALSE(parse(bad)) << bad[0] << " " << (bad.size() > 1 ? bad[1] : "");
}

TEST(HeadlessCommandLineTest, DebuggerOptions) {
    auto p =
        parse({"--break", "10DF", "--break=add32", "--symbols", "more.sym", "--trace", "t.txt"});
    ASSERT_TRUE(p) << p.failure().reason;
    EXPECT_EQ(p->breaks, (std::vector<std::string>{"10DF", "add32"}));
    EXPECT_EQ(p->symbolFiles, std::vector<std::string>{"more.sym"});
    EXPECT_EQ(p->tracePath, "t.txt");
    EXPECT_EQ(p->traceCount, defaultTraceCount);
    EXPECT_EQ(parse({"--trace", "t", "--trace-count", "1000000"})->traceCount, 1000000u);

    for (std::vector<std::string> bad : {
             std::vector<std::string>{"--trace-count", "5"},  // nothing to count
             {"--trace", "t", "--trace-count", "0"},
             {"--trace", "t", "--trace-count", "1000001"},
             {"--trace", "t", "--trace-count", "-3"},
             {"--trace", "t", "--trace-count", "many"},
             {"--trace", ""},
             {"--break"},
         })
        EXPECT_FALSE(parse(bad)) << bad[0] << " " << (bad.size() > 1 ? bad[1] : "");
}

}  // namespace
}  // namespace vantrel::headless
