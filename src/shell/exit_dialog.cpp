#include "shell/exit_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "shell/icons.h"

namespace vantrel {

QWidget* titleBlock(QWidget* parent, const QStringList& lines) {
    auto* block = new QWidget(parent);
    auto* row = new QHBoxLayout(block);
    row->setContentsMargins(0, 0, 0, 0);
    auto* icon = new QLabel(block);
    icon->setPixmap(appIcon().pixmap(QSize(32, 32)));
    icon->setAlignment(Qt::AlignTop);
    row->addWidget(icon);
    auto* texts = new QVBoxLayout;
    for (int i = 0; i < lines.size(); ++i) {
        auto* l = new QLabel(lines[i], block);
        l->setWordWrap(i > 0);
        if (i == 0) {
            QFont bold = l->font();
            bold.setBold(true);
            l->setFont(bold);
        }
        if (lines[i].contains(QLatin1String("href"))) l->setOpenExternalLinks(true);
        texts->addWidget(l);
    }
    row->addLayout(texts, 1);
    return block;
}

ExitDialog::ExitDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Vantrel"));
    setWindowIcon(appIcon());
    auto* layout = new QVBoxLayout(this);
    auto* about = new QGroupBox(QStringLiteral("About"), this);
    auto* aboutLayout = new QVBoxLayout(about);
    aboutLayout->addWidget(titleBlock(about, {titleText(), creditsLine}));
    layout->addWidget(about);
    auto* question = new QLabel(QStringLiteral("Save calculator state?"), this);
    question->setObjectName(QStringLiteral("question"));
    layout->addWidget(question);
    dontAskAgain_ = new QCheckBox(QStringLiteral("&Don't ask again"), this);
    dontAskAgain_->setObjectName(QStringLiteral("dontAskAgain"));
    dontAskAgain_->setToolTip(
        QStringLiteral("Closing then always does what you answer now. \"Save state on "
                       "closing\" in Preferences (F8) changes it back."));
    layout->addWidget(dontAskAgain_);

    auto* buttons = new QHBoxLayout;
    const struct {
        const char* text;
        ExitAnswer answer;
    } choices[] = {
        {"&Yes", ExitAnswer::yes}, {"&No", ExitAnswer::no}, {"&Cancel", ExitAnswer::cancel}};
    for (const auto& choice : choices) {
        const int id = static_cast<int>(choice.answer);
        auto* button = new QPushButton(QString::fromLatin1(choice.text), this);
        button->setObjectName(QStringLiteral("control%1").arg(id));
        button->setDefault(choice.answer == ExitAnswer::yes);
        connect(button, &QPushButton::clicked, this, [this, id] { done(id); });
        buttons->addWidget(button);
    }
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setMaximumWidth(360);
}

ExitChoice ExitDialog::ask(QWidget* parent) {
    ExitDialog dialog(parent);
    const int answer = dialog.exec();
    ExitChoice choice;
    if (answer == static_cast<int>(ExitAnswer::yes))
        choice.answer = ExitAnswer::yes;
    else if (answer == static_cast<int>(ExitAnswer::no))
        choice.answer = ExitAnswer::no;
    choice.dontAskAgain = choice.answer != ExitAnswer::cancel && dialog.dontAskAgain_->isChecked();
    return choice;
}

}  // namespace vantrel
