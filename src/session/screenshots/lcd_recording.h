// The LCD recorded as an animated GIF, as the window shows it: the picture's shades
// between the window's background and foreground colours, enlarged by the screenshot
// scale, with room below for a caption (the last keys) when one is asked for.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "hardware/lcd_shades.h"
#include "session/screenshots/gif_recording.h"
#include "session/screenshots/lcd_image.h"
#include "text/failure.h"

namespace vantrel {

struct Settings;

// The grey levels of a recording's palette, from the bare screen (0) to a fully dark
// pixel: enough for the hardware model's greyscale, few enough for small files.
inline constexpr int recordingShadeLevels = 16;

// The palette index of a shade.
constexpr uint8_t shadeLevel(uint8_t shade) {
    return static_cast<uint8_t>((shade * (recordingShadeLevels - 1) + 127) / 255);
}

class LcdRecording {
public:
    // A recording at scale (clamped to the zoom steps) in the colours (0x00BBGGRR),
    // with captionRows rows below the LCD for captions.
    Result<> start(const std::string& path, int scale, uint32_t foreground, uint32_t background,
                   int captionRows = 0);
    // The LCD showing shades from timeMs on. caption: captionRows rows of width()
    // shades, or empty for a bare one.
    Result<> addFrame(const LcdShades& shades, uint64_t timeMs,
                      std::span<const uint8_t> caption = {});
    Result<> finish(uint64_t timeMs) { return gif_.finish(timeMs); }
    void abandon() { gif_.abandon(); }

    bool recording() const { return gif_.recording(); }
    uint64_t elapsedMs(uint64_t timeMs) const { return gif_.elapsedMs(timeMs); }
    int width() const { return lcdWidth * scale_; }
    int captionRows() const { return captionRows_; }
    const std::string& path() const { return path_; }

private:
    GifRecording gif_;
    std::string path_;
    int scale_ = 1;
    int captionRows_ = 0;
    std::vector<uint8_t> frame_;
};

// Where the next recording goes: the screenshot folder (made when missing), the next
// number of the screenshot series, ".gif".
Result<std::string> nextRecordingPath(const Settings& settings);

}  // namespace vantrel
