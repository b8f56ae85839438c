#include "session/settings/settings.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string_view>

#include "files/file_io.h"
#include "session/settings/ini_file.h"
#include "session/settings/user_dirs.h"
#include "text/ascii_case.h"

namespace vantrel {

namespace {

namespace fs = std::filesystem;

constexpr const char* iniFileName = "Vantrel.ini";
constexpr const char* appFolder = "vantrel";
constexpr const char* defaultRomPath = "TI85Rom.bin";
constexpr const char* defaultRamPath = "TI85Stat.bin";
constexpr const char* defaultForeground = "0x00ffffff";
constexpr const char* defaultBackground = "0x00000000";
constexpr const char* defaultScreenshotBase = "TI85-";

// Field sizes of the record, terminator included: a longer value is cut to one
// byte less. The two paths are not cut.
constexpr std::size_t screenshotBaseField = screenshotBaseLimit + 1;
constexpr std::size_t colourField = 128;

// A settings file is a few hundred bytes; far larger is not one we should load
// (nor overwrite, since its content could not be kept).
constexpr std::size_t maxIniBytes = 16u << 20;
constexpr const char* tooLargeText = "It is larger than a settings file may be (16 MiB).";

// Window coordinates beyond any desktop are not a place to restore.
constexpr int windowCoordinateLimit = 100000;

// Cut to at most limit bytes without splitting a UTF-8 sequence.
std::string cutToField(std::string text, std::size_t field) {
    const std::size_t limit = field - 1;
    if (text.size() <= limit) return text;
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    text.resize(end);
    return text;
}

// A file written on Windows separates folders with "\".
std::string withSlashes(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

// Hexadecimal with an optional "0x"; reading stops at the first other character.
// A number too large for 32 bits reads as 0xFFFFFFFF.
uint32_t parseColour(std::string_view text) {
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.remove_prefix(2);
    uint64_t value = 0;
    for (char c : text) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            break;
        value = value * 16 + static_cast<uint64_t>(digit);
        if (value > 0xFFFFFFFFu) return 0xFFFFFFFFu;
    }
    return static_cast<uint32_t>(value);
}

std::string formatColour(uint32_t colour) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%.8x", static_cast<unsigned>(colour));
    return text;
}

const char* yesNo(bool value) { return value ? "Yes" : "No"; }

const char* saveStateWord(SaveStateMode mode) {
    switch (mode) {
        case SaveStateMode::never:
            return "Never";
        case SaveStateMode::always:
            return "Always";
        default:
            return "ShowDialog";
    }
}

// A whole decimal number within [low, high], else none.
std::optional<int> parseNumber(std::string_view text, int low, int high) {
    bool negative = false;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || text.size() > 9) return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (negative) value = -value;
    if (value < low || value > high) return std::nullopt;
    return value;
}

// Keys that older versions neither read nor write: a file without them reads as
// screenshots in BMP at 1x, a window placed by the program at the largest zoom that
// fits the screen.
void readNewerKeys(const IniFile& ini, Settings& settings) {
    auto number = [&](const char* section, const char* key, int low, int high) {
        const auto text = ini.get(section, key);
        return text ? parseNumber(*text, low, high) : std::nullopt;
    };
    const auto format = ini.get("Preferences", "ScreenShotFormat");
    settings.screenshotFormat = format && equalsIgnoringCase(*format, "PNG")
                                    ? ScreenshotFormat::png
                                    : ScreenshotFormat::bmp;
    settings.screenshotScale =
        number("Preferences", "ScreenShotScale", minZoom, maxZoom).value_or(1);
    settings.rewindSeconds =
        number("Preferences", "RewindSeconds", 0, maxRewindSeconds).value_or(defaultRewindSeconds);
    settings.screenshotFolder =
        withSlashes(ini.get("Preferences", "ScreenShotFolder").value_or(""));
    settings.recordKeys =
        equalsIgnoringCase(ini.get("Preferences", "RecordKeys").value_or("No"), "Yes");

    settings.zoom = number("Window", "Zoom", minZoom, maxZoom).value_or(0);
    WindowPlace& place = settings.window;
    place = WindowPlace{};
    const auto x = number("Window", "X", -windowCoordinateLimit, windowCoordinateLimit);
    const auto y = number("Window", "Y", -windowCoordinateLimit, windowCoordinateLimit);
    if (x && y) {
        place.placed = true;
        place.x = *x;
        place.y = *y;
    }
    const auto width = number("Window", "Width", 1, windowCoordinateLimit);
    const auto height = number("Window", "Height", 1, windowCoordinateLimit);
    if (width && height) {
        place.width = *width;
        place.height = *height;
    }
    place.maximized = equalsIgnoringCase(ini.get("Window", "Maximized").value_or("No"), "Yes");
}

