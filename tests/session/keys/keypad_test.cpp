#include "session/keys/keypad.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "support/test_machine.h"

namespace vantrel {
namespace {

constexpr int enterKey = 49, rightKey = 6, leftKey = 7, delKey = 14, onKey = 45, oneKey = 41;

class KeypadTest : public ::testing::Test {
protected:
    void SetUp() override { m->mem.state.port3Value = 0x0B; }

    void setShifts(uint8_t flags) { m->mem.state.ram[shiftFlagsAddress - 0x8000] = flags; }
    PressOutcome click(int index) {
        const KeyBox& r = skinKeys[static_cast<std::size_t>(index)].box;
        return note(keypad.pressAt((r.left + r.right) / 2, (r.top + r.bottom) / 2));
    }
    // The key drawn pressed after a press, if any.
    PressOutcome note(PressOutcome outcome) {
        if (const auto shown = keypad.shownKey()) shownAfterPresses.push_back(*shown);
        return outcome;
    }
    // A PC key going down that types a character; its key-up is release(source).
    PressOutcome type(int32_t source, char32_t character, PcKey key = PcKey::other) {
        return note(keypad.keyboardPress(source, key, character));
    }
    void release(int32_t source) { keypad.keyboardRelease(source); }
    // The codes of the next ticks that deliver something.
    std::vector<int> ticks(int count) {
        std::vector<int> codes;
        for (int i = 0; i < count; ++i)
            if (const auto code = keypad.nextKeyCode()) codes.push_back(*code);
        return codes;
    }

