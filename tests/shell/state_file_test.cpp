// What the window does about its files at closing: a file at the state path that is
// no state file is replaced only when the user chooses so, and settings that cannot be
// saved are told, with the reason, while the window is still there.
#include <QFile>
#include <QMessageBox>
#include <QPushButton>

#include "running_window.h"
#include "session/settings/settings.h"
#include "shell/state_file_prompts.h"

namespace vantrel::test {
namespace {

class StateFileClosing : public RunningWindow {
protected:
    // Writes a text file where the state file goes, starts on it, and closes the
    // window answering the question with the button of that text.
    void closeAnswering(const QString& button) {
        QFile notes(statePath());
        ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
        notes.write("my notes\n");
        notes.close();
        ASSERT_NO_FATAL_FAILURE(start(SaveStateMode::always));
        ASSERT_EQ(window->calculator().stateLoad().outcome, StateLoad::wrongSize);
        answerNextModal([this, button](QWidget* dialog) {
            auto* box = qobject_cast<QMessageBox*>(dialog);
            question = box ? box->text() : QString();
            for (QAbstractButton* b : dialog->findChildren<QAbstractButton*>())
                if (b->text() == button) b->click();
        });
        EXPECT_TRUE(window->close());
        EXPECT_TRUE(window->closed());
    }
    QByteArray stateFile() const {
        QFile file(statePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QString question;
};

TEST_F(StateFileClosing, FileThatIsNoStateFileIsKeptWhenSoChosen) {
    ASSERT_NO_FATAL_FAILURE(closeAnswering(QStringLiteral("&Keep the File")));
    EXPECT_EQ(question,
              QStringLiteral("Replace \"%1\" with the calculator's state?").arg(statePath()));
    EXPECT_EQ(stateFile(), QByteArray("my notes\n"));
}

TEST_F(StateFileClosing, FileThatIsNoStateFileIsReplacedWhenSoChosen) {
    ASSERT_NO_FATAL_FAILURE(closeAnswering(QStringLiteral("&Replace")));
    EXPECT_TRUE(stateWritten());
}

// The settings are written as the user closes the window, after the state and before
// the window goes, so that a failure can be told with the system's reason.
TEST_F(StateFileClosing, SettingsThatCannotBeSavedAreToldBeforeTheWindowGoes) {
    ASSERT_NO_FATAL_FAILURE(start(SaveStateMode::always));
    settings.iniPath = dir.path().toStdString();  // a folder: no file can be written there
    bool shownWithWindow = false;
    bool stateSavedFirst = false;
    QObject::connect(window.get(), &MainWindow::closing, [&] {
        stateSavedFirst = stateWritten();
        if (const Result<> written = writeSettings(settings); !written)
            tellSettingsNotSaved(window.get(), settings.iniPath, written.failure().reason);
    });
    QString told;
    answerNextModal([&](QWidget* dialog) {
        shownWithWindow = window->isVisible();
        if (auto* box = qobject_cast<QMessageBox*>(dialog)) told = box->text();
        dialog->close();
    });
    EXPECT_TRUE(window->close());
    EXPECT_TRUE(stateSavedFirst);
    EXPECT_TRUE(shownWithWindow);
    EXPECT_TRUE(told.contains(QStringLiteral("Is a directory"))) << told.toStdString();
    EXPECT_FALSE(window->isVisible());
}

}  // namespace
}  // namespace vantrel::test
