// The window's side of the machine without a window: link questions answered from
// the command line, messages printed to stderr and kept for the final report.
#pragma once

#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "hardware/host_interface.h"

namespace vantrel {
struct Machine;
}

namespace vantrel::headless {

class HeadlessHost : public HostInterface {
public:
    explicit HeadlessHost(Machine& m) : m_(m) {}

    // Where received variables go (the Save-As dialog's answer); none refuses them.
    std::optional<std::string> receivePath;
    // The answer to "Overwrite file ...?".
    bool overwrite = false;
    // Where messages are printed as they come; null keeps them quiet.
    std::FILE* out = stderr;

    std::vector<std::string> messages() const;
    // The names handed out for received variables, in order.
    std::vector<std::string> savedNames() const;
    // Of those, the ones not refused afterwards (overwrite answered No, or the file
    // could not be opened): the files the calculator's variables went to.
    std::vector<std::string> writtenNames() const;
    // Received variables that could not be written, each "NAME (reason)".
    std::vector<std::string> failedWrites() const;
    // Adds a message of the runner's own (printed and kept like the others).
    void note(const std::string& text);

    int filePrompt(int kind, bool isError, const std::string& fileName, const std::string& reason) override;
    void uploadHint(int code) override;
    bool askSaveName(std::string& name, bool backup) override;
    int illegalOpcode(const IllegalOpcodeSnapshot& snapshot) override;
    void postLinkActive(uint32_t value) override;

private:
    Machine& m_;
    mutable std::mutex mutex_;
    std::vector<std::string> messages_;
    std::vector<std::string> savedNames_;
    std::vector<std::string> refusedNames_;
    std::vector<std::string> failedWrites_;
};

// The text of a file prompt on one line (the boxes break it after the first words),
// followed by the reason when there is one.
std::string filePromptText(int kind, const std::string& fileName, const std::string& reason = {});

inline constexpr const char* uploadHintText =
    "To upload a file first press [2nd] [LINK] [F2] on the calculator.";

}  // namespace vantrel::headless
