// Clicks and PC keys reach the running calculator; F6 to F8 never do.
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>

#include "cpu/thread_control.h"
#include "hardware/keypad.h"
#include "running_window.h"
#include "shell/calculator_view.h"

namespace vantrel::test {
namespace {

class Keys : public RunningWindow {
protected:
    void mouse(QEvent::Type type, QPoint at, Qt::MouseButton button = Qt::LeftButton) {
        QWidget* view = window->view();
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
        QMouseEvent event(type, QPointF(at), QPointF(view->mapToGlobal(at)), button, held, Qt::NoModifier);
        QApplication::sendEvent(view, &event);
    }
    void key(QEvent::Type type, int code, const QString& text = {}, bool autoRepeat = false,
             Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QKeyEvent event(type, code, modifiers, text, autoRepeat);
        QApplication::sendEvent(window->view(), &event);
    }
    static QPoint centre(int index) {
        const KeyRect& k = keyRects[index];
        return {(k.left + k.right) / 2, (k.top + k.bottom) / 2};
    }
    bool latched(uint32_t code) { return waitUntil([&] { return window->machine().keyLatch.load() == code; }); }
};

TEST_F(Keys, QuickClickOnEnterIsDeliveredAtTheNextTick) {
    ASSERT_NO_FATAL_FAILURE(start());
    mouse(QEvent::MouseButtonPress, centre(49));
    EXPECT_EQ(window->view()->pressedKey(), 49);
    mouse(QEvent::MouseButtonRelease, centre(49));
    EXPECT_EQ(window->view()->pressedKey(), -1);
    EXPECT_TRUE(latched(9));
    EXPECT_TRUE(waitUntil([&] { return !window->keypad().keyPending; }));
}

TEST_F(Keys, ClickInsideTheLcdPressesNothing) {
    ASSERT_NO_FATAL_FAILURE(start());
    mouse(QEvent::MouseButtonPress, QPoint(100, 60));
    EXPECT_FALSE(window->keypad().keyPending);
    EXPECT_EQ(window->view()->pressedKey(), -1);
    mouse(QEvent::MouseButtonRelease, QPoint(100, 60));
}

TEST_F(Keys, PcKeysAndTypedCharactersPressSkinKeys) {
    ASSERT_NO_FATAL_FAILURE(start());
    key(QEvent::KeyPress, Qt::Key_Return, QStringLiteral("\r"));
    EXPECT_TRUE(window->keypad().keyboardDown);
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
    EXPECT_FALSE(window->keypad().keyboardDown);
    key(QEvent::KeyPress, Qt::Key_8, QStringLiteral("8"), true);
    EXPECT_FALSE(window->keypad().keyboardDown);
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
        EXPECT_FALSE(window->keypad().keyboardDown) << code;
        EXPECT_FALSE(window->keypad().keyPending) << code;
        EXPECT_EQ(window->view()->pressedKey(), -1);
        key(QEvent::KeyRelease, code);
    }
    // Whereas F5 is the calculator's [F5].
    key(QEvent::KeyPress, Qt::Key_F5);
    EXPECT_TRUE(window->keypad().keyboardDown);
    key(QEvent::KeyRelease, Qt::Key_F5);
    EXPECT_TRUE(latched(49));
}

TEST_F(Keys, TabPressesSecondInsteadOfMovingTheFocus) {
    ASSERT_NO_FATAL_FAILURE(start());
    window->view()->setFocus();
    key(QEvent::KeyPress, Qt::Key_Tab, QStringLiteral("\t"));
    EXPECT_TRUE(window->keypad().keyboardDown);
    EXPECT_EQ(window->view()->pressedKey(), 9);
    key(QEvent::KeyRelease, Qt::Key_Tab, QStringLiteral("\t"));
}

}  // namespace
}  // namespace vantrel::test
