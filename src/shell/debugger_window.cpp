#include "shell/debugger_window.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHideEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <array>
#include <functional>

#include "session/calculator/calculator.h"
#include "session/calculator/messages.h"
#include "text/digits.h"

namespace vantrel {

namespace {

QString changedText(bool changed, const QString& text);
QString hardwareModelText(const MachineView& v, const MachineView& b);

constexpr int codeRows = 24;
// Lines of the listing kept above PC when it follows PC.
constexpr int codeContext = 6;
constexpr int memoryRows = 16;
constexpr int stackRows = 16;
constexpr int wheelLines = 3;
// RAM, the memory that steps can change.
constexpr uint16_t ramStart = 0x8000;
constexpr std::size_t ramBytes = 0x8000;

const QColor changedColour(200, 0, 0);
const QColor pcColour(255, 236, 150);
const QColor lcdColour(214, 232, 255);
const QColor trapColour(170, 0, 0);

// The registers as the table lists them; digits: how many hex digits the value has.
struct RegisterRow {
    const char* name;
    int digits;
    unsigned max;
    uint16_t (*get)(const CpuRegisters&);
    void (*set)(CpuRegisters&, uint16_t);
};

uint8_t low(uint16_t v) { return static_cast<uint8_t>(v); }

const std::array<RegisterRow, 15> registerRows{{
    {"AF", 4, 0xFFFF, [](const CpuRegisters& r) { return r.af(); },
     [](CpuRegisters& r, uint16_t v) { r.setAF(v); }},
    {"BC", 4, 0xFFFF, [](const CpuRegisters& r) { return r.bc(); },
     [](CpuRegisters& r, uint16_t v) { r.setBC(v); }},
    {"DE", 4, 0xFFFF, [](const CpuRegisters& r) { return r.de(); },
     [](CpuRegisters& r, uint16_t v) { r.setDE(v); }},
    {"HL", 4, 0xFFFF, [](const CpuRegisters& r) { return r.hl(); },
     [](CpuRegisters& r, uint16_t v) { r.setHL(v); }},
    {"IX", 4, 0xFFFF, [](const CpuRegisters& r) { return r.ix; },
     [](CpuRegisters& r, uint16_t v) { r.ix = v; }},
    {"IY", 4, 0xFFFF, [](const CpuRegisters& r) { return r.iy; },
     [](CpuRegisters& r, uint16_t v) { r.iy = v; }},
    {"SP", 4, 0xFFFF, [](const CpuRegisters& r) { return r.sp; },
     [](CpuRegisters& r, uint16_t v) { r.sp = v; }},
    {"PC", 4, 0xFFFF, [](const CpuRegisters& r) { return r.pc; },
     [](CpuRegisters& r, uint16_t v) { r.pc = v; }},
    {"AF'", 4, 0xFFFF, [](const CpuRegisters& r) { return r.afAlt; },
     [](CpuRegisters& r, uint16_t v) { r.afAlt = v; }},
    {"BC'", 4, 0xFFFF, [](const CpuRegisters& r) { return r.bcAlt; },
     [](CpuRegisters& r, uint16_t v) { r.bcAlt = v; }},
    {"DE'", 4, 0xFFFF, [](const CpuRegisters& r) { return r.deAlt; },
     [](CpuRegisters& r, uint16_t v) { r.deAlt = v; }},
    {"HL'", 4, 0xFFFF, [](const CpuRegisters& r) { return r.hlAlt; },
     [](CpuRegisters& r, uint16_t v) { r.hlAlt = v; }},
    {"I", 2, 0xFF, [](const CpuRegisters& r) { return static_cast<uint16_t>(r.i); },
     [](CpuRegisters& r, uint16_t v) { r.i = low(v); }},
    {"IM", 1, 2, [](const CpuRegisters& r) { return static_cast<uint16_t>(r.interruptMode()); },
     [](CpuRegisters& r, uint16_t v) { r.setInterruptMode(v); }},
    {"IFF", 1, 1, [](const CpuRegisters& r) -> uint16_t { return r.interruptsEnabled() ? 1 : 0; },
     [](CpuRegisters& r, uint16_t v) {
         r.intFlags = low(v ? r.intFlags | intEnableBit : r.intFlags & ~intEnableBit);
     }},
}};

struct FlagBox {
    const char* name;
    uint8_t bit;
};
constexpr std::array<FlagBox, 6> flagBoxes{
    {{"S", flagS}, {"Z", flagZ}, {"H", flagH}, {"P/V", flagPV}, {"N", flagN}, {"C", flagC}}};

// Keeps a row's own background (PC's line) when the row is also the selected one, and
// shows the selection as a band above and below it instead.
class ListingDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const QBrush own = index.data(Qt::BackgroundRole).value<QBrush>();
        if (!(option.state & QStyle::State_Selected) || own.style() == Qt::NoBrush) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem shown(option);
        shown.state &= ~QStyle::State_Selected;
        QStyledItemDelegate::paint(painter, shown, index);
        const QColor band = option.palette.color(QPalette::Highlight);
        const QRect r = option.rect;
        painter->fillRect(QRect(r.left(), r.top(), r.width(), 2), band);
        painter->fillRect(QRect(r.left(), r.bottom() - 1, r.width(), 2), band);
    }
};

// Register a memory view can follow; none: an address of its own.
const std::array<const char*, 8> followNames{"Address", "PC", "SP", "HL", "DE", "BC", "IX", "IY"};

