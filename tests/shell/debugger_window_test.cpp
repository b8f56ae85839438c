// The debugger window on the demo firmware: opened from the calculator without
// pressing a calculator key, a breakpoint on the adding routine reached by typing a
// sum, steps with the changed registers marked, edits while stopped, and closing it
// while stopped letting the calculator run on.
#include "shell/debugger_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <filesystem>

#include "machine/machine.h"
#include "machine/thread_control.h"
#include "modal_driver.h"
#include "session/debug/debug_session.h"
#include "session/keys/key_table.h"
#include "session/settings/settings.h"
#include "shell/calculator_view.h"
#include "shell/main_window.h"
#include "shell_support.h"
#include "support/temp_dir.h"

#ifdef VANTREL_FIRMWARE_ROM
#include "e2e/firmware_machine.h"
#include "support/firmware_symbols.h"

namespace vantrel {
namespace {

using test::heldTrimmedRow;

QString hex4(unsigned value) {
    return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0')).toUpper();
}

class DebuggerWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::application();
        symbols = test::readFirmwareSymbols();
        std::filesystem::copy_file(VANTREL_FIRMWARE_ROM, dir / "demo.rom");
        std::filesystem::copy_file(VANTREL_FIRMWARE_SYMBOLS, dir / "demo.sym");
        settings.romPath = dir / "demo.rom";
        settings.ramPath = dir / "TI85Stat.bin";
        settings.iniPath = dir / "Vantrel.ini";
        settings.saveStateMode = SaveStateMode::never;
        window = std::make_unique<MainWindow>(settings);
        window->startEmulation();
        ASSERT_FALSE(window->romLoadFailed());
        window->show();
        ASSERT_TRUE(test::waitUntil(
            [&] { return heldTrimmedRow(window->calculator().machine(), 0) == "  VANTREL DEMO"; }));
    }
    void TearDown() override {
        if (window) window->closeWithoutDialogs();
        window.reset();
    }

    DebuggerWindow* open() {
        window->onCommand(cmdDebugger);
        return window->debuggerWindow();
    }
    template <class T>
    T* child(const char* name) {
        return window->debuggerWindow()->findChild<T*>(QString::fromLatin1(name));
    }
    void trigger(const char* action) { child<QAction>(action)->trigger(); }
    QString status() { return child<QLabel>("stopText")->text(); }
    DebugSession& debug() { return window->calculator().debugger(); }
    uint16_t pc() { return debug().view().registers.pc; }
    // The text of a register's value cell, and whether it is marked as changed.
    QTableWidgetItem* registerItem(const QString& name) {
        auto* table = child<QTableWidget>("registers");
        for (int row = 0; row < table->rowCount(); ++row)
            if (table->item(row, 0)->text() == name) return table->item(row, 1);
        return nullptr;
    }
    bool marked(const QString& name) { return registerItem(name)->font().bold(); }
    void type(const std::string& keys) {
        for (char c : keys) {
            window->calculator().pcKeyDown(0, c == '\n' ? PcKey::enter : PcKey::other,
                                           static_cast<char32_t>(c));
            window->calculator().pcKeyUp(0);
            test::waitUntil([] { return false; }, 60);
        }
    }
    // Stopped, told in the status line, and the views show the stop.
    bool stoppedWith(const QString& text) {
        return test::waitUntil([&] {
            return debug().stopped() && status().startsWith(text) && registerItem("PC") &&
                   registerItem("PC")->text() == hex4(pc());
        });
    }

    test::TempDir dir;
    Settings settings;
    std::map<std::string, unsigned> symbols;
    std::unique_ptr<MainWindow> window;
};

