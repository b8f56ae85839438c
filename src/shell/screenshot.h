// The Screenshot command: the LCD as a one-bit bitmap on the clipboard or in the next
// numbered file.
#pragma once

#include "hardware/lcd_picture.h"

class QWidget;

namespace vantrel {

struct Settings;

enum class ScreenshotRoute { toFile, toClipboard, asConfigured };

// The clipboard format that carries the bitmap block itself.
inline constexpr const char* dibMimeType =
    "application/x-qt-windows-mime;value=\"DeviceIndependentBitmap\"";

// True on success; a failure is reported to the user in a message box.
bool takeScreenshot(QWidget* owner, const LcdBytes& lcd, const Settings& settings,
                    ScreenshotRoute route);

}  // namespace vantrel
