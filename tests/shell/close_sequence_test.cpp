// Closing the window: the save question by saveStateMode and the calculator's power,
// Cancel keeping the calculator running, Kill never saving.
#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>

#include "machine/thread_control.h"
#include "modal_driver.h"
#include "running_window.h"
#include "shell/calculator_view.h"
#include "shell/exit_dialog.h"

namespace vantrel::test {
namespace {

class CloseSequence : public RunningWindow {
protected:
    // Answers the save question with the button of that id; records that it came.
    void answerQuestionWith(ExitAnswer answer) {
        answerNextModal([this, answer](QWidget* dialog) {
            asked = qobject_cast<ExitDialog*>(dialog) != nullptr;
            clickButton(dialog, QStringLiteral("control%1").arg(static_cast<int>(answer)));
        });
    }
    bool asked = false;
};

TEST_F(CloseSequence, AlwaysSavesWithoutAsking) {
    ASSERT_NO_FATAL_FAILURE(start(SaveStateMode::always));
    answerQuestionWith(ExitAnswer::no);  // would be a fault: no question expected
    EXPECT_TRUE(window->close());
    EXPECT_TRUE(window->closed());
    EXPECT_FALSE(asked);
    EXPECT_TRUE(stateWritten());
    EXPECT_FALSE(window->calculator().running());
}

TEST_F(CloseSequence, NeverClosesWithoutSaving) {
    ASSERT_NO_FATAL_FAILURE(start(SaveStateMode::never));
    EXPECT_TRUE(window->close());
    EXPECT_FALSE(stateWritten());
}

TEST_F(CloseSequence, QuestionAnsweredYesSavesAndNoDoesNot) {
    ASSERT_NO_FATAL_FAILURE(start(SaveStateMode::showDialog));
    answerQuestionWith(ExitAnswer::yes);
    EXPECT_TRUE(window->close());
    EXPECT_TRUE(asked);
    EXPECT_TRUE(stateWritten());
}

TEST_F(CloseSequence, QuestionAnsweredNoLeavesNoStateFile) {
    ASSERT_NO_FATAL_FAILURE(start(SaveStateMode::showDialog));
    answerQuestionWith(ExitAnswer::no);
    EXPECT_TRUE(window->close());
    EXPECT_TRUE(asked);
    EXPECT_FALSE(stateWritten());
}

TEST_F(CloseSequence, CancelKeepsTheCalculatorRunning) {
    ASSERT_NO_FATAL_FAILURE(start(SaveStateMode::showDialog));
    answerQuestionWith(ExitAnswer::cancel);
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(asked);
    EXPECT_FALSE(window->closed());
    EXPECT_TRUE(window->calculator().running());
    EXPECT_TRUE(window->isVisible());
    // Still running: a key press is delivered.
    window->calculator().pcKeyDown(0, PcKey::other, U'0');
    window->calculator().pcKeyUp(0);
    EXPECT_TRUE(waitUntil([&] { return window->calculator().machine().keyLatch.load() == 33; }));
    window->kill();
    EXPECT_FALSE(stateWritten());
}

TEST_F(CloseSequence, DontAskAgainMakesYesAlwaysAndNoNeverButCancelNothing) {
    auto answerTicked = [](ExitAnswer answer) {
        answerNextModal([answer](QWidget* dialog) {
            auto* box = dialog->findChild<QCheckBox*>(QStringLiteral("dontAskAgain"));
            ASSERT_NE(box, nullptr);
            EXPECT_FALSE(box->isChecked());
            box->setChecked(true);
            clickButton(dialog, QStringLiteral("control%1").arg(static_cast<int>(answer)));
        });
    };
    ASSERT_NO_FATAL_FAILURE(start(SaveStateMode::showDialog));
    answerTicked(ExitAnswer::cancel);
    EXPECT_FALSE(window->close());
    EXPECT_EQ(settings.saveStateMode, SaveStateMode::showDialog);
    answerTicked(ExitAnswer::yes);
    EXPECT_TRUE(window->close());
    EXPECT_EQ(settings.saveStateMode, SaveStateMode::always);
    EXPECT_TRUE(stateWritten());

    QFile::remove(statePath());
    window.reset();
    ASSERT_NO_FATAL_FAILURE(start(SaveStateMode::showDialog));
    answerTicked(ExitAnswer::no);
    EXPECT_TRUE(window->close());
    EXPECT_EQ(settings.saveStateMode, SaveStateMode::never);
    EXPECT_FALSE(stateWritten());
}

TEST_F(CloseSequence, CalculatorOffClosesWithoutQuestionOrSave) {
    ASSERT_NO_FATAL_FAILURE(start(SaveStateMode::showDialog));
    {
        HoldGuard hold(window->calculator().machine().control);
        window->calculator().machine().mem.state.port3Value &= ~0x08;
    }
    answerQuestionWith(ExitAnswer::yes);
    EXPECT_TRUE(window->close());
    EXPECT_FALSE(asked);
    EXPECT_FALSE(stateWritten());
}

TEST_F(CloseSequence, KillAsksFirstWithNoAsTheDefaultAndNeverSaves) {
    ASSERT_NO_FATAL_FAILURE(start(SaveStateMode::always));
    const auto* action = window->findChild<QAction*>(QStringLiteral("command%1").arg(cmdKill));
    ASSERT_NE(action, nullptr);
    EXPECT_TRUE(action->statusTip().contains(QStringLiteral("without saving")));
    // Enter takes the default answer: the calculator runs on.
    QMessageBox::StandardButton defaultAnswer = QMessageBox::NoButton;
    answerNextModal([&](QWidget* dialog) {
        auto* box = qobject_cast<QMessageBox*>(dialog);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->text(), QStringLiteral("End Vantrel without saving the calculator?"));
        defaultAnswer = box->standardButton(box->defaultButton());
        box->defaultButton()->click();
    });
    window->onCommand(cmdKill);
    EXPECT_EQ(defaultAnswer, QMessageBox::No);
    EXPECT_FALSE(window->closed());
    EXPECT_TRUE(window->calculator().running());

