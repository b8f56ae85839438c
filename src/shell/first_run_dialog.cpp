#include "shell/first_run_dialog.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "session/calculator/messages.h"
#include "shell/exit_dialog.h"
#include "shell/icons.h"

namespace vantrel {

namespace {

constexpr int iconSize = 48;

QLabel* wrappedLabel(QWidget* parent, const char* name) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

}  // namespace

FirstRunDialog::FirstRunDialog(QWidget* parent, const std::string& romPath,
                               const RomLoadResult& result, bool demoAvailable, TryRom tryRom,
                               TryDemo tryDemo)
    : QDialog(parent), tryRom_(std::move(tryRom)), tryDemo_(std::move(tryDemo)) {
    setWindowTitle(titleText());
    setWindowIcon(appIcon());
    setObjectName(QStringLiteral("firstRunDialog"));

    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    auto* icon = new QLabel(this);
    icon->setPixmap(style()
                        ->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, this)
                        .pixmap(QSize(iconSize, iconSize)));
    icon->setAlignment(Qt::AlignTop);
    top->addWidget(icon);

    auto* texts = new QVBoxLayout;
    headline_ = wrappedLabel(this, "headline");
    QFont bold = headline_->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    headline_->setFont(bold);
    texts->addWidget(headline_);
    path_ = wrappedLabel(this, "romPath");
    texts->addWidget(path_);
    reason_ = wrappedLabel(this, "reason");
    texts->addWidget(reason_);
    auto* help = wrappedLabel(this, "help");
    help->setText(QStringLiteral(
        "Vantrel runs the calculator's own software: a dump of a TI-85's ROM, version 10.0, "
        "read from your own calculator. Choose that file, or try Vantrel on its demo "
        "firmware, which keeps its own settings and state."));
    texts->addSpacing(6);
    texts->addWidget(help);
    top->addLayout(texts, 1);
    layout->addLayout(top);
    demoNextTime_ = new QCheckBox(QStringLiteral("Start the demo &next time too"), this);
    demoNextTime_->setObjectName(QStringLiteral("demoNextTime"));
    demoNextTime_->setToolTip(
        QStringLiteral("Vantrel starts on the demo until a ROM image is chosen (File > Open "
                       "ROM...), or one is found where Vantrel looks for it."));
    demoNextTime_->setEnabled(demoAvailable);
    layout->addWidget(demoNextTime_, 0, Qt::AlignRight);

    auto* buttons = new QHBoxLayout;
    auto* quit = new QPushButton(QStringLiteral("&Quit"), this);
    quit->setObjectName(QStringLiteral("quit"));
    auto* demo = new QPushButton(QStringLiteral("Start the &demo"), this);
    demo->setObjectName(QStringLiteral("startDemo"));
    demo->setEnabled(demoAvailable);
    if (!demoAvailable) demo->setToolTip(QStringLiteral("The demo firmware is not installed."));
    auto* choose = new QPushButton(QStringLiteral("&Choose ROM..."), this);
    choose->setObjectName(QStringLiteral("chooseRom"));
    choose->setDefault(true);
    buttons->addWidget(quit);
    buttons->addStretch();
    buttons->addWidget(demo);
    buttons->addWidget(choose);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    setMinimumWidth(440);
    setMaximumWidth(600);

    connect(quit, &QPushButton::clicked, this, &FirstRunDialog::reject);
    connect(demo, &QPushButton::clicked, this, &FirstRunDialog::startDemo);
    connect(choose, &QPushButton::clicked, this, &FirstRunDialog::chooseRom);
    showProblem(romPath, result);
    choose->setFocus();
}

void FirstRunDialog::showProblem(const std::string& romPath, const RomLoadResult& result) {
    romPath_ = romPath;
    headline_->setText(QString::fromUtf8(romMessage(result)));
    path_->setText(QStringLiteral("ROM image: %1").arg(QString::fromStdString(romPath)));
    reason_->setText(QString::fromStdString(romProblemText(result)));
}

void FirstRunDialog::chooseRom() {
    QFileDialog dialog(this, QStringLiteral("Choose ROM"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(
        {QStringLiteral("ROM-Files (*.bin *.rom)"), QStringLiteral("All files (*)")});
    // Beside a file that was there but would not do; else the home folder, since the
    // folder looked in holds nothing yet.
    const QFileInfo looked(QString::fromStdString(romPath_));
    if (looked.exists())
        dialog.setDirectory(looked.absolutePath());
    else
        dialog.setDirectory(QDir::homePath());
    if (dialog.exec() != QDialog::Accepted) return;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.first().isEmpty()) return;
    const std::string path = QFileInfo(chosen.first()).absoluteFilePath().toStdString();
    if (const std::optional<RomLoadResult> problem = tryRom_(path)) {
        showProblem(path, *problem);
        return;
    }
    done(static_cast<int>(FirstRunChoice::romChosen));
}

void FirstRunDialog::startDemo() {
    if (const Result<> ran = tryDemo_(demoNextTime_->isChecked()); !ran) {
        QMessageBox::critical(this, titleText(),
                              QStringLiteral("The demo cannot start.\n%1")
                                  .arg(QString::fromStdString(ran.failure().reason)));
        return;
    }
    done(static_cast<int>(FirstRunChoice::demo));
}

FirstRunChoice FirstRunDialog::ask(QWidget* parent, const std::string& romPath,
                                   const RomLoadResult& result, bool demoAvailable, TryRom tryRom,
                                   TryDemo tryDemo) {
    FirstRunDialog dialog(parent, romPath, result, demoAvailable, std::move(tryRom),
                          std::move(tryDemo));
    const int answer = dialog.exec();
    if (answer == static_cast<int>(FirstRunChoice::romChosen)) return FirstRunChoice::romChosen;
    if (answer == static_cast<int>(FirstRunChoice::demo)) return FirstRunChoice::demo;
    return FirstRunChoice::quit;
}

}  // namespace vantrel