uint16_t followedValue(const CpuRegisters& r, int index) {
    switch (index) {
        case 1:
            return r.pc;
        case 2:
            return r.sp;
        case 3:
            return r.hl();
        case 4:
            return r.de();
        case 5:
            return r.bc();
        case 6:
            return r.ix;
        default:
            return r.iy;
    }
}

QString hex(unsigned value, int digits) {
    return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper();
}

// A value typed into a cell: hexadecimal, with or without the usual marks.
std::optional<unsigned> parseHex(const QString& text, unsigned max) {
    return parseMarkedNumber(text.trimmed().toStdString(), 16, max);
}

QString actionTip(const QString& text, const QKeySequence& key) {
    return text + QStringLiteral(" (") + key.toString(QKeySequence::NativeText) +
           QStringLiteral(")");
}

QTableWidget* makeTable(int rows, const QStringList& headers, const QString& name) {
    auto* table = new QTableWidget(rows, static_cast<int>(headers.size()));
    table->setObjectName(name);
    table->setHorizontalHeaderLabels(headers);
    table->verticalHeader()->hide();
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 4);
    table->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setWordWrap(false);
    return table;
}

// A cell shown afresh. Its item is kept rather than replaced, since the window refills
// tables from inside the signal of an item being edited.
QTableWidgetItem* setCell(QTableWidget* table, int row, int column, const QString& text,
                          bool editable = false) {
    QTableWidgetItem* item = table->item(row, column);
    if (!item) {
        item = new QTableWidgetItem;
        table->setItem(row, column, item);
    }
    item->setText(text);
    item->setFlags(editable ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable
                            : Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    item->setForeground(QBrush());
    item->setBackground(QBrush());
    item->setFont(table->font());
    item->setToolTip(QString());
    return item;
}

// A value that changed at the last step: bold red, with what it was.
void markChanged(QTableWidgetItem* item, const QString& was) {
    item->setForeground(changedColour);
    QFont bold = item->font();
    bold.setBold(true);
    item->setFont(bold);
    item->setToolTip(QStringLiteral("Was ") + was);
}

}  // namespace

DebuggerWindow::DebuggerWindow(Calculator& calculator, QWidget* parent)
    : QMainWindow(parent, Qt::Window), calculator_(calculator), debug_(calculator.debugger()) {
    setObjectName(QStringLiteral("VantrelDebugger"));
    setWindowTitle(QStringLiteral("Debugger - ") + QString::fromStdString(programTitle()));
    buildActions();

    auto* left = new QSplitter(Qt::Vertical);
    left->addWidget(buildCodePane());
    left->addWidget(buildMemoryPane());
    auto* right = new QSplitter(Qt::Vertical);
    right->addWidget(buildRegisterPane());
    right->addWidget(buildBreakpointPane());
    auto* main = new QSplitter(Qt::Horizontal);
    main->addWidget(left);
    main->addWidget(right);
    main->setSizes({640, 510});
    right->setSizes({510, 270});
    setCentralWidget(main);

    status_ = new QLabel;
    status_->setObjectName(QStringLiteral("stopText"));
    statusBar()->addWidget(status_, 1);
    resize(1150, 800);

    debug_.setStopListener([this] { stoppedHere(); });
    // Only the status follows a running calculator; the views wait for the stop.
    poll_.setInterval(200);
    connect(&poll_, &QTimer::timeout, this, [this] { updateActions(); });
}

DebuggerWindow::~DebuggerWindow() { debug_.setStopListener(nullptr); }

void DebuggerWindow::buildActions() {
    QToolBar* bar = addToolBar(QStringLiteral("Run"));
    bar->setObjectName(QStringLiteral("runBar"));
    bar->setMovable(false);
    auto add = [&](const QString& text, const QString& name, const QList<QKeySequence>& keys,
                   auto slot) {
        auto* action = new QAction(text, this);
        action->setObjectName(name);
        action->setShortcuts(keys);
        if (!keys.isEmpty()) action->setToolTip(actionTip(text, keys.first()));
        connect(action, &QAction::triggered, this, slot);
        bar->addAction(action);
        return action;
    };
    breakAction_ = add(QStringLiteral("Break"), QStringLiteral("break"),
                       {QKeySequence(Qt::Key_Pause)}, [this] { debug_.breakIn(); });
    continueAction_ = add(QStringLiteral("Continue"), QStringLiteral("continue"),
                          {QKeySequence(Qt::Key_F5)}, [this] {
                              debug_.continueRun();
                              updateActions();
                          });
    stepIntoAction_ =
        add(QStringLiteral("Step Into"), QStringLiteral("stepInto"), {QKeySequence(Qt::Key_F11)},
            [this] { step([this] { debug_.stepInto(); }); });
    stepOverAction_ =
        add(QStringLiteral("Step Over"), QStringLiteral("stepOver"), {QKeySequence(Qt::Key_F10)},
            [this] { step([this] { debug_.stepOver(); }); });
    stepOutAction_ = add(QStringLiteral("Step Out"), QStringLiteral("stepOut"),
                         {QKeySequence(Qt::SHIFT | Qt::Key_F11)},
                         [this] { step([this] { debug_.stepOut(); }); });
    runToAction_ = add(QStringLiteral("Run to Cursor"), QStringLiteral("runToCursor"),
                       {QKeySequence(Qt::CTRL | Qt::Key_F10)}, [this] { runToSelection(); });
    bar->addSeparator();
    add(QStringLiteral("Toggle Breakpoint"), QStringLiteral("toggleBreakpoint"),
        {QKeySequence(Qt::Key_F9)}, [this] { toggleBreakpointAtSelection(); });
    illegalAction_ = add(QStringLiteral("Break on Illegal Instructions"),
                         QStringLiteral("breakOnIllegal"), {}, [this](bool on) {
                             debug_.setBreakOnIllegal(on);
                             showBreakpoints();
                         });
    illegalAction_->setCheckable(true);
    bar->addSeparator();
    add(QStringLiteral("Load Symbols..."), QStringLiteral("loadSymbols"), {},
        [this] { loadSymbolsFile(); });
}