    auto yes = answerMessageBox(QMessageBox::Yes);
    window->onCommand(cmdKill);
    EXPECT_TRUE(yes->shown);
    EXPECT_TRUE(window->closed());
    EXPECT_FALSE(window->calculator().running());
    EXPECT_FALSE(stateWritten());
}

TEST_F(CloseSequence, SignalCloseSavesOnlyWhileOnUnderShowDialog) {
    ASSERT_NO_FATAL_FAILURE(start(SaveStateMode::showDialog));
    window->closeWithoutDialogs();
    EXPECT_TRUE(window->closed());
    EXPECT_TRUE(stateWritten());
}

TEST_F(CloseSequence, SignalCloseWhileTheQuestionIsOpenEndsWithoutHanging) {
    ASSERT_NO_FATAL_FAILURE(start(SaveStateMode::never));
    settings.saveStateMode = SaveStateMode::showDialog;
    answerNextModal([this](QWidget*) { window->closeWithoutDialogs(); });
    window->close();
    EXPECT_TRUE(window->closed());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST(ExitDialogTest, AnswersHaveMnemonics) {
    ExitDialog dialog;
    const std::pair<ExitAnswer, int> keys[] = {
        {ExitAnswer::yes, Qt::Key_Y}, {ExitAnswer::no, Qt::Key_N}, {ExitAnswer::cancel, Qt::Key_C}};
    for (const auto& [answer, key] : keys) {
        const int id = static_cast<int>(answer);
        auto* button = dialog.findChild<QAbstractButton*>(QStringLiteral("control%1").arg(id));
        ASSERT_NE(button, nullptr) << id;
        EXPECT_EQ(button->shortcut(), QKeySequence(Qt::ALT | key)) << id;
    }
}

}  // namespace
}  // namespace vantrel::test
