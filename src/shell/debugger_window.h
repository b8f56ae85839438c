// The debugger window beside the calculator: Break, Continue and the steps, the
// registers, the code around PC, memory, the stack and the breakpoints. It only shows
// and forwards; the calculator's debug session does the work, and nothing here runs
// while the calculator does except Break and the breakpoint list.
#pragma once

#include <QMainWindow>
#include <QPoint>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "session/debug/debug_session.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QTableWidget;
class QTableWidgetItem;

namespace vantrel {

class Calculator;

class DebuggerWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit DebuggerWindow(Calculator& calculator, QWidget* parent = nullptr);
    ~DebuggerWindow() override;

    // Shows the window and opens the debug session: the breakpoints of this ROM from
    // their file, the ROM's own symbols the first time, the break on illegal
    // instructions.
    void openDebugger();
    // Everything shown again from the calculator.
    void refresh();

    // A byte of the LCD's memory was changed here: a stopped calculator does not
    // repaint it by itself.
    std::function<void()> onLcdChanged;

    // The first address the listing shows.
    uint16_t codeTop() const { return codeTop_; }

    // Where the calculator was before this window moved it aside to make room. It goes
    // back there when this window closes, unless it has been moved since.
    std::optional<QPoint> calculatorPlaceBeforeMove() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildActions();
    QWidget* buildCodePane();
    QWidget* buildRegisterPane();
    QWidget* buildMemoryPane();
    QWidget* buildBreakpointPane();

    void placeBesideCalculator();
    void giveCalculatorItsPlaceBack();
    void stoppedHere();
    void step(const std::function<void()>& go);
    void updateActions();
    void showRegisters();
    void showCode();
    void showRunToTarget();
    void showMemory();
    void showStack();
    void showBreakpoints();

    void registerEdited(QTableWidgetItem* item);
    void flagToggled(uint8_t flag, bool on);
    void memoryEdited(QTableWidgetItem* item);
    void breakpointEdited(QTableWidgetItem* item);
    void codeClicked(int row, int column);
    void goToCode();
    void goToMemory();
    void scrollCode(int lines);
    void addBreakpointFromEntry(bool onWrite);
    void removeSelectedBreakpoint();
    void toggleBreakpointAtSelection();
    void runToSelection();
    void loadSymbolsFile();
    std::optional<uint16_t> selectedCodeAddress() const;
    QString addressLabel(uint16_t address) const;

    Calculator& calculator_;
    DebugSession& debug_;
    bool symbolsTried_ = false;
    bool placed_ = false;
    bool shownAny_ = false;  // a stop has been shown since the window opened
    bool filling_ = false;   // items are being set by the window, not edited
    bool stepping_ = false;  // a step or Run to Cursor has not stopped yet

    MachineView shown_{};
    MachineView before_{};  // at the stop before, for marking what changed
    // RAM (0x8000-0xFFFF) as shown, and at the stop before; empty: nothing to compare.
    std::vector<uint8_t> ramShown_;
    std::vector<uint8_t> ramBefore_;
    // The line chosen in the listing, which stays chosen while the listing moves.
    std::optional<uint16_t> selected_;
    std::optional<QPoint> calculatorHome_;
    QPoint calculatorMovedTo_;
    uint16_t codeTop_ = 0;
    uint16_t memoryTop_ = 0x8000;
    std::vector<CodeLine> lines_;
    std::vector<AddressRange> listedWrites_;

    QAction* breakAction_ = nullptr;
    QAction* continueAction_ = nullptr;
    QAction* stepIntoAction_ = nullptr;
    QAction* stepOverAction_ = nullptr;
    QAction* stepOutAction_ = nullptr;
    QAction* runToAction_ = nullptr;
    QAction* illegalAction_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* hardware_ = nullptr;
    QTableWidget* registers_ = nullptr;
    std::vector<QCheckBox*> flags_;
    QTableWidget* code_ = nullptr;
    QLineEdit* codeAddress_ = nullptr;
    QCheckBox* followPc_ = nullptr;
    QTableWidget* memory_ = nullptr;
    QLineEdit* memoryAddress_ = nullptr;
    QComboBox* memoryFollow_ = nullptr;
    QTableWidget* stack_ = nullptr;
    QTableWidget* breakpoints_ = nullptr;
    QLineEdit* breakpointEntry_ = nullptr;
    QTimer poll_;
};

}  // namespace vantrel