QWidget* DebuggerWindow::buildCodePane() {
    auto* box = new QGroupBox(QStringLiteral("Code"));
    auto* layout = new QVBoxLayout(box);
    auto* row = new QHBoxLayout;
    codeAddress_ = new QLineEdit;
    codeAddress_->setObjectName(QStringLiteral("codeAddress"));
    codeAddress_->setPlaceholderText(QStringLiteral("Go to address or symbol"));
    connect(codeAddress_, &QLineEdit::returnPressed, this, [this] { goToCode(); });
    followPc_ = new QCheckBox(QStringLiteral("Follow PC"));
    followPc_->setObjectName(QStringLiteral("followPc"));
    followPc_->setChecked(true);
    connect(followPc_, &QCheckBox::toggled, this, [this](bool on) {
        if (on) showCode();
    });
    row->addWidget(codeAddress_, 1);
    row->addWidget(followPc_);
    layout->addLayout(row);

    code_ = makeTable(codeRows,
                      {QString(), QStringLiteral("Address"), QStringLiteral("Bytes"),
                       QStringLiteral("Label"), QStringLiteral("Instruction")},
                      QStringLiteral("code"));
    code_->setSelectionBehavior(QAbstractItemView::SelectRows);
    code_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    code_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    code_->horizontalHeader()->setStretchLastSection(true);
    code_->setColumnWidth(0, 22);
    code_->setColumnWidth(1, 70);
    code_->setColumnWidth(2, 100);
    code_->setColumnWidth(3, 120);
    code_->setToolTip(QStringLiteral("Click the left margin to set or clear a breakpoint"));
    code_->setItemDelegate(new ListingDelegate(code_));
    code_->viewport()->installEventFilter(this);
    code_->installEventFilter(this);
    connect(code_, &QTableWidget::cellClicked, this, [this](int r, int c) { codeClicked(r, c); });
    connect(code_, &QTableWidget::currentCellChanged, this, [this](int r) {
        if (filling_ || r < 0 || r >= static_cast<int>(lines_.size())) return;
        selected_ = lines_[static_cast<std::size_t>(r)].address;
        showRunToTarget();
    });
    layout->addWidget(code_);
    return box;
}

QWidget* DebuggerWindow::buildRegisterPane() {
    auto* box = new QGroupBox(QStringLiteral("Registers"));
    auto* layout = new QVBoxLayout(box);
    registers_ = makeTable(static_cast<int>(registerRows.size()),
                           {QStringLiteral("Register"), QStringLiteral("Value")},
                           QStringLiteral("registers"));
    registers_->horizontalHeader()->setStretchLastSection(true);
    registers_->setColumnWidth(0, 64);
    registers_->setEditTriggers(QAbstractItemView::DoubleClicked |
                                QAbstractItemView::EditKeyPressed |
                                QAbstractItemView::AnyKeyPressed);
    for (std::size_t i = 0; i < registerRows.size(); ++i)
        setCell(registers_, static_cast<int>(i), 0, QString::fromLatin1(registerRows[i].name));
    connect(registers_, &QTableWidget::itemChanged, this,
            [this](QTableWidgetItem* item) { registerEdited(item); });
    layout->addWidget(registers_, 1);

    // In two rows, so that the window stays narrow enough to go beside the calculator.
    auto* flagGrid = new QGridLayout;
    for (const FlagBox& flag : flagBoxes) {
        auto* check = new QCheckBox(QString::fromLatin1(flag.name));
        check->setObjectName(QStringLiteral("flag") + QString::fromLatin1(flag.name).remove('/'));
        const uint8_t bit = flag.bit;
        connect(check, &QCheckBox::clicked, this, [this, bit](bool on) { flagToggled(bit, on); });
        const auto at = static_cast<int>(flags_.size());
        flagGrid->addWidget(check, at / 3, at % 3);
        flags_.push_back(check);
    }
    layout->addLayout(flagGrid);
    hardware_ = new QLabel;
    hardware_->setObjectName(QStringLiteral("hardware"));
    hardware_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    hardware_->setWordWrap(true);
    layout->addWidget(hardware_);

    auto* stackBox = new QGroupBox(QStringLiteral("Stack"));
    auto* stackLayout = new QVBoxLayout(stackBox);
    stack_ = makeTable(
        stackRows,
        {QStringLiteral("Address"), QStringLiteral("Word"), QStringLiteral("Returns into")},
        QStringLiteral("stack"));
    stack_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    stack_->setColumnWidth(0, 48);
    stack_->setColumnWidth(1, 48);
    stack_->horizontalHeader()->setStretchLastSection(true);
    stackLayout->addWidget(stack_);

    auto* pane = new QWidget;
    auto* paneLayout = new QHBoxLayout(pane);
    paneLayout->setContentsMargins(0, 0, 0, 0);
    paneLayout->addWidget(box);
    paneLayout->addWidget(stackBox);
    return pane;
}

