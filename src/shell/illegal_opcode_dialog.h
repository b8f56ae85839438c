// The dialog that the processor's unknown-instruction trap shows: the opcode, the
// registers and the bytes around PC, and the question whether to go on.
#pragma once

#include <QDialog>

#include <string>

namespace vantrel {

struct IllegalOpcodeSnapshot;

// The dialog's texts, exactly as shown.
std::string illegalOpcodeText(const IllegalOpcodeSnapshot& snapshot);     // "ed 4c "
std::string registerText(uint16_t value);                                  // "0xabcd"
std::string hexBytesText(const uint8_t* bytes, int count);                 // "01 02 ... "

class IllegalOpcodeDialog : public QDialog {
    Q_OBJECT
public:
    explicit IllegalOpcodeDialog(const IllegalOpcodeSnapshot& snapshot, QWidget* parent = nullptr);

    // 1 to continue (Yes), 0 to stop (No, Escape, closing the dialog).
    static int ask(const IllegalOpcodeSnapshot& snapshot, QWidget* parent);
};

}  // namespace vantrel