// The walk a program's author takes: a breakpoint on the routine that adds, the sum
// typed, the stop there, steps through it watching the registers, and Continue.
TEST_F(DebuggerWindowTest, BreakpointOnTheAddingRoutineThenStepsAndContinue) {
    DebuggerWindow* debugger = open();
    ASSERT_NE(debugger, nullptr);
    EXPECT_TRUE(debugger->isVisible());
    EXPECT_EQ(status(), QStringLiteral("Running"));
    EXPECT_FALSE(child<QAction>("stepInto")->isEnabled());

    const unsigned add32 = symbols.at("add32");
    child<QLineEdit>("breakpointEntry")->setText(QStringLiteral("add32"));
    child<QPushButton>("addBreakpoint")->click();
    auto* list = child<QTableWidget>("breakpoints");
    ASSERT_EQ(list->rowCount(), 1);
    EXPECT_EQ(list->item(0, 2)->text(), hex4(add32));
    EXPECT_EQ(list->item(0, 3)->text(), QStringLiteral("add32"));

    type("12+30\n");
    ASSERT_TRUE(stoppedWith(QStringLiteral("Breakpoint at ") + hex4(add32) + " (add32)"))
        << status().toStdString();
    EXPECT_EQ(registerItem("PC")->text(), hex4(add32));
    EXPECT_FALSE(marked("PC")) << "the first stop shown has nothing to compare with";
    // The stack names the routine the return address points into.
    const uint16_t entrySp = debug().view().registers.sp;
    auto* stack = child<QTableWidget>("stack");
    EXPECT_EQ(stack->item(0, 0)->text(), hex4(entrySp));
    EXPECT_TRUE(stack->item(0, 2)->text().startsWith(QStringLiteral("addTermToSum+")))
        << stack->item(0, 2)->text().toStdString();
    const uint16_t returnAddress = debug().stack(1).front().value;
    // The listing shows PC's line by its name, and the breakpoint in the margin.
    auto* code = child<QTableWidget>("code");
    int pcRow = -1;
    for (int row = 0; row < code->rowCount(); ++row)
        if (code->item(row, 1)->text() == hex4(add32)) pcRow = row;
    ASSERT_GE(pcRow, 0);
    EXPECT_EQ(code->item(pcRow, 3)->text(), QStringLiteral("add32"));
    EXPECT_EQ(code->item(pcRow, 0)->text(), QStringLiteral("\u25CF"));
    EXPECT_NE(code->item(pcRow, 0)->background(), code->item(pcRow + 1, 0)->background());

    // LD A,(numA+3): PC and A change, SP does not.
    trigger("stepInto");
    ASSERT_TRUE(stoppedWith(QStringLiteral("Stepped to")));
    EXPECT_EQ(pc(), add32 + 3);
    EXPECT_TRUE(marked("PC"));
    EXPECT_FALSE(marked("SP"));

    // On to the call of the routine that adds the bytes; Step Over comes back after it
    // with the stack as it was.
    for (int i = 0; i < 12; ++i) {
        const auto line = debug().code(pc(), 1).front();
        if (line.text.starts_with("CALL")) break;
        trigger("stepInto");
        ASSERT_TRUE(stoppedWith(QStringLiteral("Stepped to")));
    }
    const auto call = debug().code(pc(), 1).front();
    ASSERT_TRUE(call.text.starts_with("CALL")) << call.text;
    const uint16_t sp = debug().view().registers.sp;
    trigger("stepOver");
    ASSERT_TRUE(stoppedWith(QStringLiteral("Stepped to")));
    EXPECT_EQ(pc(), static_cast<uint16_t>(call.address + call.length));
    EXPECT_EQ(debug().view().registers.sp, sp);

    // Step Out leaves add32 for the instruction after its call.
    trigger("stepOut");
    ASSERT_TRUE(stoppedWith(QStringLiteral("Stepped to")));
    EXPECT_EQ(pc(), returnAddress);
    EXPECT_EQ(debug().view().registers.sp, static_cast<uint16_t>(entrySp + 2));

    // The sum is made term by term: 0+12 first, then 12+30, so the routine is reached
    // again with the two numbers in place.
    trigger("continue");
    ASSERT_TRUE(stoppedWith(QStringLiteral("Breakpoint at ") + hex4(add32)));
    const auto numA = static_cast<uint16_t>(symbols.at("numA"));
    const auto numB = static_cast<uint16_t>(symbols.at("numB"));
    EXPECT_EQ(debug().memory(numA, 4), (std::vector<uint8_t>{12, 0, 0, 0}));
    EXPECT_EQ(debug().memory(numB, 4), (std::vector<uint8_t>{30, 0, 0, 0}));
    // Run to Cursor on the line after the call that adds the bytes: the sum is there.
    int after = -1;
    for (int row = 0; row + 1 < code->rowCount(); ++row)
        if (code->item(row, 4)->text().startsWith(QStringLiteral("CALL addTo32"))) after = row + 1;
    ASSERT_GE(after, 0);
    code->setCurrentCell(after, 1);
    trigger("runToCursor");
    ASSERT_TRUE(stoppedWith(QStringLiteral("Reached ") + code->item(after, 1)->text()))
        << status().toStdString();
    EXPECT_EQ(debug().memory(numA, 4), (std::vector<uint8_t>{42, 0, 0, 0}));

    list->item(0, 0)->setCheckState(Qt::Unchecked);  // disabled, kept
    ASSERT_EQ(debug().breakpoints().size(), 1u);
    EXPECT_FALSE(debug().breakpoints().front().enabled);
    trigger("continue");
    EXPECT_TRUE(test::waitUntil([&] { return !debug().stopped(); }));
    Machine& m = window->calculator().machine();
    EXPECT_TRUE(test::waitUntil([&] {
        for (int row = 0; row < 8; ++row)
            if (heldTrimmedRow(m, row).ends_with("42")) return true;
        return false;
    }));
}

