// The real window on the demo firmware: a group of two variables through the Upload
// command, then the Screenshot command to a file, checked against the LCD.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <filesystem>

#include "hardware/lcd_picture.h"
#include "link/variable_file.h"
#include "machine/machine.h"
#include "machine/thread_control.h"
#include "modal_driver.h"
#include "session/keys/key_table.h"
#include "session/screenshots/screenshot.h"
#include "session/settings/settings.h"
#include "shell/main_window.h"
#include "shell_support.h"
#include "support/temp_dir.h"
#include "support/variable_file_builder.h"

#ifdef VANTREL_FIRMWARE_ROM  // builds without the assembled firmware leave this out
#include "e2e/firmware_machine.h"

namespace vantrel {
namespace {

using test::heldTrimmedRow;

using Bytes = std::vector<uint8_t>;

Bytes groupFile() {
    return test::variableFile({{10, 0, 0x00, 1, 'A'},
                               {0x00, 0x00, 0x81, 0x42, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
                               {7, 0, 0x0C, 3, 'M', 'S', 'G'},
                               {0x05, 0x00, 'H', 'e', 'l', 'l', 'o'}});
}

TEST(DemoFirmwareWindowLinkTest, UploadedGroupAppearsAndScreenshotMatchesTheLcd) {
    test::application();
    test::TempDir dir;
    Settings settings;
    settings.romPath = VANTREL_FIRMWARE_ROM;
    settings.ramPath = dir / "TI85Stat.bin";
    settings.iniPath = dir / "Vantrel.ini";
    settings.saveStateMode = SaveStateMode::never;
    settings.screenshotToFile = true;
    settings.autoLinkOnUpload = true;
    settings.foreground = 0x00000000;
    settings.background = 0x00FFFFFF;
    test::writeBytes(dir / "group.85g", groupFile());

    MainWindow window(settings);
    window.startEmulation();
    ASSERT_FALSE(window.romLoadFailed());
    window.show();
    Machine& m = window.calculator().machine();
    ASSERT_TRUE(test::waitUntil([&] { return heldTrimmedRow(m, 0) == "  VANTREL DEMO"; }));

    // No box may come up on the way; one that does fails the test and is closed.
    auto unexpected = test::whenModal([](QWidget* w) {
        ADD_FAILURE() << "unexpected dialog " << w->windowTitle().toStdString();
        w->close();
    });
    window.uploadGivenFile(dir / "group.85g");
    ASSERT_TRUE(test::waitUntil([&] {
        return heldTrimmedRow(m, 1) == "DONE" && window.calculator().asleep();
    })) << heldTrimmedRow(m, 1);
    EXPECT_EQ(heldTrimmedRow(m, 0), " Waiting");
    EXPECT_EQ(heldTrimmedRow(m, 2), "A");
    EXPECT_EQ(heldTrimmedRow(m, 3), "MSG");

    window.onCommand(cmdScreenshot);
    unexpected->cancel();
    const std::string shot = dir / "TI85-000.bmp";
    ASSERT_TRUE(std::filesystem::exists(shot));
    const Bytes bmp = test::readBytes(shot);
    ASSERT_EQ(bmp.size(), bitmapFileSize);

    LcdBytes lcd;
    {
        HoldGuard hold(m.control);
        lcd = lcdMemoryCopy(m.mem);
    }
    // The colour table: background then foreground, blue green red 0.
    const std::size_t table = bitmapFileHeaderSize + dibHeaderSize;
    EXPECT_EQ(Bytes(bmp.begin() + table, bmp.begin() + table + 8),
              (Bytes{0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0}));
    // Every pixel, rows bottom first in the file.
    const std::size_t pixels = table + dibColourTableSize;
    int differing = 0;
    for (int y = 0; y < lcdHeight; ++y)
        for (int x = 0; x < lcdWidth; ++x) {
            const uint8_t byte =
                bmp[pixels + static_cast<std::size_t>((lcdHeight - 1 - y) * 16 + x / 8)];
            const bool filePixel = (byte >> (7 - x % 8)) & 1;
            if (filePixel != lcdPixel(lcd.data(), x, y)) ++differing;
        }
    EXPECT_EQ(differing, 0);
    EXPECT_GT(std::count_if(lcd.begin(), lcd.end(), [](uint8_t b) { return b != 0; }), 10);

    // Sent back ([EXIT] to the link menu, [F1]): the Save As dialog says what arrives and
    // suggests the first variable's name.
    QString title, suggested;
    test::whenModal([&](QWidget* widget) {
        auto* dialog = qobject_cast<QFileDialog*>(widget);
        if (!dialog) {
            widget->close();
            return;
        }
        title = dialog->windowTitle();
        suggested = QFileInfo(dialog->selectedFiles().value(0)).fileName();
        dialog->selectFile(QString::fromStdString(dir / "back"));
        static_cast<QDialog*>(dialog)->accept();
    });
    for (const KeyCode key : {keyExit, keyF1}) {
        window.calculator().pressKey(keyIndex(key));
        window.calculator().releaseMouse();
        ASSERT_TRUE(test::waitUntil(
            [&] { return !window.calculator().keyPending() && window.calculator().asleep(); }));
    }
    ASSERT_TRUE(test::waitUntil([&] { return std::filesystem::exists(dir / "back.85g"); }));
    EXPECT_EQ(title, QStringLiteral("Save the variables received from the calculator"));
    EXPECT_EQ(suggested, QStringLiteral("A.85g"));

    window.closeWithoutDialogs();
    EXPECT_TRUE(test::waitUntil([&] { return window.closed(); }));
}

}  // namespace
}  // namespace vantrel

#endif  // VANTREL_FIRMWARE_ROM
