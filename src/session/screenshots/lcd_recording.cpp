#include "session/screenshots/lcd_recording.h"

#include <algorithm>
#include <vector>

#include "session/screenshots/screenshot.h"
#include "session/settings/settings.h"

namespace vantrel {

namespace {

uint8_t channel(uint32_t bgr, int shift) { return static_cast<uint8_t>(bgr >> shift); }

// The colour a level shows: the background blended towards the foreground.
GifColour levelColour(int level, uint32_t foreground, uint32_t background) {
    auto blend = [&](int shift) {
        const int from = channel(background, shift);
        const int to = channel(foreground, shift);
        return static_cast<uint8_t>(from + (to - from) * level / (recordingShadeLevels - 1));
    };
    return {blend(0), blend(8), blend(16)};
}

}  // namespace

Result<> LcdRecording::start(const std::string& path, int scale, uint32_t foreground,
                             uint32_t background, int captionRows) {
    scale_ = std::clamp(scale, minZoom, maxZoom);
    captionRows_ = std::max(captionRows, 0);
    path_ = path;
    std::vector<GifColour> palette;
    for (int level = 0; level < recordingShadeLevels; ++level)
        palette.push_back(levelColour(level, foreground, background));
    frame_.assign(static_cast<std::size_t>(width() * (lcdHeight * scale_ + captionRows_)), 0);
    return gif_.start(path, width(), lcdHeight * scale_ + captionRows_, palette);
}

Result<> LcdRecording::addFrame(const LcdShades& shades, uint64_t timeMs,
                                std::span<const uint8_t> caption) {
    const auto w = static_cast<std::size_t>(width());
    const auto s = static_cast<std::size_t>(scale_);
    for (std::size_t y = 0; y < lcdHeight * s; ++y)
        for (std::size_t x = 0; x < w; ++x)
            frame_[y * w + x] = shadeLevel(shades[(y / s) * lcdWidth + x / s]);
    const std::size_t captionStart = lcdHeight * s * w;
    for (std::size_t i = captionStart; i < frame_.size(); ++i) {
        const std::size_t at = i - captionStart;
        frame_[i] = at < caption.size() ? shadeLevel(caption[at]) : 0;
    }
    return gif_.addFrame(frame_, timeMs);
}

Result<std::string> nextRecordingPath(const Settings& settings) {
    return nextScreenshotPath(settings, ".gif");
}

}  // namespace vantrel
