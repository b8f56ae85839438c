// The question on closing: "Save calculator state?" with Yes, No and Cancel.
#pragma once

#include <QDialog>

namespace vantrel {

inline constexpr int answerYes = 6;
inline constexpr int answerNo = 7;
inline constexpr int answerCancel = 2;

inline const QString programTitle = QStringLiteral("Vantrel 2.0");
inline const QString creditsLine = QStringLiteral("A TI-85 emulator for the Linux desktop, by the Vantrel developers.");

// The program's icon beside lines of text, the first in bold.
QWidget* titleBlock(QWidget* parent, const QStringList& lines);

class ExitDialog : public QDialog {
    Q_OBJECT
public:
    explicit ExitDialog(QWidget* parent = nullptr);
    void reject() override { done(answerCancel); }  // Escape and the close box cancel

    // answerYes, answerNo or answerCancel.
    static int ask(QWidget* parent);
};

}  // namespace vantrel