QWidget* DebuggerWindow::buildMemoryPane() {
    auto* box = new QGroupBox(QStringLiteral("Memory"));
    auto* layout = new QVBoxLayout(box);
    auto* row = new QHBoxLayout;
    memoryAddress_ = new QLineEdit;
    memoryAddress_->setObjectName(QStringLiteral("memoryAddress"));
    memoryAddress_->setPlaceholderText(QStringLiteral("Address or symbol"));
    connect(memoryAddress_, &QLineEdit::returnPressed, this, [this] { goToMemory(); });
    memoryFollow_ = new QComboBox;
    memoryFollow_->setObjectName(QStringLiteral("memoryFollow"));
    for (const char* name : followNames) memoryFollow_->addItem(QString::fromLatin1(name));
    connect(memoryFollow_, &QComboBox::currentIndexChanged, this, [this] { showMemory(); });
    row->addWidget(memoryAddress_, 1);
    row->addWidget(new QLabel(QStringLiteral("Follow")));
    row->addWidget(memoryFollow_);
    layout->addLayout(row);

    QStringList headers{QStringLiteral("Address")};
    for (int i = 0; i < 16; ++i) headers << hex(static_cast<unsigned>(i), 1);
    headers << QStringLiteral("Text");
    memory_ = makeTable(memoryRows, headers, QStringLiteral("memory"));
    memory_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memory_->setColumnWidth(0, 90);
    for (int i = 1; i <= 16; ++i) memory_->setColumnWidth(i, 26);
    memory_->horizontalHeader()->setStretchLastSection(true);
    memory_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                             QAbstractItemView::AnyKeyPressed);
    memory_->setToolTip(
        QStringLiteral("RAM can be changed while the calculator is stopped; "
                       "the LCD memory is tinted"));
    memory_->viewport()->installEventFilter(this);
    memory_->installEventFilter(this);
    connect(memory_, &QTableWidget::itemChanged, this,
            [this](QTableWidgetItem* item) { memoryEdited(item); });
    layout->addWidget(memory_);
    return box;
}

QWidget* DebuggerWindow::buildBreakpointPane() {
    auto* box = new QGroupBox(QStringLiteral("Breakpoints"));
    auto* layout = new QVBoxLayout(box);
    breakpoints_ = makeTable(0,
                             {QStringLiteral("On"), QStringLiteral("Kind"),
                              QStringLiteral("Address"), QStringLiteral("Name")},
                             QStringLiteral("breakpoints"));
    breakpoints_->setSelectionBehavior(QAbstractItemView::SelectRows);
    breakpoints_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    breakpoints_->horizontalHeader()->setStretchLastSection(true);
    connect(breakpoints_, &QTableWidget::itemChanged, this,
            [this](QTableWidgetItem* item) { breakpointEdited(item); });
    layout->addWidget(breakpoints_);

    auto* row = new QHBoxLayout;
    breakpointEntry_ = new QLineEdit;
    breakpointEntry_->setObjectName(QStringLiteral("breakpointEntry"));
    breakpointEntry_->setPlaceholderText(QStringLiteral("Address, symbol, or FIRST-LAST"));
    connect(breakpointEntry_, &QLineEdit::returnPressed, this,
            [this] { addBreakpointFromEntry(false); });
    auto button = [&](const QString& text, const QString& name, auto slot) {
        auto* b = new QPushButton(text);
        b->setObjectName(name);
        connect(b, &QPushButton::clicked, this, slot);
        return b;
    };
    row->addWidget(breakpointEntry_, 1);
    row->addWidget(button(QStringLiteral("Break At"), QStringLiteral("addBreakpoint"),
                          [this] { addBreakpointFromEntry(false); }));
    row->addWidget(button(QStringLiteral("Break on Write"), QStringLiteral("addWriteBreakpoint"),
                          [this] { addBreakpointFromEntry(true); }));
    row->addWidget(button(QStringLiteral("Remove"), QStringLiteral("removeBreakpoint"),
                          [this] { removeSelectedBreakpoint(); }));
    layout->addLayout(row);
    return box;
}

// --- opening and closing ------------------------------------------------------------------

void DebuggerWindow::openDebugger() {
    if (!symbolsTried_ && debug_.running()) {
        symbolsTried_ = true;
        // The names are a help: a file beside the ROM that cannot be read is passed over.
        if (const std::string file = debug_.symbolFileBesideRom(); !file.empty())
            (void)debug_.loadSymbols(file);
    }
    if (!debug_.isOpen()) {
        debug_.open(true);
        // While the window is open an illegal instruction stops here instead of the dialog.
        debug_.setBreakOnIllegal(true);
    }
    shownAny_ = debug_.stopped();
    if (shownAny_) {
        before_ = shown_ = debug_.view();
        ramBefore_ = ramShown_ = debug_.memory(ramStart, ramBytes);
    }
    // Placed again where it would now cover the calculator, which has gone back to its
    // own place since.
    const QWidget* calculatorWindow = parentWidget();
    if (!isVisible() && (!placed_ || (calculatorWindow && frameGeometry().intersects(
                                                              calculatorWindow->frameGeometry()))))
        placeBesideCalculator();
    show();
    raise();
    activateWindow();
    poll_.start();
    refresh();
}

