#include "shell/screenshot.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMessageBox>
#include <QMimeData>
#include <cstring>

#include "hardware/lcd_picture.h"
#include "session/screenshot.h"
#include "session/settings.h"
#include "shell/calculator_view.h"

namespace vantrel {

namespace {

// The same picture for programs that do not read the bitmap block.
QImage lcdImage(const uint8_t* lcd, uint32_t foreground, uint32_t background) {
    QImage image(lcdWidth, lcdHeight, QImage::Format_Mono);
    image.setColorTable({colourFromSetting(background).rgb(), colourFromSetting(foreground).rgb()});
    for (int y = 0; y < lcdHeight; ++y)
        std::memcpy(image.scanLine(y), lcd + y * (lcdWidth / 8), lcdWidth / 8);
    return image;
}

bool toClipboard(const std::vector<uint8_t>& dib, const QImage& image) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) return false;
    auto* data = new QMimeData;
    data->setData(
        QString::fromLatin1(dibMimeType),
        QByteArray(reinterpret_cast<const char*>(dib.data()), static_cast<qsizetype>(dib.size())));
    data->setImageData(image);
    clipboard->setMimeData(data);
    return true;
}

bool toFile(const std::vector<uint8_t>& dib, const Settings& settings) {
    const std::string directory = screenshotDirectory(settings.iniPath);
    if (directory.empty()) return false;
    const auto name = nextScreenshotName(directory, settings.screenshotBase);
    return name && writeBitmapFile(dib, *name);
}

}  // namespace

bool takeScreenshot(QWidget* owner, const LcdBytes& lcd, const Settings& settings,
                    ScreenshotRoute route) {
    const bool file = route == ScreenshotRoute::toFile ||
                      (route == ScreenshotRoute::asConfigured && settings.screenshotToFile);
    const auto dib = buildLcdDib(lcd.data(), settings.foreground, settings.background);

    const bool done =
        file ? toFile(dib, settings)
             : toClipboard(dib, lcdImage(lcd.data(), settings.foreground, settings.background));
    if (!done)
        QMessageBox::critical(owner, QStringLiteral("Error"),
                              QStringLiteral("An error occured while making the screenshot."));
    return done;
}

}  // namespace vantrel
