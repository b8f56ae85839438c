// A main window running the synthesized ROM in a temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTemporaryDir>
#include <memory>

#include "machine/bus.h"
#include "machine/machine.h"
#include "machine/thread_control.h"
#include "session/calculator/machine_files.h"
#include "shell/main_window.h"
#include "shell_support.h"

namespace vantrel::test {

class RunningWindow : public ::testing::Test {
protected:
    void start(SaveStateMode saveStateMode = SaveStateMode::showDialog,
               const std::vector<uint8_t>& extraProgram = {}) {
        ASSERT_TRUE(dir.isValid());
        settings.romPath = writeTestRom(dir, extraProgram).toStdString();
        ASSERT_TRUE(romLoads());
        settings.ramPath = statePath().toStdString();
        settings.saveStateMode = saveStateMode;
        window = std::make_unique<MainWindow>(settings);
        window->startEmulation();
        ASSERT_FALSE(window->romMissing());
        window->show();
        ASSERT_TRUE(waitUntil([&] { return lcdLit(); }));
    }

    void TearDown() override {
        cancelModalAnswers();
        window.reset();
    }

    // Checked first, so that a refused ROM fails the test instead of waiting on its message.
    bool romLoads() const {
        auto probe = std::make_unique<Machine>();
        return loadRomImage(*probe, settings.romPath).outcome == RomLoad::loaded;
    }

    // The ROM's program has run once it lit the top-left pixel.
    bool lcdLit() const { return window->calculator().lcd()[0] == 0x80; }

    // A RAM byte of the running calculator, read while the loop rests.
    uint8_t ram(uint16_t address) {
        Machine& m = window->calculator().machine();
        HoldGuard hold(m.control);
        return m.mem.ram()[address - 0x8000];
    }

    QString statePath() const { return dir.filePath(QStringLiteral("TI85Stat.bin")); }
    bool stateWritten() const { return QFileInfo(statePath()).size() == 32800; }

    QTemporaryDir dir;
    Settings settings;
    std::unique_ptr<MainWindow> window;
};

}  // namespace vantrel::test