void DebuggerWindow::placeBesideCalculator() {
    placed_ = true;
    QWidget* calculatorWindow = parentWidget();
    const QScreen* screen = calculatorWindow ? calculatorWindow->screen() : this->screen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    // This window gets a frame like the calculator's; with its frame it fits in the
    // screen's free area, status line included.
    const QSize frame = calculatorWindow
                            ? calculatorWindow->frameGeometry().size() - calculatorWindow->size()
                            : QSize();
    resize(std::min(width(), area.width() - frame.width()),
           std::min(height(), area.height() - frame.height()));
    const QSize outer = size() + frame;
    if (!calculatorWindow) {
        move(area.topLeft());
        return;
    }
    const QRect beside = calculatorWindow->frameGeometry();
    // To the right of the calculator where it fits, else to its left. Where neither
    // side has room but the screen holds both, the calculator moves to the screen's
    // right edge and the debugger goes beside it: the user types on the one while
    // watching the other. The calculator goes back when the debugger closes.
    constexpr int gap = 8;
    int x = beside.right() + 1 + gap;
    if (x + outer.width() > area.right() + 1) {
        x = beside.left() - gap - outer.width();
        const bool maximised = calculatorWindow->isMaximized() || calculatorWindow->isFullScreen();
        if (x < area.left() && !maximised && beside.width() + gap + outer.width() <= area.width()) {
            const int calculatorX = area.right() + 1 - beside.width();
            if (!calculatorHome_) calculatorHome_ = calculatorWindow->pos();
            calculatorWindow->move(calculatorX, beside.top());
            calculatorMovedTo_ = calculatorWindow->pos();
            x = calculatorX - gap - outer.width();
        }
    }
    x = std::clamp(x, area.left(), std::max(area.left(), area.right() + 1 - outer.width()));
    const int y = std::clamp(beside.top(), area.top(),
                             std::max(area.top(), area.bottom() + 1 - outer.height()));
    move(x, y);
}

std::optional<QPoint> DebuggerWindow::calculatorPlaceBeforeMove() const {
    const QWidget* calculatorWindow = parentWidget();
    if (!calculatorHome_ || !calculatorWindow || calculatorWindow->pos() != calculatorMovedTo_)
        return std::nullopt;
    return calculatorHome_;
}

void DebuggerWindow::giveCalculatorItsPlaceBack() {
    if (const auto home = calculatorPlaceBeforeMove(); home && parentWidget()->isVisible())
        parentWidget()->move(*home);
    calculatorHome_.reset();
}

void DebuggerWindow::closeEvent(QCloseEvent* event) {
    poll_.stop();
    // The calculator runs on; the breakpoints stay in their file for the next opening.
    debug_.close();
    event->accept();
}

void DebuggerWindow::hideEvent(QHideEvent* event) {
    QMainWindow::hideEvent(event);
    // Minimised is not closed.
    if (!event->spontaneous()) giveCalculatorItsPlaceBack();
}

// --- showing ------------------------------------------------------------------------------

void DebuggerWindow::stoppedHere() {
    if (!isVisible() || !debug_.stopped()) return;
    // What changed is marked against the stop before; the first stop shown marks nothing.
    before_ = shownAny_ ? shown_ : debug_.view();
    ramBefore_ = shownAny_ ? ramShown_ : debug_.memory(ramStart, ramBytes);
    shownAny_ = true;
    stepping_ = false;
    refresh();
    // The keys for the next step go here, not to the calculator that has stopped.
    raise();
    activateWindow();
}

void DebuggerWindow::refresh() {
    const bool stopped = debug_.stopped();
    if (stopped) {
        shown_ = debug_.view();
        ramShown_ = debug_.memory(ramStart, ramBytes);
    }
    updateActions();
    if (stopped) {
        showRegisters();
        showCode();
        showMemory();
        showStack();
    }
    showBreakpoints();
}

void DebuggerWindow::updateActions() {
    const bool running = debug_.running();
    const bool stopped = debug_.stopped();
    breakAction_->setEnabled(running && !stopped);
    for (QAction* action :
         {continueAction_, stepIntoAction_, stepOverAction_, stepOutAction_, runToAction_})
        action->setEnabled(stopped);
    illegalAction_->setChecked(debug_.breakOnIllegal());
    QString text = QString::fromStdString(debug_.stopText());
    if (running && !stopped && stepping_) text = QStringLiteral("Stepping...");
    if (const Result<>& file = debug_.breakpointFileState(); !file)
        text += (text.isEmpty() ? QString() : QStringLiteral("   ")) +
                QString::fromStdString(file.failure().reason);
    status_->setText(text);
    registers_->setEnabled(stopped);
    memory_->setEditTriggers(stopped ? QAbstractItemView::DoubleClicked |
                                           QAbstractItemView::EditKeyPressed |
                                           QAbstractItemView::AnyKeyPressed
                                     : QAbstractItemView::NoEditTriggers);
    for (QCheckBox* box : flags_) box->setEnabled(stopped);
}