std::string recentKey(std::size_t index) { return "ROM" + std::to_string(index + 1); }

// Keys of this version, which earlier ones ignore.
void readLatestKeys(const IniFile& ini, Settings& settings) {
    settings.startDemo =
        equalsIgnoringCase(ini.get("Preferences", "StartDemo").value_or("No"), "Yes");
    settings.recentRoms.clear();
    settings.keyMap = KeyMap();
    for (const PcKeyName& named : pcKeyNames)
        if (const auto text = ini.get("Keyboard", named.settingName))
            if (const auto binding = parseBinding(*text)) settings.keyMap.bind(named.key, *binding);
    auto& recent = settings.recentRoms;
    for (std::size_t i = 0; i < recentRomLimit; ++i) {
        const std::string path = withSlashes(ini.get("Recent", recentKey(i)).value_or(""));
        if (!path.empty() && std::find(recent.begin(), recent.end(), path) == recent.end())
            recent.push_back(path);
    }
    const auto square = ini.get("Window", "SquarePixels");
    settings.squarePixels = !square                              ? SquarePixels::fromTwice
                            : equalsIgnoringCase(*square, "Yes") ? SquarePixels::always
                            : equalsIgnoringCase(*square, "No")  ? SquarePixels::never
                                                                 : SquarePixels::fromTwice;
}

// The hardware model's keys: the model, its speed and its LCD picture.
void readMachineKeys(const IniFile& ini, Settings& settings) {
    const auto model = ini.get("Preferences", "Model");
    settings.model = model && equalsIgnoringCase(*model, "hardware") ? MachineModel::hardware
                                                                     : MachineModel::classic;
    const auto speed = ini.get("Preferences", "Speed");
    settings.speed =
        speed ? speedFactorNamed(*speed).value_or(SpeedFactor::normal) : SpeedFactor::normal;
    settings.smoothGreyscale =
        !equalsIgnoringCase(ini.get("Preferences", "SmoothGreyscale").value_or("Yes"), "No");
}

void writeMachineKeys(IniFile& ini, const Settings& settings) {
    ini.set("Preferences", "Model", std::string(machineModelName(settings.model)));
    ini.set("Preferences", "Speed", std::string(speedFactorName(settings.speed)));
    ini.set("Preferences", "SmoothGreyscale", yesNo(settings.smoothGreyscale));
}

void writeLatestKeys(IniFile& ini, const Settings& settings) {
    if (settings.squarePixels != SquarePixels::fromTwice)
        ini.set("Window", "SquarePixels", yesNo(settings.squarePixels == SquarePixels::always));
    ini.set("Preferences", "StartDemo", yesNo(settings.startDemo));
    // The whole map once it differs from the defaults, so that it reads as a table.
    if (settings.keyMap != defaultKeyMap() || ini.get("Keyboard", pcKeyNames[0].settingName))
        for (const PcKeyName& named : pcKeyNames)
            ini.set("Keyboard", named.settingName, bindingText(settings.keyMap.binding(named.key)));
    for (std::size_t i = 0; i < recentRomLimit; ++i) {
        if (i < settings.recentRoms.size())
            ini.set("Recent", recentKey(i), settings.recentRoms[i]);
        else if (ini.get("Recent", recentKey(i)))
            ini.set("Recent", recentKey(i), "");
    }
}

void writeNewerKeys(IniFile& ini, const Settings& settings) {
    ini.set("Preferences", "ScreenShotFormat",
            settings.screenshotFormat == ScreenshotFormat::png ? "PNG" : "BMP");
    ini.set("Preferences", "ScreenShotScale", std::to_string(settings.screenshotScale));
    ini.set("Preferences", "RewindSeconds", std::to_string(settings.rewindSeconds));
    ini.set("Preferences", "ScreenShotFolder", settings.screenshotFolder);
    ini.set("Preferences", "RecordKeys", yesNo(settings.recordKeys));
    if (settings.zoom > 0) ini.set("Window", "Zoom", std::to_string(settings.zoom));
    const WindowPlace& place = settings.window;
    if (place.placed) {
        ini.set("Window", "X", std::to_string(place.x));
        ini.set("Window", "Y", std::to_string(place.y));
    }
    if (place.width > 0 && place.height > 0) {
        ini.set("Window", "Width", std::to_string(place.width));
        ini.set("Window", "Height", std::to_string(place.height));
    }
    ini.set("Window", "Maximized", yesNo(place.maximized));
}

