#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QTest>

#include "hardware/hardware_ports.h"
#include "hardware/key_codes.h"
#include "running_window.h"
#include "session/keys/held_keys.h"
#include "shell/calculator_view.h"

namespace vantrel {
namespace {

class SpeedMenu : public test::RunningWindow {
protected:
    QMenu* speedMenu() const { return window->findChild<QMenu*>(QStringLiteral("speedMenu")); }
    QLabel* speedLabel() const {
        return window->findChild<QLabel*>(QStringLiteral("modelAndSpeed"));
    }
    HardwareModel& hardware() { return window->calculator().machine().hardware; }
};

TEST_F(SpeedMenu, DisabledInTheClassicModelSayingWhy) {
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_NE(speedMenu(), nullptr);
    for (QAction* action : speedMenu()->actions()) {
        if (action->isCheckable()) {
            EXPECT_FALSE(action->isEnabled()) << action->text().toStdString();
        }
    }
    EXPECT_NE(speedMenu()->actions().first()->toolTip().indexOf(QStringLiteral("hardware model")),
              -1);
    EXPECT_FALSE(speedLabel()->isVisible());
}

// In the hardware model every PC key held is on the key matrix, several at once; the
// grave key runs at Unlimited while held, and the Speed menu's choice is kept.
TEST_F(SpeedMenu, HardwareModelHoldsKeysTogetherAndFastForwardsWhileHeld) {
    settings.model = MachineModel::hardware;
    settings.romPath = test::writeTestRom(dir).toStdString();
    settings.ramPath = statePath().toStdString();
    window = std::make_unique<MainWindow>(settings);
    window->startEmulation();
    window->show();
    ASSERT_TRUE(window->calculator().running());
    EXPECT_TRUE(speedLabel()->isVisible());
    EXPECT_TRUE(speedLabel()->text().startsWith(QStringLiteral("Hardware model")));

    QWidget* view = window->view();
    QTest::keyPress(view, Qt::Key_7);
    QTest::keyPress(view, Qt::Key_8);
    EXPECT_EQ(hardware().heldKeys.load(), keyBit(key7) | keyBit(key8));
    QTest::qWait(static_cast<int>(minimumKeyHold.count()) + 10);
    QTest::keyRelease(view, Qt::Key_7);
    EXPECT_EQ(hardware().heldKeys.load(), keyBit(key8));
    QTest::keyRelease(view, Qt::Key_8);
    EXPECT_EQ(hardware().heldKeys.load(), 0u);

    // A tap faster than the keypad's scan stays held until the window's tick after
    // minimumKeyHold, so that the calculator sees it.
    QTest::keyClick(view, Qt::Key_9);
    EXPECT_EQ(hardware().heldKeys.load(), keyBit(key9));
    for (int i = 0; i < 100 && hardware().heldKeys.load() != 0; ++i) QTest::qWait(10);
    EXPECT_EQ(hardware().heldKeys.load(), 0u);

    QTest::keyPress(view, Qt::Key_QuoteLeft);
    EXPECT_TRUE(hardware().fastForward.load());
    EXPECT_EQ(hardware().heldKeys.load(), 0u);  // not a calculator key
    QTest::keyRelease(view, Qt::Key_QuoteLeft);
    EXPECT_FALSE(hardware().fastForward.load());

    QAction* quarter = speedMenu()->actions().first();
    ASSERT_TRUE(quarter->isEnabled());
    quarter->trigger();
    EXPECT_EQ(hardware().speed.load(), SpeedFactor::quarter);
    EXPECT_EQ(settings.speed, SpeedFactor::quarter);
}

}  // namespace
}  // namespace vantrel
