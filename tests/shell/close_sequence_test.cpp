// Closing the window: the save question by saveStateMode and the calculator's power,
// Cancel keeping the calculator running, Kill never saving.
#include <QAbstractButton>
#include <QLabel>

#include "cpu/thread_control.h"
#include "running_window.h"
#include "shell/calculator_view.h"
#include "shell/exit_dialog.h"

namespace vantrel::test {
namespace {

class CloseSequence : public RunningWindow {
protected:
    // Answers the save question with the button of that id; records that it came.
    void answerQuestionWith(int id) {
        answerNextModal([this, id](QWidget* dialog) {
            asked = qobject_cast<ExitDialog*>(dialog) != nullptr;
            clickButton(dialog, QStringLiteral("control%1").arg(id));
        });
    }
    bool asked = false;
};

TEST_F(CloseSequence, AlwaysSavesWithoutAsking) {
    ASSERT_NO_FATAL_FAILURE(start(saveStateAlways));
    answerQuestionWith(answerNo);  // would be a fault: no question expected
    EXPECT_TRUE(window->close());
    EXPECT_TRUE(window->closed());
    EXPECT_FALSE(asked);
    EXPECT_TRUE(stateWritten());
    EXPECT_FALSE(window->hasEmulationThread());
}

TEST_F(CloseSequence, NeverClosesWithoutSaving) {
    ASSERT_NO_FATAL_FAILURE(start(saveStateNever));
    EXPECT_TRUE(window->close());
    EXPECT_FALSE(stateWritten());
}

TEST_F(CloseSequence, QuestionAnsweredYesSavesAndNoDoesNot) {
    ASSERT_NO_FATAL_FAILURE(start(saveStateShowDialog));
    answerQuestionWith(answerYes);
    EXPECT_TRUE(window->close());
    EXPECT_TRUE(asked);
    EXPECT_TRUE(stateWritten());
}

TEST_F(CloseSequence, QuestionAnsweredNoLeavesNoStateFile) {
    ASSERT_NO_FATAL_FAILURE(start(saveStateShowDialog));
    answerQuestionWith(answerNo);
    EXPECT_TRUE(window->close());
    EXPECT_TRUE(asked);
    EXPECT_FALSE(stateWritten());
}

TEST_F(CloseSequence, CancelKeepsTheCalculatorRunning) {
    ASSERT_NO_FATAL_FAILURE(start(saveStateShowDialog));
    answerQuestionWith(answerCancel);
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(asked);
    EXPECT_FALSE(window->closed());
    EXPECT_TRUE(window->hasEmulationThread());
    EXPECT_TRUE(window->isVisible());
    // Still running: a key press is delivered.
    window->keypad().keyboardPress(window->view(), 0, PcKey::other, U'0');
    window->keypad().keyboardRelease(window->view(), 0);
    EXPECT_TRUE(waitUntil([&] { return window->machine().keyLatch.load() == 33; }));
    window->onCommand(cmdKill);
    EXPECT_FALSE(stateWritten());
}

TEST_F(CloseSequence, CalculatorOffClosesWithoutQuestionOrSave) {
    ASSERT_NO_FATAL_FAILURE(start(saveStateShowDialog));
    {
        HoldGuard hold(window->machine().control);
        window->machine().mem.state.port3Value &= ~0x08;
    }
    answerQuestionWith(answerYes);
    EXPECT_TRUE(window->close());
    EXPECT_FALSE(asked);
    EXPECT_FALSE(stateWritten());
}

TEST_F(CloseSequence, KillNeverSaves) {
    ASSERT_NO_FATAL_FAILURE(start(saveStateAlways));
    window->onCommand(cmdKill);
    EXPECT_TRUE(window->closed());
    EXPECT_FALSE(window->hasEmulationThread());
    EXPECT_FALSE(stateWritten());
}

TEST_F(CloseSequence, SignalCloseSavesOnlyWhileOnUnderShowDialog) {
    ASSERT_NO_FATAL_FAILURE(start(saveStateShowDialog));
    window->closeWithoutDialogs();
    EXPECT_TRUE(window->closed());
    EXPECT_TRUE(stateWritten());
}

TEST_F(CloseSequence, SignalCloseWhileTheQuestionIsOpenEndsWithoutHanging) {
    ASSERT_NO_FATAL_FAILURE(start(saveStateNever));
    settings.saveStateMode = saveStateShowDialog;
    answerNextModal([this](QWidget*) { window->closeWithoutDialogs(); });
    window->close();
    EXPECT_TRUE(window->closed());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST(ExitDialogTest, AnswersHaveMnemonics) {
    ExitDialog dialog;
    const std::pair<int, int> keys[] = {{answerYes, Qt::Key_Y}, {answerNo, Qt::Key_N}, {answerCancel, Qt::Key_C}};
    for (const auto& [id, key] : keys) {
        auto* button = dialog.findChild<QAbstractButton*>(QStringLiteral("control%1").arg(id));
        ASSERT_NE(button, nullptr) << id;
        EXPECT_EQ(button->shortcut(), QKeySequence(Qt::ALT | key)) << id;
    }
}

}  // namespace
}  // namespace vantrel::test
