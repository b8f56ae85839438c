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
#include "session/screenshots/lcd_image.h"
#include "session/screenshots/screenshot.h"
#include "session/settings/settings.h"
#include "session/settings/user_dirs.h"
#include "shell/calculator_view.h"

namespace vantrel {

namespace {

namespace fs = std::filesystem;

// The same picture for programs that do not read the bitmap block.
QImage lcdImage(const LcdShades& lcd, uint32_t foreground, uint32_t background, int scale) {
    const std::vector<uint8_t> pixels = shadesAtScale(lcd, scale);
    const int width = lcdWidth * scale, height = lcdHeight * scale;
    QImage image(width, height, QImage::Format_Indexed8);
    QList<QRgb> colours;
    for (int shade = 0; shade < 256; ++shade)
        colours.push_back(
            colourFromSetting(blendColour(background, foreground, static_cast<uint8_t>(shade)))
                .rgb());
    image.setColorTable(colours);
    for (int y = 0; y < height; ++y)
        std::memcpy(image.scanLine(y), pixels.data() + static_cast<std::size_t>(y * width),
                    static_cast<std::size_t>(width));
    return image;
}

Result<> toClipboard(const LcdShades& lcd, const Settings& settings, int scale) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) return Failure::decline("There is no clipboard.");
    const auto dib = buildLcdDib(lcd, settings.foreground, settings.background, scale);
    auto* data = new QMimeData;
    data->setData(
        QString::fromLatin1(dibMimeType),
        QByteArray(reinterpret_cast<const char*>(dib.data()), static_cast<qsizetype>(dib.size())));
    data->setImageData(lcdImage(lcd, settings.foreground, settings.background, scale));
    clipboard->setMimeData(data);
    return {};
}

}  // namespace

Result<Screenshot> takeScreenshot(QWidget* owner, const LcdShades& lcd, const Settings& settings,
                                  ScreenshotRoute route) {
    Screenshot shot;
    shot.toFile = route == ScreenshotRoute::toFile ||
                  (route == ScreenshotRoute::asConfigured && settings.screenshotToFile);
    std::optional<Failure> failure;
    if (shot.toFile) {
        auto saved = saveScreenshotFile(lcd, settings);
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
