#include "debugger/breakpoints.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <random>
#include <string>

#include "debugger/breakpoint_file.h"
#include "debugger/symbol_table.h"
#include "support/full_disk.h"
#include "support/reason.h"
#include "support/temp_dir.h"

namespace vantrel {
namespace {

// --- the set ------------------------------------------------------------------------------

// Random edits against a plain map: the run loop's bit map must agree with the list at
// every address, including the ends of each 64-bit word.
TEST(BreakpointSet, AddressMapFollowsEveryEdit) {
    BreakpointSet set;
    std::map<uint16_t, bool> model;
    std::mt19937 random(15);
    const uint16_t favourites[] = {0, 1, 63, 64, 127, 0x8000, 0xFFC0, 0xFFFF};
    for (int i = 0; i < 600; ++i) {
        const uint16_t a =
            (i % 3 == 0) ? favourites[random() % 8] : static_cast<uint16_t>(random());
        switch (random() % 4) {
            case 0:
                EXPECT_EQ(set.add(a), model.try_emplace(a, true).second);
                break;
            case 1:
                EXPECT_EQ(set.remove(a), model.erase(a) == 1);
                break;
            case 2: {
                const bool now = set.toggle(a);
                if (model.erase(a) == 0) model[a] = true;
                EXPECT_EQ(now, model.count(a) == 1);
                break;
            }
            default: {
                const bool enabled = random() % 2;
                const auto it = model.find(a);
                const bool changes = it != model.end() && it->second != enabled;
                if (changes) it->second = enabled;
                EXPECT_EQ(set.setEnabled(a, enabled), changes);
            }
        }
    }
    ASSERT_EQ(set.addresses().size(), model.size());
    auto listed = set.addresses().begin();
    bool anyEnabled = false;
    for (const auto& [address, enabled] : model) {
        EXPECT_EQ(listed->address, address);
        EXPECT_EQ(listed->enabled, enabled);
        ++listed;
        anyEnabled = anyEnabled || enabled;
    }
    for (unsigned a = 0; a < 0x10000; ++a) {
        const auto it = model.find(static_cast<uint16_t>(a));
        ASSERT_EQ(set.breaksAt(static_cast<uint16_t>(a)), it != model.end() && it->second) << a;
    }
    EXPECT_EQ(set.anyAddressEnabled(), anyEnabled);
}

TEST(BreakpointSet, WriteRangesHitAcrossTheTopOfMemory) {
    BreakpointSet set;
    EXPECT_FALSE(set.anyEnabled());
    ASSERT_TRUE(set.addWrite({0xFFF0, 0x20}));  // 0xFFF0 to 0x000F
    EXPECT_FALSE(set.addWrite({0xFFF0, 0x20}));
    EXPECT_FALSE(set.addWrite({0x1000, 0}));
    EXPECT_TRUE(set.anyEnabled());
    EXPECT_FALSE(set.anyAddressEnabled());

    EXPECT_TRUE(set.writeHits({0x0005, 1}));
    EXPECT_TRUE(set.writeHits({0xFFEF, 2}));
    EXPECT_TRUE(set.writeHits({0x8000, 0x10000}));  // LDIR with BC = 0
    EXPECT_FALSE(set.writeHits({0x0010, 0x100}));
    EXPECT_FALSE(set.writeHits({0xFFEE, 2}));

    EXPECT_TRUE(set.setWriteEnabled({0xFFF0, 0x20}, false));
    EXPECT_FALSE(set.writeHits({0x0005, 1}));
    EXPECT_FALSE(set.anyEnabled());
    EXPECT_TRUE(set.removeWrite({0xFFF0, 0x20}));
    EXPECT_TRUE(set.writes().empty());
}

// --- the file -----------------------------------------------------------------------------

BreakpointSet sampleSet() {
    BreakpointSet set;
    set.add(0x10DF);
    set.add(0x0F31, false);
    set.add(0xFFFF);
    set.addWrite({0x8430, 4});
    set.addWrite({0xFFFE, 4}, false);
    set.addWrite({0x0000, 0x10000});
    set.setBreakOnIllegal(true);
    return set;
}

void expectSame(const BreakpointSet& a, const BreakpointSet& b) {
    EXPECT_EQ(a.addresses(), b.addresses());
    EXPECT_EQ(a.writes(), b.writes());
    EXPECT_EQ(a.breakOnIllegal(), b.breakOnIllegal());
}

TEST(BreakpointFile, RoundTripWithNamesForTheReader) {
    test::TempDir dir;
    const std::string path = breakpointFilePath(dir / "TI85Stat.bin");
    EXPECT_EQ(path, dir / "TI85Stat.bin.breakpoints");
    SymbolTable symbols;
    symbols.addText("add32 EQU 010DFH\nnumA EQU 08430H\n");
    ASSERT_TRUE(saveBreakpoints(path, 0x1234ABCD, sampleSet(), &symbols));
    const std::string text = test::readText(path);
    EXPECT_NE(text.find("[rom 1234ABCD]\nbreak 0F31 off\nbreak 10DF ; add32\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("write 8430 8433 ; numA\n"), std::string::npos) << text;
    EXPECT_NE(text.find("write FFFE 0001 off\n"), std::string::npos) << text;

    BreakpointSet loaded;
    loaded.add(0x4000);  // replaced by what the file holds
    ASSERT_TRUE(loadBreakpoints(path, 0x1234ABCD, loaded));
    expectSame(loaded, sampleSet());
    ASSERT_TRUE(loadBreakpoints(path, 0x99999999, loaded));
    EXPECT_TRUE(loaded.empty());
}

TEST(BreakpointFile, SavingOneRomKeepsEveryOtherLine) {
    test::TempDir dir;
    const std::string path = dir / "state.breakpoints";
    const std::string others =
        "; written by hand\n"
        "[rom 00000001]\n"
        "break 1000\n"
        "nonsense that stays\n"
        "[bookmarks]\n"
        "whatever 12\n";
    test::writeText(path, others + "[rom 00000002]\nbreak 2000\n[rom 00000003]\nbreak 3000\n");

    ASSERT_TRUE(saveBreakpoints(path, 2, sampleSet()));
    BreakpointSet loaded;
    ASSERT_TRUE(loadBreakpoints(path, 2, loaded));
    expectSame(loaded, sampleSet());
    ASSERT_TRUE(loadBreakpoints(path, 1, loaded));
    EXPECT_EQ(loaded.addresses(), (std::vector<BreakpointSet::AddressBreakpoint>{{0x1000, true}}));
    ASSERT_TRUE(loadBreakpoints(path, 3, loaded));
    EXPECT_TRUE(loaded.contains(0x3000));
    EXPECT_EQ(test::readText(path).rfind(others, 0), 0u);

    ASSERT_TRUE(saveBreakpoints(path, 2, BreakpointSet{}));  // an empty set drops the section
    EXPECT_EQ(test::readText(path), others + "[rom 00000003]\nbreak 3000\n");
}

TEST(BreakpointFile, MalformedLinesArePassedOver) {
    test::TempDir dir;
    const std::string path = dir / "state.breakpoints";
    test::writeText(path,
                    "[rom 0000000A]\n"
                    "break\nbreak 12345\nbreak XYZ\nbreak 10 20\nwrite 8000\nillegal yes\n"
                    "BREAK 00ff ; upper-case keyword, lower-case digits\n"
                    "write 9000 8FFF off\n"
                    "[rom zz]\nbreak 4444\n"  // ends the section: neither entry below is read
                    "[rom 0000000A\nbreak 5555\n" +
                        std::string("\0\xff\n", 3));
    BreakpointSet loaded;
    ASSERT_TRUE(loadBreakpoints(path, 0x0A, loaded));
    EXPECT_EQ(loaded.addresses(), (std::vector<BreakpointSet::AddressBreakpoint>{{0x00FF, true}}));
    EXPECT_EQ(loaded.writes(),
              (std::vector<BreakpointSet::WriteBreakpoint>{{{0x9000, 0x10000}, false}}));
    EXPECT_FALSE(loaded.breakOnIllegal());
}

TEST(BreakpointFile, AFileTooLargeToReadIsNeitherLoadedNorReplacedAndSaysSo) {
    test::TempDir dir;
    const std::string path = dir / "state.breakpoints";
    test::writeText(path, "[rom 00000001]\nbreak 1000\n");
    std::filesystem::resize_file(path, maxBreakpointFileBytes + 1);
    BreakpointSet loaded;
    EXPECT_EQ(test::reasonOf(loadBreakpoints(path, 1, loaded)),
              "It is larger than a breakpoint file may be (1 MiB).");
    const Result<> saved = saveBreakpoints(path, 2, sampleSet());
    EXPECT_EQ(test::reasonOf(saved),
              "It is larger than a breakpoint file may be (1 MiB). It is kept as it is.");
    EXPECT_EQ(saved.failure().code, EFBIG);
    EXPECT_EQ(std::filesystem::file_size(path), maxBreakpointFileBytes + 1);

    const Result<> folder = loadBreakpoints(dir.path(), 1, loaded);  // a directory
    EXPECT_EQ(test::reasonOf(folder), "It cannot be read: Is a directory.");
    EXPECT_EQ(folder.failure().code, EISDIR);
}

// A file just under the limit that a save (with its names for the reader) would make
// larger is not written, since the next start would refuse it; a failed write says why.
TEST(BreakpointFile, NeverWritesWhatTheReaderRefusesAndSaysWhyAWriteFailed) {
    test::TempDir dir;
    const std::string path = dir / "state.breakpoints";
    std::string text = "[rom 00000001]\n";
    while (text.size() < maxBreakpointFileBytes - 64) text += "break 1000\n";
    test::writeText(path, text);
    BreakpointSet loaded;
    ASSERT_TRUE(loadBreakpoints(path, 1, loaded));
    SymbolTable symbols;
    symbols.add(std::string(200, 'n'), 0x1000);
    for (uint16_t a = 0x1000; a < 0x1200; ++a) loaded.add(a);
    EXPECT_EQ(test::reasonOf(saveBreakpoints(path, 7, loaded, &symbols)),
              "It would be larger than a breakpoint file may be (1 MiB).");
    EXPECT_EQ(test::readText(path), text);

    const std::string full = dir / "full.breakpoints";
    std::string why;
    {
        test::FileSizeLimit limit(16);
        why = test::reasonOf(saveBreakpoints(full, 1, sampleSet()));
    }
    EXPECT_EQ(why, "File too large.");
}

// A file of every address, in the worst order, with duplicates and disabled entries,
// loads as adding each entry one by one would leave the set.
TEST(BreakpointFile, EveryAddressInAnyOrderLoadsAsAddingOneByOne) {
    test::TempDir dir;
    std::mt19937 random(65536);
    std::string text = "[rom 00000001]\n";
    BreakpointSet expected;
    char line[48];
    for (int i = 0; i < 70000; ++i) {
        const auto a = static_cast<uint16_t>(i < 65536 ? 0xFFFF - i : random());
        const bool on = random() % 4 != 0;
        std::snprintf(line, sizeof line, "break %04X%s\n", a, on ? "" : " off");
        text += line;
        expected.add(a, on);
        if (i % 16 == 0) {
            const auto first = static_cast<uint16_t>(random());
            const auto last = static_cast<uint16_t>(first + random() % 8);
            std::snprintf(line, sizeof line, "write %04X %04X\n", first, last);
            text += line;
            expected.addWrite({first, static_cast<uint16_t>(last - first) + 1u});
        }
    }
    test::writeText(dir / "all.breakpoints", text);
    BreakpointSet loaded;
    ASSERT_TRUE(loadBreakpoints(dir / "all.breakpoints", 1, loaded));
    EXPECT_EQ(loaded.addresses(), expected.addresses());
    EXPECT_EQ(loaded.writes(), expected.writes());
    for (unsigned a = 0; a < 0x10000; ++a)
        ASSERT_EQ(loaded.breaksAt(static_cast<uint16_t>(a)),
                  expected.breaksAt(static_cast<uint16_t>(a)))
            << a;
    EXPECT_EQ(loaded.anyAddressEnabled(), expected.anyAddressEnabled());
}

TEST(BreakpointFile, NothingToKeepMakesNoFile) {
    test::TempDir dir;
    const std::string path = dir / "state.breakpoints";
    BreakpointSet loaded;
    EXPECT_TRUE(loadBreakpoints(path, 1, loaded));
    EXPECT_TRUE(loaded.empty());
    EXPECT_TRUE(saveBreakpoints(path, 1, loaded));
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(BreakpointFile, RomChecksumIsCrc32) {
    const std::string digits = "123456789";
    EXPECT_EQ(romChecksum({reinterpret_cast<const uint8_t*>(digits.data()), digits.size()}),
              0xCBF43926u);
}

}  // namespace
}  // namespace vantrel
