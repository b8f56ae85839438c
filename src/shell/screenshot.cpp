#include "shell/screenshot.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMessageBox>
#include <QMimeData>
#include <algorithm>
#include <cstring>
#include <filesystem>

#include "hardware/lcd_picture.h"
#include "session/screenshots/screenshot.h"
#include "session/settings/settings.h"
#include "session/settings/user_dirs.h"
#include "shell/calculator_view.h"

namespace vantrel {

namespace {

namespace fs = std::filesystem;

// The same picture for programs that do not read the bitmap block.
QImage lcdImage(const uint8_t* lcd, uint32_t foreground, uint32_t background, int scale) {
    const std::vector<uint8_t> bits = lcdBitsAtScale(lcd, scale);
    const int width = lcdWidth * scale, height = lcdHeight * scale;
    const auto rowBytes = static_cast<std::size_t>(width / 8);
    QImage image(width, height, QImage::Format_Mono);
    image.setColorTable({colourFromSetting(background).rgb(), colourFromSetting(foreground).rgb()});
    for (int y = 0; y < height; ++y)
        std::memcpy(image.scanLine(y), bits.data() + static_cast<std::size_t>(y) * rowBytes,
                    rowBytes);
    return image;
}

bool toClipboard(const LcdBytes& lcd, const Settings& settings, int scale) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) return false;
    const auto dib = buildLcdDib(lcd.data(), settings.foreground, settings.background, scale);
    auto* data = new QMimeData;
    data->setData(
        QString::fromLatin1(dibMimeType),
        QByteArray(reinterpret_cast<const char*>(dib.data()), static_cast<qsizetype>(dib.size())));
    data->setImageData(lcdImage(lcd.data(), settings.foreground, settings.background, scale));
    clipboard->setMimeData(data);
    return true;
}

}  // namespace

ScreenshotResult takeScreenshot(QWidget* owner, const LcdBytes& lcd, const Settings& settings,
                                ScreenshotRoute route) {
    ScreenshotResult result;
    result.toFile = route == ScreenshotRoute::toFile ||
                    (route == ScreenshotRoute::asConfigured && settings.screenshotToFile);
    const int scale = std::clamp(settings.screenshotScale, minZoom, maxZoom);
    if (result.toFile) {
        const SavedScreenshot saved = saveScreenshotFile(lcd.data(), settings);
        result.done = saved.written();
        result.path = saved.path;
        result.why = saved.why;
    } else {
        result.done = toClipboard(lcd, settings, scale);
    }
    if (!result.done) {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Error"),
                        QStringLiteral("An error occured while making the screenshot."),
                        QMessageBox::Ok, owner);
        if (!result.why.empty()) box.setInformativeText(QString::fromStdString(result.why));
        box.exec();
    }
    return result;
}

std::string screenshotMessage(const ScreenshotResult& result) {
    if (!result.done) return {};
    if (!result.toFile) return "Copied to the clipboard";
    std::string shown = result.path;
    const std::string home = homeDirectory();
    if (!home.empty()) {
        const fs::path relative = fs::path(result.path).lexically_relative(home);
        if (!relative.empty() && *relative.begin() != "..") shown = "~/" + relative.string();
    }
    return "Saved " + shown;
}

}  // namespace vantrel