void DebuggerWindow::showRegisters() {
    filling_ = true;
    const CpuRegisters& r = shown_.registers;
    const CpuRegisters& old = before_.registers;
    for (std::size_t i = 0; i < registerRows.size(); ++i) {
        const RegisterRow& row = registerRows[i];
        const uint16_t value = row.get(r);
        QTableWidgetItem* item =
            setCell(registers_, static_cast<int>(i), 1, hex(value, row.digits), true);
        if (value != row.get(old)) markChanged(item, hex(row.get(old), row.digits));
    }
    for (std::size_t i = 0; i < flagBoxes.size(); ++i) {
        const uint8_t bit = flagBoxes[i].bit;
        flags_[i]->setChecked((r.f & bit) != 0);
        const bool changed = ((r.f ^ old.f) & bit) != 0;
        flags_[i]->setStyleSheet(changed ? QStringLiteral("color: rgb(200,0,0); font-weight: bold")
                                         : QString());
    }
    const auto mark = changedText;
    const MachineView& v = shown_;
    const MachineView& b = before_;
    QStringList parts{
        mark(v.romBank != b.romBank, QStringLiteral("ROM page %1").arg(v.romBank & 7)),
        mark(v.port2 != b.port2, QStringLiteral("port 2 %1").arg(hex(v.port2, 2))),
        mark(v.port3 != b.port3, QStringLiteral("port 3 %1").arg(hex(v.port3, 2))),
        mark(v.port6 != b.port6, QStringLiteral("port 6 %1").arg(hex(v.port6, 2))),
        mark(v.keyGroupMask != b.keyGroupMask,
             QStringLiteral("key mask %1").arg(hex(v.keyGroupMask, 2))),
        mark(v.keyLatch != b.keyLatch, QStringLiteral("key latch %1").arg(hex(v.keyLatch, 2))),
        mark(v.on != b.on, v.on ? QStringLiteral("on") : QStringLiteral("off")),
        mark(v.asleep != b.asleep,
             v.asleep ? QStringLiteral("asleep in HALT") : QStringLiteral("awake")),
    };
    QString text = parts.mid(0, 4).join(QStringLiteral(" &nbsp; ")) + QStringLiteral("<br>") +
                   parts.mid(4, 2).join(QStringLiteral(" &nbsp; ")) + QStringLiteral("<br>") +
                   parts.mid(6).join(QStringLiteral(" &nbsp; "));
    if (v.hardware) text += QStringLiteral("<br>") + hardwareModelText(v, b);
    hardware_->setText(text);
    filling_ = false;
}

namespace {

// A value that changed since the last stop, in red.
QString changedText(bool changed, const QString& text) {
    return changed ? QStringLiteral("<b style='color:#c80000'>%1</b>").arg(text) : text;
}

// The complete Z80's state that the classic model does not have (the key latch stays 0
// there: its keys are on the matrix).
QString hardwareModelText(const MachineView& v, const MachineView& b) {
    const auto mark = changedText;
    return QStringList{
        mark(v.clock != b.clock, QStringLiteral("T %1").arg(v.clock)),
        mark(v.r != b.r, QStringLiteral("R %1").arg(v.r, 2, 16, QLatin1Char('0')).toUpper()),
        mark(v.iff1 != b.iff1 || v.iff2 != b.iff2,
             QStringLiteral("IFF1 %1 IFF2 %2").arg(int(v.iff1)).arg(int(v.iff2))),
    }
        .join(QStringLiteral(" &nbsp; "));
}

}  // namespace

QString DebuggerWindow::addressLabel(uint16_t address) const {
    if (address >= 0x4000 && address < 0x8000)
        return QStringLiteral("%1:%2").arg(shown_.romBank & 7).arg(hex(address, 4));
    return hex(address, 4);
}

void DebuggerWindow::showCode() {
    const uint16_t pc = shown_.registers.pc;
    if (followPc_->isChecked()) {
        // PC stays where it is in the listing while it is well inside it.
        // Only the rows the table has room for count as shown.
        const int rowHeight = std::max(1, code_->verticalHeader()->defaultSectionSize());
        const auto shown = static_cast<std::size_t>(
            std::clamp(code_->viewport()->height() / rowHeight, codeContext + 2, codeRows));
        bool inside = false;
        for (std::size_t i = 0; i + codeContext < shown && i < lines_.size(); ++i)
            inside = inside || lines_[i].address == pc;
        if (!inside) codeTop_ = debug_.codeStartBefore(pc, codeContext);
    }
    lines_ = debug_.code(codeTop_, codeRows);
    int selectedRow = -1;
    for (int row = 0; row < codeRows; ++row) {
        const CodeLine& line = lines_[static_cast<std::size_t>(row)];
        QString bytes;
        for (unsigned i = 0; i < line.length && i < line.bytes.size(); ++i)
            bytes += hex(line.bytes[i], 2) + QLatin1Char(' ');
        auto* mark = setCell(code_, row, 0,
                             line.breakpoint ? (line.breakpointEnabled ? QStringLiteral("\u25CF")
                                                                       : QStringLiteral("\u25CB"))
                                             : QString());
        mark->setForeground(QColor(200, 0, 0));
        mark->setTextAlignment(Qt::AlignCenter);
        const std::array<QTableWidgetItem*, 5> items{
            mark, setCell(code_, row, 1, addressLabel(line.address)),
            setCell(code_, row, 2, bytes.trimmed()),
            setCell(code_, row, 3, QString::fromStdString(line.label)),
            setCell(code_, row, 4, QString::fromStdString(line.text))};
        if (line.traps) items[4]->setForeground(trapColour);
        if (line.address == pc)
            for (QTableWidgetItem* item : items) item->setBackground(pcColour);
        if (selected_ && line.address == *selected_) selectedRow = row;
    }
    // The chosen line keeps its address, wherever the listing now shows it.
    filling_ = true;
    if (selectedRow >= 0) {
        code_->setCurrentCell(selectedRow, std::max(1, code_->currentColumn()));
    } else {
        code_->setCurrentIndex(QModelIndex());
        code_->clearSelection();
    }
    filling_ = false;
    showRunToTarget();
}

void DebuggerWindow::showRunToTarget() {
    QString tip = actionTip(runToAction_->text(), runToAction_->shortcut());
    if (selected_)
        tip += QStringLiteral(": to ") + QString::fromStdString(debug_.addressText(*selected_));
    runToAction_->setToolTip(tip);
}

