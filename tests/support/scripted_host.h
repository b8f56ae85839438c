// A host whose answers the test sets beforehand and which records every call. Received
// variables are stored the way the program stores them, with the prompts recorded.
#pragma once

#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "machine/host_interface.h"
#include "session/link/received_file.h"

namespace vantrel::test {

struct PromptRecord {
    FilePrompt kind;
    std::string fileName;
    std::string reason;
};

class ScriptedHost : public HostInterface {
public:
    // Answers.
    bool overwriteAnswer = true;
    IllegalOpcodeAnswer illegalOpcodeAnswer = IllegalOpcodeAnswer::stop;
    bool giveSaveName = true;
    std::string saveName = "received.85g";

    // Records (guarded: calls come from the emulation thread).
    std::vector<PromptRecord> filePrompts() const {
        std::lock_guard l(m_);
        return filePrompts_;
    }
    int linkAborts() const {
        std::lock_guard l(m_);
        return linkAborts_;
    }
    int saveNameRequests() const {
        std::lock_guard l(m_);
        return saveNameRequests_;
    }
    std::vector<bool> backupFlags() const {
        std::lock_guard l(m_);
        return backupFlags_;
    }
    int illegalOpcodeCalls() const {
        std::lock_guard l(m_);
        return illegalCalls_;
    }
    std::array<uint8_t, 16> lastBytesBefore() const {
        std::lock_guard l(m_);
        return lastBefore_;
    }
    std::array<uint8_t, 16> lastBytesAfter() const {
        std::lock_guard l(m_);
        return lastAfter_;
    }
    int repaints() const { return repaints_.load(); }

    void repaintLcd() override { ++repaints_; }
    std::optional<std::string> askSaveName(bool backup) override {
        std::lock_guard l(m_);
        ++saveNameRequests_;
        backupFlags_.push_back(backup);
        if (!giveSaveName) return std::nullopt;
        return saveName;
    }
    bool storeReceivedFile(const std::string& name, const std::vector<uint8_t>& bytes) override {
        return vantrel::storeReceivedFile(
            name, bytes, [&](FilePrompt kind, const std::string& reason) {
                std::lock_guard l(m_);
                filePrompts_.push_back({kind, name, reason});
                return kind == FilePrompt::overwrite && overwriteAnswer;
            });
    }
    void linkAborted() override {
        std::lock_guard l(m_);
        ++linkAborts_;
    }
    IllegalOpcodeAnswer illegalOpcode(const IllegalOpcodeSnapshot& snapshot) override {
        std::lock_guard l(m_);
        ++illegalCalls_;
        lastBefore_ = snapshot.bytesBefore;
        lastAfter_ = snapshot.bytesAfter;
        return illegalOpcodeAnswer;
    }

private:
    mutable std::mutex m_;
    std::vector<PromptRecord> filePrompts_;
    int linkAborts_ = 0;
    int saveNameRequests_ = 0;
    std::vector<bool> backupFlags_;
    int illegalCalls_ = 0;
    std::array<uint8_t, 16> lastBefore_{};
    std::array<uint8_t, 16> lastAfter_{};
    std::atomic<int> repaints_{0};
};

}  // namespace vantrel::test
