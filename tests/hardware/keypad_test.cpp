#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "hardware/keypad.h"
#include "support/test_machine.h"

namespace vantrel {
namespace {

constexpr int enterKey = 49, rightKey = 6, leftKey = 7, delKey = 14, onKey = 45, oneKey = 41;

class RecordingPainter : public KeyPainter {
public:
    void drawKeyPressed(int index) override { pressed.push_back(index); }
    void drawKeysRaised() override { ++raised; }
    std::vector<int> pressed;
    int raised = 0;
};

class KeypadTest : public ::testing::Test {
protected:
    void SetUp() override { m->mem.state.port3Value = 0x0B; }

    void setShifts(uint8_t flags) { m->mem.state.ram[shiftFlagsAddress - 0x8000] = flags; }
    void click(int index) {
        const KeyRect& r = keyRects[static_cast<std::size_t>(index)];
        keypad.pressAt((r.left + r.right) / 2, (r.top + r.bottom) / 2, &painter);
    }
    std::vector<int> ticks(int count) {
        std::vector<int> codes;
        for (int i = 0; i < count && keypad.keyPending; ++i) codes.push_back(keypad.nextKeyCode());
        return codes;
    }

    std::unique_ptr<Machine> m = test::makeMachine();
    Keypad keypad{*m};
    RecordingPainter painter;
};

TEST(KeyRectsTest, EveryKeyIsFoundAtItsCentreWithADistinctMatrixCode) {
    auto m = test::makeMachine();
    m->mem.state.port3Value = 0x0B;
    Keypad keypad(*m);
    std::set<uint8_t> codes;
    for (int index = 0; index < keyCount; ++index) {
        const KeyRect& r = keyRects[static_cast<std::size_t>(index)];
        // Inside the skin picture, below the LCD.
        EXPECT_GE(r.left, 0);
        EXPECT_LE(r.right, 231);
        EXPECT_GE(r.top, 126);
        EXPECT_LE(r.bottom, 126 + 321);
        keypad.pressAt((r.left + r.right) / 2, (r.top + r.bottom) / 2, nullptr);
        EXPECT_EQ(keypad.keyIndex, index);
        EXPECT_EQ(keypad.keyCode, r.code);
        keypad.releaseMouse(nullptr);
        keypad.nextKeyCode();
        EXPECT_TRUE(r.code >= 1 && r.code <= 56) << index;
        codes.insert(r.code);
    }
    EXPECT_EQ(codes.size(), static_cast<std::size_t>(keyCount));
    EXPECT_EQ(keyRects[onKey].code, 41);
    EXPECT_EQ(keyRects[enterKey].code, 9);
}

TEST_F(KeypadTest, DeliveryFollowsTheRepeatPattern) {
    // A short click on [ENTER] is delivered once, at the next tick.
    click(enterKey);
    keypad.releaseMouse(&painter);
    EXPECT_EQ(ticks(5), std::vector<int>{9});

    // [right] held: its code, seven ticks of 0, then its code at every tick.
    click(rightKey);
    EXPECT_EQ(ticks(11), (std::vector<int>{3, 0, 0, 0, 0, 0, 0, 0, 3, 3, 3}));
    keypad.releaseMouse(&painter);
    EXPECT_FALSE(keypad.keyPending);

    // A repeating key let go before the tick is not delivered at all; [DEL] repeats too.
    click(leftKey);
    keypad.releaseMouse(&painter);
    EXPECT_TRUE(ticks(3).empty());
    click(delKey);
    EXPECT_EQ(ticks(10), (std::vector<int>{32, 0, 0, 0, 0, 0, 0, 0, 32, 32}));
    keypad.releaseMouse(&painter);

    // A held non-repeating key is delivered once however long it is held.
    click(oneKey);
    EXPECT_EQ(ticks(4), std::vector<int>{34});
    EXPECT_TRUE(keypad.keyPressed);
    keypad.releaseMouse(&painter);
    EXPECT_FALSE(keypad.keyPending);
}

TEST_F(KeypadTest, ALaterKeyReplacesAnUndeliveredOne) {
    click(enterKey);
    keypad.releaseMouse(&painter);
    click(oneKey);
    keypad.releaseMouse(&painter);
    EXPECT_EQ(ticks(5), std::vector<int>{34});

    // A key pressed while another source holds a repeating key gets its own delay.
    keypad.keyboardKeyDown(&painter, PcKey::right);
    ticks(12);
    click(leftKey);
    EXPECT_EQ(ticks(3), (std::vector<int>{2, 0, 0}));
    // Either source's release ends the shared key state.
    keypad.keyboardRelease(&painter);
    EXPECT_FALSE(keypad.keyPending);
    EXPECT_FALSE(keypad.keyboardDown);
    EXPECT_TRUE(keypad.mouseDown);
}

TEST_F(KeypadTest, SwitchedOffCalculatorSeesKeysDrawnButNotDelivered) {
    m->mem.state.port3Value = 0x00;
    click(onKey);
    click(enterKey);
    keypad.keyboardChar(&painter, U'1');
    EXPECT_EQ(painter.pressed, (std::vector<int>{onKey, enterKey, oneKey}));
    EXPECT_EQ(keypad.keyIndex, oneKey);
    EXPECT_FALSE(keypad.keyPending);
    EXPECT_FALSE(keypad.keyPressed);
    keypad.releaseMouse(&painter);
    EXPECT_FALSE(keypad.keyPending);
    EXPECT_EQ(painter.raised, 1);
}

TEST_F(KeypadTest, OnKeyIsRefusedUnderTheSecondShift) {
    setShifts(secondShiftBit);
    click(onKey);
    EXPECT_TRUE(painter.pressed.empty());
    EXPECT_FALSE(keypad.keyPending);
    EXPECT_TRUE(keypad.mouseDown);  // the release is still a release
    keypad.releaseMouse(&painter);
    EXPECT_EQ(painter.raised, 1);
    EXPECT_FALSE(keypad.mapPcChar(U'o'));
    EXPECT_FALSE(keypad.mapPcChar(U'O'));
    EXPECT_EQ(keypad.mapPcKey(PcKey::insert), delKey);

    setShifts(0);
    EXPECT_EQ(keypad.mapPcChar(U'o'), onKey);
    EXPECT_FALSE(keypad.mapPcKey(PcKey::insert));
    click(onKey);
    EXPECT_EQ(ticks(2), std::vector<int>{41});

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

TEST_F(KeypadTest, OnePcKeyHoldsTheKeypadUntilAnyKeyUp) {
    keypad.keyboardKeyDown(&painter, PcKey::enter);
    keypad.keyboardChar(&painter, U'\r');  // Enter's own character
    keypad.keyboardChar(&painter, U'a');
    keypad.keyboardKeyDown(&painter, PcKey::enter);  // the platform's auto-repeat
    EXPECT_EQ(painter.pressed, std::vector<int>{enterKey});
    EXPECT_EQ(keypad.keyboardKeyIndex, enterKey);
    keypad.keyboardRelease(&painter);  // the key-up of "a" ends the press of Enter
    EXPECT_FALSE(keypad.keyboardDown);
    EXPECT_EQ(painter.raised, 1);
    keypad.keyboardRelease(&painter);  // nothing held: nothing redrawn
    EXPECT_EQ(painter.raised, 1);
    EXPECT_EQ(ticks(3), std::vector<int>{9});

    // An unmapped key does not hold the keypad.
    keypad.keyboardKeyDown(&painter, PcKey::other);
    keypad.keyboardChar(&painter, U'?');
    EXPECT_FALSE(keypad.keyboardDown);
    keypad.keyboardChar(&painter, U'q');
    EXPECT_EQ(keypad.keyIndex, 30);
}

TEST_F(KeypadTest, MouseOutsideKeysAndDragging) {
    keypad.pressAt(50, 50, &painter);    // the LCD
    keypad.pressAt(3, 150, &painter);    // left of [F1]
    keypad.pressAt(49, 150, &painter);   // between [F1] and [F2]: right edges are outside
    keypad.pressAt(60000, 60000, &painter);
    EXPECT_TRUE(painter.pressed.empty());
    EXPECT_FALSE(keypad.mouseDown);
    keypad.releaseMouse(&painter);
    EXPECT_EQ(painter.raised, 1);

    click(rightKey);
    const KeyRect& r = keyRects[rightKey];
    keypad.dragTo(r.left, r.top, &painter);  // still on the key
    EXPECT_TRUE(keypad.keyPressed);
    keypad.dragTo(r.right, r.top, &painter);  // off it
    EXPECT_FALSE(keypad.keyPressed);
    EXPECT_FALSE(keypad.keyPending);
    EXPECT_FALSE(keypad.mouseDown);
    keypad.dragTo(r.left, r.top, &painter);  // back on: not pressed again
    EXPECT_FALSE(keypad.keyPressed);
    EXPECT_EQ(painter.pressed, std::vector<int>{rightKey});
    EXPECT_EQ(painter.raised, 2);
}

}  // namespace
}  // namespace vantrel
