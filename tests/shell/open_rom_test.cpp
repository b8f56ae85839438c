// File > Open ROM... on a running calculator: the one running closes as the window
// would (its state saved as the settings say), the chosen ROM image runs from the same
// state file, and heads the short list of recent ROM images, which opens it again.
#include <QMenu>

#include "machine/thread_control.h"
#include "modal_driver.h"
#include "running_window.h"

namespace vantrel::test {
namespace {

class OpenRom : public RunningWindow {
protected:
    // The File menu opened: the recent list as it shows then.
    QStringList recentItems() {
        auto* menu = window->findChild<QMenu*>(QStringLiteral("recentRoms"));
        if (!menu) return {QStringLiteral("(no menu)")};
        emit qobject_cast<QMenu*>(menu->parent())->aboutToShow();
        if (!menu->isEnabled()) return {QStringLiteral("(disabled)")};
        QStringList items;
        for (const QAction* action : menu->actions()) items << action->text();
        return items;
    }
};

TEST_F(OpenRom, ChosenRomRunsFromTheSavedStateAndIsListedAmongTheRecentOnes) {
    ASSERT_NO_FATAL_FAILURE(start(SaveStateMode::always));
    const std::string first = settings.romPath;
    EXPECT_EQ(recentItems(),
              QStringList{QStringLiteral("&1 %1").arg(QString::fromStdString(first))});
    // A mark in RAM that only the saved state carries over.
    {
        Machine& m = window->calculator().machine();
        HoldGuard hold(m.control);
        m.mem.ram()[0x9000 - 0x8000] = 0x5A;
    }
    QTemporaryDir other;
    const std::string second = writeTestRom(other).toStdString();
    EXPECT_TRUE(window->openRom(second));
    EXPECT_TRUE(stateWritten());
    EXPECT_TRUE(window->calculator().running());
    EXPECT_EQ(settings.romPath, second);
    EXPECT_EQ(ram(0x9000), 0x5A);
    EXPECT_EQ(settings.recentRoms, (std::vector<std::string>{second, first}));

    // The list opens the first one again.
    const QStringList items = recentItems();
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[1], QStringLiteral("&2 %1").arg(QString::fromStdString(first)));
    window->findChild<QMenu*>(QStringLiteral("recentRoms"))->actions()[1]->trigger();
    EXPECT_EQ(settings.romPath, first);
    EXPECT_EQ(settings.recentRoms, (std::vector<std::string>{first, second}));
    EXPECT_TRUE(window->calculator().running());
}

TEST_F(OpenRom, CancelInTheSaveQuestionKeepsTheCalculatorRunning) {
    ASSERT_NO_FATAL_FAILURE(start(SaveStateMode::showDialog));
    QTemporaryDir other;
    const std::string second = writeTestRom(other).toStdString();
    bool asked = false;
    answerNextModal([&](QWidget* dialog) {
        asked = true;
        clickButton(dialog, QStringLiteral("control2"));  // Cancel
    });
    EXPECT_FALSE(window->openRom(second));
    EXPECT_TRUE(asked);
    EXPECT_TRUE(window->calculator().running());
    EXPECT_NE(settings.romPath, second);
    EXPECT_FALSE(stateWritten());
}

}  // namespace
}  // namespace vantrel::test
