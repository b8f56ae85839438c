// The window's side of the calculator without a window: the link's questions
// answered from the command line, messages printed to stderr and kept for the final
// report. Answers come on whatever thread asks.
#pragma once

#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "session/calculator/front_end.h"

namespace vantrel::headless {

class HeadlessFrontEnd : public FrontEnd {
public:
    // Where received variables go (the Save-As dialog's answer); none refuses them.
    std::optional<std::string> receivePath;
    // The answer to "Overwrite file ...?".
    bool overwrite = false;
    // The answer to uploading a file whose checksum does not agree (--force).
    bool force = false;
    // The Open dialog's answer for the upload under way.
    std::optional<std::string> uploadFile;
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
    // Files whose variables went to the link, each "NAME (N variables)".
    std::vector<std::string> uploads() const;
    // Uploads refused for their file's contents.
    std::size_t refusedUploads() const;
    // Whether the calculator sent anything at all.
    bool anythingReceived() const;

    void post(std::function<void()> work) override { work(); }
    bool onOwnThread() const override { return true; }
    bool filePrompt(FilePrompt kind, const std::string& fileName,
                    const std::string& reason) override;
    void linkHint(LinkHint hint) override;
    std::optional<std::string> askSaveName(bool backup) override;
    IllegalOpcodeAnswer illegalOpcode(const IllegalOpcodeSnapshot& snapshot) override;
    std::optional<std::string> chooseUploadFile() override { return uploadFile; }
    void uploadStarted(const std::string& path, int variables) override;

private:
    mutable std::mutex mutex_;
    std::vector<std::string> messages_;
    std::vector<std::string> savedNames_;
    std::vector<std::string> refusedNames_;
    std::vector<std::string> failedWrites_;
    std::vector<std::string> uploads_;
    std::size_t refusedUploads_ = 0;
    bool received_ = false;
};

}  // namespace vantrel::headless
