#include "session/settings/command_line.h"

#include <algorithm>
#include <cctype>

#include "session/link/upload.h"
#include "session/settings/settings.h"
#include "text/ascii_case.h"

namespace vantrel {

namespace {

void takePath(CommandLine& line, std::optional<std::string>& target, const std::string& option,
              const std::string& value) {
    if (value.empty()) {
        line.errors.push_back(option + " needs a path");
    } else {
        target = value;  // of any length: the system takes what it takes
    }
}

}  // namespace

CommandLine parseCommandLine(const std::vector<std::string>& args) {
    CommandLine line;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto longOption = [&](const std::string& name, std::optional<std::string>& target) {
            if (arg == name) {
                if (i + 1 < args.size())
                    takePath(line, target, name, args[++i]);
                else
                    line.errors.push_back(name + " needs a path");
                return true;
            }
            if (arg.rfind(name + "=", 0) == 0) {
                takePath(line, target, name, arg.substr(name.size() + 1));
                return true;
            }
            return false;
        };
        if (longOption("--rom", line.romPath) || longOption("--ram", line.ramPath) ||
            longOption("--grab", line.grabPath))
            continue;
        if (arg == "--model" || arg.rfind("--model=", 0) == 0) {
            const bool joined = arg != "--model";
            if (!joined && i + 1 >= args.size())
                line.errors.push_back("--model needs classic or hardware");
            else
                line.model = modelOption(joined ? arg.substr(8) : args[++i], line.errors);
            continue;
        }
        if (arg == "--demo") {
            line.demo = true;
        } else if (arg == "--help" || arg == "-h") {
            line.help = true;
        } else if (arg == "--version") {
            line.version = true;
        } else if (startsWithIgnoringCase(arg, "/rom:")) {
            takePath(line, line.romPath, "/rom:", arg.substr(5));
        } else if (startsWithIgnoringCase(arg, "/ram:")) {
            takePath(line, line.ramPath, "/ram:", arg.substr(5));
        } else if (!arg.empty() && arg[0] != '-' && isVariableFileName(arg)) {
            if (line.uploadPath)
                line.warnings.push_back("one file at a time, ignored: " + arg);
            else
                line.uploadPath = arg;
        } else {
            line.warnings.push_back("unknown argument ignored: " + arg);
        }
    }
    // The demo brings its own ROM and state file.
    if (line.demo && (line.romPath || line.ramPath))
        line.errors.push_back(
            "--demo runs the demo's own ROM and state file: leave out --rom and --ram");
    return line;
}

void applyCommandLine(const CommandLine& line, Settings& settings) {
    if (line.romPath) settings.romPath = absoluteFromHere(*line.romPath);
    if (line.ramPath) settings.ramPath = absoluteFromHere(*line.ramPath);
    if (line.model) settings.model = *line.model;
}

std::optional<MachineModel> modelOption(const std::string& value,
                                        std::vector<std::string>& errors) {
    const auto model = machineModelNamed(value);
    if (!model) errors.push_back("--model takes classic or hardware, not \"" + value + "\"");
    return model;
}

std::string usageText() {
    return "Usage: vantrel [options] [FILE.85?]\n"
           "\n"
           "Emulates the TI-85 graphing calculator. A variable file given here is sent\n"
           "to the calculator, or to the calculator already running.\n"
           "\n"
           "  --rom PATH, --rom=PATH, /rom:PATH   ROM image to run (default TI85Rom.bin)\n"
           "  --ram PATH, --ram=PATH, /ram:PATH   calculator state file (default TI85Stat.bin)\n"
           "  --model classic|hardware            the model of the calculator to run (kept)\n"
           "  --demo                              run the demo firmware, with its own settings\n"
           "                                      and state in ~/.local/share/vantrel/demo\n"
           "  --grab PATH                         save a picture of the window as PNG and quit\n"
           "  --help                              show this text\n"
           "  --version                           show the version\n"
           "\n"
           "Paths given here are kept in Vantrel.ini for the next start when they work;\n"
           "relative ones mean the current directory.\n"
           "A start on a display where Vantrel runs already hands over to that window.\n";
}

}  // namespace vantrel
