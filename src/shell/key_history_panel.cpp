#include "shell/key_history_panel.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "session/calculator/calculator.h"

namespace vantrel {

KeyHistoryPanel::KeyHistoryPanel(Calculator& calculator, QWidget* parent)
    : QDialog(parent), calculator_(calculator) {
    setWindowTitle(QStringLiteral("Key History"));
    setObjectName(QStringLiteral("keyHistory"));
    auto* layout = new QVBoxLayout(this);
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("keyList"));
    list_->setSelectionMode(QAbstractItemView::NoSelection);
    QFont big = list_->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);  // read from the back of a classroom
    list_->setFont(big);
    layout->addWidget(list_);

    auto* buttons = new QHBoxLayout;
    auto* copy = new QPushButton(QStringLiteral("&Copy"), this);
    copy->setObjectName(QStringLiteral("copyKeys"));
    copy->setToolTip(QStringLiteral("The keys as text, oldest first"));
    auto* clear = new QPushButton(QStringLiteral("C&lear"), this);
    clear->setObjectName(QStringLiteral("clearKeys"));
    buttons->addWidget(copy);
    buttons->addWidget(clear);
    buttons->addStretch();
    layout->addLayout(buttons);
    connect(copy, &QPushButton::clicked, this, [this] {
        QGuiApplication::clipboard()->setText(
            QString::fromStdString(calculator_.keyHistory().text()));
    });
    connect(clear, &QPushButton::clicked, this, [this] {
        calculator_.clearKeyHistory();
        refresh();
    });
    resize(200, 360);
    refresh();
}

void KeyHistoryPanel::refresh() {
    const KeyHistory& history = calculator_.keyHistory();
    if (history.changes() == shownChanges_) return;
    shownChanges_ = history.changes();
    list_->clear();
    for (const std::string& key : history.keys()) list_->addItem(QString::fromStdString(key));
    list_->scrollToBottom();
}

}  // namespace vantrel
