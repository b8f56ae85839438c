// vantrel-headless: the calculator without a window, for scripts and tests.
#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

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
    readSettings(settings, programDirectory(argv[0]));
    headless::Session session(options.romPath.value_or(settings.romPath),
                              options.ramPath.value_or(settings.ramPath));

    const int rom = session.load(settings.testRomVersion);
    if (!session.usable()) {
        std::fputs(rom == romUnreadable ? "Loading romfile failed.\n"
                                        : "Wrong ROM version. Version 10.0 needed.\n",
                   stderr);
        return 1;
    }
    if (rom == romWrongVersion) std::puts("ROM version test failed; running all the same.");
    std::printf("ROM: %s\nState file: %s\n", session.romPath().c_str(), session.ramPath().c_str());

    const auto duration = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::duration<double>(options.seconds));
    installEndSignals();
    const headless::RunResult run = session.run(duration, &endRequested);
    if (endRequested.load()) std::puts("Run ended early on request.");
    if (!run.stopped) {
        std::puts("The emulation thread did not stop within 4000 ms; nothing saved.");
        std::fflush(stdout);
        std::_Exit(3);  // the thread still runs on the machine: leave without cleanup
    }
    std::printf("Loop ended with code %d (%s).\n", run.exitCode, loopEndName(run.exitCode));
    std::printf("PC=0x%04X SP=0x%04X bank=%u calculator on: %s\n", run.pc, run.sp,
                static_cast<unsigned>(run.bank), run.calculatorOn ? "yes" : "no");

    if (run.exitCode == 5) {
        // As the window does after a refused illegal opcode: the state is not kept.
        std::puts("State file not written (emulation aborted).");
        return 3;
    }
    if (!options.save) {
        std::puts("State file not written (--no-save).");
        return 0;
    }
    if (!session.save()) {
        std::printf("State file could not be written: %s\n", session.ramPath().c_str());
        return 4;
    }
    std::printf("State file written: %s\n", session.ramPath().c_str());
    return 0;
}