void DebuggerWindow::showMemory() {
    if (!debug_.stopped()) return;
    if (const int follow = memoryFollow_->currentIndex(); follow > 0)
        memoryTop_ = static_cast<uint16_t>(followedValue(shown_.registers, follow) & 0xFFF0);
    const std::vector<uint8_t> bytes = debug_.memory(memoryTop_, memoryRows * 16);
    filling_ = true;
    for (int row = 0; row < memoryRows; ++row) {
        const auto address = static_cast<uint16_t>(memoryTop_ + row * 16);
        const bool lcd = lcdMemoryRange.contains(address);
        QString label = addressLabel(address);
        if (lcd) label += QStringLiteral(" LCD");
        setCell(memory_, row, 0, label);
        QString text;
        for (int i = 0; i < 16; ++i) {
            const uint8_t byte = bytes[static_cast<std::size_t>(row * 16 + i)];
            // Only RAM can be changed, as for the calculator itself.
            const auto at = static_cast<uint16_t>(address + i);
            const bool ram = at >= ramStart;
            QTableWidgetItem* item = setCell(memory_, row, 1 + i, hex(byte, 2), ram);
            if (lcd) item->setBackground(lcdColour);
            const auto offset = static_cast<std::size_t>(at - ramStart);
            if (ram && offset < ramBefore_.size() && ramBefore_[offset] != byte)
                markChanged(item, hex(ramBefore_[offset], 2));
            text += byte >= 0x20 && byte < 0x7F ? QChar(static_cast<char16_t>(byte))
                                                : QChar(QLatin1Char('.'));
        }
        QTableWidgetItem* textItem = setCell(memory_, row, 17, text);
        if (lcd) textItem->setBackground(lcdColour);
    }
    filling_ = false;
}

void DebuggerWindow::showStack() {
    const std::vector<StackEntry> entries = debug_.stack(stackRows);
    for (int row = 0; row < stackRows && row < static_cast<int>(entries.size()); ++row) {
        const StackEntry& e = entries[static_cast<std::size_t>(row)];
        setCell(stack_, row, 0, hex(e.address, 4));
        setCell(stack_, row, 1, hex(e.value, 4));
        setCell(stack_, row, 2, QString::fromStdString(e.name));
    }
}

void DebuggerWindow::showBreakpoints() {
    filling_ = true;
    const auto addresses = debug_.breakpoints();
    const auto writes = debug_.writeBreakpoints();
    breakpoints_->setRowCount(static_cast<int>(addresses.size() + writes.size()));
    listedWrites_.clear();
    int row = 0;
    auto fill = [&](bool enabled, const QString& kind, const QString& where,
                    const std::string& name) {
        QTableWidgetItem* on = setCell(breakpoints_, row, 0, QString());
        on->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        on->setCheckState(enabled ? Qt::Checked : Qt::Unchecked);
        setCell(breakpoints_, row, 1, kind);
        setCell(breakpoints_, row, 2, where);
        setCell(breakpoints_, row, 3, QString::fromStdString(name));
        ++row;
    };
    for (const auto& b : addresses)
        fill(b.enabled, QStringLiteral("at"), hex(b.address, 4), b.name);
    for (const auto& w : writes) {
        QString where = hex(w.range.first, 4);
        if (w.range.length > 1) where += QLatin1Char('-') + hex(w.range.last(), 4);
        fill(w.enabled, QStringLiteral("write"), where, w.name);
        listedWrites_.push_back(w.range);
    }
    filling_ = false;
}

// --- changing -----------------------------------------------------------------------------

void DebuggerWindow::registerEdited(QTableWidgetItem* item) {
    if (filling_ || item->column() != 1) return;
    const auto row = static_cast<std::size_t>(item->row());
    if (row >= registerRows.size()) return;
    const RegisterRow& reg = registerRows[row];
    CpuRegisters r = shown_.registers;
    if (const auto value = parseHex(item->text(), reg.max); value && debug_.stopped()) {
        reg.set(r, static_cast<uint16_t>(*value));
        debug_.setRegisters(r);
    }
    refresh();  // a refused value goes back to what the calculator has
}

void DebuggerWindow::flagToggled(uint8_t flag, bool on) {
    if (filling_) return;
    CpuRegisters r = shown_.registers;
    r.f = static_cast<uint8_t>(on ? r.f | flag : r.f & ~flag);
    debug_.setRegisters(r);
    refresh();
}

void DebuggerWindow::memoryEdited(QTableWidgetItem* item) {
    if (filling_ || item->column() < 1 || item->column() > 16) return;
    const auto address =
        static_cast<uint16_t>(memoryTop_ + item->row() * 16 + (item->column() - 1));
    if (const auto value = parseHex(item->text(), 0xFF);
        value && debug_.writeMemory(address, static_cast<uint8_t>(*value)) &&
        lcdMemoryRange.contains(address) && onLcdChanged)
        onLcdChanged();
    refresh();
}

void DebuggerWindow::breakpointEdited(QTableWidgetItem* item) {
    if (filling_ || item->column() != 0) return;
    const bool on = item->checkState() == Qt::Checked;
    const auto addresses = debug_.breakpoints();
    const auto row = static_cast<std::size_t>(item->row());
    if (row < addresses.size())
        debug_.setBreakpointEnabled(addresses[row].address, on);
    else if (row - addresses.size() < listedWrites_.size())
        debug_.setWriteBreakpointEnabled(listedWrites_[row - addresses.size()], on);
    refresh();
}

void DebuggerWindow::codeClicked(int row, int column) {
    if (column != 0 || row < 0 || row >= static_cast<int>(lines_.size())) return;
    debug_.toggleBreakpoint(lines_[static_cast<std::size_t>(row)].address);
    if (debug_.stopped()) showCode();
    showBreakpoints();
}

