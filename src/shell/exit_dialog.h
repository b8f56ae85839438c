// The question on closing: "Save calculator state?" with Yes, No and Cancel, and a
// "Don't ask again" that makes the answer the rule.
#pragma once

#include <QDialog>

#include "session/calculator/messages.h"

class QCheckBox;

namespace vantrel {

// The answers, by the ids of the dialog's buttons.
enum class ExitAnswer { yes = 6, no = 7, cancel = 2 };

struct ExitChoice {
    ExitAnswer answer = ExitAnswer::cancel;
    bool dontAskAgain = false;  // never with Cancel
};

// "Vantrel 2.0": the window's title and the caption of its message boxes.
inline QString titleText() { return QString::fromStdString(programTitle()); }
inline const QString creditsLine =
    QStringLiteral("A TI-85 emulator for the Linux desktop, by the Vantrel developers.");

// The program's icon beside lines of text, the first in bold.
QWidget* titleBlock(QWidget* parent, const QStringList& lines);

class ExitDialog : public QDialog {
    Q_OBJECT
public:
    explicit ExitDialog(QWidget* parent = nullptr);
    void reject() override {
        done(static_cast<int>(ExitAnswer::cancel));
    }  // Escape and the close box cancel

    static ExitChoice ask(QWidget* parent);

private:
    QCheckBox* dontAskAgain_ = nullptr;
};

}  // namespace vantrel
