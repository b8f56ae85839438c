// The menu bar never keeps the keyboard from the calculator: after a lone tap of Alt,
// and once a menu opened with Alt+letter or the mouse has closed, however it closed,
// the next key is the calculator's. Keys go through the window system's path, to
// whatever holds the keyboard, as a person's keys do.
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include "machine/machine.h"
#include "running_window.h"
#include "shell/calculator_view.h"

namespace vantrel::test {
namespace {

class MenuKeyboard : public RunningWindow {
protected:
    void activate() {
        window->activateWindow();
        ASSERT_TRUE(waitUntil([&] { return window->isActiveWindow(); }));
        ASSERT_EQ(QApplication::focusWidget(), window->view());
    }
    QWindow* handle() const { return window->windowHandle(); }
    QMenu* openMenu() const { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); }

    // A digit typed now reaches the calculator as its key.
    bool digitReachesCalculator(Qt::Key key, uint32_t code) {
        window->calculator().machine().keyLatch = 0;
        QTest::keyClick(handle(), key);
        return waitUntil([&] { return window->calculator().machine().keyLatch.load() == code; },
                         2000);
    }
    void tapAlt() {
        QTest::keyPress(handle(), Qt::Key_Alt, Qt::AltModifier);
        QTest::keyRelease(handle(), Qt::Key_Alt, Qt::AltModifier);
    }
};

TEST_F(MenuKeyboard, ALoneTapOfAltLeavesTheKeysToTheCalculator) {
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_NO_FATAL_FAILURE(activate());
    tapAlt();
    EXPECT_EQ(QApplication::focusWidget(), window->view());
    EXPECT_TRUE(digitReachesCalculator(Qt::Key_7, key7));
    tapAlt();
    tapAlt();
    EXPECT_TRUE(digitReachesCalculator(Qt::Key_8, key8));
}

TEST_F(MenuKeyboard, MenusOpenWithAltLetterAndTheMouseAndGiveTheKeysBackWhenClosed) {
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_NO_FATAL_FAILURE(activate());
    // Alt+F opens File; Escape closes it.
    QTest::keyClick(handle(), Qt::Key_F, Qt::AltModifier);
    ASSERT_TRUE(waitUntil([&] { return openMenu() != nullptr; }));
    EXPECT_EQ(openMenu()->title(), QStringLiteral("&File"));
    QTest::keyClick(openMenu()->windowHandle(), Qt::Key_Escape);
    ASSERT_TRUE(waitUntil([&] { return openMenu() == nullptr; }));
    EXPECT_EQ(QApplication::focusWidget(), window->view());
    EXPECT_TRUE(digitReachesCalculator(Qt::Key_7, key7));

    // Alt+V, Right to the next menu, Escape.
    QTest::keyClick(handle(), Qt::Key_V, Qt::AltModifier);
    ASSERT_TRUE(waitUntil([&] { return openMenu() != nullptr; }));
    QTest::keyClick(openMenu()->windowHandle(), Qt::Key_Right);
    ASSERT_TRUE(waitUntil([&] { return openMenu() && openMenu()->title() == "&Speed"; }));
    QTest::keyClick(openMenu()->windowHandle(), Qt::Key_Escape);
    ASSERT_TRUE(waitUntil([&] { return openMenu() == nullptr; }));
    EXPECT_TRUE(digitReachesCalculator(Qt::Key_8, key8));

    // A click on Edit opens it, a second click on its title closes it.
    QMenuBar* bar = window->menuBar();
    QAction* edit = nullptr;
    for (QAction* action : bar->actions())
        if (action->text() == QStringLiteral("&Edit")) edit = action;
    ASSERT_NE(edit, nullptr);
    const QPoint title = bar->actionGeometry(edit).center();
    QTest::mouseClick(bar, Qt::LeftButton, {}, title);
    ASSERT_TRUE(waitUntil([&] { return openMenu() != nullptr; }));
    QTest::mouseClick(openMenu(), Qt::LeftButton, {},
                      openMenu()->mapFromGlobal(bar->mapToGlobal(title)));
    ASSERT_TRUE(waitUntil([&] { return openMenu() == nullptr; }));
    EXPECT_EQ(QApplication::focusWidget(), window->view());
    EXPECT_TRUE(digitReachesCalculator(Qt::Key_9, key9));
}

}  // namespace
}  // namespace vantrel::test
