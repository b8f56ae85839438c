// The dialog that the processor's unknown-instruction trap shows: the opcode, the
// registers and the bytes around PC, and the question whether to go on.
#pragma once

#include <QDialog>

#include "machine/host_interface.h"

namespace vantrel {

struct IllegalOpcodeSnapshot;

class IllegalOpcodeDialog : public QDialog {
    Q_OBJECT
public:
    explicit IllegalOpcodeDialog(const IllegalOpcodeSnapshot& snapshot, QWidget* parent = nullptr);

    // Yes carries on; No, Escape and closing the dialog stop.
    static IllegalOpcodeAnswer ask(const IllegalOpcodeSnapshot& snapshot, QWidget* parent);
};

}  // namespace vantrel
