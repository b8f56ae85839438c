// Help > Keyboard: which PC keys press which calculator keys, what each key means
// under the calculator's shifts now, and the keys of the window's own commands.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <utility>
#include <vector>

#include "session/keys/keypad.h"

class QLabel;
class QTableWidget;

namespace vantrel {

class Calculator;

// A table to read, not to edit: rows as tight as the text, no row numbers, no
// selection, the last column taking the room left.
QTableWidget* makeReadingTable(QWidget* parent, const QStringList& headers, const char* name);

// A window command as its menu shows it: the shortcut and the command's name.
using CommandKey = std::pair<QString, QString>;

class KeyboardHelp : public QDialog {
    Q_OBJECT
public:
    KeyboardHelp(Calculator& calculator, const std::vector<CommandKey>& commands,
                 QWidget* parent = nullptr);

    // Shows what the keys mean under the calculator's shifts now.
    void refresh();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    Calculator& calculator_;
    QTableWidget* keys_ = nullptr;
    QLabel* shiftLine_ = nullptr;
    QTimer timer_;
    ShiftState shown_;
    bool filled_ = false;
};

}  // namespace vantrel