// Registers, flags and RAM change while stopped; ROM and a running calculator do not.
TEST_F(DebuggerWindowTest, EditsWhileStoppedReachTheCalculator) {
    open();
    trigger("break");
    ASSERT_TRUE(stoppedWith(QStringLiteral("Stopped at")));

    registerItem("HL")->setText(QStringLiteral("1234"));
    EXPECT_EQ(debug().view().registers.hl(), 0x1234);
    registerItem("BC")->setText(QStringLiteral("zz"));  // refused, shown as it is
    EXPECT_EQ(registerItem("BC")->text(), hex4(debug().view().registers.bc()));
    auto* carry = child<QCheckBox>("flagC");
    const bool was = (debug().view().registers.f & flagC) != 0;
    carry->click();
    EXPECT_EQ((debug().view().registers.f & flagC) != 0, !was);

    auto* address = child<QLineEdit>("memoryAddress");
    address->setText(QStringLiteral("C010"));
    emit address->returnPressed();
    auto* memory = child<QTableWidget>("memory");
    EXPECT_EQ(memory->item(0, 0)->text(), QStringLiteral("C010"));
    memory->item(0, 3)->setText(QStringLiteral("A5"));
    EXPECT_EQ(debug().memory(0xC012, 1).front(), 0xA5);

    // ROM cells cannot be edited; the LCD's rows say what they are.
    address->setText(QStringLiteral("0100"));
    emit address->returnPressed();
    EXPECT_FALSE(memory->item(0, 1)->flags() & Qt::ItemIsEditable);
    address->setText(QStringLiteral("FC00"));
    emit address->returnPressed();
    EXPECT_TRUE(memory->item(0, 0)->text().contains(QStringLiteral("LCD")));
    memory->item(0, 1)->setText(QStringLiteral("FF"));
    EXPECT_EQ(window->calculator().lcd()[0], 0xFF);

    trigger("continue");
    ASSERT_TRUE(test::waitUntil([&] { return !debug().stopped(); }));
    EXPECT_FALSE(child<QTableWidget>("registers")->isEnabled());
}

