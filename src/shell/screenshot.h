// The Screenshot command: the LCD as a one-bit bitmap on the clipboard (at the chosen
// scale), or in the next numbered file of the screenshot folder (BMP as it always
// was, or PNG at the chosen scale).
#pragma once

#include <string>

#include "hardware/lcd_picture.h"
#include "hardware/lcd_shades.h"
#include "text/failure.h"

class QWidget;

namespace vantrel {

struct Settings;

enum class ScreenshotRoute { toFile, toClipboard, asConfigured };

// The clipboard format that carries the bitmap block itself.
inline constexpr const char* dibMimeType =
    "application/x-qt-windows-mime;value=\"DeviceIndependentBitmap\"";

// Where a screenshot went.
struct Screenshot {
    bool toFile = false;
    std::string path;  // the file written
};

// A failure is reported to the user in a message box; success is for the window to
// tell (screenshotMessage).
Result<Screenshot> takeScreenshot(QWidget* owner, const LcdShades& lcd, const Settings& settings,
                                  ScreenshotRoute route);

// What the window says after a screenshot: "Copied to the clipboard", or "Saved "
// and the file, under the home folder as "~" names it ("Saved ~/Pictures/TI85-003.png").
std::string screenshotMessage(const Screenshot& shot);

}  // namespace vantrel
