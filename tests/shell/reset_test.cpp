// File > Reset: a cold start of the running calculator, only once the user confirms.
#include <QAbstractButton>
#include <QAction>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>

#include "machine/thread_control.h"
#include "modal_driver.h"
#include "running_window.h"

namespace vantrel::test {
namespace {

class ResetCommand : public RunningWindow {
protected:
    // Answers the confirmation; records what it asked.
    void answer(bool confirm) {
        whenModal([this, confirm](QWidget* widget) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            ASSERT_NE(box, nullptr);
            question = box->text();
            defaultIsCancel = box->defaultButton() == box->button(QMessageBox::Cancel);
            if (!confirm) {
                box->button(QMessageBox::Cancel)->click();
                return;
            }
            for (QAbstractButton* button : box->buttons())
                if (button->text() == QStringLiteral("&Reset")) button->click();
        });
    }
    QString question;
    bool defaultIsCancel = false;
};

TEST_F(ResetCommand, ColdStartOnlyAfterConfirmation) {
    ASSERT_NO_FATAL_FAILURE(start(SaveStateMode::never));
    auto* action =
        window->menuBar()->findChild<QAction*>(QStringLiteral("command%1").arg(cmdReset));
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->text(), "&Reset...");
    {
        Machine& m = window->calculator().machine();
        HoldGuard hold(m.control);
        m.mem.ram()[0x1000] = 0x5A;
        m.mem.ram()[0x7C00] = 0x00;  // the pixel the program lights at its start
    }

    answer(false);
    window->onCommand(cmdReset);
    EXPECT_EQ(question, "Reset the calculator?");
    EXPECT_TRUE(defaultIsCancel);
    EXPECT_EQ(ram(0x9000), 0x5A);
    EXPECT_FALSE(lcdLit());

    // The program sleeps in HALT; the cold start runs it from its first instruction.
    answer(true);
    window->onCommand(cmdReset);
    EXPECT_TRUE(waitUntil([&] { return lcdLit(); }));
    EXPECT_EQ(ram(0x9000), 0x00);
    EXPECT_TRUE(window->calculator().running());
    EXPECT_FALSE(stateWritten());
}

}  // namespace
}  // namespace vantrel::test
