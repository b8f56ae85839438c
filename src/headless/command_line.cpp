#include "headless/command_line.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "headless/script_runner.h"
#include "session/history/save_slots.h"
#include "session/keys/key_table.h"
#include "session/settings/command_line.h"
#include "session/settings/settings.h"
#include "text/ascii_case.h"

namespace vantrel::headless {

namespace {

// A day is far more than any scripted run needs; the bound keeps the tick count and
// the clock arithmetic finite.
constexpr double maxSeconds = 86400.0;

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

std::optional<std::size_t> parseCount(const std::string& text) {
    if (text.empty() || text.size() > 7 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const auto value = static_cast<std::size_t>(std::stoul(text));
    if (value == 0 || value > maxTraceCount) return std::nullopt;
    return value;
}

// "NAME@MS": the time is taken only when digits alone follow the last "@", so names
// and files that hold an "@" of their own still work.
Result<> splitTime(const std::string& value, ScriptEvent& event) {
    event.text = value;
    const auto at = value.find_last_of('@');
    if (at == std::string::npos || at + 1 == value.size()) return {};
    const std::string digits = value.substr(at + 1);
    if (digits.find_first_not_of("0123456789") != std::string::npos) return {};
    if (digits.size() > 9 || std::stoll(digits) > static_cast<int64_t>(maxSeconds * 1000))
        return Failure::badData("the time in \"" + value + "\" is beyond a day");
    event.atMs = std::stoll(digits);
    event.text = value.substr(0, at);
    return {};
}

}  // namespace

Result<Options> parseCommandLine(const std::vector<std::string>& args) {
    Options o;
    std::string error;  // the first argument not understood
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        // An option with its value either after "=" or in the next argument.
        auto valueOf = [&](const std::string& name, std::optional<std::string>& value) {
            if (arg == name) {
                if (i + 1 >= args.size()) {
                    error = name + " needs a value";
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
        std::optional<std::string> value;
        // The value as a script step with its time; false (with the error) when it is wrong.
        auto timed = [&](ScriptEvent& event) {
            const Result<> split = splitTime(*value, event);
            if (!split) error = split.failure().reason;
            return split.ok();
        };
        if (valueOf("--rom", o.romPath) || valueOf("--ram", o.ramPath)) {
        } else if (startsWithIgnoringCase(arg, "/rom:")) {
            o.romPath = arg.substr(5);
        } else if (startsWithIgnoringCase(arg, "/ram:")) {
            o.ramPath = arg.substr(5);
        } else if (valueOf("--model", value)) {
            if (!error.empty()) break;
            std::vector<std::string> errors;
            o.model = modelOption(*value, errors);
            if (!errors.empty()) {
                error = errors.front();
                break;
            }
        } else if (valueOf("--speed", value)) {
            if (!error.empty()) break;
            const auto speed = speedFactorNamed(*value);
            if (!speed) {
                error = "--speed takes 1/4, 1/2, 1, 2, 4 or unlimited, not \"" + *value + "\"";
                break;
            }
            o.speed = *speed;
        } else if (valueOf("--seconds", seconds)) {
            if (!error.empty()) break;
            const auto parsed = parseSeconds(*seconds);
            if (!parsed) {
                error = "--seconds needs a number from 0 to 86400, not \"" + *seconds + "\"";
                break;
            }
            o.seconds = *parsed;
            o.secondsGiven = true;
        } else if (valueOf("--save-slot", value) || valueOf("--load-slot", value)) {
            if (!error.empty()) break;
            const std::string& text = *value;
            const bool digits = !text.empty() && text.size() <= 2 &&
                                text.find_first_not_of("0123456789") == std::string::npos;
            const int slot = digits ? std::stoi(text) : 0;
            if (slot < 1 || slot > saveSlotCount) {
                error = arg.substr(0, 11) + " needs a slot from 1 to 10, not \"" + *value + "\"";
                break;
            }
            (arg.starts_with("--save") ? o.saveSlot : o.loadSlot) = slot;
        } else if (valueOf("--key", value) || valueOf("--inject", value)) {
            if (!error.empty()) break;
            const bool inject = arg.starts_with("--inject");
            ScriptEvent event;
            if (!timed(event)) break;
            const auto keyIndex = keyIndexByName(event.text);
            if (!keyIndex) {
                error = "no calculator key is called \"" + event.text + "\"";
                break;
            }
            event.action = inject ? ScriptAction::inject : ScriptAction::key;
            event.code = skinKeys[static_cast<std::size_t>(*keyIndex)].code;
            o.events.push_back(event);
        } else if (valueOf("--type", value)) {
            if (!error.empty()) break;
            ScriptEvent first;
            if (!timed(first)) break;
            if (first.text.empty()) {
                error = "--type needs some text";
                break;
            }
            for (std::size_t c = 0; c < first.text.size(); ++c) {
                const unsigned char ch = static_cast<unsigned char>(first.text[c]);
                if (ch < 0x20 || ch > 0x7E) {
                    error = "--type takes printable ASCII characters only";
                    break;
                }
                ScriptEvent event;
                event.action = ScriptAction::character;
                event.character = ch;
                event.text = std::string(1, static_cast<char>(ch));
                if (c == 0) event.atMs = first.atMs;
                o.events.push_back(event);
            }
        } else if (valueOf("--upload", value)) {
            if (!error.empty()) break;
            ScriptEvent event;
            if (!timed(event)) break;
            if (event.text.empty()) {
                error = "--upload needs a file name";
                break;
            }
            event.action = ScriptAction::upload;
            o.events.push_back(event);
        } else if (valueOf("--break", value) || valueOf("--symbols", value)) {
            if (!error.empty()) break;
            (arg.starts_with("--break") ? o.breaks : o.symbolFiles).push_back(*value);
        } else if (valueOf("--trace", o.tracePath)) {
        } else if (valueOf("--trace-count", value)) {
            if (!error.empty()) break;
            const auto count = parseCount(*value);
            if (!count) {
                error = "--trace-count needs a number from 1 to " + std::to_string(maxTraceCount) +
                        ", not \"" + *value + "\"";
                break;
            }
            o.traceCount = *count;
        } else if (valueOf("--receive", o.receivePath) || valueOf("--ini", o.iniPath)) {
        } else if (valueOf("--lcd", o.lcdPath)) {
            if (error.empty() && lcdPictureFormat(*o.lcdPath).empty())
                error = "--lcd writes .bmp or .png files, not \"" + *o.lcdPath + "\"";
        } else if (valueOf("--record", o.recordPath)) {
            if (error.empty() && !isGifName(*o.recordPath))
                error = "--record writes .gif files, not \"" + *o.recordPath + "\"";
        } else if (arg == "--no-auto-link") {
            o.autoLink = false;
        } else if (arg == "--overwrite") {
            o.overwrite = true;
        } else if (arg == "--until-sleep") {
            o.untilSleep = true;
        } else if (arg == "--no-save") {
            o.save = false;
        } else if (arg == "--overwrite-state") {
            o.overwriteState = true;
        } else if (arg == "--force") {
            o.force = true;
        } else if (arg == "--demo") {
            o.demo = true;
        } else if (arg == "--help" || arg == "-h") {
            o.help = true;
        } else if (arg == "--version") {
            o.version = true;
        } else {
            error = "unknown option \"" + arg + "\"";
        }
        if (!error.empty()) break;
    }
    if (error.empty() && !o.secondsGiven && o.untilSleep) o.seconds = defaultSleepLimitSeconds;
    if (error.empty() && o.traceCount != 0 && !o.tracePath)
        error = "--trace-count needs --trace FILE";
    // The demo brings its own ROM image and settings; a state file of one's own is fine.
    if (error.empty() && o.demo && (o.romPath || o.iniPath))
        error = "--demo runs the demo's own ROM image and settings: leave out --rom and --ini";
    if (o.traceCount == 0) o.traceCount = defaultTraceCount;
    for (auto* path : {&o.romPath, &o.ramPath, &o.iniPath, &o.receivePath, &o.lcdPath,
                       &o.recordPath, &o.tracePath})
        if (error.empty() && *path && (*path)->empty()) error = "an empty file name is not a path";
    if (!error.empty()) return Failure::badData(error);
    return o;
}

std::string usageText() {
    return "Usage: vantrel-headless [options]\n"
           "Runs the calculator without a window: loads the ROM image and the state file\n"
           "(or makes a cold start), runs it with the window's 50 ms timer and keypad,\n"
           "plays the keys, text, injected keys and uploads given, and writes the state file.\n"
           "\n"
           "Files and time:\n"
           "  --rom PATH        ROM image (default from Vantrel.ini, else TI85Rom.bin)\n"
           "  --ram PATH        state file (default from Vantrel.ini, else TI85Stat.bin)\n"
           "  --ini FILE        settings file to read (never written)\n"
           "  --demo            run the demo firmware that comes with Vantrel, with the\n"
           "                    window's demo settings and state file (or --ram PATH)\n"
           "  --model M         classic or hardware (default from Vantrel.ini, else classic)\n"
           "  --speed S         the hardware model's speed: 1/4, 1/2, 1 (real speed), 2, 4\n"
           "                    or unlimited (default)\n"
           "  --seconds N       run time in seconds, fractions allowed (default 1); in the\n"
           "                    hardware model emulated seconds, as are @MS below\n"
           "  --until-sleep     end once the calculator sleeps with no key pending, the link\n"
           "                    idle and the script done; --seconds is then the limit\n"
           "                    (default 30)\n"
           "  --no-save         do not write the state file\n"
           "  --overwrite-state replace a file at the state path that is not a state\n"
           "                    file (else the run is refused)\n"
           "  --lcd FILE        write the LCD at the end, FILE.bmp or FILE.png, in the\n"
           "                    colours of the settings file\n"
           "  --record FILE     record the LCD as an animated GIF (FILE.gif): a frame\n"
           "                    each time it changed, at the screenshot scale and in the\n"
           "                    colours of the settings file\n"
           "  --load-slot N     load save slot N (1 to 10) of the ROM image before the run\n"
           "  --save-slot N     save the calculator into slot N at the end of the run\n"
           "\n"
           "Script (in the order given; @MS: at that many milliseconds from the start,\n"
           "else once the previous step is done and the calculator sleeps again):\n"
           "  --key NAME[@MS]   press a calculator key for one tick, as a click on it\n"
           "  --type TEXT[@MS]  type characters as on the PC keyboard, one a tick\n"
           "  --inject NAME[@MS]  inject a key past the keypad and its queue, as the\n"
           "                    Upload command does\n"
           "  --upload FILE[@MS]  the Upload command, FILE as the chosen file\n"
           "  --no-auto-link    the Upload command does not type [2nd] [LINK] [F2]\n"
           "  --receive FILE    variables the calculator sends are written to FILE (.85g\n"
           "                    added to a name without extension, .85b for a backup)\n"
           "  --overwrite       answer Yes when FILE exists (else No)\n"
           "  --force           upload a file whose checksum does not match its data\n"
           "                    (else the run is refused)\n"
           "\n"
           "Debugging:\n"
           "  --break ADDR      stop the run before the instruction at ADDR (hexadecimal:\n"
           "                    10DF, 10DFh, $10DF, 0x10DF, or a symbol's name); repeatable.\n"
           "                    The report then says where it stopped\n"
           "  --symbols FILE    names of addresses (NAME EQU 1234H, NAME = $1234 or\n"
           "                    NAME: 1234 lines); the ROM's own FILE.sym is read anyway\n"
           "  --trace FILE      write the last instructions run before the end, one a line:\n"
           "                    address, bytes, registers, flags, mnemonic\n"
           "  --trace-count N   how many --trace keeps (default " +
           std::to_string(defaultTraceCount) + ", at most " + std::to_string(maxTraceCount) +
           ")\n"
           "\n"
           "  --help            show this text\n"
           "  --version         show the version\n"
           "\n"
           "Key names (any case): " +
           keyNameList() +
           "\n"
           "LINK is the XVAR key. /rom:PATH and /ram:PATH are accepted as well.\n"
           "\n"
           "Examples, on the demo firmware that comes with Vantrel (relative names mean\n"
           "the current folder). Add two numbers and keep the screen:\n"
           "  vantrel-headless --demo --no-save --type 12+30 --key ENTER --until-sleep \\\n"
           "      --lcd answer.png\n"
           "Stop where the demo adds, keeping the instructions that led there:\n"
           "  vantrel-headless --demo --no-save --break add32 --trace add.txt \\\n"
           "      --type 12+30 --key ENTER --until-sleep\n"
           "Send a variable file of your own in (here group.85g) and take it back:\n"
           "  vantrel-headless --demo --ram calc.bin --upload group.85g --until-sleep\n"
           "  vantrel-headless --demo --ram calc.bin --key EXIT --key F1 \\\n"
           "      --receive back.85g --until-sleep\n"
           "\n"
           "Exit status: 0 done (a breakpoint reached included), 1 ROM not usable (or the\n"
           "demo firmware missing), 2 bad arguments (a settings file, symbol file or file\n"
           "to upload that cannot be read, a file to upload without whole variables or\n"
           "with a wrong checksum, a --break that names no address, a state file that is\n"
           "the ROM image, is not a state file or is in use by another running Vantrel),\n"
           "3 the emulation aborted or did not stop, 4 a file could not be written (the\n"
           "state file, received variables, the LCD picture, the recording, the trace).\n";
}

}  // namespace vantrel::headless
