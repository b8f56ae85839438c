// Help > Keyboard shows the key table as the keypad maps it, what the keys mean under
// the calculator's shifts now, and the window's own command keys.
#include "shell/keyboard_help.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QTableWidget>

#include "machine/machine.h"
#include "session/keys/key_help.h"
#include "session/keys/key_table.h"
#include "shell/main_window.h"
#include "shell_support.h"

namespace vantrel::test {
namespace {

class KeyboardHelpWindow : public ::testing::Test {
protected:
    void SetUp() override {
        settings.romPath = dir.filePath(QStringLiteral("missing.bin")).toStdString();
        window = std::make_unique<MainWindow>(settings);
        // No ROM and no thread: the calculator's RAM is ours to set.
        window->calculator().machine().mem.state.port3Value = 0x0B;
        window->onCommand(cmdKeyboard);
        help = window->findChild<KeyboardHelp*>(QStringLiteral("keyboardHelp"));
        ASSERT_NE(help, nullptr);
        keys = help->findChild<QTableWidget*>(QStringLiteral("keyTable"));
        ASSERT_NE(keys, nullptr);
    }
    void setShifts(uint8_t flags) {
        window->calculator().machine().mem.state.ram[shiftFlagsAddress - 0x8000] = flags;
        help->refresh();
    }
    QString cell(int row, int column) const {
        const QTableWidgetItem* item = keys->item(row, column);
        return item ? item->text() : QString();
    }

    QTemporaryDir dir;
    Settings settings;
    std::unique_ptr<MainWindow> window;
    KeyboardHelp* help = nullptr;
    QTableWidget* keys = nullptr;
};

TEST_F(KeyboardHelpWindow, EveryKeyOfTheTableWithItsPcKeys) {
    EXPECT_TRUE(help->isVisible());
    const std::vector<KeyHelpRow> rows = keyHelpRows();
    ASSERT_EQ(keys->rowCount(), keyCount);
    for (const KeyHelpRow& row : rows) {
        EXPECT_EQ(cell(row.index, 0).toStdString(), row.key);
        EXPECT_EQ(cell(row.index, 1).toStdString(), row.pcKeys) << row.key;
        EXPECT_EQ(cell(row.index, 2).toStdString(), row.alphaPcKeys) << row.key;
    }

    // The window's commands, with the keys their menus show.
    const auto* commands = help->findChild<QTableWidget*>(QStringLiteral("commandTable"));
    ASSERT_NE(commands, nullptr);
    QStringList lines;
    for (int row = 0; row < commands->rowCount(); ++row)
        lines << commands->item(row, 0)->text() + QLatin1Char('=') + commands->item(row, 1)->text();
    for (const char* expected : {"F6=Upload", "F7=Screenshot", "F8=Preferences", "F9=Zoom 1x",
                                 "F12=Zoom 4x", "Shift+Ins=Paste", "Shift+F7=Copy Screen"})
        EXPECT_TRUE(lines.contains(QString::fromUtf8(expected))) << expected;

    // Asked again, the one window comes back.
    window->onCommand(cmdKeyboard);
    EXPECT_EQ(window->findChildren<KeyboardHelp*>().size(), 1);
}

TEST_F(KeyboardHelpWindow, MeaningsFollowTheCalculatorsShifts) {
    const int log = keyIndex(keyLog);
    const auto* shiftLine = help->findChild<QLabel*>(QStringLiteral("shiftState"));
    ASSERT_NE(shiftLine, nullptr);
    setShifts(0);
    EXPECT_EQ(cell(log, 3), QStringLiteral("LOG"));
    EXPECT_TRUE(shiftLine->text().endsWith(QStringLiteral("none")));
    setShifts(secondShiftBit);
    EXPECT_EQ(cell(log, 3), QStringLiteral("10\u02E3"));
    EXPECT_TRUE(shiftLine->text().endsWith(QStringLiteral("[2nd]")));
    setShifts(alphaShiftBit);
    EXPECT_EQ(cell(log, 3), QStringLiteral("A"));
    EXPECT_EQ(cell(keyIndex(keyEnter), 3), QStringLiteral("ENTER"));
    EXPECT_TRUE(shiftLine->text().endsWith(QStringLiteral("[ALPHA]")));
}

TEST(KeyboardHelpPlace, OpensBesideTheCalculatorNotOverItsKeypad) {
    QTemporaryDir dir;
    Settings settings;
    settings.romPath = dir.filePath(QStringLiteral("missing.bin")).toStdString();
    MainWindow window(settings);
    window.move(0, 0);
    window.show();
    ASSERT_TRUE(waitUntil([&] { return window.isVisible(); }));
    window.onCommand(cmdKeyboard);
    auto* help = window.findChild<KeyboardHelp*>(QStringLiteral("keyboardHelp"));
    ASSERT_NE(help, nullptr);
    ASSERT_TRUE(waitUntil([&] { return help->isVisible(); }));
    EXPECT_GT(help->frameGeometry().left(), window.frameGeometry().right());
    EXPECT_FALSE(help->frameGeometry().intersects(window.frameGeometry()));
}

}  // namespace
}  // namespace vantrel::test
