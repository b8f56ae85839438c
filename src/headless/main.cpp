// vantrel-headless: the calculator without a window, for scripts and tests.
#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "hardware/hardware_clock.h"
#include "headless/command_line.h"
#include "headless/headless_front_end.h"
#include "headless/script_runner.h"
#include "session/calculator/calculator.h"
#include "session/calculator/end_signals.h"
#include "session/calculator/messages.h"
#include "session/debug/debug_session.h"
#include "session/history/save_slots.h"
#include "session/link/upload.h"
#include "session/screenshots/lcd_recording.h"
#include "session/settings/demo_firmware.h"
#include "session/settings/settings.h"
#include "session/settings/user_dirs.h"

namespace {

using namespace vantrel;

// Refusals before the run, like any command-line tool given a bad input.
int refuse(const std::string& text) {
    std::fprintf(stderr, "vantrel-headless: %s\n", text.c_str());
    return 2;
}

// "3.0 s"
std::string secondsText(std::chrono::milliseconds elapsed) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(elapsed.count()) / 1000.0);
    return text;
}

void printNote(const std::string& text) {
    std::fprintf(stderr, "vantrel-headless: %s\n", text.c_str());
}

// Symbols, breakpoints and the trace, before the run starts.
Result<> setUpDebugger(DebugSession& debug, const headless::Options& options) {
    if (options.breaks.empty() && !options.tracePath && options.symbolFiles.empty()) return {};
    debug.open(false);
    // What a symbol file says: why it was not read, or what was left out of it.
    auto said = [](const Result<std::string>& loaded) {
        return loaded ? *loaded : loaded.failure().reason;
    };
    if (const std::string beside = debug.symbolFileBesideRom(); !beside.empty()) {
        if (const auto loaded = debug.loadSymbols(beside); !loaded || !loaded->empty())
            printNote("the symbol file " + beside + ": " + said(loaded));
    }
    for (const std::string& file : options.symbolFiles) {
        const auto loaded = debug.loadSymbols(file);
        if (!loaded)
            return Failure::system(loaded.failure().code,
                                   "cannot read the symbol file " + file + ": " + said(loaded));
        if (!loaded->empty()) printNote("the symbol file " + file + ": " + said(loaded));
    }
    for (const std::string& text : options.breaks) {
        const auto address = debug.parseAddress(text);
        if (!address) return Failure::badData("--break " + text + ": no such address or symbol");
        debug.addBreakpoint(*address);
    }
    if (options.tracePath) debug.startTrace(options.traceCount);
    return {};
}

// Each file to upload, read before the run.
Result<> checkUploads(const headless::Options& options) {
    for (const headless::ScriptEvent& event : options.events) {
        if (event.action != headless::ScriptAction::upload) continue;
        const auto file = readUploadFile(event.text);
        if (!file) {
            const Failure& failure = file.failure();
            return Failure{failure.code, (failure.code == Failure::badInput
                                              ? "cannot upload " + event.text + ": "
                                              : "cannot read " + event.text + " to upload: ") +
                                             failure.reason};
        }
        if (file->read == VariableFileRead::checksumMismatch && !options.force)
            return Failure::badData("cannot upload " + event.text + ": " + damagedFileText +
                                    " --force uploads it all the same.");
    }
    return {};
}

