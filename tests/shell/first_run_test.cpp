// A start without a usable ROM image: the one dialog that says what is wrong with
// which file, and its three ways on, each taken on a real window.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <filesystem>

#include "machine/machine.h"
#include "machine/thread_control.h"
#include "modal_driver.h"
#include "session/settings/settings.h"
#include "shell/first_run_dialog.h"
#include "shell/main_window.h"
#include "shell_support.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace vantrel::test {
namespace {

class FirstRun : public ::testing::Test {
protected:
    void SetUp() override {
        // The ROM and state paths of a settings file are the default, beside it.
        settings.iniPath = dir / "Vantrel.ini";
        settings.romPath = "TI85Rom.bin";
        settings.ramPath = "TI85Stat.bin";
        settings.saveStateMode = SaveStateMode::never;
    }
    void open() {
        window = std::make_unique<MainWindow>(settings);
        window->startEmulation();
        ASSERT_TRUE(window->romMissing());
        window->show();
    }
    void TearDown() override {
        cancelModalAnswers();
        window.reset();
    }

    static QString text(QWidget* dialog, const char* label) {
        auto* widget = dialog->findChild<QLabel*>(QString::fromLatin1(label));
        return widget ? widget->text() : QStringLiteral("(no %1)").arg(label);
    }
    // The Open dialog that "Choose ROM..." brings up, answered with that file.
    static void chooseFile(QWidget* dialog, const std::string& path) {
        whenModal(
            [path](QWidget* browser) {
                auto* files = qobject_cast<QFileDialog*>(browser);
                ASSERT_NE(files, nullptr);
                EXPECT_EQ(files->fileMode(), QFileDialog::ExistingFile);
                files->selectFile(QString::fromStdString(path));
                static_cast<QDialog*>(files)->accept();
            },
            dialog);
        clickButton(dialog, QStringLiteral("chooseRom"));
    }
    bool lcdLit() const { return window->calculator().lcd()[0] == 0x80; }

