#include <gtest/gtest.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QTabBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <filesystem>
#include <fstream>
#include <vector>

#include "machine/machine.h"
#include "modal_driver.h"
#include "session/calculator/calculator.h"
#include "shell/calculator_view.h"
#include "shell/preferences_dialog.h"
#include "shell_support.h"
#include "support/scripted_front_end.h"
#include "support/temp_dir.h"

namespace vantrel {
namespace {

class Preferences : public ::testing::Test {
protected:
    void SetUp() override {
        test::application();
        copy.romPath = "/roms/TI85Rom.bin";
        copy.ramPath = "/state/TI85Stat.bin";
        copy.foreground = 0x00102030;
        copy.background = 0x00A0B0C0;
    }

    template <class T>
    static T* find(QWidget* dialog, const char* name) {
        T* widget = dialog->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    static void selectPage(QWidget* dialog, int index) {
        find<QTabBar>(dialog, "tabs")->setCurrentIndex(index);
    }
    static void press(QWidget* dialog, QDialogButtonBox::StandardButton which) {
        find<QDialogButtonBox>(dialog, "buttons")->button(which)->click();
    }
    static void pressKey(QWidget* widget, int key) {
        QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(widget, &down);
    }

    Settings copy;
    std::vector<std::pair<uint32_t, uint32_t>> tested;
    ColourFunction recordTest = [this](uint32_t fg, uint32_t bg) { tested.emplace_back(fg, bg); };
};

TEST_F(Preferences, OnlyTheSelectedPageExistsAndColoursSurviveSwitching) {
    test::whenModal([](QWidget* dialog) {
        EXPECT_EQ(dialog->windowTitle(), "Preferences");
        auto* tabs = find<QTabBar>(dialog, "tabs");
        ASSERT_EQ(tabs->count(), 5);
        EXPECT_EQ(tabs->tabText(0), "Misc");
        EXPECT_EQ(tabs->tabText(1), "Colors");
        EXPECT_EQ(tabs->tabText(2), "Files");
        EXPECT_EQ(tabs->tabText(3), "Keyboard");
        EXPECT_EQ(tabs->tabText(4), "Machine");
        EXPECT_EQ(tabs->currentIndex(), 0);
        EXPECT_NE(dialog->findChild<QCheckBox*>("autoLinkOnUpload"), nullptr);
        EXPECT_EQ(dialog->findChild<QSlider*>("sliderRed"), nullptr);

        selectPage(dialog, 1);
        EXPECT_EQ(dialog->findChild<QCheckBox*>("autoLinkOnUpload"), nullptr);
        // The foreground is selected first: red 0x30, green 0x20, blue 0x10.
        EXPECT_EQ(find<QSlider>(dialog, "sliderRed")->value(), 0x30);
        EXPECT_EQ(find<QSlider>(dialog, "sliderGreen")->value(), 0x20);
        EXPECT_EQ(find<QSlider>(dialog, "sliderBlue")->value(), 0x10);
        find<QSlider>(dialog, "sliderRed")->setValue(0x77);
        find<QRadioButton>(dialog, "pickBackground")->click();
        EXPECT_EQ(find<QSlider>(dialog, "sliderBlue")->value(), 0xA0);
        find<QSlider>(dialog, "sliderBlue")->setValue(0x05);

        selectPage(dialog, 2);
        EXPECT_EQ(dialog->findChild<QSlider*>("sliderRed"), nullptr);
        selectPage(dialog, 1);
        EXPECT_EQ(find<QSlider>(dialog, "sliderRed")->value(), 0x77);
        press(dialog, QDialogButtonBox::Ok);
    });
    EXPECT_EQ(runPreferences(nullptr, copy, false, recordTest), PreferencesAnswer::ok);
    EXPECT_EQ(copy.foreground, 0x00102077u);
    EXPECT_EQ(copy.background, 0x0005B0C0u);
    EXPECT_TRUE(tested.empty());
}

TEST_F(Preferences, SwapTwiceRestoresThePair) {
    test::whenModal([](QWidget* dialog) {
        selectPage(dialog, 1);
        auto* swap = find<QToolButton>(dialog, "swapColours");
        EXPECT_FALSE(swap->icon().isNull());
        swap->click();
        // The trackbars follow the selected colour, now the old background.
        EXPECT_EQ(find<QSlider>(dialog, "sliderRed")->value(), 0xC0);
        swap->click();
        EXPECT_EQ(find<QSlider>(dialog, "sliderRed")->value(), 0x30);
        press(dialog, QDialogButtonBox::Ok);
    });
    EXPECT_EQ(runPreferences(nullptr, copy, false, recordTest), PreferencesAnswer::ok);
    EXPECT_EQ(copy.foreground, 0x00102030u);
    EXPECT_EQ(copy.background, 0x00A0B0C0u);

    test::whenModal([](QWidget* dialog) {
        selectPage(dialog, 1);
        find<QToolButton>(dialog, "swapColours")->click();
        press(dialog, QDialogButtonBox::Ok);
    });
    EXPECT_EQ(runPreferences(nullptr, copy, false, recordTest), PreferencesAnswer::ok);
    EXPECT_EQ(copy.foreground, 0x00A0B0C0u);
    EXPECT_EQ(copy.background, 0x00102030u);
}

TEST_F(Preferences, ArrowStepsMoveNineAndStopAtTheEnds) {
    std::vector<int> seen;
    test::whenModal([&seen](QWidget* dialog) {
        selectPage(dialog, 1);
        auto* red = find<QSlider>(dialog, "sliderRed");
        red->setValue(250);
        pressKey(red, Qt::Key_Right);
        seen.push_back(red->value());
        red->setValue(100);
        pressKey(red, Qt::Key_Right);
        seen.push_back(red->value());
        pressKey(red, Qt::Key_Left);
        seen.push_back(red->value());
        red->setValue(5);
        red->triggerAction(QAbstractSlider::SliderSingleStepSub);
        seen.push_back(red->value());
        // A page step moves by its own amount only.
        red->setValue(100);
        red->triggerAction(QAbstractSlider::SliderPageStepAdd);
        seen.push_back(red->value());
        press(dialog, QDialogButtonBox::Ok);
    });
    EXPECT_EQ(runPreferences(nullptr, copy, false, recordTest), PreferencesAnswer::ok);
    EXPECT_EQ(seen, (std::vector<int>{255, 109, 100, 0, 132}));
    EXPECT_EQ(copy.foreground & 0xFF, 132u);
}

TEST_F(Preferences, TestAppliesAtOnceAndTheEndShowsWhatIsKept) {
    using Pair = std::pair<uint32_t, uint32_t>;
    const Pair shown{0x00102030u, 0x00A0B0C0u};
    // Cancel, or Escape: the LCD gets back the colours it had.
    for (bool escape : {false, true}) {
        tested.clear();
        test::whenModal([escape](QWidget* dialog) {
            selectPage(dialog, 1);
            find<QSlider>(dialog, "sliderGreen")->setValue(0xEE);
            find<QPushButton>(dialog, "testColours")->click();
            if (escape)
                pressKey(dialog, Qt::Key_Escape);
            else
                press(dialog, QDialogButtonBox::Cancel);
        });
        Settings edited = copy;
        EXPECT_EQ(runPreferences(nullptr, edited, false, recordTest), PreferencesAnswer::cancel);
        EXPECT_EQ(tested, (std::vector<Pair>{{0x0010EE30u, 0x00A0B0C0u}, shown})) << escape;
    }

    // OK after a test keeps the colours now on the page, even those it started with.
    tested.clear();
    test::whenModal([](QWidget* dialog) {
        selectPage(dialog, 1);
        find<QSlider>(dialog, "sliderGreen")->setValue(0xEE);
        find<QPushButton>(dialog, "testColours")->click();
        find<QSlider>(dialog, "sliderGreen")->setValue(0x20);
        press(dialog, QDialogButtonBox::Ok);
    });
    Settings edited = copy;
    EXPECT_EQ(runPreferences(nullptr, edited, false, recordTest), PreferencesAnswer::ok);
    EXPECT_EQ(tested, (std::vector<Pair>{{0x0010EE30u, 0x00A0B0C0u}, shown}));

    // Without a test nothing is applied by the dialog.
    tested.clear();
    test::whenModal([](QWidget* dialog) { press(dialog, QDialogButtonBox::Cancel); });
    EXPECT_EQ(runPreferences(nullptr, edited, false, recordTest), PreferencesAnswer::cancel);
    EXPECT_TRUE(tested.empty());
}

TEST_F(Preferences, ColourPresetsShowAtOnceAndRestoreDefaultsIsWhiteOnBlack) {
    test::whenModal([](QWidget* dialog) {
        selectPage(dialog, PreferencesDialog::colorsPage);
        find<QPushButton>(dialog, "presetLcd")->click();
        find<QPushButton>(dialog, "presetHighContrast")->click();
        find<QPushButton>(dialog, "restoreColourDefaults")->click();
        press(dialog, QDialogButtonBox::Ok);
    });
    EXPECT_EQ(runPreferences(nullptr, copy, false, recordTest), PreferencesAnswer::ok);
    ASSERT_EQ(tested.size(), 4u);  // the three, and OK's
    // Dark on grey-green: the dark one far darker.
    const QColor ink = colourFromSetting(tested[0].first),
                 glass = colourFromSetting(tested[0].second);
    EXPECT_LT(ink.lightness() * 3, glass.lightness());
    EXPECT_GT(glass.green(), glass.blue());
    EXPECT_EQ(tested[1], std::make_pair(0x00000000u, 0x00FFFFFFu));
    EXPECT_EQ(tested[2], std::make_pair(0x00FFFFFFu, 0x00000000u));
    EXPECT_EQ(copy.foreground, 0x00FFFFFFu);
    EXPECT_EQ(copy.background, 0x00000000u);
}

TEST_F(Preferences, SliderValuesAreShownAndCanBeTyped) {
    test::whenModal([](QWidget* dialog) {
        selectPage(dialog, 1);
        auto* red = find<QSpinBox>(dialog, "valueRed");
        EXPECT_EQ(red->value(), 0x30);
        EXPECT_EQ(find<QSpinBox>(dialog, "valueBlue")->value(), 0x10);
        find<QSlider>(dialog, "sliderRed")->setValue(0x77);
        EXPECT_EQ(red->value(), 0x77);
        // Typed: the slider and the colour follow.
        find<QSpinBox>(dialog, "valueGreen")->setValue(200);
        EXPECT_EQ(find<QSlider>(dialog, "sliderGreen")->value(), 200);
        find<QRadioButton>(dialog, "pickBackground")->click();
        EXPECT_EQ(red->value(), 0xC0);
        press(dialog, QDialogButtonBox::Ok);
    });
    EXPECT_EQ(runPreferences(nullptr, copy, false, recordTest), PreferencesAnswer::ok);
    EXPECT_EQ(copy.foreground, 0x0010C877u);
    EXPECT_EQ(copy.background, 0x00A0B0C0u);
}

TEST_F(Preferences, OpensBesideItsOwnerWindowOnTheSideWithRoom) {
    QWidget owner;
    owner.resize(231, 466);
    const QRect area = owner.screen()->availableGeometry();
    for (int x : {area.left() + 20, area.right() - 250}) {
        owner.move(x, area.top() + 30);
        owner.show();
        ASSERT_TRUE(test::waitUntil([&] { return owner.isVisible(); }));
        QRect placed;
        test::whenModal([&](QWidget* dialog) {
            placed = dialog->frameGeometry();
            press(dialog, QDialogButtonBox::Cancel);
        });
        runPreferences(&owner, copy, false, recordTest);
        EXPECT_FALSE(placed.intersects(owner.frameGeometry())) << x;
        EXPECT_TRUE(area.contains(placed)) << x;
        EXPECT_EQ(placed.top(), owner.frameGeometry().top()) << x;
    }
}

// The screenshot options, and every page whole (no scroll bar) in a dialog that fits
// a 1920 x 1080 screen at a scale factor of 2 with room for the title bar.
TEST_F(Preferences, ScreenshotOptionsAndEveryPageUnclippedOnAScreenAtTwiceTheScale) {
    copy.screenshotToFile = false;
    copy.screenshotFormat = ScreenshotFormat::png;
    copy.screenshotScale = 3;
    copy.screenshotFolder = "/pictures/calc";
    test::whenModal([](QWidget* dialog) {
        auto* format = find<QComboBox>(dialog, "screenshotFormat");
        auto* scale = find<QComboBox>(dialog, "screenshotScale");
        EXPECT_EQ(format->currentText(), "PNG");
        EXPECT_EQ(scale->currentText(), "3x");
        EXPECT_EQ(find<QLineEdit>(dialog, "screenshotFolder")->text(), "/pictures/calc");
        // The clipboard takes a scale but no type or folder.
        EXPECT_TRUE(scale->isEnabled());
        EXPECT_FALSE(format->isEnabled());
        find<QRadioButton>(dialog, "screenshotToFile")->click();
        EXPECT_TRUE(format->isEnabled());
        format->setCurrentIndex(0);  // BMP files are always 1x
        EXPECT_FALSE(scale->isEnabled());
        find<QLineEdit>(dialog, "screenshotFolder")->setText("shots");

        for (int page = 0; page < 3; ++page) {
            selectPage(dialog, page);
            QApplication::processEvents();
            auto* scroll = find<QScrollArea>(dialog, "pageScroll");
            EXPECT_FALSE(scroll->verticalScrollBar()->isVisible()) << page;
            EXPECT_FALSE(scroll->horizontalScrollBar()->isVisible()) << page;
            EXPECT_LE(dialog->height(), 1080 / 2 - 40) << page;
            EXPECT_LE(dialog->width(), 1920 / 2) << page;
        }
        press(dialog, QDialogButtonBox::Ok);
    });
    EXPECT_EQ(runPreferences(nullptr, copy, false, recordTest), PreferencesAnswer::ok);
    EXPECT_TRUE(copy.screenshotToFile);
    EXPECT_EQ(copy.screenshotFormat, ScreenshotFormat::bmp);
    EXPECT_EQ(copy.screenshotScale, 3);
    EXPECT_EQ(copy.screenshotFolder, "shots");
}

TEST_F(Preferences, OkReturnsTheEditedCopy) {
    copy.screenshotToFile = false;
    test::whenModal([](QWidget* dialog) {
        auto* base = find<QLineEdit>(dialog, "screenshotBase");
        EXPECT_FALSE(base->isEnabled());
        find<QRadioButton>(dialog, "screenshotToFile")->click();
        EXPECT_TRUE(base->isEnabled());
        base->setText("shot-");
        find<QCheckBox>(dialog, "beepOnErrors")->click();
        find<QRadioButton>(dialog, "SaveStateMode::never")->click();
        selectPage(dialog, 2);
        find<QLineEdit>(dialog, "ramPath")->setText("/elsewhere/state.bin");
        find<QCheckBox>(dialog, "testRomVersion")->click();
        selectPage(dialog, 0);
        EXPECT_TRUE(find<QLineEdit>(dialog, "screenshotBase")->isEnabled());
        EXPECT_EQ(find<QLineEdit>(dialog, "screenshotBase")->text(), "shot-");
        selectPage(dialog, 2);
        press(dialog, QDialogButtonBox::Ok);
    });
    EXPECT_EQ(runPreferences(nullptr, copy, false, recordTest), PreferencesAnswer::ok);
    EXPECT_TRUE(copy.screenshotToFile);
    EXPECT_EQ(copy.screenshotBase, "shot-");
    EXPECT_FALSE(copy.beepOnErrors);
    EXPECT_EQ(copy.saveStateMode, SaveStateMode::never);
    EXPECT_EQ(copy.ramPath, "/elsewhere/state.bin");
    EXPECT_EQ(copy.romPath, "/roms/TI85Rom.bin");
    EXPECT_FALSE(copy.testRomVersion);
}

TEST_F(Preferences, FailedRomLoadOpensFilesWithTheRomPathCleared) {
    test::whenModal([](QWidget* dialog) {
        EXPECT_EQ(find<QTabBar>(dialog, "tabs")->currentIndex(), 2);
        EXPECT_EQ(find<QLineEdit>(dialog, "romPath")->text(), "");
        EXPECT_EQ(find<QLineEdit>(dialog, "ramPath")->text(), "/state/TI85Stat.bin");
        find<QLineEdit>(dialog, "romPath")->setText("/new/rom.bin");
        dialog->close();  // the window's close button counts as Cancel
    });
    EXPECT_EQ(runPreferences(nullptr, copy, true, recordTest), PreferencesAnswer::cancel);
    EXPECT_EQ(copy.romPath, "/new/rom.bin");
}

TEST_F(Preferences, BrowseStartsInTheFieldsDirectory) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("vantrel-prefs-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string rom = (dir / "mine.rom").string();
    std::ofstream(rom) << "x";
    copy.romPath = (dir / "old.bin").string();
    copy.ramPath = (dir / "old-state.bin").string();
    const std::string newState = (dir / "new-state.bin").string();  // not there yet

    test::whenModal([&](QWidget* dialog) {
        selectPage(dialog, 2);
        test::whenModal(
            [&](QWidget* browser) {
                auto* files = qobject_cast<QFileDialog*>(browser);
                ASSERT_NE(files, nullptr);
                EXPECT_EQ(files->directory().absolutePath().toStdString(), dir.string());
                EXPECT_EQ(files->acceptMode(), QFileDialog::AcceptOpen);
                EXPECT_EQ(files->nameFilters(),
                          (QStringList{"ROM-Files (*.bin *.rom)", "All files (*)"}));
                files->selectFile(QString::fromStdString(rom));
                static_cast<QDialog*>(files)->accept();
            },
            dialog);
        find<QPushButton>(dialog, "browseRom")->click();
        EXPECT_EQ(find<QLineEdit>(dialog, "romPath")->text().toStdString(), rom);

        // The state file is written at closing: a save-style chooser takes a new name.
        test::whenModal(
            [&](QWidget* browser) {
                auto* files = qobject_cast<QFileDialog*>(browser);
                ASSERT_NE(files, nullptr);
                EXPECT_EQ(files->acceptMode(), QFileDialog::AcceptSave);
                EXPECT_TRUE(files->testOption(QFileDialog::DontConfirmOverwrite));
                EXPECT_EQ(files->nameFilters(),
                          (QStringList{"State files (*.bin)", "All files (*)"}));
                files->selectFile(QString::fromStdString(newState));
                static_cast<QDialog*>(files)->accept();
            },
            dialog);
        find<QPushButton>(dialog, "browseRam")->click();
        press(dialog, QDialogButtonBox::Ok);
    });
    EXPECT_EQ(runPreferences(nullptr, copy, false, recordTest), PreferencesAnswer::ok);
    EXPECT_EQ(copy.romPath, rom);
    EXPECT_EQ(copy.ramPath, newState);
    std::filesystem::remove_all(dir);
}

TEST_F(Preferences, PathsOfAnyLengthSurviveTheFilesPage) {
    copy.romPath = "/" + std::string(300, 'r') + "/" + std::string(200, 'o') + ".bin";
    copy.ramPath = "/" + std::string(600, 's') + ".bin";
    const Settings before = copy;
    test::whenModal([](QWidget* dialog) {
        selectPage(dialog, 2);
        press(dialog, QDialogButtonBox::Ok);
    });
    EXPECT_EQ(runPreferences(nullptr, copy, false, recordTest), PreferencesAnswer::ok);
    EXPECT_EQ(copy, before);
}

TEST_F(Preferences, StateFileNamingTheRomImageIsRefused) {
    test::TempDir dir;
    test::writeBytes(dir / "dump.bin", std::vector<uint8_t>(16, 0xAA));
    test::writeBytes(dir / "running.bin", std::vector<uint8_t>(16, 0xBB));
    std::filesystem::create_symlink("dump.bin", dir / "link.bin");
    copy.romPath = dir / "dump.bin";
    copy.ramPath = dir / "link.bin";  // the same file behind a link
    QStringList refusals;
    test::whenModal([&](QWidget* dialog) {
        // OK on the dialog answered by the box that refuses it.
        auto pressOk = [&] {
            test::whenModal(
                [&](QWidget* widget) {
                    auto* box = qobject_cast<QMessageBox*>(widget);
                    ASSERT_NE(box, nullptr);
                    EXPECT_EQ(box->icon(), QMessageBox::Critical);
                    refusals << box->text();
                    box->accept();
                },
                dialog);
            press(dialog, QDialogButtonBox::Ok);
        };
        pressOk();
        // Still open, on the page with the path to change.
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(find<QTabBar>(dialog, "tabs")->currentIndex(), 2);
        // The image the running calculator came from counts as well.
        find<QLineEdit>(dialog, "ramPath")->setText(QString::fromStdString(dir / "running.bin"));
        pressOk();
        EXPECT_TRUE(dialog->isVisible());
        find<QLineEdit>(dialog, "ramPath")->setText(QString::fromStdString(dir / "state.bin"));
        press(dialog, QDialogButtonBox::Ok);
    });
    EXPECT_EQ(runPreferences(nullptr, copy, false, recordTest, dir / "running.bin"),
              PreferencesAnswer::ok);
    ASSERT_EQ(refusals.size(), 2);
    EXPECT_TRUE(refusals[0].startsWith(
        "The state file \"" + QString::fromStdString(dir / "link.bin") + "\" is the ROM image."));
    EXPECT_EQ(copy.ramPath, dir / "state.bin");
    EXPECT_EQ(test::readBytes(dir / "dump.bin"), std::vector<uint8_t>(16, 0xAA));
}

TEST(PreferencesHold, ApplyingReloadsTheStateOnlyForANewPathAndColoursOnlyWhenChanged) {
    QTemporaryDir dir;
    test::ScriptedFrontEnd front;
    Calculator calculator(front);
    ASSERT_TRUE(calculator.load(test::writeTestRom(dir).toStdString(), "/a/TI85Stat.bin", true)
                    .usable(true));
    Machine& m = calculator.machine();
    Settings live;
    live.ramPath = "/a/TI85Stat.bin";
    Settings edited = live;
    std::vector<std::pair<uint32_t, uint32_t>> applied;
    ColourFunction apply = [&](uint32_t fg, uint32_t bg) { applied.emplace_back(fg, bg); };

    m.regs.pc = 0x1234;
    applyPreferences(&calculator, live, edited, apply);
    EXPECT_EQ(m.regs.pc, 0x1234);  // nothing reloaded
    EXPECT_TRUE(applied.empty());

    // A path differing only in case is another file here.
    edited.ramPath = "/a/ti85stat.bin";
    edited.foreground = 0x00ABCDEF;
    applyPreferences(&calculator, live, edited, apply);
    EXPECT_NE(m.regs.pc, 0x1234);  // the missing file gives a cold start
    EXPECT_EQ(m.fetchPointer, m.mem.translateRead(m.regs.pc));
    EXPECT_EQ(calculator.ramPath(), "/a/ti85stat.bin");
    ASSERT_EQ(applied.size(), 1u);
    EXPECT_EQ(applied[0].first, 0x00ABCDEFu);
    EXPECT_EQ(live, edited);
}

}  // namespace
}  // namespace vantrel

#include <QTemporaryDir>

#include "shell/calculator_view.h"
#include "shell/main_window.h"
#include "shell/skin_painter.h"
#include "shell_support.h"

namespace vantrel {
namespace {

QColor lcdTopLeft(MainWindow& window) {
    QPixmap pixmap(window.view()->size());
    window.view()->render(&pixmap);
    return pixmap.toImage().pixelColor(9, 3);  // the test ROM lights this pixel
}

TEST(WindowPreferencesThread, TestThenCancelRestoresTheColoursAndOkKeepsTheRecord) {
    QTemporaryDir dir;
    Settings settings;
    settings.romPath = test::writeTestRom(dir).toStdString();
    settings.ramPath = dir.filePath(QStringLiteral("state.bin")).toStdString();
    MainWindow window(settings);
    window.startEmulation();
    ASSERT_TRUE(test::waitUntil([&] { return window.calculator().lcd()[0] == 0x80; }));
    const Settings before = settings;

    test::whenModal([&window](QWidget* dialog) {
        dialog->findChild<QTabBar*>("tabs")->setCurrentIndex(1);
        dialog->findChild<QSlider*>("sliderRed")->setValue(0);
        dialog->findChild<QSlider*>("sliderGreen")->setValue(0);
        dialog->findChild<QSlider*>("sliderBlue")->setValue(255);
        dialog->findChild<QPushButton*>("testColours")->click();
        EXPECT_EQ(lcdTopLeft(window), QColor(0, 0, 255));
        dialog->findChild<QDialogButtonBox*>("buttons")->button(QDialogButtonBox::Cancel)->click();
    });
    window.onCommand(cmdPreferences);
    EXPECT_EQ(settings, before);
    EXPECT_EQ(lcdTopLeft(window), QColor(255, 255, 255));  // the colour it had

    test::whenModal([](QWidget* dialog) {
        dialog->findChild<QTabBar*>("tabs")->setCurrentIndex(1);
        dialog->findChild<QSlider*>("sliderBlue")->setValue(0);
        dialog->findChild<QSlider*>("sliderGreen")->setValue(255);
        dialog->findChild<QSlider*>("sliderRed")->setValue(0);
        dialog->findChild<QDialogButtonBox*>("buttons")->button(QDialogButtonBox::Ok)->click();
    });
    window.onCommand(cmdPreferences);
    EXPECT_EQ(settings.foreground, 0x0000FF00u);
    EXPECT_EQ(lcdTopLeft(window), QColor(0, 255, 0));
    EXPECT_TRUE(window.stopEmulationThread());
}

}  // namespace
}  // namespace vantrel