// Whether the run may go on with the state file it found; prints why not, or what
// the run does instead.
int checkStateFile(Calculator& calculator, const headless::Options& options) {
    const std::string& ram = calculator.ramPath();
    if (calculator.stateFileInUse()) {
        const std::string line = stateFileInUseLine(ram, calculator.stateFileHolder());
        if (options.save)
            return refuse(line +
                          " Leave it to that one, name another with --ram, or run with "
                          "--no-save.");
        printNote(line + " This run does not write it (--no-save).");
        return 0;
    }
    const StateLoadResult& load = calculator.stateLoad();
    if (!load.notAStateFile()) return 0;
    const std::string line =
        "the file " + ram + " is not a state file. " + stateFileProblemText(load);
    if (options.save && !options.overwriteState)
        return refuse(line +
                      " It is not overwritten: name another with --ram, give "
                      "--overwrite-state to replace it, or run with --no-save.");
    if (options.save) calculator.allowReplacingStateFile();
    printNote(line + " The calculator starts cold" +
              (options.save ? "; the file is replaced at the end (--overwrite-state)."
                            : "; the file is left as it is (--no-save)."));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const Result<headless::Options> parsed =
        headless::parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed) {
        std::fprintf(stderr, "vantrel-headless: %s\nTry 'vantrel-headless --help'.\n",
                     parsed.failure().reason.c_str());
        return 2;
    }
    const headless::Options& options = *parsed;
    if (options.help) {
        std::fputs(headless::usageText().c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("vantrel-headless (%s)\n", programTitle().c_str());
        return 0;
    }

    // Defaults as the window finds them; the runner never writes the settings file.
    Settings settings;
    const std::string programDir = programDirectory(argv[0]);
    if (options.demo) {
        auto demo = prepareDemo(findDemoFirmware(programDir));
        if (!demo) {
            std::fprintf(stderr, "vantrel-headless: the demo cannot start. %s\n",
                         demo.failure().reason.c_str());
            return 1;
        }
        settings = std::move(*demo);
    } else {
        if (options.iniPath) settings.iniPath = *options.iniPath;
        const Result<> read = readSettings(settings, programDir);
        if (!read && options.iniPath)
            return refuse("cannot read the settings file " + *options.iniPath + ": " +
                          read.failure().reason);
    }
    if (const Result<> uploads = checkUploads(options); !uploads)
        return refuse(uploads.failure().reason);
    headless::HeadlessFrontEnd frontEnd;
    Calculator calculator(frontEnd);
    // Relative paths from the settings mean the settings' data folder; those given
    // here, the current directory.
    // A folder that cannot be made is told where the files in it are used.
    if (!options.romPath || !options.ramPath) (void)makeDataDirectory(settings);
    const std::string romPath = options.romPath.value_or(resolvePath(settings, settings.romPath));
    if (options.model) settings.model = *options.model;
    settings.speed = options.speed;
    calculator.takeMachineSettings(settings);
    const RomLoadResult rom =
        calculator.load(romPath, options.ramPath.value_or(resolvePath(settings, settings.ramPath)),
                        settings.testRomVersion);
    if (!calculator.usable()) {
        std::fprintf(stderr, "%s\n", romProblemLines(rom, romPath).c_str());
        return 1;
    }
    // Loaded as a state it was not; run on, it would be saved over the ROM image.
    if (calculator.stateFileIsRomImage())
        return refuse("the state file " + calculator.ramPath() +
                      " is the ROM image; name another with --ram");
    if (const int refused = checkStateFile(calculator, options); refused != 0) return refused;
    if (const Result<> debugger = setUpDebugger(calculator.debugger(), options); !debugger)
        return refuse(debugger.failure().reason);
    SaveSlots slots(calculator, dataDirectory(settings));
    if (options.loadSlot) {
        if (const Result<> loaded = slots.load(*options.loadSlot); !loaded)
            return refuse(loaded.failure().reason);
        std::printf("Slot %d loaded: %s\n", *options.loadSlot,
                    slotStatePath(slots.folder(), *options.loadSlot).c_str());
    }
    if (rom.outcome == RomLoad::wrongVersion)
        std::puts("ROM version test failed; running all the same.");
    std::printf("ROM: %s\nState file: %s\n", romPath.c_str(), calculator.ramPath().c_str());
    if (calculator.hardwareModel())
        std::printf("Model: hardware, speed %s\n",
                    options.speed == SpeedFactor::unlimited
                        ? "unlimited"
                        : (std::string(speedFactorName(options.speed)) + "x").c_str());

    headless::RunOptions runOptions;
    runOptions.duration = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::duration<double>(options.seconds));
    runOptions.untilSleep = options.untilSleep;
    runOptions.events = options.events;
    runOptions.autoLinkOnUpload = options.autoLink && settings.autoLinkOnUpload;
    frontEnd.receivePath = options.receivePath;
    frontEnd.overwrite = options.overwrite;
    frontEnd.force = options.force;
    // Ctrl-C or a termination request ends the run early; the state is then saved as at
    // the end of a full run. Without them caught, either still ends the runner.
    (void)catchEndSignals({SIGINT, SIGTERM});
    LcdRecording recording;
    if (options.recordPath) {
        if (const Result<> started = recording.start(*options.recordPath, settings.screenshotScale,
                                                     settings.foreground, settings.background);
            !started) {
            std::printf("Recording could not be written: %s (%s)\n", options.recordPath->c_str(),
                        started.failure().reason.c_str());
            return 4;
        }
        runOptions.recording = &recording;
    }
    const headless::RunResult run =
        headless::runScript(calculator, frontEnd, runOptions, &endRequested());
    if (endRequested().load()) std::puts("Run ended early on request.");
    if (!run.stopped) {
        std::printf("The emulation thread did not stop within %lld ms; nothing saved.\n",
                    static_cast<long long>(Calculator::stopTimeout.count()));
        std::fflush(stdout);
        std::_Exit(3);  // the thread still runs on the machine: leave without cleanup
    }
    const LoopEnd end = run.loopEnd.value_or(LoopEnd::stopped);
    if (end == LoopEnd::aborted)
        std::printf("Aborted after %s: an illegal instruction was refused.\n",
                    secondsText(run.elapsed).c_str());
    else
        std::printf("Stopped after %s.\n", secondsText(run.elapsed).c_str());
    if (run.emulatedMs)
        std::printf("Emulated time: %s (%llu T-states a second).\n",
                    secondsText(std::chrono::milliseconds(*run.emulatedMs)).c_str(),
                    static_cast<unsigned long long>(cpuClockHz));
    std::printf("PC=0x%04X SP=0x%04X bank=%u calculator on: %s\n", run.pc, run.sp,
                static_cast<unsigned>(run.bank), run.calculatorOn ? "yes" : "no");
    if (run.stoppedForDebugger)
        std::printf("Stopped: %s\n  %s\n", run.stopText.c_str(), run.stopLine.c_str());
    else if (!options.breaks.empty())
        std::puts("No breakpoint was reached.");
    std::printf("Link: %s\n", calculator.linkBusy() ? "busy" : "idle");
    if (options.untilSleep && !run.stoppedForDebugger)
        std::puts(run.asleep ? "The calculator went to sleep."
                             : "Time limit reached before the calculator slept.");
    if (run.eventsDone < options.events.size())
        std::printf("Script steps not reached: %zu of %zu.\n",
                    options.events.size() - run.eventsDone, options.events.size());
    int status = 0;
    for (const std::string& upload : frontEnd.uploads())
        std::printf("Uploaded: %s%s\n", upload.c_str(),
                    calculator.linkBusy() ? ", not finished when the run ended" : "");
    if (frontEnd.refusedUploads() > 0) {
        std::printf("Uploads refused for bad data: %zu.\n", frontEnd.refusedUploads());
        status = 2;
    }
    if (options.receivePath && !frontEnd.anythingReceived())
        std::puts("Nothing was received from the calculator.");
    for (const std::string& name : frontEnd.writtenNames()) {
        std::error_code ec;
        if (std::filesystem::exists(name, ec))
            std::printf("Received variables written: %s\n", name.c_str());
    }
    for (const std::string& failure : frontEnd.failedWrites()) {
        std::printf("Received variables could not be written: %s\n", failure.c_str());
        status = 4;
    }
    if (options.lcdPath) {
        const Result<> written = headless::writeLcdPicture(
            calculator.lcdPicture(), *options.lcdPath, settings.foreground, settings.background);
        if (written) {
            std::printf("LCD picture written: %s\n", options.lcdPath->c_str());
        } else {
            std::printf("LCD picture could not be written: %s (%s)\n", options.lcdPath->c_str(),
                        written.failure().reason.c_str());
            status = 4;
        }
    }
    if (options.recordPath) {
        if (run.recordingFailure) {
            std::printf("Recording could not be written: %s (%s)\n", options.recordPath->c_str(),
                        run.recordingFailure->reason.c_str());
            status = 4;
        } else {
            std::printf("Recording written: %s\n", options.recordPath->c_str());
        }
    }
    if (options.saveSlot) {
        if (const Result<> saved =
                slots.save(*options.saveSlot, settings.foreground, settings.background)) {
            std::printf("Slot %d saved: %s\n", *options.saveSlot,
                        slotStatePath(slots.folder(), *options.saveSlot).c_str());
        } else {
            std::printf("Slot %d could not be saved: %s\n", *options.saveSlot,
                        saved.failure().reason.c_str());
            status = 4;
        }
    }
    if (options.tracePath) {
        const DebugSession& debug = calculator.debugger();
        if (const Result<> written = debug.writeTrace(*options.tracePath); written) {
            std::printf("Trace written: %s (the last %zu of %llu instructions)\n",
                        options.tracePath->c_str(), debug.tracedKept(),
                        static_cast<unsigned long long>(debug.tracedInstructions()));
        } else {
            std::printf("Trace could not be written: %s (%s)\n", options.tracePath->c_str(),
                        written.failure().reason.c_str());
            status = 4;
        }
    }
    const auto messages = frontEnd.messages();
    if (!messages.empty()) {
        std::puts("Messages:");
        for (const std::string& text : messages) std::printf("  %s\n", text.c_str());
    }

    if (end == LoopEnd::aborted) {
        // As the window does after a refused illegal opcode: the state is not kept.
        std::puts("State file not written (emulation aborted).");
        return 3;
    }
    if (!options.save) {
        std::puts("State file not written (--no-save).");
        return status;
    }
    if (const Result<> saved = calculator.saveState(); !saved) {
        std::printf("State file could not be written: %s (%s)\n", calculator.ramPath().c_str(),
                    saved.failure().reason.c_str());
        return 4;
    }
    std::printf("State file written: %s\n", calculator.ramPath().c_str());
    return status;
}
