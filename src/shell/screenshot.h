// The Screenshot command: the LCD as a one-bit bitmap on the clipboard or in the next
// numbered file.
#pragma once

class QWidget;

namespace vantrel {

struct Machine;
struct Settings;

enum ScreenshotRoute : int {
    screenshotToFileRoute = 0,
    screenshotToClipboardRoute = 1,
    screenshotAsConfigured = 2,
};

// The clipboard format that carries the bitmap block itself.
inline constexpr const char* dibMimeType = "application/x-qt-windows-mime;value=\"DeviceIndependentBitmap\"";

// True on success; a failure is reported to the user in a message box.
bool takeScreenshot(QWidget* owner, const Machine& machine, const Settings& settings, int route);

}  // namespace vantrel