std::optional<uint16_t> DebuggerWindow::selectedCodeAddress() const { return selected_; }

void DebuggerWindow::toggleBreakpointAtSelection() {
    if (const auto address = selectedCodeAddress()) {
        debug_.toggleBreakpoint(*address);
        refresh();
    }
}

void DebuggerWindow::runToSelection() {
    if (const auto address = selectedCodeAddress())
        step([this, address] { debug_.runTo(*address); });
}

void DebuggerWindow::step(const std::function<void()>& go) {
    if (!debug_.stopped()) return;
    stepping_ = true;
    go();
    updateActions();
}

void DebuggerWindow::goToCode() {
    const auto address = debug_.parseAddress(codeAddress_->text().toStdString());
    if (!address) {
        statusBar()->showMessage(QStringLiteral("No such address or symbol"), 3000);
        return;
    }
    followPc_->setChecked(false);
    codeTop_ = *address;
    if (debug_.stopped()) showCode();
}

void DebuggerWindow::goToMemory() {
    const auto address = debug_.parseAddress(memoryAddress_->text().toStdString());
    if (!address) {
        statusBar()->showMessage(QStringLiteral("No such address or symbol"), 3000);
        return;
    }
    memoryFollow_->setCurrentIndex(0);
    memoryTop_ = static_cast<uint16_t>(*address & 0xFFF0);
    showMemory();
}

void DebuggerWindow::scrollCode(int lines) {
    if (!debug_.stopped() || lines_.empty()) return;
    followPc_->setChecked(false);
    if (lines < 0)
        codeTop_ = debug_.codeStartBefore(codeTop_, -lines);
    else
        codeTop_ = lines_[static_cast<std::size_t>(std::min(lines, codeRows - 1))].address;
    showCode();
}

void DebuggerWindow::addBreakpointFromEntry(bool onWrite) {
    const QString text = breakpointEntry_->text().trimmed();
    const qsizetype dash = text.indexOf(QLatin1Char('-'), 1);
    const auto first = debug_.parseAddress((dash > 0 ? text.left(dash) : text).toStdString());
    const auto last = dash > 0 ? debug_.parseAddress(text.mid(dash + 1).toStdString()) : first;
    if (!first || !last || (dash > 0 && !onWrite) || *last < *first) {
        statusBar()->showMessage(onWrite ? QStringLiteral("Give an address, a symbol or FIRST-LAST")
                                         : QStringLiteral("Give an address or a symbol"),
                                 3000);
        return;
    }
    if (onWrite)
        debug_.addWriteBreakpoint(AddressRange{*first, static_cast<uint32_t>(*last - *first) + 1});
    else
        debug_.addBreakpoint(*first);
    breakpointEntry_->clear();
    refresh();
}

void DebuggerWindow::removeSelectedBreakpoint() {
    const int selected = breakpoints_->currentRow();
    if (selected < 0) return;
    const auto row = static_cast<std::size_t>(selected);
    const auto addresses = debug_.breakpoints();
    if (row < addresses.size())
        debug_.removeBreakpoint(addresses[row].address);
    else if (row - addresses.size() < listedWrites_.size())
        debug_.removeWriteBreakpoint(listedWrites_[row - addresses.size()]);
    refresh();
}

void DebuggerWindow::loadSymbolsFile() {
    const QString path = QFileDialog::getOpenFileName(
        this, QStringLiteral("Load Symbols"), QString(),
        QStringLiteral("Symbol files (*.sym *.lab *.equ *.inc *.txt);;All files (*)"));
    if (path.isEmpty()) return;
    const auto loaded = debug_.loadSymbols(path.toStdString());
    if (!loaded) {
        QMessageBox::warning(this, windowTitle(),
                             QStringLiteral("The symbol file \"%1\" cannot be read.\n%2")
                                 .arg(path, QString::fromStdString(loaded.failure().reason)));
        return;
    }
    if (!loaded->empty())
        QMessageBox::information(this, windowTitle(),
                                 QStringLiteral("The symbol file \"%1\":\n%2")
                                     .arg(path, QString::fromStdString(*loaded)));
    statusBar()->showMessage(QStringLiteral("%1 symbols").arg(debug_.symbolCount()), 3000);
    refresh();
}

bool DebuggerWindow::eventFilter(QObject* watched, QEvent* event) {
    // Events come while the panes are still being made.
    if (!code_ || !memory_) return QMainWindow::eventFilter(watched, event);
    const bool code = watched == code_ || watched == code_->viewport();
    const bool memory = watched == memory_ || watched == memory_->viewport();
    if (!code && !memory) return QMainWindow::eventFilter(watched, event);
    int lines = 0;
    if (event->type() == QEvent::Wheel) {
        const int delta = static_cast<QWheelEvent*>(event)->angleDelta().y();
        lines = delta > 0 ? -wheelLines : delta < 0 ? wheelLines : 0;
    } else if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_PageUp) lines = -(code ? codeRows : memoryRows) / 2;
        if (key == Qt::Key_PageDown) lines = (code ? codeRows : memoryRows) / 2;
    }
    if (lines == 0) return QMainWindow::eventFilter(watched, event);
    if (code) {
        scrollCode(lines);
    } else {
        memoryFollow_->setCurrentIndex(0);
        memoryTop_ = static_cast<uint16_t>(memoryTop_ + lines * 16);
        showMemory();
    }
    return true;
}

}  // namespace vantrel