    TempDir dir;
    Settings settings;
    std::unique_ptr<MainWindow> window;
};

TEST_F(FirstRun, ChosenRomStartsAtOnceAndIsRememberedAfterABadChoiceIsTold) {
    writeBytes(dir / "short.bin", std::vector<uint8_t>(10, 0));
    QTemporaryDir roms;
    const std::string good = writeTestRom(roms).toStdString();
    ASSERT_NO_FATAL_FAILURE(open());
    whenModal([&](QWidget* dialog) {
        ASSERT_NE(qobject_cast<FirstRunDialog*>(dialog), nullptr);
        EXPECT_EQ(dialog->windowTitle(), "Vantrel 2.0");
        EXPECT_EQ(text(dialog, "headline"), "Loading romfile failed.");
        EXPECT_EQ(text(dialog, "romPath"),
                  QString::fromStdString("ROM image: " + dir / "TI85Rom.bin"));
        EXPECT_EQ(text(dialog, "reason"), "There is no such file.");
        EXPECT_TRUE(dialog->findChild<QPushButton*>("startDemo")->isEnabled());

        chooseFile(dialog, dir / "short.bin");
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(text(dialog, "romPath"),
                  QString::fromStdString("ROM image: " + dir / "short.bin"));
        EXPECT_EQ(text(dialog, "reason"), "The file has 10 bytes; a TI-85 ROM image has 131072.");
        chooseFile(dialog, good);
    });
    EXPECT_TRUE(window->offerFirstRun());
    EXPECT_FALSE(window->romMissing());
    EXPECT_FALSE(window->runningDemo());
    EXPECT_EQ(settings.romPath, good);
    EXPECT_EQ(window->calculator().ramPath(), dir / "TI85Stat.bin");
    EXPECT_TRUE(waitUntil([&] { return lcdLit(); }));
}

TEST_F(FirstRun, WrongVersionIsTheHeadlineAndTheDemoRunsOnItsOwnSettings) {
    auto rom = makeTestRom();
    rom[0x0141] = 0x00;  // the version test fails
    writeBytes(dir / "TI85Rom.bin", rom);
    TempDir user;
    ScopedEnv data("XDG_DATA_HOME", (user / "data").c_str());
    ScopedEnv config("XDG_CONFIG_HOME", (user / "config").c_str());
    const Settings mine = settings;
    ASSERT_NO_FATAL_FAILURE(open());
    int demoStarted = 0;
    QObject::connect(window.get(), &MainWindow::demoStarted, [&] { ++demoStarted; });

    whenModal([&](QWidget* dialog) {
        EXPECT_EQ(text(dialog, "headline"), "Wrong ROM version. Version 10.0 needed.");
        EXPECT_EQ(text(dialog, "reason"), "The file is not the TI-85's ROM version 10.0.");
        clickButton(dialog, QStringLiteral("startDemo"));
    });
    EXPECT_TRUE(window->offerFirstRun());
    EXPECT_TRUE(window->runningDemo());
    EXPECT_EQ(demoStarted, 1);
    // The window keeps the demo's settings now; the user's file is left as it was.
    const std::string demo = user / "data/vantrel/demo";
    EXPECT_EQ(settings.iniPath, demo + "/Vantrel.ini");
    EXPECT_EQ(window->calculator().ramPath(), demo + "/TI85Stat.bin");
    EXPECT_TRUE(window->windowTitle().contains("demo"));
    EXPECT_FALSE(std::filesystem::exists(mine.iniPath));
    EXPECT_FALSE(std::filesystem::exists(user / "config"));
    Machine& m = window->calculator().machine();
    EXPECT_TRUE(waitUntil([&] {
        HoldGuard hold(m.control);
        return std::string(reinterpret_cast<const char*>(m.mem.ramAt(0x80DF)), 15) ==
               "  VANTREL DEMO ";
    }));
}

TEST_F(FirstRun, DemoForNextTimeTooStartsInItsOwnPlaceUntilARomImageIsOpened) {
    TempDir user;
    ScopedEnv data("XDG_DATA_HOME", (user / "data").c_str());
    ScopedEnv config("XDG_CONFIG_HOME", (user / "config").c_str());
    // The demo was used before: its settings keep its place and a zoom.
    const std::string demoIni = user / "data/vantrel/demo/Vantrel.ini";
    std::filesystem::create_directories(user / "data/vantrel/demo");
    writeText(demoIni,
              "[Directories]\nROMFile=TI85Rom.bin\nRAMFile=TI85Stat.bin\n"
              "[Preferences]\nAllowMultipleInst=Yes\nSaveState=Never\n"
              "[Window]\nZoom=1\nX=40\nY=30\n");
    ASSERT_NO_FATAL_FAILURE(open());
    whenModal([&](QWidget* dialog) {
        auto* nextTime = dialog->findChild<QCheckBox*>(QStringLiteral("demoNextTime"));
        ASSERT_NE(nextTime, nullptr);
        EXPECT_FALSE(nextTime->isChecked());
        nextTime->setChecked(true);
        clickButton(dialog, QStringLiteral("startDemo"));
    });
    EXPECT_TRUE(window->offerFirstRun());
    EXPECT_TRUE(window->runningDemo());
    EXPECT_EQ(window->pos(), QPoint(40, 30));
    // The user's file holds the choice and otherwise what it held.
    Settings stored;
    stored.iniPath = dir / "Vantrel.ini";
    ASSERT_TRUE(readSettings(stored, ""));
    EXPECT_TRUE(stored.startDemo);
    EXPECT_EQ(stored.romPath, "TI85Rom.bin");
    window.reset();

    // The next start runs the demo without a question.
    settings = stored;
    window = std::make_unique<MainWindow>(settings);
    window->placeOnScreen();
    window->startEmulation();
    EXPECT_FALSE(window->romMissing());
    EXPECT_TRUE(window->runningDemo());
    window->show();

    // A file that is no ROM image is told and changes nothing.
    writeBytes(dir / "short.bin", std::vector<uint8_t>(10, 0));
    auto refused = answerMessageBox(QMessageBox::Ok);
    EXPECT_FALSE(window->openRom(dir / "short.bin"));
    EXPECT_TRUE(refused->shown);
    EXPECT_TRUE(refused->text.contains(QStringLiteral("131072")));
    EXPECT_TRUE(window->runningDemo());

    // File > Open ROM... with a ROM image: the user's own calculator from now on.
    QTemporaryDir roms;
    const std::string good = writeTestRom(roms).toStdString();
    EXPECT_TRUE(window->openRom(good));
    EXPECT_FALSE(window->runningDemo());
    EXPECT_FALSE(window->windowTitle().contains(QStringLiteral("demo")));
    EXPECT_EQ(settings.iniPath, dir / "Vantrel.ini");
    EXPECT_EQ(settings.romPath, good);
    EXPECT_FALSE(settings.startDemo);
    EXPECT_EQ(settings.recentRoms, std::vector<std::string>{good});
    EXPECT_EQ(window->calculator().ramPath(), dir / "TI85Stat.bin");
    EXPECT_TRUE(waitUntil([&] { return lcdLit(); }));
    // The demo's own file kept its place.
    EXPECT_NE(readText(demoIni).find("X=40\nY=30\n"), std::string::npos) << readText(demoIni);
}

TEST_F(FirstRun, QuitEndsTheProgramWithoutRunning) {
    ASSERT_NO_FATAL_FAILURE(open());
    int gone = 0;
    QObject::connect(window.get(), &MainWindow::windowGone, [&] { ++gone; });
    whenModal([](QWidget* dialog) { clickButton(dialog, QStringLiteral("quit")); });
    EXPECT_FALSE(window->offerFirstRun());
    EXPECT_TRUE(window->closed());
    EXPECT_EQ(gone, 1);
    EXPECT_FALSE(window->calculator().running());
    EXPECT_EQ(settings.romPath, "TI85Rom.bin");
    // Escape means Quit as well.
    FirstRunDialog dialog(nullptr, "x", {}, false, {}, {});
    dialog.show();
    dialog.reject();
    EXPECT_EQ(dialog.result(), static_cast<int>(FirstRunChoice::quit));
    EXPECT_FALSE(dialog.findChild<QPushButton*>("startDemo")->isEnabled());
}

}  // namespace
}  // namespace vantrel::test
