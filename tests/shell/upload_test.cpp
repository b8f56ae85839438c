#include <gtest/gtest.h>
#include <unistd.h>

#include <QClipboard>
#include <QFileDialog>
#include <QImage>
#include <QMimeData>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "modal_driver.h"
#include "session/screenshots/lcd_image.h"
#include "session/settings/settings.h"
#include "shell/link_prompts.h"
#include "shell/screenshot.h"

namespace fs = std::filesystem;

namespace vantrel {
namespace {

class UploadCommand : public ::testing::Test {
protected:
    void SetUp() override {
        test::application();
        dir = fs::temp_directory_path() / ("vantrel-upload-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    fs::path dir;
};

TEST_F(UploadCommand, OpenDialogOffersVariableFilesAndReturnsTheChoice) {
    const std::string file = (dir / "prog.85p").string();
    std::ofstream(file) << "**TI85**";
    test::whenModal([&](QWidget* widget) {
        auto* dialog = qobject_cast<QFileDialog*>(widget);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowTitle(), "Choose File to Upload");
        EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
        EXPECT_EQ(dialog->nameFilters(), (QStringList{"Vantrel-Files (*.85?)", "All files (*)"}));
        dialog->selectFile(QString::fromStdString(file));
        static_cast<QDialog*>(dialog)->accept();
    });
    EXPECT_EQ(chooseUploadFileDialog(nullptr), file);
    test::whenModal([](QWidget* widget) { qobject_cast<QDialog*>(widget)->reject(); });
    EXPECT_EQ(chooseUploadFileDialog(nullptr), std::nullopt);
}

class ScreenshotCommand : public UploadCommand {
protected:
    void SetUp() override {
        UploadCommand::SetUp();
        settings.iniPath = (dir / "Vantrel.ini").string();
        settings.foreground = 0x000000FF;  // red
        settings.background = 0x00FF0000;  // blue
        lcd[0] = 0x80;                     // top-left pixel set
    }
    Settings settings;
    LcdBytes lcd{};
};

TEST_F(ScreenshotCommand, ClipboardGetsTheBitmapBlockAndAnImage) {
    settings.screenshotToFile = true;  // route 1 ignores the setting
    ASSERT_TRUE(takeScreenshot(nullptr, shadesOfLcdBytes(lcd.data()), settings,
                               ScreenshotRoute::toClipboard));
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    const QByteArray dib = data->data(QString::fromLatin1(dibMimeType));
    ASSERT_EQ(dib.size(), 1072);
    EXPECT_EQ(static_cast<uint8_t>(dib[40]), 0xFF);  // background blue
    EXPECT_EQ(static_cast<uint8_t>(dib[46]), 0xFF);  // foreground red
    EXPECT_EQ(static_cast<uint8_t>(dib[48 + 63 * 16]), 0x80);
    const QImage image = qvariant_cast<QImage>(data->imageData());
    ASSERT_EQ(image.size(), QSize(128, 64));
    EXPECT_EQ(image.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(1, 0), qRgb(0, 0, 255));
    EXPECT_TRUE(fs::is_empty(dir));
}

// A picture with grey (the hardware model's) is written with a palette of 256 shades;
// Qt's own readers must see each pixel in its blended colour, in every route.
TEST_F(ScreenshotCommand, GreyPicturesReadBackInTheirShadesEverywhere) {
    LcdShades grey = shadesOfLcdBytes(lcd.data());
    for (std::size_t x = 0; x < 128; ++x) grey[64 * 128 - 128 + x] = static_cast<uint8_t>(x * 2);
    auto expected = [&](int x) {
        const uint32_t c =
            blendColour(settings.background, settings.foreground, static_cast<uint8_t>(x * 2));
        return qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
    };
    auto check = [&](const QImage& image, int scale) {
        ASSERT_EQ(image.size(), QSize(128, 64) * scale);
        EXPECT_EQ(image.pixel(0, 0), qRgb(255, 0, 0));
        for (int x = 0; x < 128; x += 7)
            EXPECT_EQ(image.pixel(x * scale, 64 * scale - 1), expected(x)) << x;
    };
    settings.screenshotScale = 2;
    settings.screenshotToFile = true;
    settings.screenshotBase = "grey-";
    ASSERT_TRUE(takeScreenshot(nullptr, grey, settings, ScreenshotRoute::toFile));
    check(QImage(QString::fromStdString((dir / "grey-000.bmp").string())), 1);
    settings.screenshotFormat = ScreenshotFormat::png;
    ASSERT_TRUE(takeScreenshot(nullptr, grey, settings, ScreenshotRoute::toFile));
    check(QImage(QString::fromStdString((dir / "grey-001.png").string())), 2);
    ASSERT_TRUE(takeScreenshot(nullptr, grey, settings, ScreenshotRoute::toClipboard));
    check(qvariant_cast<QImage>(QGuiApplication::clipboard()->mimeData()->imageData()), 2);
}

TEST_F(ScreenshotCommand, FileRouteNumbersFilesAndReportsUsedUpNames) {
    settings.screenshotToFile = true;
    settings.screenshotBase = "shot-";
    // A failure would raise the message box; close it rather than wait forever.
    auto unexpected = test::answerMessageBox(QMessageBox::Ok);
    EXPECT_TRUE(takeScreenshot(nullptr, shadesOfLcdBytes(lcd.data()), settings,
                               ScreenshotRoute::asConfigured));
    EXPECT_FALSE(unexpected->shown);
    unexpected->watch->cancel();
    ASSERT_TRUE(fs::exists(dir / "shot-000.bmp"));
    EXPECT_EQ(fs::file_size(dir / "shot-000.bmp"), 1086u);

    std::ofstream(dir / "shot-999.bmp") << "x";
    auto box = test::answerMessageBox(QMessageBox::Ok);
    EXPECT_FALSE(
        takeScreenshot(nullptr, shadesOfLcdBytes(lcd.data()), settings, ScreenshotRoute::toFile));
    ASSERT_TRUE(box->shown);
    EXPECT_EQ(box->title, "Error");
    EXPECT_EQ(box->text, "An error occured while making the screenshot.");
    EXPECT_EQ(box->icon, QMessageBox::Critical);
}

}  // namespace
}  // namespace vantrel

#include <QDropEvent>
#include <QUrl>

#include "shell/file_drop.h"

namespace vantrel {
namespace {

TEST_F(UploadCommand, DroppedVariableFilesAreUploadedOthersRefused) {
    QWidget window;
    std::vector<std::string> uploads;
    new FileDropUploader(&window, [&](const std::string& path) { uploads.push_back(path); });
    EXPECT_TRUE(window.acceptDrops());

    auto drop = [&](const QList<QUrl>& urls) {
        QMimeData data;
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &enter);
        QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &dropped);
        QCoreApplication::processEvents();
        return enter.isAccepted() && dropped.isAccepted();
    };
    const std::string file = (dir / "prog.85p").string();
    EXPECT_FALSE(drop({QUrl::fromLocalFile(QString::fromStdString((dir / "notes.txt").string()))}));
    EXPECT_FALSE(drop({QUrl(QStringLiteral("https://example.org/prog.85p"))}));
    EXPECT_TRUE(uploads.empty());
    EXPECT_TRUE(drop({QUrl::fromLocalFile(QStringLiteral("/x/readme")),
                      QUrl::fromLocalFile(QString::fromStdString(file))}));
    EXPECT_EQ(uploads, std::vector<std::string>{file});
}

}  // namespace
}  // namespace vantrel

