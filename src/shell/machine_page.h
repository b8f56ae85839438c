// Preferences > Machine: the model of the calculator and the hardware model's LCD.
#pragma once

#include "shell/preferences_dialog.h"

class QCheckBox;
class QRadioButton;

namespace vantrel {

// "Restart the calculator in the ... model?": true for Restart.
bool askModelSwitch(QWidget* owner, MachineModel model);

class MachinePage : public PreferencesPage {
    Q_OBJECT
public:
    MachinePage(QWidget* parent, const Settings& settings);
    void store(Settings& copy) const override;

private:
    QRadioButton* classic_ = nullptr;
    QRadioButton* hardware_ = nullptr;
    QCheckBox* smooth_ = nullptr;
};

}  // namespace vantrel
