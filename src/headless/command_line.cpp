#include "headless/command_line.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace vantrel::headless {

namespace {

// A day is far more than any scripted run needs; the bound keeps the tick count and
// the clock arithmetic finite.
constexpr double maxSeconds = 86400.0;

bool startsWithIgnoringCase(const std::string& text, const char* prefix) {
    for (std::size_t i = 0; prefix[i]; ++i) {
        if (i >= text.size()) return false;
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i]) return false;
    }
    return true;
}

std::optional<double> parseSeconds(const std::string& text) {
    if (text.empty()) return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (errno != 0 || end != text.c_str() + text.size() || !std::isfinite(value) || value < 0 ||
        value > maxSeconds)
        return std::nullopt;
    return value;
}

}  // namespace

ParsedCommandLine parseCommandLine(const std::vector<std::string>& args) {
    ParsedCommandLine result;
    Options& o = result.options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        // An option with its value either after "=" or in the next argument.
        auto valueOf = [&](const std::string& name, std::optional<std::string>& value) {
            if (arg == name) {
                if (i + 1 >= args.size()) {
                    result.error = name + " needs a value";
                    return true;
                }
                value = args[++i];
                return true;
            }
            if (arg.starts_with(name + "=")) {
                value = arg.substr(name.size() + 1);
                return true;
            }
            return false;
        };
        std::optional<std::string> seconds;
        if (valueOf("--rom", o.romPath) || valueOf("--ram", o.ramPath)) {
        } else if (startsWithIgnoringCase(arg, "/rom:")) {
            o.romPath = arg.substr(5);
        } else if (startsWithIgnoringCase(arg, "/ram:")) {
            o.ramPath = arg.substr(5);
        } else if (valueOf("--seconds", seconds)) {
            if (!result.error.empty()) break;
            const auto parsed = parseSeconds(*seconds);
            if (!parsed) {
                result.error = "--seconds needs a number from 0 to 86400, not \"" + *seconds + "\"";
                break;
            }
            o.seconds = *parsed;
        } else if (arg == "--no-save") {
            o.save = false;
        } else if (arg == "--help" || arg == "-h") {
            o.help = true;
        } else if (arg == "--version") {
            o.version = true;
        } else {
            result.error = "unknown option \"" + arg + "\"";
        }
        if (!result.error.empty()) break;
    }
    for (auto* path : {&o.romPath, &o.ramPath})
        if (result.error.empty() && *path && (*path)->empty())
            result.error = "an empty file name is not a path";
    return result;
}

std::string usageText() {
    return "Usage: vantrel-headless [options]\n"
           "Runs the calculator without a window: loads the ROM image and the state file\n"
           "(or makes a cold start), runs for a while, and writes the state file.\n"
           "\n"
           "  --rom PATH      ROM image (default from Vantrel.ini, else TI85Rom.bin)\n"
           "  --ram PATH      state file (default from Vantrel.ini, else TI85Stat.bin)\n"
           "  --seconds N     run time in seconds, fractions allowed (default 1)\n"
           "  --no-save       do not write the state file\n"
           "  --help          show this text\n"
           "  --version       show the version\n"
           "\n"
           "/rom:PATH and /ram:PATH are accepted as well. Exit status: 0 done, 1 ROM not\n"
           "usable, 2 bad arguments, 3 the emulation aborted or did not stop, 4 the state\n"
           "file could not be written.\n";
}

}  // namespace vantrel::headless
