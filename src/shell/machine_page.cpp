#include "shell/machine_page.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "session/settings/settings.h"
#include "shell/exit_dialog.h"

namespace vantrel {

namespace {

QLabel* note(QWidget* parent, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setIndent(20);
    return label;
}

}  // namespace

bool askModelSwitch(QWidget* owner, MachineModel model) {
    QMessageBox box(QMessageBox::Question, titleText(),
                    QStringLiteral("Restart the calculator in the %1 model?")
                        .arg(model == MachineModel::hardware ? QStringLiteral("hardware")
                                                             : QStringLiteral("classic")),
                    QMessageBox::NoButton, owner);
    box.setObjectName(QStringLiteral("modelQuestion"));
    box.setInformativeText(QStringLiteral(
        "The calculator stops as it does when the window closes (its state saved as \"Save "
        "state on closing\" says) and starts again from its state file. A state file keeps "
        "what both models need, so switching back finds the calculator as it was."));
    QPushButton* restart = box.addButton(QStringLiteral("&Restart"), QMessageBox::AcceptRole);
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(restart);
    box.exec();
    return box.clickedButton() == restart;
}

MachinePage::MachinePage(QWidget* parent, const Settings& settings) : PreferencesPage(parent) {
    auto* layout = new QVBoxLayout(this);
    auto* model = new QGroupBox(QStringLiteral("Model"), this);
    auto* modelLayout = new QVBoxLayout(model);
    classic_ = new QRadioButton(QStringLiteral("&Classic"), model);
    classic_->setObjectName(QStringLiteral("modelClassic"));
    modelLayout->addWidget(classic_);
    modelLayout->addWidget(note(model, QStringLiteral("The patched ROM, one key at a time, as "
                                                      "fast as the computer allows.")));
    hardware_ = new QRadioButton(QStringLiteral("&Hardware"), model);
    hardware_->setObjectName(QStringLiteral("modelHardware"));
    modelLayout->addWidget(hardware_);
    modelLayout->addWidget(
        note(model, QStringLiteral("The calculator's hardware in emulated time, at real speed "
                                   "(Speed menu): its own interrupts and timing, several keys "
                                   "held at once, grey.")));
    (settings.model == MachineModel::hardware ? hardware_ : classic_)->setChecked(true);
    modelLayout->addWidget(note(model, QStringLiteral("A change restarts the calculator from "
                                                      "its state file, after asking.")));
    layout->addWidget(model);

    auto* lcd = new QGroupBox(QStringLiteral("LCD in the hardware model"), this);
    auto* lcdLayout = new QVBoxLayout(lcd);
    smooth_ = new QCheckBox(QStringLiteral("&Smooth greyscale"), lcd);
    smooth_->setObjectName(QStringLiteral("smoothGreyscale"));
    smooth_->setChecked(settings.smoothGreyscale);
    smooth_->setToolTip(
        QStringLiteral("Each pixel the average of its last frames, so that "
                       "pictures shown in turn make grey as on the real screen; "
                       "off, the last frame alone"));
    lcdLayout->addWidget(smooth_);
    layout->addWidget(lcd);
    layout->addStretch();
}

void MachinePage::store(Settings& copy) const {
    copy.model = hardware_->isChecked() ? MachineModel::hardware : MachineModel::classic;
    copy.smoothGreyscale = smooth_->isChecked();
}

}  // namespace vantrel