// The program's folder inside one of the user's base folders; empty without it.
std::string userFolder(const std::string& base) {
    return base.empty() ? std::string() : (fs::path(base) / appFolder).lexically_normal().string();
}

}  // namespace

void locateSettingsFile(Settings& settings, const std::string& programDir) {
    std::error_code ec;
    const fs::path cwd = fs::current_path(ec);
    if (isRegularFile(iniFileName)) {
        settings.iniPath = ec ? std::string(iniFileName) : (cwd / iniFileName).string();
        return;
    }
    if (!programDir.empty()) {
        // An installed program's folder is no place for the user's files.
        const std::string beside = programDir + "/" + iniFileName;
        if (isRegularFile(beside)) {
            settings.iniPath = beside;
            return;
        }
    }
    if (const std::string folder = userFolder(configHome()); !folder.empty()) {
        settings.iniPath = folder + "/" + iniFileName;
        return;
    }
    settings.iniPath = ec ? std::string(iniFileName) : (cwd / iniFileName).string();
}

std::string dataDirectory(const Settings& settings) {
    if (settings.iniPath.empty()) return {};
    const fs::path folder = fs::path(settings.iniPath).parent_path().lexically_normal();
    const std::string userSettings = userFolder(configHome());
    const std::string userData = userFolder(dataHome());
    if (!userSettings.empty() && folder == fs::path(userSettings) && !userData.empty())
        return userData;
    return folder.string();
}

std::string resolvePath(const Settings& settings, const std::string& path) {
    if (path.empty() || path[0] == '/') return path;
    const std::string folder = dataDirectory(settings);
    return folder.empty() ? path : (fs::path(folder) / path).string();
}

Result<> makeDataDirectory(const Settings& settings) {
    auto relative = [](const std::string& path) { return !path.empty() && path[0] != '/'; };
    if (!relative(settings.romPath) && !relative(settings.ramPath)) return {};
    const std::string folder = dataDirectory(settings);
    if (folder.empty() || folder != userFolder(dataHome())) return {};
    std::error_code ec;
    if (fs::is_directory(folder, ec)) return {};
    fs::create_directories(fs::path(folder).parent_path(), ec);
    // Private, as the desktop's rules for a new data folder ask.
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return Failure::system(errno);
    if (!fs::is_directory(folder, ec)) return Failure::system(ENOTDIR);
    return {};
}

std::string absoluteFromHere(const std::string& path) {
    if (path.empty() || path[0] == '/') return path;
    std::error_code ec;
    const fs::path absolute = fs::absolute(path, ec);
    return ec ? path : absolute.string();
}

Result<> readSettings(Settings& settings, const std::string& programDir) {
    if (settings.iniPath.empty()) locateSettingsFile(settings, programDir);
    const auto text = readFileText(settings.iniPath, maxIniBytes);  // no file: every default
    const IniFile ini(text ? *text : std::string());

    auto value = [&](const char* section, const char* key, const char* fallback) {
        return ini.get(section, key).value_or(fallback);
    };
    auto flag = [&](const char* key, const char* fallback) {
        return equalsIgnoringCase(value("Preferences", key, fallback), "Yes");
    };

    settings.romPath = withSlashes(value("Directories", "ROMFile", defaultRomPath));
    if (settings.romPath.empty()) settings.romPath = defaultRomPath;
    settings.ramPath = withSlashes(value("Directories", "RAMFile", defaultRamPath));
    if (settings.ramPath.empty()) settings.ramPath = defaultRamPath;

    settings.background =
        parseColour(cutToField(value("Colors", "Background", defaultBackground), colourField));
    settings.foreground =
        parseColour(cutToField(value("Colors", "Foreground", defaultForeground), colourField));
    if (settings.foreground == settings.background) {
        settings.foreground = 0x00FFFFFF;
        settings.background = 0x00000000;
    }

    settings.allowMultipleInstances = flag("AllowMultipleInst", "No");
    settings.autoLinkOnUpload = flag("AutoLinkOnUpload", "Yes");
    settings.beepOnErrors = flag("BeepOnErrors", "Yes");
    settings.screenshotToFile = flag("ScreenShotAsBitmap", "No");
    settings.testRomVersion = flag("TestROMVersion", "Yes");

    const std::string mode = value("Preferences", "SaveState", "ShowDialog");
    settings.saveStateMode = equalsIgnoringCase(mode, "Never")    ? SaveStateMode::never
                             : equalsIgnoringCase(mode, "Always") ? SaveStateMode::always
                                                                  : SaveStateMode::showDialog;

    settings.screenshotBase = withSlashes(cutToField(
        value("Preferences", "ScreenShotBase", defaultScreenshotBase), screenshotBaseField));
    if (settings.screenshotBase.empty()) settings.screenshotBase = defaultScreenshotBase;
    readNewerKeys(ini, settings);
    readLatestKeys(ini, settings);
    readMachineKeys(ini, settings);
    if (!text) return text.failure();
    return {};
}

