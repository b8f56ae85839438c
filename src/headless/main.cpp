// vantrel-headless: the calculator without a window, for scripts and tests.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "hardware/file_io.h"
#include "hardware/rom_state.h"
#include "headless/command_line.h"
#include "headless/session.h"
#include "shell/common/settings.h"

namespace {

using namespace vantrel;

std::string programDirectory(const char* argv0) {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) exe = std::filesystem::absolute(argv0, ec);
    return ec ? std::string() : exe.parent_path().string();
}

// Ctrl-C or a termination request ends the run early; the state is then saved as
// at the end of a full run.
std::atomic<bool> endRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void onEndSignal(int) { endRequested.store(true); }

void installEndSignals() {
    struct sigaction action {};
    action.sa_handler = onEndSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

// Why a file given to read cannot be read, in the system's words; empty when it can.
std::string whyUnreadable(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return errorText(errno);
    if (!S_ISREG(st.st_mode)) return errorText(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errorText(errno);
    ::close(fd);
    return {};
}

// Refusals before the run, like any command-line tool given a bad input.
int refuse(const std::string& text) {
    std::fprintf(stderr, "vantrel-headless: %s\n", text.c_str());
    return 2;
}

const char* loopEndName(int code) {
    switch (code) {
    case 2: return "Stop";
    case 5: return "Abort";
    default: return "unknown";
    }
}

}  // namespace

int main(int argc, char** argv) {
    const headless::ParsedCommandLine parsed =
        headless::parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "vantrel-headless: %s\n%s", parsed.error.c_str(),
                     headless::usageText().c_str());
        return 2;
    }
    const headless::Options& options = parsed.options;
    if (options.help) {
        std::fputs(headless::usageText().c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::puts("vantrel-headless (Vantrel 2.0)");
        return 0;
    }

    // Defaults as the window finds them; the runner never writes the settings file.
    Settings settings;
    if (options.iniPath) settings.iniPath = *options.iniPath;
    int iniError = 0;
    if (!readSettings(settings, programDirectory(argv[0]), &iniError) && options.iniPath)
        return refuse("cannot read the settings file " + *options.iniPath + ": " + errorText(iniError));
    for (const headless::ScriptEvent& event : options.events) {
        if (event.action != headless::ScriptAction::upload) continue;
        if (const std::string why = whyUnreadable(event.text); !why.empty())
            return refuse("cannot read " + event.text + " to upload: " + why);
    }
    headless::Session session(options.romPath.value_or(settings.romPath),
                              options.ramPath.value_or(settings.ramPath));

    const int rom = session.load(settings.testRomVersion);
    if (!session.usable()) {
        std::fputs(rom == romUnreadable ? "Loading romfile failed.\n"
                                        : "Wrong ROM version. Version 10.0 needed.\n",
                   stderr);
        return 1;
    }
    // Loaded as a state it was not; run on, it would be saved over the ROM image.
    if (stateFileIsRomImage(session.machine(), session.ramPath()))
        return refuse("the state file " + session.ramPath() + " is the ROM image; name another with --ram");
    if (rom == romWrongVersion) std::puts("ROM version test failed; running all the same.");
    std::printf("ROM: %s\nState file: %s\n", session.romPath().c_str(), session.ramPath().c_str());

    headless::RunOptions runOptions;
    runOptions.duration = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::duration<double>(options.seconds));
    runOptions.untilSleep = options.untilSleep;
    runOptions.events = options.events;
    runOptions.autoLinkOnUpload = options.autoLink && settings.autoLinkOnUpload;
    session.host().receivePath = options.receivePath;
    session.host().overwrite = options.overwrite;
    installEndSignals();
    const headless::RunResult run = session.run(runOptions, &endRequested);
    if (endRequested.load()) std::puts("Run ended early on request.");
    if (!run.stopped) {
        std::puts("The emulation thread did not stop within 4000 ms; nothing saved.");
        std::fflush(stdout);
        std::_Exit(3);  // the thread still runs on the machine: leave without cleanup
    }
    std::printf("Loop ended with code %d (%s).\n", run.exitCode, loopEndName(run.exitCode));
    std::printf("PC=0x%04X SP=0x%04X bank=%u calculator on: %s\n", run.pc, run.sp,
                static_cast<unsigned>(run.bank), run.calculatorOn ? "yes" : "no");
    std::printf("Link: %s\n", session.machine().linkActive.load() ? "busy" : "idle");
    if (options.untilSleep)
        std::puts(run.asleep ? "The calculator went to sleep." : "Time limit reached before the calculator slept.");
    if (run.eventsDone < options.events.size())
        std::printf("Script steps not reached: %zu of %zu.\n", options.events.size() - run.eventsDone,
                    options.events.size());
    int status = 0;
    for (const std::string& name : session.host().writtenNames()) {
        std::error_code ec;
        if (std::filesystem::exists(name, ec)) std::printf("Received variables written: %s\n", name.c_str());
    }
    for (const std::string& failure : session.host().failedWrites()) {
        std::printf("Received variables could not be written: %s\n", failure.c_str());
        status = 4;
    }
    if (options.lcdPath) {
        if (session.writeLcdPicture(*options.lcdPath, settings.foreground, settings.background)) {
            std::printf("LCD picture written: %s\n", options.lcdPath->c_str());
        } else {
            std::printf("LCD picture could not be written: %s\n", options.lcdPath->c_str());
            status = 4;
        }
    }
    const auto messages = session.host().messages();
    if (!messages.empty()) {
        std::puts("Messages:");
        for (const std::string& text : messages) std::printf("  %s\n", text.c_str());
    }

    if (run.exitCode == 5) {
        // As the window does after a refused illegal opcode: the state is not kept.
        std::puts("State file not written (emulation aborted).");
        return 3;
    }
    if (!options.save) {
        std::puts("State file not written (--no-save).");
        return status;
    }
    std::string why;
    if (!session.save(&why)) {
        std::printf("State file could not be written: %s (%s)\n", session.ramPath().c_str(), why.c_str());
        return 4;
    }
    std::printf("State file written: %s\n", session.ramPath().c_str());
    return status;
}
