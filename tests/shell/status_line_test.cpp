// What the window says after a command without a dialog: where a screenshot went, how
// much of a paste is typed.
#include <QClipboard>
#include <QDesktopServices>
#include <QImage>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QUrl>
#include <filesystem>
#include <fstream>

#include "machine/machine.h"
#include "modal_driver.h"
#include "running_window.h"
#include "shell/calculator_view.h"
#include "shell/screenshot.h"
#include "support/scoped_env.h"

namespace fs = std::filesystem;

namespace vantrel::test {
namespace {

class StatusLine : public RunningWindow {
protected:
    void pressF7(Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        for (const QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
            QKeyEvent event(type, Qt::Key_F7, modifiers);
            QApplication::sendEvent(window->view(), &event);
        }
    }
};

TEST_F(StatusLine, ScreenshotsSayWhereTheyWent) {
    ASSERT_NO_FATAL_FAILURE(start());
    settings.foreground = 0x000000FF;  // red on blue
    settings.background = 0x00FF0000;
    settings.screenshotScale = 2;
    pressF7();
    EXPECT_EQ(window->statusMessage(), QStringLiteral("Copied to the clipboard"));
    // The clipboard's picture comes at the chosen scale.
    const QImage copied =
        qvariant_cast<QImage>(QGuiApplication::clipboard()->mimeData()->imageData());
    EXPECT_EQ(copied.size(), QSize(256, 128));

    // A PNG file in the chosen folder under the home folder: named from there.
    const ScopedEnv home("HOME", dir.path().toLocal8Bit().constData());
    settings.iniPath = dir.filePath(QStringLiteral("Vantrel.ini")).toStdString();
    settings.screenshotToFile = true;
    settings.screenshotFormat = ScreenshotFormat::png;
    settings.screenshotFolder = dir.filePath(QStringLiteral("Pictures")).toStdString();
    auto unexpected = answerMessageBox(QMessageBox::Ok);
    pressF7();
    EXPECT_FALSE(unexpected->shown);
    unexpected->watch->cancel();
    EXPECT_EQ(window->statusMessage(), QStringLiteral("Saved ~/Pictures/TI85-000.png"));
    QImage saved(dir.filePath(QStringLiteral("Pictures/TI85-000.png")));
    ASSERT_EQ(saved.size(), QSize(256, 128));
    // The lit top-left pixel is a 2 x 2 block in the foreground colour.
    EXPECT_EQ(saved.pixel(1, 1), qRgb(255, 0, 0));
    EXPECT_EQ(saved.pixel(2, 0), qRgb(0, 0, 255));
    EXPECT_EQ(saved.pixel(0, 2), qRgb(0, 0, 255));

    // Shift+F7 copies whatever the setting says; a failed file says so in a box, and
    // the line does not claim a file.
    pressF7(Qt::ShiftModifier);
    EXPECT_EQ(window->statusMessage(), QStringLiteral("Copied to the clipboard"));
    settings.screenshotFolder = dir.filePath(QStringLiteral("Vantrel.ini")).toStdString();
    std::ofstream(settings.screenshotFolder) << "not a folder";
    window->statusBar()->clearMessage();
    auto box = answerMessageBox(QMessageBox::Ok);
    pressF7();
    EXPECT_TRUE(box->shown);
    EXPECT_NE(box->informative.indexOf(QStringLiteral("Vantrel.ini")), -1)
        << box->informative.toStdString();
    EXPECT_EQ(window->statusMessage(), QString());
}

// Receives the folder that a click on the status line opens, instead of a file manager.
class FolderOpener : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
    Q_INVOKABLE void open(const QUrl& url) { opened << url; }
};

TEST_F(StatusLine, AFileScreenshotsMessageStaysAndAClickOnItOpensTheFolder) {
    ASSERT_NO_FATAL_FAILURE(start());
    const ScopedEnv home("HOME", dir.path().toLocal8Bit().constData());
    settings.iniPath = dir.filePath(QStringLiteral("Vantrel.ini")).toStdString();
    settings.screenshotToFile = true;
    settings.screenshotFolder = dir.filePath(QStringLiteral("shots")).toStdString();
    FolderOpener opener;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &opener, "open");
    pressF7();
    const QString saved = QStringLiteral("Saved ~/shots/TI85-000.bmp");
    EXPECT_EQ(window->statusMessage(), saved);
    // A menu's status tip shows over it for a while; the message comes back after it.
    QStatusTipEvent tip(QStringLiteral("a command"));
    QApplication::sendEvent(window.get(), &tip);
    EXPECT_EQ(window->statusBar()->currentMessage(), QStringLiteral("a command"));
    QStatusTipEvent none{QString()};
    QApplication::sendEvent(window.get(), &none);
    // Longer than a command's message stays.
    waitUntil([] { return false; }, 5300);
    EXPECT_EQ(window->statusMessage(), saved);
    QStatusBar* line = window->statusBar();
    QMouseEvent click(QEvent::MouseButtonRelease, QPointF(10, 5), line->mapToGlobal(QPointF(10, 5)),
                      Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(line, &click);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    EXPECT_EQ(opener.opened,
              QList<QUrl>{QUrl::fromLocalFile(dir.filePath(QStringLiteral("shots")))});
    // The next message replaces it, and a click then opens nothing.
    window->pasteText(QStringLiteral("1"));
    EXPECT_NE(window->statusMessage(), saved);
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &opener, "open");
    QApplication::sendEvent(line, &click);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    EXPECT_EQ(opener.opened.size(), 1);
}

TEST_F(StatusLine, PasteTypesWhatHasKeysAndCountsTheRest) {
    ASSERT_NO_FATAL_FAILURE(start());
    window->pasteText(QStringLiteral("1+2\r\n\u20AC?"));
    EXPECT_EQ(window->statusMessage(),
              QStringLiteral("Typing 4 characters; 2 without a key skipped"));
    EXPECT_TRUE(waitUntil([&] { return !window->pasting(); }));
    // The last key typed is the line break's [ENTER].
    EXPECT_TRUE(
        waitUntil([&] { return window->calculator().machine().keyLatch.load() == keyEnter; }));

    // A paste never fills the queue: keys typed meanwhile still find room.
    window->pasteText(QString(100, QLatin1Char('7')));
    EXPECT_LE(window->calculator().keyQueueRoom(), keyQueueCapacity);
    EXPECT_GE(window->calculator().keyQueueRoom(), keyQueueCapacity - 2);
    EXPECT_TRUE(window->pasting());
}

}  // namespace
}  // namespace vantrel::test

#include "status_line_test.moc"
