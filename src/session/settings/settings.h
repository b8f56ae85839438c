// The preferences record and its settings file "Vantrel.ini".
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hardware/machine_model.h"
#include "machine/real_speed.h"
#include "session/keys/key_map.h"
#include "text/failure.h"

namespace vantrel {

// [Preferences] SaveState: what closing does with the calculator's state.
enum class SaveStateMode {
    showDialog,  // ask while the calculator is on
    never,
    always,
};

// [Preferences] ScreenShotFormat: the kind of screenshot files.
enum class ScreenshotFormat { bmp, png };

// Zoom steps of the window and scale factors of PNG and clipboard screenshots.
inline constexpr int minZoom = 1;
inline constexpr int maxZoom = 4;

// Where the window was: [Window] X and Y (the frame's top-left on the desktop, when
// known), Width and Height (the calculator's area without menus; 0 when unknown,
// the size then follows Zoom), Maximized.
struct WindowPlace {
    bool placed = false;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool maximized = false;

    bool operator==(const WindowPlace&) const = default;
};

// [Window] SquarePixels: the LCD's pixels in the window square, as screenshots have
// them, or in the proportions of the 1x picture (212 x 128 for 128 x 64). Without the
// key, square from 2x, where whole square cells cost no size.
enum class SquarePixels { fromTwice, always, never };

// The speed factors by name, as the settings file, the runner's --speed and the Speed
// menu give them: "1/4", "1/2", "1", "2", "4", "unlimited" (any letter case).
std::string_view speedFactorName(SpeedFactor factor);
std::optional<SpeedFactor> speedFactorNamed(std::string_view name);

// [Recent] ROM1 to ROM4: the ROM images the calculator ran on last, newest first.
inline constexpr std::size_t recentRomLimit = 4;

// [Preferences] RewindSeconds: how far back rewind reaches (0: it keeps nothing).
inline constexpr int defaultRewindSeconds = 60;
inline constexpr int maxRewindSeconds = 600;

// The longest ScreenShotBase kept, in bytes; a longer one is cut, never inside a
// UTF-8 character.
inline constexpr std::size_t screenshotBaseLimit = 251;

struct Settings {
    std::string romPath;                                        // [Directories] ROMFile
    std::string ramPath;                                        // [Directories] RAMFile
    uint32_t foreground = 0x00FFFFFF;                           // [Colors] Foreground, 0x00BBGGRR
    uint32_t background = 0x00000000;                           // [Colors] Background
    SaveStateMode saveStateMode = SaveStateMode::showDialog;    // [Preferences] SaveState
    bool beepOnErrors = true;                                   // [Preferences] BeepOnErrors
    bool screenshotToFile = false;                              // [Preferences] ScreenShotAsBitmap
    bool autoLinkOnUpload = true;                               // [Preferences] AutoLinkOnUpload
    bool testRomVersion = true;                                 // [Preferences] TestROMVersion
    bool allowMultipleInstances = false;                        // [Preferences] AllowMultipleInst
    std::string screenshotBase = "TI85-";                       // [Preferences] ScreenShotBase
    ScreenshotFormat screenshotFormat = ScreenshotFormat::bmp;  // [Preferences] ScreenShotFormat
    int screenshotScale = 1;       // [Preferences] ScreenShotScale: PNG files and the clipboard
    std::string screenshotFolder;  // [Preferences] ScreenShotFolder; empty: the default folder
    bool recordKeys = false;       // [Preferences] RecordKeys: the last keys under recordings
    int zoom = 0;                  // [Window] Zoom; 0: none chosen, the largest that fits
    WindowPlace window;            // [Window] X, Y, Width, Height, Maximized
    SquarePixels squarePixels = SquarePixels::fromTwice;  // [Window] SquarePixels
    int rewindSeconds = defaultRewindSeconds;             // [Preferences] RewindSeconds
    bool startDemo = false;               // [Preferences] StartDemo: the demo while no ROM works
    std::vector<std::string> recentRoms;  // [Recent] ROM1 to ROM4
    KeyMap keyMap;                        // [Keyboard]: a PC key's name, a calculator key's
    MachineModel model = MachineModel::classic;  // [Preferences] Model: classic or hardware
    SpeedFactor speed = SpeedFactor::normal;     // [Preferences] Speed: the hardware model's
    bool smoothGreyscale = true;  // [Preferences] SmoothGreyscale: the hardware model's LCD
    std::string iniPath;          // where the file is; not stored

    bool operator==(const Settings&) const = default;
};

// Fills iniPath: "Vantrel.ini" in the current directory when it exists there; else
// the one beside the program (programDir) when it exists there, a portable copy (one
// is never made there); else $XDG_CONFIG_HOME/vantrel/Vantrel.ini (~/.config/vantrel
// by default).
void locateSettingsFile(Settings& settings, const std::string& programDir);

// The folder that relative ROM and state paths of the settings mean. Settings in the
// user's configuration folder keep their files in the user's data folder,
// $XDG_DATA_HOME/vantrel (~/.local/share/vantrel); any other settings file (the
// current directory's, a portable copy's, one named to the runner) keeps them beside
// itself. Empty, meaning the current directory, while iniPath is not known.
std::string dataDirectory(const Settings& settings);
// A path from the settings as the files are opened: an absolute one as it stands, a
// relative one inside dataDirectory().
std::string resolvePath(const Settings& settings, const std::string& path);
// Makes the user's data folder when a relative ROM or state path points into it and
// it is missing, so that the state file can be written there and the ROM image put
// there. Fails when it is needed and could not be made.
Result<> makeDataDirectory(const Settings& settings);
// A path typed on the command line means the current directory; made absolute, it
// keeps that meaning once stored in the settings.
std::string absoluteFromHere(const std::string& path);
// Fills every stored field from the file (defaults where missing). Fails when the
// file could not be read (missing included), with the system's error; every field
// then holds its default.
Result<> readSettings(Settings& settings, const std::string& programDir);
// The ROM image first in the recent list, once, and the list no longer than
// recentRomLimit.
void rememberRecentRom(Settings& settings, const std::string& romPath);
// Stores every stored field, keeping everything else in the file; creates the
// file's folder when missing, and replaces the file atomically. A file that cannot be
// read is not replaced (its other content would be lost), nor is one written larger
// than readSettings takes (EFBIG).
Result<> writeSettings(const Settings& settings);

}  // namespace vantrel
