// The dialog that the processor's unknown-instruction trap shows: the opcode, the
// registers and the bytes around PC, and the question whether to go on.
#pragma once

#include <QDialog>

namespace vantrel {

struct IllegalOpcodeSnapshot;

class IllegalOpcodeDialog : public QDialog {
    Q_OBJECT
public:
    explicit IllegalOpcodeDialog(const IllegalOpcodeSnapshot& snapshot, QWidget* parent = nullptr);

    // 1 to continue (Yes), 0 to stop (No, Escape, closing the dialog).
    static int ask(const IllegalOpcodeSnapshot& snapshot, QWidget* parent);
};

}  // namespace vantrel
