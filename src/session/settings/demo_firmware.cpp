#include "session/settings/demo_firmware.h"

#include <cerrno>
#include <filesystem>
#include <vector>

#include "files/file_io.h"
#include "hardware/memory_map.h"
#include "session/settings/settings.h"
#include "session/settings/user_dirs.h"

namespace vantrel {

namespace {

namespace fs = std::filesystem;

// Symbol files of a few hundred names; more is not the demo's.
constexpr std::size_t maxDemoSymbolBytes = 1u << 20;

// The same file as scripts/demo.sh makes, so that either start finds the other's.
constexpr const char* demoIni =
    "[Directories]\nROMFile=TI85Rom.bin\nRAMFile=TI85Stat.bin\n"
    "[Preferences]\nAllowMultipleInst=Yes\n";

bool inside(const fs::path& path, const fs::path& folder) {
    std::error_code ec;
    const fs::path a = fs::weakly_canonical(path, ec);
    if (ec) return false;
    const fs::path b = fs::weakly_canonical(folder, ec);
    if (ec) return false;
    const fs::path rest = a.lexically_relative(b);
    return !rest.empty() && *rest.begin() != "..";
}

}  // namespace

std::string findDemoFirmware(const std::string& programDir) {
    std::vector<fs::path> candidates;
    if (!programDir.empty()) {
        // Relative to the program, so that a copy installed under any prefix finds its own.
        candidates.push_back(fs::path(programDir) / VANTREL_DATA_FROM_BIN / demoFirmwareName);
        if (std::string(VANTREL_BUILT_FIRMWARE).size() > 0 && inside(programDir, VANTREL_BUILD_DIR))
            candidates.emplace_back(VANTREL_BUILT_FIRMWARE);
    }
    candidates.push_back(fs::path(VANTREL_INSTALLED_DATA) / demoFirmwareName);
    for (const fs::path& candidate : candidates)
        if (isRegularFile(candidate.string())) return candidate.lexically_normal().string();
    return {};
}

std::string demoDirectory() {
    const std::string data = dataHome();
    return data.empty() ? std::string() : data + "/vantrel/demo";
}

Result<Settings> prepareDemo(const std::string& firmware) {
    if (firmware.empty()) return Failure::system(ENOENT, "The demo firmware is not installed.");
    const std::string folder = demoDirectory();
    if (folder.empty()) return Failure::system(ENOENT, "There is no home folder for the demo.");
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec)
        return Failure::system(ec.value(),
                               "The folder " + folder + " cannot be made: " + ec.message() + ".");

    // Copied on every start, so that a newer firmware is picked up.
    const auto image = readFileBytes(firmware, 2 * romSize);
    if (!image)
        return Failure::system(
            image.failure().code,
            "The demo firmware " + firmware + " cannot be read: " + image.failure().reason + ".");
    // Told with the system's text alone: the demo folder is the program's own.
    auto cannotWrite = [](const std::string& file, const Failure& failure) {
        return Failure::system(failure.code, "The file " + file + " cannot be written: " +
                                                 errorText(failure.code) + ".");
    };
    const std::string rom = folder + "/TI85Rom.bin";
    if (const Result<> written = writeWholeFile(rom, image->data(), image->size()); !written)
        return cannotWrite(rom, written.failure());
    // The firmware's symbols go along for the debugger, which reads them beside the ROM;
    // a firmware without them still runs.
    const std::string symbolFile = fs::path(firmware).replace_extension(".sym").string();
    if (const auto symbols = readFileBytes(symbolFile, maxDemoSymbolBytes))
        (void)writeWholeFile(folder + "/TI85Rom.sym", symbols->data(), symbols->size());
    const std::string ini = folder + "/Vantrel.ini";
    if (!fs::exists(ini, ec)) {
        const std::string text = demoIni;
        if (const Result<> written = writeWholeFile(ini, text.data(), text.size()); !written)
            return cannotWrite(ini, written.failure());
    }
    Settings demo;
    demo.iniPath = ini;
    if (const Result<> read = readSettings(demo, ""); !read)
        return Failure::system(read.failure().code, "The file " + ini + " cannot be read: " +
                                                        read.failure().reason + ".");
    return demo;
}

}  // namespace vantrel
