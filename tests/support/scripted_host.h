// A host whose answers the test sets beforehand and which records every call.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "cpu/illegal_opcode.h"
#include "hardware/host_interface.h"

namespace vantrel::test {

class ScriptedHost : public HostInterface {
public:
    struct FilePrompt {
        int kind;
        bool isError;
        std::string fileName;
        std::string reason;
    };

    // Answers.
    int overwriteAnswer = 1;
    int illegalOpcodeAnswer = 0;
    bool giveSaveName = true;
    std::string saveName = "received.85g";

    // Records (guarded: calls come from the emulation thread).
    std::vector<FilePrompt> filePrompts() const { std::lock_guard l(m_); return filePrompts_; }
    std::vector<int> uploadHints() const { std::lock_guard l(m_); return uploadHints_; }
    std::vector<uint32_t> linkActivePosts() const { std::lock_guard l(m_); return linkActive_; }
    int saveNameRequests() const { std::lock_guard l(m_); return saveNameRequests_; }
    bool lastSaveNameForBackup() const { std::lock_guard l(m_); return lastSaveNameForBackup_; }
    int illegalOpcodeCalls() const { std::lock_guard l(m_); return illegalCalls_; }
    std::array<uint8_t, 16> lastBytesBefore() const { std::lock_guard l(m_); return lastBefore_; }
    std::array<uint8_t, 16> lastBytesAfter() const { std::lock_guard l(m_); return lastAfter_; }
    int repaints() const { return repaints_.load(); }

    void repaintLcd() override { ++repaints_; }
    int filePrompt(int kind, bool isError, const std::string& fileName, const std::string& reason) override {
        std::lock_guard l(m_);
        filePrompts_.push_back({kind, isError, fileName, reason});
        return isError ? 0 : overwriteAnswer;
    }
    void uploadHint(int code) override { std::lock_guard l(m_); uploadHints_.push_back(code); }
    bool askSaveName(std::string& name, bool backup) override {
        std::lock_guard l(m_);
        ++saveNameRequests_;
        lastSaveNameForBackup_ = backup;
        if (!giveSaveName) return false;
        name = saveName;
        return true;
    }
    int illegalOpcode(const IllegalOpcodeSnapshot& snapshot) override {
        std::lock_guard l(m_);
        ++illegalCalls_;
        lastBefore_ = snapshot.bytesBefore;
        lastAfter_ = snapshot.bytesAfter;
        return illegalOpcodeAnswer;
    }
    void postLinkActive(uint32_t value) override { std::lock_guard l(m_); linkActive_.push_back(value); }

private:
    mutable std::mutex m_;
    std::vector<FilePrompt> filePrompts_;
    std::vector<int> uploadHints_;
    std::vector<uint32_t> linkActive_;
    int saveNameRequests_ = 0;
    bool lastSaveNameForBackup_ = false;
    int illegalCalls_ = 0;
    std::array<uint8_t, 16> lastBefore_{};
    std::array<uint8_t, 16> lastAfter_{};
    std::atomic<int> repaints_{0};
};

}  // namespace vantrel::test
