// The options of vantrel-headless.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vantrel::headless {

struct Options {
    std::optional<std::string> romPath;  // from the settings file when not given
    std::optional<std::string> ramPath;
    double seconds = 1.0;                // run time of the emulation thread
    bool save = true;                    // write the state file at the end
    bool help = false;
    bool version = false;
};

struct ParsedCommandLine {
    Options options;
    std::string error;  // empty when the arguments were understood
};

// Accepts --rom PATH, --rom=PATH and /rom:PATH (the prefix in any case; the value is
// the rest of that argument, blanks and "/" included), the same for the state file,
// --seconds N, --no-save, --help (-h) and --version.
ParsedCommandLine parseCommandLine(const std::vector<std::string>& args);

std::string usageText();

}  // namespace vantrel::headless