#include <QTemporaryDir>

#include "machine/bus.h"
#include "shell/main_window.h"
#include "shell_support.h"

namespace vantrel {
namespace {

// The whole road through the window with a running calculator that stands on its
// home screen: Upload, the Open dialog, then the hint from the link.
TEST(WindowUploadThread, UploadFromTheHomeScreenEndsInTheHint) {
    QTemporaryDir dir;
    Settings settings;
    settings.romPath = test::writeTestRom(dir).toStdString();
    settings.ramPath = dir.filePath(QStringLiteral("state.bin")).toStdString();
    settings.autoLinkOnUpload = false;
    settings.beepOnErrors = false;
    const std::string file = dir.filePath(QStringLiteral("prog.85p")).toStdString();
    std::ofstream(file) << "**TI85**";

    MainWindow window(settings);
    window.startEmulation();
    ASSERT_TRUE(window.calculator().running());
    ASSERT_TRUE(test::waitUntil([&] { return window.calculator().calculatorOn(); }));

    std::shared_ptr<test::SeenBox> hint;
    auto dialog = test::whenModal([&](QWidget* widget) {
        auto* open = qobject_cast<QFileDialog*>(widget);
        ASSERT_NE(open, nullptr);
        EXPECT_EQ(open->windowTitle(), "Choose File to Upload");
        hint = test::answerMessageBox(QMessageBox::Ok);
        open->selectFile(QString::fromStdString(file));
        static_cast<QDialog*>(open)->accept();
    });
    window.onCommand(cmdUpload);
    ASSERT_TRUE(dialog->ran);
    ASSERT_TRUE(hint && hint->shown);
    EXPECT_EQ(hint->text, "To upload a file first press\n[2nd] [LINK] [F2] on the calculator.");
    EXPECT_TRUE(window.stopEmulationThread());
}

}  // namespace
}  // namespace vantrel

#include <QEventLoop>
#include <thread>

#include "shell/single_instance.h"

namespace vantrel {
namespace {

// A second start hands its file to the running instance over the local socket.
TEST(InstanceHandoverThread, FileNamedToASecondStartReachesTheFirst) {
    test::application();
    const QString name = QStringLiteral("VantrelTest-%1").arg(::getpid());
    InstanceServer server(name);
    ASSERT_TRUE(server.listen());
    int raises = 0;
    QStringList uploads;
    QObject::connect(&server, &InstanceServer::raiseRequested, [&] { ++raises; });
    QObject::connect(&server, &InstanceServer::uploadRequested,
                     [&](const QString& path) { uploads << path; });

    auto ask = [&](const QString& path) {
        std::atomic<bool> done{false};
        bool taken = false;
        std::thread second([&] {
            taken = askRunningInstanceToRaise(name, 5000, path) == HandOver::raised;
            done = true;
        });
        test::waitUntil([&] { return done.load(); });
        second.join();
        return taken;
    };
    EXPECT_TRUE(ask(QStringLiteral("/home/u/prog \u00e9.85p")));
    EXPECT_TRUE(ask(QString()));
    EXPECT_TRUE(ask(QStringLiteral("/bad\nname.85p")));  // only raises
    EXPECT_EQ(raises, 3);
    EXPECT_EQ(uploads, QStringList{QStringLiteral("/home/u/prog \u00e9.85p")});

    // An instance that takes the connection but never answers (stopped, or hung: here
    // its thread does not run its event loop) is not taken for one that came forward.
    HandOver frozen = HandOver::raised;
    std::thread second([&] { frozen = askRunningInstanceToRaise(name, 300, QString()); });
    second.join();
    EXPECT_EQ(frozen, HandOver::noAnswer);
    EXPECT_EQ(askRunningInstanceToRaise(name + QStringLiteral("-none"), 300), HandOver::nobody);
}

}  // namespace
}  // namespace vantrel
