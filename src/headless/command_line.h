// The options of vantrel-headless.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "hardware/machine_model.h"
#include "headless/script_event.h"
#include "machine/real_speed.h"
#include "text/failure.h"

namespace vantrel::headless {

// Run time without --seconds: one second, or half a minute as the limit of
// --until-sleep.
inline constexpr double defaultSeconds = 1.0;
inline constexpr double defaultSleepLimitSeconds = 30.0;

struct Options {
    std::optional<std::string> romPath;  // from the settings file when not given
    std::optional<std::string> ramPath;
    std::optional<std::string> iniPath;  // settings file to read instead of the usual one
    double seconds = defaultSeconds;     // run time, or the limit with untilSleep
    bool secondsGiven = false;
    bool untilSleep = false;
    bool save = true;                 // write the state file at the end
    bool overwriteState = false;      // replace a file at the state path that is none
    bool demo = false;                // the demo firmware in its own folder, as the window's
    std::vector<ScriptEvent> events;  // in the order given
    bool autoLink = true;             // false: --no-auto-link
    std::optional<std::string> receivePath;
    bool overwrite = false;
    bool force = false;                     // upload a file whose checksum does not agree
    std::optional<std::string> lcdPath;     // .bmp or .png
    std::optional<std::string> recordPath;  // .gif
    std::optional<int> loadSlot;            // a save slot loaded before the run
    std::optional<int> saveSlot;            // and one saved at its end
    // The debugger: breakpoints as typed (addresses or symbol names), more symbol files,
    // and the trace of the last traceCount instructions.
    std::vector<std::string> breaks;
    std::vector<std::string> symbolFiles;
    std::optional<std::string> tracePath;
    std::size_t traceCount = 0;                  // defaultTraceCount unless given
    std::optional<MachineModel> model;           // the settings' model when not given
    SpeedFactor speed = SpeedFactor::unlimited;  // the hardware model's: as fast as it can
    bool help = false;
    bool version = false;
};

// Accepts --rom PATH, --rom=PATH and /rom:PATH (the prefix in any case; the value is
// the rest of that argument, blanks and "/" included), the same for the state file,
// --seconds N, --no-save, --overwrite-state, --demo, --help (-h) and --version; the
// script options --key, --type, --inject and --upload, each with an optional "@MS" at
// the end (digits only after the last "@"); --receive, --overwrite, --force,
// --no-auto-link, --until-sleep, --lcd, --record and --ini; --model and --speed; the
// debugger's --break (repeatable),
// --symbols, --trace and --trace-count. Fails as bad input, saying which argument is
// wrong and how.
Result<Options> parseCommandLine(const std::vector<std::string>& args);

std::string usageText();

// Instructions kept for --trace without --trace-count, and the most it takes.
inline constexpr std::size_t defaultTraceCount = 10000;
inline constexpr std::size_t maxTraceCount = 1000000;

}  // namespace vantrel::headless
