// The program's arguments: "/rom:PATH" and "/ram:PATH" (the prefix in any case, the
// value running to the end of the argument), "--rom PATH", "--rom=PATH", the same for
// "--ram", "--model", "--demo", "--help", "--version" and the debugging option "--grab PATH"; a
// variable file ("*.85?", as the desktop entry passes it) is uploaded.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "hardware/machine_model.h"

namespace vantrel {

struct Settings;

struct CommandLine {
    std::optional<std::string> romPath;
    std::optional<std::string> ramPath;
    std::optional<std::string> grabPath;    // save a picture of the window there and quit
    std::optional<std::string> uploadPath;  // a variable file to send once the window runs
    std::optional<MachineModel> model;      // --model classic|hardware
    bool demo = false;                      // run the demo firmware with the demo's own settings
    bool help = false;
    bool version = false;
    std::vector<std::string> warnings;  // ignored arguments, one line each
    std::vector<std::string> errors;    // arguments that make the start pointless
};

// args excludes the program name.
CommandLine parseCommandLine(const std::vector<std::string>& args);

// Command-line paths override the settings file's; a relative one means the current
// directory and is stored absolute.
void applyCommandLine(const CommandLine& line, Settings& settings);

std::string usageText();

// The value of "--model": the model, or nothing and the line that names the accepted
// values in errors. Both front ends read the option through it.
std::optional<MachineModel> modelOption(const std::string& value, std::vector<std::string>& errors);

}  // namespace vantrel
