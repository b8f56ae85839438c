#include "shell/keyboard_help.h"

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QScreen>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include "session/calculator/calculator.h"
#include "session/keys/key_help.h"
#include "session/keys/key_table.h"

namespace vantrel {

namespace {

enum Column { keyColumn, pcKeyColumn, alphaColumn, nowColumn, columnCount };

// Often enough that the column follows [2nd] and [ALPHA] as they are typed.
constexpr int refreshMs = 200;

QString shiftText(ShiftState shifts) {
    if (shifts.second && shifts.alpha) return QStringLiteral("[2nd] and [ALPHA]");
    if (shifts.second) return QStringLiteral("[2nd]");
    if (shifts.alpha) return QStringLiteral("[ALPHA]");
    return QStringLiteral("none");
}

void setCell(QTableWidget* table, int row, int column, const QString& text) {
    table->setItem(row, column, new QTableWidgetItem(text));
}

}  // namespace

QTableWidget* makeReadingTable(QWidget* parent, const QStringList& headers, const char* name) {
    auto* table = new QTableWidget(0, static_cast<int>(headers.size()), parent);
    table->setObjectName(QString::fromLatin1(name));
    table->setHorizontalHeaderLabels(headers);
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    table->setFocusPolicy(Qt::NoFocus);
    table->setWordWrap(false);
    table->horizontalHeader()->setStretchLastSection(true);
    // Rows as tight as the text: the table is read down, many lines at a glance.
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    return table;
}

KeyboardHelp::KeyboardHelp(Calculator& calculator, const std::vector<CommandKey>& commands,
                           QWidget* parent)
    : QDialog(parent), calculator_(calculator) {
    setWindowTitle(QStringLiteral("Keyboard"));
    setObjectName(QStringLiteral("keyboardHelp"));
    auto* layout = new QVBoxLayout(this);

    auto* intro = new QLabel(
        QStringLiteral("Type on the PC keyboard, or click the keys of the picture. Letters and "
                       "digits go to the key that types them, following the calculator's own "
                       "[2nd] and [ALPHA]. Arrows and [DEL] repeat while held. Tools > "
                       "Preferences > Keyboard changes the other PC keys."),
        this);
    intro->setWordWrap(true);
    layout->addWidget(intro);
    shiftLine_ = new QLabel(this);
    shiftLine_->setObjectName(QStringLiteral("shiftState"));
    layout->addWidget(shiftLine_);

    keys_ = makeReadingTable(this,
                             {QStringLiteral("Calculator key"), QStringLiteral("PC key"),
                              QStringLiteral("While [ALPHA] is on"), QStringLiteral("Means now")},
                             "keyTable");
    const std::vector<KeyHelpRow> rows = keyHelpRows(false, calculator_.keyMap());
    keys_->setRowCount(static_cast<int>(rows.size()));
    for (const KeyHelpRow& row : rows) {
        setCell(keys_, row.index, keyColumn, QString::fromStdString(row.key));
        setCell(keys_, row.index, pcKeyColumn, QString::fromStdString(row.pcKeys));
        setCell(keys_, row.index, alphaColumn, QString::fromStdString(row.alphaPcKeys));
        setCell(keys_, row.index, nowColumn, QString());
    }
    keys_->resizeColumnsToContents();
    layout->addWidget(keys_, 1);

    auto* commandTable = makeReadingTable(
        this, {QStringLiteral("PC key"), QStringLiteral("Window command")}, "commandTable");
    commandTable->setRowCount(static_cast<int>(commands.size()));
    for (std::size_t i = 0; i < commands.size(); ++i) {
        setCell(commandTable, static_cast<int>(i), 0, commands[i].first);
        setCell(commandTable, static_cast<int>(i), 1, commands[i].second);
    }
    commandTable->resizeColumnsToContents();
    commandTable->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    int commandHeight = commandTable->horizontalHeader()->sizeHint().height() + 2;
    for (int row = 0; row < commandTable->rowCount(); ++row)
        commandHeight += commandTable->rowHeight(row);
    commandTable->setFixedHeight(commandHeight);
    layout->addWidget(commandTable);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    layout->addWidget(buttons);

    // The scroll bar, the frame and a little air.
    int width = keys_->verticalScrollBar()->sizeHint().width() + 24;
    for (int column = 0; column < columnCount; ++column) width += keys_->columnWidth(column);
    const QMargins margins = layout->contentsMargins();
    int height = 720;
    if (const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen())
        height = qMin(height, screen->availableGeometry().height() * 9 / 10);
    resize(qMax(width + margins.left() + margins.right(), 480), height);

    timer_.setInterval(refreshMs);
    connect(&timer_, &QTimer::timeout, this, &KeyboardHelp::refresh);
    refresh();
}

void KeyboardHelp::refresh() {
    const ShiftState shifts = calculator_.shiftState();
    if (filled_ && shifts == shown_) return;
    shown_ = shifts;
    filled_ = true;
    shiftLine_->setText(QStringLiteral("The calculator's shift now: %1").arg(shiftText(shifts)));
    for (int index = 0; index < keyCount; ++index)
        keys_->item(index, nowColumn)->setText(QString::fromStdString(keyMeaning(index, shifts)));
    // The column that applies now stands out.
    QFont bold = keys_->horizontalHeader()->font();
    bold.setBold(true);
    for (int column : {pcKeyColumn, alphaColumn}) {
        const bool applies = (column == alphaColumn) == shifts.alpha;
        QTableWidgetItem* header = keys_->horizontalHeaderItem(column);
        header->setFont(applies ? bold : keys_->horizontalHeader()->font());
    }
}

void KeyboardHelp::showEvent(QShowEvent* event) {
    refresh();
    timer_.start();
    QDialog::showEvent(event);
}

void KeyboardHelp::hideEvent(QHideEvent* event) {
    timer_.stop();
    QDialog::hideEvent(event);
}

}  // namespace vantrel
