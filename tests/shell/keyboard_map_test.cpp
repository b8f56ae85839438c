// Preferences > Keyboard moves the named PC keys from calculator key to calculator
// key; the keys, the tooltips and Help > Keyboard follow the map, and once Ctrl presses
// no calculator key the usual Ctrl shortcuts are the window's.
#include <QDialogButtonBox>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTableWidget>
#include <QToolTip>

#include "modal_driver.h"
#include "running_window.h"
#include "shell/calculator_view.h"
#include "shell/keyboard_help.h"
#include "shell/preferences_dialog.h"

namespace vantrel::test {
namespace {

class KeyboardMap : public RunningWindow {
protected:
    // Preferences > Keyboard with [ALPHA] selected: edit runs there, then OK.
    void editMap(const std::function<void(QWidget*)>& edit) {
        whenModal([edit](QWidget* dialog) {
            dialog->findChild<QTabBar*>("tabs")->setCurrentIndex(PreferencesDialog::keyboardPage);
            auto* table = dialog->findChild<QTableWidget*>("keyMapTable");
            ASSERT_NE(table, nullptr);
            table->setCurrentCell(keyIndex(keyAlpha), 0);
            edit(dialog);
            dialog->findChild<QDialogButtonBox*>("buttons")->button(QDialogButtonBox::Ok)->click();
        });
        window->onCommand(cmdPreferences);
    }
    // Triggers the item of a button's menu whose text starts with prefix.
    static void choose(QWidget* dialog, const char* button, const QString& prefix) {
        QMenu* menu = dialog->findChild<QPushButton*>(button)->menu();
        emit menu->aboutToShow();
        for (QAction* action : menu->actions())
            if (action->text().startsWith(prefix)) return action->trigger();
        ADD_FAILURE() << "no " << prefix.toStdString() << " in " << button;
    }
    void key(int code, Qt::KeyboardModifiers modifiers, QEvent::Type type = QEvent::KeyPress) {
        QKeyEvent event(type, code, modifiers, QString());
        QApplication::sendEvent(window->view(), &event);
    }
    QString tooltipOf(KeyCode code) {
        const QRect box = window->view()->toView(skinKeys[keyIndex(code)].box);
        QHelpEvent help(QEvent::ToolTip, box.center(), window->view()->mapToGlobal(box.center()));
        QApplication::sendEvent(window->view(), &help);
        const QString text = QToolTip::text();
        QToolTip::hideText();
        return text;
    }
};

TEST_F(KeyboardMap, AlphaMovedToAltFreesTheCtrlShortcutsAndTheHelpFollows) {
    ASSERT_NO_FATAL_FAILURE(start());
    QString note;
    editMap([&](QWidget* dialog) {
        choose(dialog, "removePcKey", QStringLiteral("Ctrl"));
        choose(dialog, "addPcKey", QStringLiteral("Alt"));
        auto* table = dialog->findChild<QTableWidget*>("keyMapTable");
        EXPECT_EQ(table->item(keyIndex(keyAlpha), 1)->text(), QStringLiteral("Alt"));
        EXPECT_EQ(table->item(keyIndex(key7), 2)->text(), QStringLiteral("7"));
        note = dialog->findChild<QLabel*>("controlNote")->text();
    });
    EXPECT_TRUE(note.startsWith(QStringLiteral("Ctrl presses no calculator key")))
        << note.toStdString();
    EXPECT_TRUE(settings.keyMap.controlFree());
    EXPECT_EQ(settings.keyMap.binding(PcKey::alt).index, keyIndex(keyAlpha));

    // Alt is [ALPHA] now; Ctrl presses nothing, and Ctrl+C copies the screen.
    key(Qt::Key_Alt, Qt::AltModifier);
    EXPECT_EQ(window->view()->pressedKey(), keyIndex(keyAlpha));
    key(Qt::Key_Alt, Qt::NoModifier, QEvent::KeyRelease);
    key(Qt::Key_Control, Qt::ControlModifier);
    EXPECT_EQ(window->view()->pressedKey(), -1);
    key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(window->statusMessage(), QStringLiteral("Copied to the clipboard"));
    key(Qt::Key_Control, Qt::NoModifier, QEvent::KeyRelease);
    EXPECT_EQ(tooltipOf(keyAlpha), QStringLiteral("[ALPHA]: Alt"));
    auto* exit = window->findChild<QAction*>(QStringLiteral("command%1").arg(cmdExit));
    EXPECT_EQ(exit->text(), QStringLiteral("E&xit\tCtrl+Q"));

    window->onCommand(cmdKeyboard);
    auto* help = window->findChild<KeyboardHelp*>(QStringLiteral("keyboardHelp"));
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->findChild<QTableWidget*>("keyTable")->item(keyIndex(keyAlpha), 1)->text(),
              QStringLiteral("Alt"));
    QStringList commands;
    const auto* table = help->findChild<QTableWidget*>("commandTable");
    for (int row = 0; row < table->rowCount(); ++row)
        commands << table->item(row, 0)->text() + QLatin1Char('=') + table->item(row, 1)->text();
    for (const char* expected : {"Ctrl+C=Copy Screen", "Ctrl+V=Paste", "Ctrl+Q=Exit"})
        EXPECT_TRUE(commands.contains(QString::fromLatin1(expected))) << expected;

    // Restore Defaults: Ctrl is [ALPHA] again, and its C no longer copies.
    editMap(
        [](QWidget* dialog) { dialog->findChild<QPushButton*>("restoreKeyDefaults")->click(); });
    EXPECT_EQ(settings.keyMap, KeyMap());
    window->statusBar()->clearMessage();
    key(Qt::Key_Control, Qt::ControlModifier);
    EXPECT_EQ(window->view()->pressedKey(), keyIndex(keyAlpha));
    key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(window->statusMessage(), QString());
    EXPECT_EQ(tooltipOf(keyAlpha), QStringLiteral("[ALPHA]: Ctrl"));
    EXPECT_EQ(exit->text(), QStringLiteral("E&xit"));
}

}  // namespace
}  // namespace vantrel::test
