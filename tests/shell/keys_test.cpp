// Clicks and PC keys reach the running calculator; F6 to F8 never do.
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabBar>
#include <QTimer>
#include <string>

#include "machine/bus.h"
#include "machine/thread_control.h"
#include "modal_driver.h"
#include "running_window.h"
#include "session/keys/keypad.h"
#include "shell/calculator_view.h"
#include "support/temp_dir.h"

#ifdef VANTREL_FIRMWARE_ROM
#include "e2e/firmware_machine.h"
#endif

namespace vantrel::test {
namespace {

class Keys : public RunningWindow {
protected:
    void mouse(QEvent::Type type, QPoint at, Qt::MouseButton button = Qt::LeftButton) {
        QWidget* view = window->view();
        const Qt::MouseButtons held =
            type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
        QMouseEvent event(type, QPointF(at), QPointF(view->mapToGlobal(at)), button, held,
                          Qt::NoModifier);
        QApplication::sendEvent(view, &event);
    }
    void key(QEvent::Type type, int code, const QString& text = {}, bool autoRepeat = false,
             Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QKeyEvent event(type, code, modifiers, text, autoRepeat);
        QApplication::sendEvent(window->view(), &event);
    }
    static QPoint centre(int index) {
        const KeyBox& k = skinKeys[static_cast<std::size_t>(index)].box;
        return {(k.left + k.right) / 2, (k.top + k.bottom) / 2};
    }
    bool latched(uint32_t code) {
        return waitUntil([&] { return window->calculator().machine().keyLatch.load() == code; });
    }
};

TEST_F(Keys, QuickClickOnEnterIsDeliveredAtTheNextTick) {
    ASSERT_NO_FATAL_FAILURE(start());
    mouse(QEvent::MouseButtonPress, centre(49));
    EXPECT_EQ(window->view()->pressedKey(), 49);
    mouse(QEvent::MouseButtonRelease, centre(49));
    EXPECT_EQ(window->view()->pressedKey(), -1);
    EXPECT_TRUE(latched(9));
    EXPECT_TRUE(waitUntil([&] { return !window->calculator().keyPending(); }));
}

TEST_F(Keys, ClickInsideTheLcdPressesNothing) {
    ASSERT_NO_FATAL_FAILURE(start());
    mouse(QEvent::MouseButtonPress, QPoint(100, 60));
    EXPECT_FALSE(window->calculator().keyPending());
    EXPECT_EQ(window->view()->pressedKey(), -1);
    mouse(QEvent::MouseButtonRelease, QPoint(100, 60));
}

TEST_F(Keys, PcKeysAndTypedCharactersPressSkinKeys) {
    ASSERT_NO_FATAL_FAILURE(start());
    key(QEvent::KeyPress, Qt::Key_Return, QStringLiteral("\r"));
    EXPECT_TRUE(window->calculator().pcKeyHeld());
    key(QEvent::KeyRelease, Qt::Key_Return, QStringLiteral("\r"));
    EXPECT_TRUE(latched(9));

    key(QEvent::KeyPress, Qt::Key_7, QStringLiteral("7"));
    key(QEvent::KeyRelease, Qt::Key_7, QStringLiteral("7"));
    EXPECT_TRUE(latched(36));  // [7]
}

TEST_F(Keys, AutoRepeatDoesNotPressAgain) {
    ASSERT_NO_FATAL_FAILURE(start());
    key(QEvent::KeyPress, Qt::Key_8, QStringLiteral("8"));
    key(QEvent::KeyRelease, Qt::Key_8, QStringLiteral("8"));
    EXPECT_FALSE(window->calculator().pcKeyHeld());
    key(QEvent::KeyPress, Qt::Key_8, QStringLiteral("8"), true);
    EXPECT_FALSE(window->calculator().pcKeyHeld());
}

TEST_F(Keys, FunctionKeysSixToEightNeverReachTheKeypad) {
    settings.autoLinkOnUpload = false;  // no keys typed into the calculator by the upload
    ASSERT_NO_FATAL_FAILURE(start());
    // Upload and Preferences open their dialogs: close whatever comes.
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    });
    closer.start(20);
    for (int code : {Qt::Key_F6, Qt::Key_F7, Qt::Key_F8}) {
        key(QEvent::KeyPress, code);
        EXPECT_FALSE(window->calculator().pcKeyHeld()) << code;
        EXPECT_FALSE(window->calculator().keyPending()) << code;
        EXPECT_EQ(window->view()->pressedKey(), -1);
        key(QEvent::KeyRelease, code);
    }
    // Whereas F5 is the calculator's [F5].
    key(QEvent::KeyPress, Qt::Key_F5);
    EXPECT_TRUE(window->calculator().pcKeyHeld());
    key(QEvent::KeyRelease, Qt::Key_F5);
    EXPECT_TRUE(latched(49));
}

TEST_F(Keys, TabAndShiftTabPressSecondInsteadOfMovingTheFocus) {
    ASSERT_NO_FATAL_FAILURE(start());
    window->view()->setFocus();
    key(QEvent::KeyPress, Qt::Key_Tab, QStringLiteral("\t"));
    EXPECT_TRUE(window->calculator().pcKeyHeld());
    EXPECT_EQ(window->view()->pressedKey(), 9);
    key(QEvent::KeyRelease, Qt::Key_Tab, QStringLiteral("\t"));
    EXPECT_TRUE(latched(54));

    window->calculator().machine().keyLatch = 0;
    key(QEvent::KeyPress, Qt::Key_Backtab, QStringLiteral("\t"), false, Qt::ShiftModifier);
    EXPECT_EQ(window->view()->pressedKey(), 9);
    EXPECT_TRUE(window->view()->hasFocus());
    key(QEvent::KeyRelease, Qt::Key_Backtab, QStringLiteral("\t"), false, Qt::ShiftModifier);
    EXPECT_TRUE(latched(54));
}