std::string_view speedFactorName(SpeedFactor factor) {
    switch (factor) {
        case SpeedFactor::quarter:
            return "1/4";
        case SpeedFactor::half:
            return "1/2";
        case SpeedFactor::normal:
            return "1";
        case SpeedFactor::twice:
            return "2";
        case SpeedFactor::fourTimes:
            return "4";
        case SpeedFactor::unlimited:
            break;
    }
    return "unlimited";
}

std::optional<SpeedFactor> speedFactorNamed(std::string_view name) {
    for (SpeedFactor factor : {SpeedFactor::quarter, SpeedFactor::half, SpeedFactor::normal,
                               SpeedFactor::twice, SpeedFactor::fourTimes, SpeedFactor::unlimited})
        if (equalsIgnoringCase(name, speedFactorName(factor))) return factor;
    return std::nullopt;
}

void rememberRecentRom(Settings& settings, const std::string& romPath) {
    auto& list = settings.recentRoms;
    list.erase(std::remove(list.begin(), list.end(), romPath), list.end());
    list.insert(list.begin(), romPath);
    if (list.size() > recentRomLimit) list.resize(recentRomLimit);
}

Result<> writeSettings(const Settings& settings) {
    if (settings.iniPath.empty())
        return Failure::system(ENOENT, "There is no place for a settings file.");
    std::string text;
    std::error_code ec;
    // Its other content could not be kept.
    if (fs::exists(settings.iniPath, ec)) {
        auto read = readFileText(settings.iniPath, maxIniBytes);
        if (!read)
            return Failure::system(read.failure().code,
                                   read.failure().code == EFBIG
                                       ? std::string(tooLargeText)
                                       : "It cannot be read: " + read.failure().reason + ".");
        text = std::move(*read);
    }
    IniFile ini(text);

    // A value with a line break cannot be stored; the file then keeps its old value.
    ini.set("Directories", "ROMFile", settings.romPath);
    ini.set("Directories", "RAMFile", settings.ramPath);
    ini.set("Colors", "Background", formatColour(settings.background));
    ini.set("Colors", "Foreground", formatColour(settings.foreground));
    ini.set("Preferences", "AllowMultipleInst", yesNo(settings.allowMultipleInstances));
    ini.set("Preferences", "AutoLinkOnUpload", yesNo(settings.autoLinkOnUpload));
    ini.set("Preferences", "BeepOnErrors", yesNo(settings.beepOnErrors));
    ini.set("Preferences", "ScreenShotAsBitmap", yesNo(settings.screenshotToFile));
    ini.set("Preferences", "ScreenShotBase", settings.screenshotBase);
    ini.set("Preferences", "TestROMVersion", yesNo(settings.testRomVersion));
    ini.set("Preferences", "SaveState", saveStateWord(settings.saveStateMode));
    writeNewerKeys(ini, settings);
    writeLatestKeys(ini, settings);
    writeMachineKeys(ini, settings);

    const fs::path folder = fs::path(settings.iniPath).parent_path();
    if (!folder.empty()) fs::create_directories(folder, ec);
    const std::string out = ini.text();
    // A file the next start would refuse is not written at all.
    if (out.size() > maxIniBytes)
        return Failure::system(EFBIG, "It would be larger than a settings file may be (16 MiB).");
    return writeWholeFile(settings.iniPath, out.data(), out.size());
}

}  // namespace vantrel