    std::unique_ptr<Machine> m = test::makeMachine();
    Keypad keypad{*m};
    std::vector<int> shownAfterPresses;
};

TEST(KeyRectsTest, EveryKeyIsFoundAtItsCentreWithADistinctMatrixCode) {
    auto m = test::makeMachine();
    m->mem.state.port3Value = 0x0B;
    Keypad keypad(*m);
    std::set<uint8_t> codes;
    for (int index = 0; index < keyCount; ++index) {
        const KeyBox& r = skinKeys[static_cast<std::size_t>(index)].box;
        const uint8_t code = skinKeys[static_cast<std::size_t>(index)].code;
        // Inside the skin picture, below the LCD.
        EXPECT_GE(r.left, 0);
        EXPECT_LE(r.right, 231);
        EXPECT_GE(r.top, 126);
        EXPECT_LE(r.bottom, 126 + 321);
        keypad.pressAt((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        EXPECT_EQ(keypad.shownKey(), index);
        keypad.releaseMouse();
        EXPECT_EQ(keypad.nextKeyCode(), code);
        EXPECT_TRUE(code >= 1 && code <= 56) << index;
        codes.insert(code);
        EXPECT_EQ(keyIndexByName(skinKeys[static_cast<std::size_t>(index)].name), index);
    }
    EXPECT_EQ(codes.size(), static_cast<std::size_t>(keyCount));
    EXPECT_EQ(skinKeys[onKey].code, 41);
    EXPECT_EQ(skinKeys[enterKey].code, 9);
}

TEST_F(KeypadTest, DeliveryFollowsTheRepeatPattern) {
    // A short click on [ENTER] is delivered once, at the next tick.
    click(enterKey);
    keypad.releaseMouse();
    EXPECT_EQ(ticks(5), std::vector<int>{9});

    // [right] held: its code, seven ticks of 0, then its code at every tick.
    click(rightKey);
    EXPECT_EQ(ticks(11), (std::vector<int>{3, 0, 0, 0, 0, 0, 0, 0, 3, 3, 3}));
    keypad.releaseMouse();
    EXPECT_FALSE(keypad.keyPending());
    EXPECT_TRUE(ticks(3).empty());

    // A repeating key let go before its tick is still typed, once; [DEL] repeats too.
    click(leftKey);
    keypad.releaseMouse();
    EXPECT_EQ(ticks(3), std::vector<int>{2});
    click(delKey);
    EXPECT_EQ(ticks(10), (std::vector<int>{32, 0, 0, 0, 0, 0, 0, 0, 32, 32}));
    keypad.releaseMouse();

    // A held non-repeating key is delivered once however long it is held.
    click(oneKey);
    EXPECT_EQ(ticks(4), std::vector<int>{34});
    EXPECT_TRUE(keypad.keyPressed);
    keypad.releaseMouse();
    EXPECT_FALSE(keypad.keyPending());
}

TEST_F(KeypadTest, PressesOverlappingOrWithinOneTickAreQueuedInOrder) {
    // "2024" typed fast: each key goes down before the one before it comes up, and
    // all of it before the first tick; a click joins in.
    type(2, U'2');
    type(0, U'0');
    release(2);
    type(2, U'2');
    release(0);
    type(4, U'4');
    release(2);
    click(enterKey);
    release(4);
    keypad.releaseMouse();
    EXPECT_EQ(keypad.queuedPresses(), 5u);
    EXPECT_EQ(ticks(8), (std::vector<int>{26, 33, 26, 35, 9}));

    // A new press ends the repeat of a held arrow, which does not come back.
    keypad.keyboardPress(7, PcKey::right, 0);
    EXPECT_EQ(ticks(3), (std::vector<int>{3, 0, 0}));
    type(1, U'1');
    EXPECT_EQ(ticks(12), std::vector<int>{34});
    EXPECT_FALSE(keypad.keyPending());

    // The key-up of an earlier key leaves a held arrow repeating.
    type(10, U'9');
    keypad.keyboardPress(11, PcKey::left, 0);
    EXPECT_EQ(ticks(2), (std::vector<int>{20, 2}));
    release(10);
    EXPECT_EQ(ticks(2), (std::vector<int>{0, 0}));
    release(11);
    EXPECT_TRUE(ticks(2).empty());

    // A PC key whose key-up went missing still types when it goes down again.
    type(5, U'5');
    type(5, U'5');
    EXPECT_EQ(ticks(3), (std::vector<int>{27, 27}));
}

TEST_F(KeypadTest, QueueHoldsSixtyFourAndDropsNewerPresses) {
    for (int i = 0; i < 64; ++i) EXPECT_EQ(type(1, i % 2 ? U'1' : U'2'), PressOutcome::queued) << i;
    EXPECT_EQ(type(1, U'3'), PressOutcome::dropped);
    EXPECT_EQ(click(enterKey), PressOutcome::dropped);
    const std::vector<int> codes = ticks(70);
    ASSERT_EQ(codes.size(), 64u);
    EXPECT_EQ(codes.front(), 26);
    EXPECT_EQ(codes.back(), 34);
    EXPECT_EQ(type(1, U'3'), PressOutcome::queued);
}

TEST_F(KeypadTest, ShiftedKeysAreMappedWhenDelivered) {
    // [ALPHA] then "a", typed before either is delivered: the calculator takes
    // [ALPHA] at the first tick, and "a" is its alpha letter at the second.
    keypad.keyboardPress(1, PcKey::control, 0);
    type(2, U'a');
    type(3, U'=');  // nothing without the alpha shift, [STO▶] with it
    EXPECT_EQ(ticks(1), std::vector<int>{48});
    setShifts(alphaShiftBit);
    EXPECT_EQ(ticks(2), (std::vector<int>{46, 42}));

    // [2nd] then Insert is [DEL]; then "o" is [ON], no longer refused under [2nd].
    setShifts(0);
    keypad.keyboardPress(1, PcKey::tab, U'\t');
    keypad.keyboardPress(4, PcKey::insert, 0);
    type(5, U'o');
    EXPECT_EQ(ticks(1), std::vector<int>{54});
    setShifts(secondShiftBit);
    EXPECT_EQ(ticks(2), (std::vector<int>{32, 41}));

    // A press that means nothing when its turn comes is passed over.
    setShifts(0);
    type(6, U'b');
    type(7, U'7');
    EXPECT_EQ(ticks(2), std::vector<int>{36});

    // Enter's key-down and its character are one press.
    keypad.keyboardPress(8, PcKey::enter, U'\r');
    EXPECT_EQ(ticks(3), std::vector<int>{9});
    EXPECT_EQ(type(9, U'?'), PressOutcome::ignored);
}

TEST_F(KeypadTest, SwitchedOffCalculatorTakesOnlyOnAndLosesWhatWasQueued) {
    type(1, U'1');
    type(2, U'2');
    type(3, U'3');
    EXPECT_EQ(ticks(1), std::vector<int>{34});
    m->mem.state.port3Value = 0x03;  // the calculator switched itself off
    EXPECT_TRUE(ticks(2).empty());
    EXPECT_EQ(keypad.queuedPresses(), 0u);

    shownAfterPresses.clear();
    EXPECT_EQ(click(enterKey), PressOutcome::shownOnly);
    EXPECT_EQ(type(1, U'1'), PressOutcome::shownOnly);
    EXPECT_EQ(click(onKey), PressOutcome::queued);
    EXPECT_EQ(type(2, U'o'), PressOutcome::queued);
    EXPECT_EQ(shownAfterPresses, (std::vector<int>{enterKey, oneKey, onKey, onKey}));
    EXPECT_EQ(ticks(1), std::vector<int>{41});
    m->mem.state.port3Value = 0x0B;
    EXPECT_EQ(ticks(2), std::vector<int>{41});
}

TEST_F(KeypadTest, AChangedKeyMapMovesNamedKeysButNotTextTypedByTheProgram) {
    KeyMap map;
    map.bind(PcKey::control, {});                        // Ctrl for the window's shortcuts
    map.bind(PcKey::alt, {keyIndex(keyAlpha), false});   // [ALPHA] on Alt instead
    map.bind(PcKey::enter, {});                          // Enter presses nothing
    map.bind(PcKey::pageUp, {keyIndex(keyMore), true});  // [MORE] after [2nd] only: MODE
    keypad.setKeyMap(map);
    EXPECT_EQ(keypad.keyboardPress(1, PcKey::control, 0), PressOutcome::ignored);
    EXPECT_EQ(keypad.keyboardPress(2, PcKey::alt, 0), PressOutcome::queued);
    EXPECT_EQ(keypad.keyboardPress(3, PcKey::enter, U'\r'), PressOutcome::ignored);
    // Waits for a [2nd] that may still come, like Insert.
    EXPECT_EQ(keypad.keyboardPress(4, PcKey::pageUp, 0), PressOutcome::queued);
    EXPECT_EQ(ticks(1), std::vector<int>{keyAlpha});
    EXPECT_TRUE(ticks(1).empty());  // Page Up without [2nd]: passed over
    // A paste's line break is [ENTER] whatever the map says.
    EXPECT_EQ(keypad.typeCharacter(U'\n'), PressOutcome::queued);
    EXPECT_EQ(ticks(1), std::vector<int>{keyEnter});
    setShifts(secondShiftBit);
    EXPECT_EQ(keypad.mapPcKey(PcKey::pageUp), keyIndex(keyMore));
}

TEST_F(KeypadTest, OnKeyWorksUnderTheSecondShift) {
    setShifts(secondShiftBit);
    EXPECT_EQ(click(onKey), PressOutcome::queued);
    EXPECT_EQ(shownAfterPresses, std::vector<int>{onKey});
    EXPECT_EQ(keypad.mapPcChar(U'o'), onKey);
    EXPECT_EQ(keypad.mapPcKey(PcKey::insert), delKey);
    EXPECT_EQ(ticks(2), std::vector<int>{41});

    setShifts(0);
    EXPECT_FALSE(keypad.mapPcKey(PcKey::insert));
    // With both shifts, "o" is the alpha letter on [×], not [ON].
    setShifts(secondShiftBit | alphaShiftBit);
    EXPECT_EQ(keypad.mapPcChar(U'o'), 34);
}

TEST_F(KeypadTest, LettersFollowTheAlphaShift) {
    EXPECT_EQ(keypad.mapPcChar(U'a'), 16);
    EXPECT_EQ(keypad.mapPcChar(U'A'), 16);
    EXPECT_EQ(keypad.mapPcChar(U'x'), 13);
    EXPECT_FALSE(keypad.mapPcChar(U'b'));
    EXPECT_FALSE(keypad.mapPcChar(U'='));
    EXPECT_EQ(keypad.mapPcChar(U'1'), oneKey);
    EXPECT_EQ(keypad.mapPcChar(U'['), 27);
    EXPECT_EQ(keypad.mapPcChar(U'>'), 40);
    EXPECT_FALSE(keypad.mapPcChar(U'^'));  // only the layout's own caret key-down reaches [^]

    setShifts(alphaShiftBit);
    EXPECT_EQ(keypad.mapPcChar(U'a'), 20);
    EXPECT_EQ(keypad.mapPcChar(U'B'), 21);
    EXPECT_EQ(keypad.mapPcChar(U'e'), 24);
    EXPECT_EQ(keypad.mapPcChar(U'u'), 41);
    EXPECT_EQ(keypad.mapPcChar(U'z'), 47);
    EXPECT_EQ(keypad.mapPcChar(U'='), 40);
    EXPECT_EQ(keypad.mapPcChar(U'1'), oneKey);

    // Characters beyond ASCII map to nothing, also those whose low byte is a letter.
    EXPECT_FALSE(keypad.mapPcChar(U'\u0141'));
    EXPECT_FALSE(keypad.mapPcChar(U'\u00e9'));
    EXPECT_FALSE(keypad.mapPcChar(U'\U0001F600'));
}

// A paste types through the same queue: each character a press let go at once, mapped
// under the shifts of its turn; a line break is [ENTER] and "^" is [^].
TEST_F(KeypadTest, TypedTextIsMappedWhenDeliveredAndNeverHeld) {
    const auto code = [](int index) { return skinKeys[static_cast<std::size_t>(index)].code; };
    keypad.keyboardPress(1, PcKey::del, 0);  // a PC key held meanwhile stays held
    EXPECT_EQ(ticks(1), std::vector<int>{code(delKey)});
    for (const char32_t c : {U'7', U'\n', U'^'})
        EXPECT_EQ(keypad.typeCharacter(c), PressOutcome::queued);
    EXPECT_EQ(keypad.typeCharacter(U'\u00e9'), PressOutcome::ignored);
    EXPECT_TRUE(keypad.keyboardHeld());
    release(1);
    EXPECT_EQ(ticks(4), (std::vector<int>{int{key7}, code(enterKey), code(24)}));

    keypad.typeCharacter(U'l');  // [LOG] now, [7] when its turn comes under [ALPHA]
    setShifts(alphaShiftBit);
    EXPECT_EQ(ticks(2), std::vector<int>{int{key7}});
    EXPECT_FALSE(keypad.keyboardHeld());

    for (const char32_t c : {U'b', U'\n', U'^', U'=', U'q'}) EXPECT_TRUE(characterHasKey(c));
    for (const char32_t c : {U'?', U'\t', U'\u00e9', U'\r'}) EXPECT_FALSE(characterHasKey(c));
}

TEST_F(KeypadTest, KeyDownTable) {
    EXPECT_EQ(keypad.mapPcKey(PcKey::backspace), 19);
    EXPECT_EQ(keypad.mapPcKey(PcKey::space), 48);
    EXPECT_EQ(keypad.mapPcKey(PcKey::home), 5);
    EXPECT_EQ(keypad.mapPcKey(PcKey::end), 8);
    EXPECT_EQ(keypad.mapPcKey(PcKey::f1), 0);
    EXPECT_EQ(keypad.mapPcKey(PcKey::f5), 4);
    EXPECT_EQ(keypad.mapPcKey(PcKey::caret), 24);
    EXPECT_FALSE(keypad.mapPcKey(PcKey::other));
}

TEST_F(KeypadTest, MouseOutsideKeysAndDragging) {
    keypad.pressAt(50, 50);   // the LCD
    keypad.pressAt(3, 150);   // left of [F1]
    keypad.pressAt(49, 150);  // between [F1] and [F2]: right edges are outside
    keypad.pressAt(60000, 60000);
    EXPECT_FALSE(keypad.shownKey());
    EXPECT_FALSE(keypad.mouseHeld());
    keypad.releaseMouse();

    click(rightKey);
    ticks(1);
    const KeyBox& r = skinKeys[rightKey].box;
    keypad.dragTo(r.left, r.top);  // still on the key
    EXPECT_TRUE(keypad.keyPressed);
    keypad.dragTo(r.right, r.top);  // off it
    EXPECT_FALSE(keypad.keyPressed);
    EXPECT_FALSE(keypad.keyPending());
    EXPECT_FALSE(keypad.mouseHeld());
    keypad.dragTo(r.left, r.top);  // back on: not pressed again
    EXPECT_FALSE(keypad.keyPressed);
    EXPECT_EQ(shownAfterPresses, std::vector<int>{rightKey});
    EXPECT_FALSE(keypad.shownKey());
}

}  // namespace
}  // namespace vantrel