// A click in the listing's margin sets and clears a breakpoint, the listing goes to a
// name and scrolls; closing the window while stopped lets the calculator run on and
// keeps the breakpoints in their file.
TEST_F(DebuggerWindowTest, ListingAndClosingWhileStopped) {
    DebuggerWindow* debugger = open();
    trigger("break");
    ASSERT_TRUE(stoppedWith(QStringLiteral("Stopped at")));
    auto* code = child<QTableWidget>("code");
    emit code->cellClicked(3, 0);
    ASSERT_EQ(child<QTableWidget>("breakpoints")->rowCount(), 1);
    EXPECT_EQ(code->item(3, 0)->text(), QStringLiteral("\u25CF"));
    emit code->cellClicked(3, 0);
    EXPECT_EQ(child<QTableWidget>("breakpoints")->rowCount(), 0);
    emit code->cellClicked(2, 0);

    // The listing jumps to a name and scrolls by pages, and stops following PC then.
    auto* goTo = child<QLineEdit>("codeAddress");
    goTo->setText(QStringLiteral("add32"));
    emit goTo->returnPressed();
    EXPECT_EQ(debugger->codeTop(), symbols.at("add32"));
    EXPECT_EQ(code->item(0, 3)->text(), QStringLiteral("add32"));
    EXPECT_FALSE(child<QCheckBox>("followPc")->isChecked());
    QKeyEvent pageDown(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
    QApplication::sendEvent(code, &pageDown);
    EXPECT_GT(debugger->codeTop(), symbols.at("add32"));
    QKeyEvent pageUp(QEvent::KeyPress, Qt::Key_PageUp, Qt::NoModifier);
    QApplication::sendEvent(code, &pageUp);
    EXPECT_EQ(debugger->codeTop(), symbols.at("add32"));
    child<QCheckBox>("followPc")->setChecked(true);
    EXPECT_EQ(code->item(0, 1)->text(), hex4(debug().codeStartBefore(pc(), 6)));

    debugger->close();
    EXPECT_FALSE(debug().stopped());
    EXPECT_FALSE(debug().isOpen());
    ASSERT_TRUE(std::filesystem::exists(debug().breakpointFile()));
    EXPECT_NE(test::readText(debug().breakpointFile()).find("break "), std::string::npos);

    // Opened again, it has the breakpoint back from the file.
    open();
    EXPECT_EQ(child<QTableWidget>("breakpoints")->rowCount(), 1);
}

// Run to Cursor goes to the line chosen in the listing, although the listing has
// followed PC elsewhere meanwhile; the line is chosen again when it comes back, with
// PC's mark still to be seen beneath the selection, and the bytes that changed on the
// way are marked like changed registers.
TEST_F(DebuggerWindowTest, RunToCursorGoesToTheChosenLineWhereverTheListingMoves) {
    open();
    debug().addBreakpoint(static_cast<uint16_t>(symbols.at("add32")));
    type("12+30\n");
    ASSERT_TRUE(stoppedWith(QStringLiteral("Breakpoint at")));
    auto* memoryAddress = child<QLineEdit>("memoryAddress");
    memoryAddress->setText(QStringLiteral("numA"));
    emit memoryAddress->returnPressed();

    auto* code = child<QTableWidget>("code");
    auto rowOf = [&](const QString& address) {
        for (int row = 0; row < code->rowCount(); ++row)
            if (code->item(row, 1)->text() == address) return row;
        return -1;
    };
    int after = -1;
    for (int row = 0; row + 1 < code->rowCount(); ++row)
        if (code->item(row, 4)->text().startsWith(QStringLiteral("CALL addTo32"))) after = row + 1;
    ASSERT_GE(after, 0);
    const QString chosen = code->item(after, 1)->text();
    code->setCurrentCell(after, 1);
    // Into the routine that adds the bytes: the listing follows PC there.
    for (int i = 0; i < 14 && rowOf(chosen) >= 0; ++i) {
        trigger("stepInto");
        ASSERT_TRUE(stoppedWith(QStringLiteral("Stepped to")));
    }
    ASSERT_EQ(rowOf(chosen), -1) << "the listing never left the chosen line";
    EXPECT_TRUE(code->selectedItems().isEmpty());

    trigger("runToCursor");
    ASSERT_TRUE(stoppedWith(QStringLiteral("Reached ") + chosen)) << status().toStdString();
    const int row = rowOf(chosen);
    ASSERT_GE(row, 0);
    EXPECT_EQ(code->currentRow(), row);
    const QRect cell = code->visualItemRect(code->item(row, 2));
    const QColor shown =
        code->viewport()->grab().toImage().pixelColor(cell.right() - 3, cell.center().y());
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
        EXPECT_NE(shown.name(), code->palette().color(group, QPalette::Highlight).name())
            << "PC's mark is hidden";

    // The first term was added into numA (0 + 12): its first byte changed, the others not.
    auto* memory = child<QTableWidget>("memory");
    ASSERT_EQ(memory->item(0, 0)->text(), hex4(symbols.at("numA") & 0xFFF0));
    const int column = 1 + static_cast<int>(symbols.at("numA") & 0x0F);
    EXPECT_EQ(memory->item(0, column)->text(), QStringLiteral("0C"));
    EXPECT_TRUE(memory->item(0, column)->font().bold());
    EXPECT_EQ(memory->item(0, column)->toolTip(), QStringLiteral("Was 00"));
    EXPECT_FALSE(memory->item(0, column + 1)->font().bold());
}

// The debugger fits the screen's free area. Where it moved the calculator aside to
// make room, the calculator goes back when it closes, and the place saved for the
// calculator is where the person had it.
TEST_F(DebuggerWindowTest, FitsTheScreenAndGivesTheCalculatorItsPlaceBack) {
    const QRect area = window->screen()->availableGeometry();
    const QPoint home(area.left() + (area.width() - window->frameGeometry().width()) / 2,
                      area.top() + 20);
    window->move(home);
    ASSERT_TRUE(test::waitUntil([&] { return window->pos() == home; }));
    DebuggerWindow* debugger = open();
    EXPECT_TRUE(area.contains(debugger->frameGeometry()))
        << debugger->frameGeometry().width() << "x" << debugger->frameGeometry().height();
    debugger->close();

    // Narrow enough to go beside the calculator at the screen's edge, but on neither
    // side of it where it is.
    const int narrow = area.width() - window->frameGeometry().width() - 40;
    debugger->resize(narrow, area.height() / 2);
    ASSERT_EQ(debugger->width(), narrow) << "the debugger cannot be made that narrow";
    open();
    const int edge = area.right() + 1 - window->frameGeometry().width();
    ASSERT_TRUE(test::waitUntil([&] { return window->pos().x() == edge; }));
    EXPECT_LE(debugger->frameGeometry().right(), window->frameGeometry().left());
    debugger->close();
    EXPECT_TRUE(test::waitUntil([&] { return window->pos() == home; }));

    open();
    ASSERT_TRUE(test::waitUntil([&] { return window->pos().x() == edge; }));
    window->closeWithoutDialogs();
    EXPECT_EQ(QPoint(settings.window.x, settings.window.y), home);
}

// Pause opens the debugger from the calculator and presses no calculator key.
TEST_F(DebuggerWindowTest, PauseKeyOpensTheDebuggerWithoutACalculatorKey) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Pause, Qt::NoModifier);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Pause, Qt::NoModifier);
    QApplication::sendEvent(window->view(), &press);
    EXPECT_FALSE(window->calculator().pcKeyHeld());
    QApplication::sendEvent(window->view(), &release);
    ASSERT_NE(window->debuggerWindow(), nullptr);
    EXPECT_TRUE(window->debuggerWindow()->isVisible());
    EXPECT_TRUE(debug().isOpen());
}

}  // namespace
}  // namespace vantrel

#endif  // VANTREL_FIRMWARE_ROM
