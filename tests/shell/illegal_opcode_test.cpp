// The unknown-instruction dialog: its texts, Yes going on, No ending the run
// without the save question.
#include "machine/illegal_opcode.h"

#include <QLabel>
#include <QPushButton>

#include "running_window.h"
#include "shell/exit_dialog.h"
#include "shell/illegal_opcode_dialog.h"
#include "z80/cpu_registers.h"

namespace vantrel::test {
namespace {

QString labelText(QWidget* dialog, int id) {
    auto* label = dialog->findChild<QLabel*>(QStringLiteral("control%1").arg(id));
    return label ? label->text() : QStringLiteral("<missing>");
}

TEST(IllegalOpcodeDialogTexts, ShowsOpcodeRegistersAndBytes) {
    CpuRegisters regs;
    regs.setAF(0xABCD);
    regs.setBC(0x0102);
    regs.ix = 0xFFFF;
    regs.pc = 0x8012;
    std::array<uint8_t, 16> before{}, after{};
    for (int i = 0; i < 16; ++i) after[i] = static_cast<uint8_t>(0xF0 + i);
    before[14] = 0xDD;
    before[15] = 0x00;
    const IllegalOpcodeSnapshot snapshot{regs, before, after};
    IllegalOpcodeDialog dialog(snapshot);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Error"));
    EXPECT_EQ(labelText(&dialog, 1002), QStringLiteral("dd 00 "));
    EXPECT_EQ(labelText(&dialog, 1005), QStringLiteral("0xabcd"));
    EXPECT_EQ(labelText(&dialog, 1006), QStringLiteral("0x0102"));
    EXPECT_EQ(labelText(&dialog, 1009), QStringLiteral("0xffff"));
    EXPECT_EQ(labelText(&dialog, 1012), QStringLiteral("0x8012"));
    EXPECT_EQ(labelText(&dialog, 1003),
              QStringLiteral("00 00 00 00 00 00 00 00 00 00 00 00 00 00 dd 00 "));
    EXPECT_EQ(labelText(&dialog, 1004),
              QStringLiteral("f0 f1 f2 f3 f4 f5 f6 f7 f8 f9 fa fb fc fd fe ff "));
}

TEST(IllegalOpcodeDialogTexts, NoIsTheDefaultAndEscapeStops) {
    CpuRegisters regs;
    const IllegalOpcodeSnapshot snapshot{regs, {}, {}};
    IllegalOpcodeDialog dialog(snapshot);
    auto* no = dialog.findChild<QPushButton*>(QStringLiteral("control7"));
    ASSERT_NE(no, nullptr);
    EXPECT_TRUE(no->isDefault());
    answerNextModal([](QWidget* d) { static_cast<QDialog*>(d)->reject(); });
    EXPECT_EQ(IllegalOpcodeDialog::ask(snapshot, nullptr), IllegalOpcodeAnswer::stop);
    answerNextModal([](QWidget* d) { clickButton(d, QStringLiteral("control6")); });
    EXPECT_EQ(IllegalOpcodeDialog::ask(snapshot, nullptr), IllegalOpcodeAnswer::carryOn);
}

class IllegalOpcodeRun : public RunningWindow {};

// ED 4C at 0x0020 (both opcode bytes), then the ROM's HALT loop.
const std::vector<uint8_t> illegalProgram = {0xED, 0x4C};

TEST_F(IllegalOpcodeRun, NoClosesTheWindowWithoutTheSaveQuestion) {
    QString opcode, pc;
    bool askedToSave = false;
    answerNextModal([&](QWidget* dialog) {
        opcode = labelText(dialog, 1002);
        pc = labelText(dialog, 1012);
        // Anything after this dialog would be the save question.
        answerNextModal([&](QWidget* next) {
            askedToSave = qobject_cast<ExitDialog*>(next) != nullptr;
            clickButton(next, QStringLiteral("control7"));
        });
        clickButton(dialog, QStringLiteral("control7"));
    });
    settings.romPath = writeTestRom(dir, illegalProgram).toStdString();
    ASSERT_TRUE(romLoads());
    settings.ramPath = statePath().toStdString();
    window = std::make_unique<MainWindow>(settings);
    window->startEmulation();
    window->show();
    const bool closedInTime = waitUntil([&] { return window->closed(); });
    EXPECT_TRUE(closedInTime) << opcode.toStdString() << " modal="
                              << (QApplication::activeModalWidget()
                                      ? QApplication::activeModalWidget()->metaObject()->className()
                                      : "none");
    ASSERT_TRUE(closedInTime);
    EXPECT_EQ(opcode, QStringLiteral("ed 4c "));
    EXPECT_EQ(pc, QStringLiteral("0x0022"));
    EXPECT_EQ(window->calculator().loopEnd(), LoopEnd::aborted);
    EXPECT_FALSE(askedToSave);
    EXPECT_FALSE(stateWritten());
}

TEST_F(IllegalOpcodeRun, YesGoesOnRunning) {
    bool answered = false;
    answerNextModal([&](QWidget* dialog) {
        clickButton(dialog, QStringLiteral("control6"));
        answered = true;
    });
    ASSERT_NO_FATAL_FAILURE(start(SaveStateMode::never, illegalProgram));
    ASSERT_TRUE(waitUntil([&] { return answered; }));
    waitUntil([] { return false; }, 200);  // time for a wrong Abort to arrive
    EXPECT_FALSE(window->closed());
    EXPECT_TRUE(window->calculator().running());
    window->kill();
}

}  // namespace
}  // namespace vantrel::test