TEST_F(Keys, StopForgetsQueuedPresses) {
    ASSERT_NO_FATAL_FAILURE(start());
    key(QEvent::KeyPress, Qt::Key_4, QStringLiteral("4"));
    EXPECT_TRUE(window->stopEmulationThread());
    EXPECT_FALSE(window->calculator().keyPending());
}

#ifdef VANTREL_FIRMWARE_ROM  // builds without the assembled firmware leave this out

// The window on the demo firmware, typed at as a person types: keys overlap, and
// several go down within one 50 ms tick.
class DemoKeys : public ::testing::Test {
protected:
    void SetUp() override {
        application();
        settings.romPath = VANTREL_FIRMWARE_ROM;
        settings.ramPath = dir / "TI85Stat.bin";
        settings.saveStateMode = SaveStateMode::never;
        window = std::make_unique<MainWindow>(settings);
        window->startEmulation();
        window->show();
        ASSERT_TRUE(waitUntil([&] { return row(0) == "  VANTREL DEMO" && settled(); }));
    }
    void TearDown() override { window.reset(); }

    std::string row(int r) { return heldTrimmedRow(window->calculator().machine(), r); }
    bool on() {
        HoldGuard hold(window->calculator().machine().control);
        return window->calculator().calculatorOn();
    }
    bool settled() {
        return window->calculator().machine().control.pendingCode() == code(EmuRequest::Pause);
    }

    static int qtKey(char c) {
        if (c == '*') return Qt::Key_Asterisk;
        if (c == '+') return Qt::Key_Plus;
        if (c == '\r') return Qt::Key_Return;
        return c >= 'a' && c <= 'z' ? c - 'a' + Qt::Key_A : c;
    }
    void key(QEvent::Type type, char c) {
        const bool shifted = c == '*' || c == '+';
        QKeyEvent event(type, qtKey(c), shifted ? Qt::ShiftModifier : Qt::NoModifier,
                        QString(QChar(c)));
        QApplication::sendEvent(window->view(), &event);
    }
    // Each key goes down before the one before it comes up; gapMs of event loop
    // between the presses, 0 for all of them inside one tick.
    void typeOverlapping(const std::string& text, int gapMs) {
        char held = 0;
        for (char c : text) {
            if (held == c) {  // one key cannot overlap itself
                key(QEvent::KeyRelease, held);
                held = 0;
            }
            key(QEvent::KeyPress, c);
            if (held) key(QEvent::KeyRelease, held);
            held = c;
            if (gapMs) waitUntil([] { return false; }, gapMs);
        }
        key(QEvent::KeyRelease, held);
    }
    void click(int index) {
        const KeyBox& k = skinKeys[static_cast<std::size_t>(static_cast<std::size_t>(index))].box;
        const QPointF at((k.left + k.right) / 2, (k.top + k.bottom) / 2);
        QWidget* view = window->view();
        QMouseEvent press(QEvent::MouseButtonPress, at, view->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, at, view->mapToGlobal(at), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(view, &release);
    }

    TempDir dir;
    Settings settings;
    std::unique_ptr<MainWindow> window;
};

TEST_F(DemoKeys, FastOverlappingTypingShowsExactlyWhatWasTyped) {
    typeOverlapping("2024*365\r", 0);
    ASSERT_TRUE(waitUntil([&] { return settled() && !row(5).empty(); })) << row(3);
    EXPECT_EQ(row(3), "2024*365");
    EXPECT_EQ(row(5), "          738760");

    typeOverlapping("12+30\r", 20);
    ASSERT_TRUE(waitUntil([&] { return settled() && row(3) == "12+30" && !row(5).empty(); }));
    EXPECT_EQ(row(5), "              42");

    typeOverlapping("4567\r", 30);
    ASSERT_TRUE(waitUntil([&] { return settled() && row(3) == "4567" && !row(5).empty(); }));
    EXPECT_EQ(row(5), "            4567");
}

TEST_F(DemoKeys, SecondOnSwitchesOffAndOnSwitchesOnAgain) {
    typeOverlapping("7", 0);
    click(9);   // [2nd]
    click(45);  // [ON]
    ASSERT_TRUE(waitUntil([&] { return settled() && !on(); }));
    typeOverlapping("8", 0);  // not for a switched-off calculator
    typeOverlapping("o", 0);
    ASSERT_TRUE(waitUntil([&] { return settled() && on(); }));
    EXPECT_EQ(row(3), "7");

    // Tab's [2nd], then "o"; then a click on [ON].
    QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier, QStringLiteral("\t"));
    QApplication::sendEvent(window->view(), &tab);
    typeOverlapping("o", 0);
    QKeyEvent tabUp(QEvent::KeyRelease, Qt::Key_Tab, Qt::NoModifier, QStringLiteral("\t"));
    QApplication::sendEvent(window->view(), &tabUp);
    ASSERT_TRUE(waitUntil([&] { return settled() && !on(); }));
    click(45);
    ASSERT_TRUE(waitUntil([&] { return settled() && on(); }));
    EXPECT_EQ(row(3), "7");
}

#endif  // VANTREL_FIRMWARE_ROM

}  // namespace
}  // namespace vantrel::test
