// A front end whose answers the test sets beforehand and which records every call. It
// answers on any thread at once, as the headless runner does.
#pragma once

#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "machine/host_interface.h"
#include "session/calculator/front_end.h"
#include "support/scripted_host.h"

namespace vantrel::test {

class ScriptedFrontEnd : public FrontEnd {
public:
    // Answers.
    bool overwriteAnswer = true;
    bool damagedAnswer = false;  // upload a file whose checksum does not agree
    IllegalOpcodeAnswer illegalOpcodeAnswer = IllegalOpcodeAnswer::stop;
    std::optional<std::string> saveName = std::string("received.85g");
    std::optional<std::string> uploadFile;  // the Open dialog's answer
    bool sleepForReal = true;

    // Records.
    std::vector<PromptRecord> filePrompts() const {
        std::lock_guard l(m_);
        return filePrompts_;
    }
    std::vector<LinkHint> linkHints() const {
        std::lock_guard l(m_);
        return hints_;
    }
    std::vector<LoopEnd> loopEnds() const {
        std::lock_guard l(m_);
        return loopEnds_;
    }
    int openDialogs() const {
        std::lock_guard l(m_);
        return openDialogs_;
    }
    int sleeps() const {
        std::lock_guard l(m_);
        return sleeps_;
    }
    int illegalOpcodeCalls() const {
        std::lock_guard l(m_);
        return illegalCalls_;
    }
    int repaints() const { return repaints_.load(); }

    void post(std::function<void()> work) override { work(); }
    bool onOwnThread() const override { return true; }
    void repaintLcd() override { ++repaints_; }
    void loopEnded(LoopEnd end) override {
        std::lock_guard l(m_);
        loopEnds_.push_back(end);
    }
    bool filePrompt(FilePrompt kind, const std::string& fileName,
                    const std::string& reason) override {
        std::lock_guard l(m_);
        filePrompts_.push_back({kind, fileName, reason});
        return (kind == FilePrompt::overwrite && overwriteAnswer) ||
               (kind == FilePrompt::damaged && damagedAnswer);
    }
    void linkHint(LinkHint hint) override {
        std::lock_guard l(m_);
        hints_.push_back(hint);
    }
    std::optional<std::string> askSaveName(bool) override {
        std::lock_guard l(m_);
        return saveName;
    }
    IllegalOpcodeAnswer illegalOpcode(const IllegalOpcodeSnapshot&) override {
        std::lock_guard l(m_);
        ++illegalCalls_;
        return illegalOpcodeAnswer;
    }
    std::optional<std::string> chooseUploadFile() override {
        std::lock_guard l(m_);
        ++openDialogs_;
        return uploadFile;
    }
    void sleepFor(std::chrono::milliseconds duration) override {
        {
            std::lock_guard l(m_);
            ++sleeps_;
        }
        if (sleepForReal) FrontEnd::sleepFor(duration);
    }

private:
    mutable std::mutex m_;
    std::vector<PromptRecord> filePrompts_;
    std::vector<LinkHint> hints_;
    std::vector<LoopEnd> loopEnds_;
    int openDialogs_ = 0;
    int sleeps_ = 0;
    int illegalCalls_ = 0;
    std::atomic<int> repaints_{0};
};

}  // namespace vantrel::test
