// The keyboard help is made from the keypad's mapping: every PC key that presses a
// calculator key is named on that key's line, and the README shows the same table.
#include "session/keys/key_help.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "session/keys/key_table.h"

namespace vantrel {
namespace {

const KeyHelpRow& rowOf(const std::vector<KeyHelpRow>& rows, KeyCode code) {
    return rows.at(static_cast<std::size_t>(keyIndex(code)));
}

TEST(KeyHelp, LinesNameThePcKeysWithWhatTheShiftsChange) {
    const auto rows = keyHelpRows();
    ASSERT_EQ(rows.size(), static_cast<std::size_t>(keyCount));
    EXPECT_EQ(rowOf(rows, keyLog).key, "[LOG]");
    EXPECT_EQ(rowOf(rows, keyLog).pcKeys, "L");
    EXPECT_EQ(rowOf(rows, keyLog).alphaPcKeys, "A");
    EXPECT_EQ(rowOf(rows, keyStat).alphaPcKeys, "none");  // "A" is [LOG]'s then
    EXPECT_EQ(rowOf(rows, key7).alphaPcKeys, "7, L");
    EXPECT_EQ(rowOf(rows, keyEnter).pcKeys, "Enter");
    EXPECT_EQ(rowOf(rows, keyEnter).alphaPcKeys, "");  // the same with [ALPHA]
    EXPECT_EQ(rowOf(rows, keyDel).pcKeys, "Delete; Insert after [2nd]");
    EXPECT_EQ(rowOf(rows, keyUp).key, "[\u2191]");
    EXPECT_EQ(rowOf(rows, keyUp).pcKeys, "Up, Home");
    EXPECT_EQ(rowOf(rows, keyOpenParen).pcKeys, "(, [");
    EXPECT_EQ(rowOf(rows, keySto).pcKeys, "<, >");
    EXPECT_EQ(rowOf(rows, keySto).alphaPcKeys, "<, =, >");
    EXPECT_EQ(keyHelpRows(true)[static_cast<std::size_t>(keyIndex(keySto))].pcKeys, "`<`, `>`");
}

TEST(KeyHelp, EveryMappedPcKeyAndCharacterIsNamedOnItsKeysLine) {
    for (const ShiftState shifts :
         {ShiftState{}, ShiftState{true, false}, ShiftState{false, true}}) {
        for (std::size_t k = 0; k < pcKeyCount; ++k) {
            const auto index = keyForPcKey(static_cast<PcKey>(k), shifts);
            if (!index) continue;
            const auto items = pcKeysFor(*index, shifts);
            EXPECT_TRUE(std::any_of(items.begin(), items.end(),
                                    [](const PcKeyItem& item) { return !item.character; }))
                << "PC key " << k << " on " << keyLabel(*index);
        }
        for (char32_t c = 1; c < 128; ++c) {
            const auto index = keyForCharacter(c, shifts);
            if (!index) continue;
            const std::string name(1, static_cast<char>(c >= U'a' && c <= U'z' ? c - 32 : c));
            const auto items = pcKeysFor(*index, shifts);
            EXPECT_TRUE(std::any_of(items.begin(), items.end(),
                                    [&](const PcKeyItem& item) { return item.text == name; }))
                << "character " << name << " on " << keyLabel(*index);
        }
    }
}

TEST(KeyHelp, MeaningFollowsTheShiftAndTooltipsNameTheKeys) {
    const int log = keyIndex(keyLog);
    EXPECT_EQ(keyMeaning(log, {}), "LOG");
    EXPECT_EQ(keyMeaning(log, {true, false}), "10\u02E3");
    EXPECT_EQ(keyMeaning(log, {false, true}), "A");
    EXPECT_EQ(keyMeaning(keyIndex(keyEnter), {false, true}), "ENTER");  // no letter
    EXPECT_EQ(keyTooltip(log), "[LOG]: L\nWhile [ALPHA] is on: A");
    EXPECT_EQ(keyTooltip(keyIndex(keyF1)), "[F1]: F1");
    EXPECT_EQ(keyTooltip(-1), "");
}

TEST(KeyHelp, HelpAndTooltipsFollowAChangedMap) {
    KeyMap map;
    map.bind(PcKey::control, {});
    map.bind(PcKey::alt, {keyIndex(keyAlpha), false});
    map.bind(PcKey::pageDown, {keyIndex(keyMore), true});
    const auto rows = keyHelpRows(false, map);
    EXPECT_EQ(rowOf(rows, keyAlpha).pcKeys, "Alt");
    EXPECT_EQ(rowOf(rows, keyMore).pcKeys, "M; Page Down after [2nd]");
    EXPECT_EQ(keyTooltip(keyIndex(keyAlpha), map), "[ALPHA]: Alt");
    EXPECT_EQ(keyTooltip(keyIndex(keyAlpha)), "[ALPHA]: Ctrl");
}

TEST(KeyMapText, EveryBindingReadsBackAsWrittenAndOtherTextsAreRefused) {
    for (int index = -1; index < keyCount; ++index)
        for (const bool afterSecond : {false, true}) {
            const KeyBinding binding{index, index >= 0 && afterSecond};
            EXPECT_EQ(parseBinding(bindingText(binding)), binding) << bindingText(binding);
        }
    EXPECT_EQ(bindingText({keyIndex(keyDel), true}), "DEL after 2ND");
    EXPECT_EQ(parseBinding("alpha"), (KeyBinding{keyIndex(keyAlpha), false}));
    EXPECT_EQ(parseBinding("ESC after 2nd"), (KeyBinding{keyIndex(keyExit), true}));
    EXPECT_EQ(parseBinding("NONE"), KeyBinding{});
    for (const char* bad : {"", "after 2ND", " after 2ND", "ALPHA after", "F6", "ALPHA,2ND"})
        EXPECT_EQ(parseBinding(bad), std::nullopt) << bad;
}

#ifdef VANTREL_SOURCE_DIR
TEST(KeyHelp, ReadmeShowsTheGeneratedTable) {
    std::ifstream readme(VANTREL_SOURCE_DIR "/README.md");
    ASSERT_TRUE(readme);
    std::stringstream text;
    text << readme.rdbuf();
    EXPECT_NE(text.str().find(keyHelpMarkdown()), std::string::npos)
        << "README's keys table should read:\n"
        << keyHelpMarkdown();
}
#endif

}  // namespace
}  // namespace vantrel
