#include "shell/screenshot.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMessageBox>
#include <QMimeData>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <optional>

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

Result<> toClipboard(const LcdBytes& lcd, const Settings& settings, int scale) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) return Failure::decline("There is no clipboard.");
    const auto dib = buildLcdDib(lcd.data(), settings.foreground, settings.background, scale);
    auto* data = new QMimeData;
    data->setData(
        QString::fromLatin1(dibMimeType),
        QByteArray(reinterpret_cast<const char*>(dib.data()), static_cast<qsizetype>(dib.size())));
    data->setImageData(lcdImage(lcd.data(), settings.foreground, settings.background, scale));
    clipboard->setMimeData(data);
    return {};
}

}  // namespace

Result<Screenshot> takeScreenshot(QWidget* owner, const LcdBytes& lcd, const Settings& settings,
                                  ScreenshotRoute route) {
    Screenshot shot;
    shot.toFile = route == ScreenshotRoute::toFile ||
                  (route == ScreenshotRoute::asConfigured && settings.screenshotToFile);
    std::optional<Failure> failure;
    if (shot.toFile) {
        auto saved = saveScreenshotFile(lcd.data(), settings);
        if (saved)
            shot.path = std::move(*saved);
        else
            failure = saved.failure();
    } else if (const Result<> copied = toClipboard(
                   lcd, settings, std::clamp(settings.screenshotScale, minZoom, maxZoom));
               !copied) {
        failure = copied.failure();
    }
    if (!failure) return shot;
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Error"),
                    QStringLiteral("An error occured while making the screenshot."),
                    QMessageBox::Ok, owner);
    box.setInformativeText(QString::fromStdString(failure->reason));
    box.exec();
    return *failure;
}

std::string screenshotMessage(const Screenshot& shot) {
    if (!shot.toFile) return "Copied to the clipboard";
    std::string shown = shot.path;
    const std::string home = homeDirectory();
    if (!home.empty()) {
        const fs::path relative = fs::path(shot.path).lexically_relative(home);
        if (!relative.empty() && *relative.begin() != "..") shown = "~/" + relative.string();
    }
    return "Saved " + shown;
}

}  // namespace vantrel
