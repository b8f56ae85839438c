// A file that one running program at a time may use, such as a state file that
// whoever closes last would otherwise write over the other's work. The claim is an
// advisory lock (flock) on a hidden file beside it, ".NAME.vantrel-lock", which holds
// the claiming process's id. The system drops the lock when the process ends, however
// it ends, so a crash never leaves a stale claim; a normal release also removes the
// lock file.
#pragma once

#include <optional>
#include <string>

#include "text/failure.h"

namespace vantrel {

class FileClaim {
public:
    enum class Outcome {
        held,         // this object has the file
        inUse,        // another open claim has it (holder: its process id, 0 if unknown)
        unavailable,  // no lock can be taken there (a folder without room for the lock
                      // file, a file system without locks): nobody can claim the file
    };
    struct Claimed {
        Outcome outcome = Outcome::unavailable;
        long holder = 0;
        std::optional<Failure> failure = std::nullopt;  // why unavailable
    };

    FileClaim() = default;
    ~FileClaim() { release(); }
    FileClaim(const FileClaim&) = delete;
    FileClaim& operator=(const FileClaim&) = delete;

    // Claims the file at path (which need not exist yet; symbolic links are followed,
    // so every name of one file shares one claim). A claim held on another file is
    // kept while the new file is in use, and released otherwise; the same file again
    // keeps the claim.
    Claimed claim(const std::string& path);
    void release();
    bool held() const { return fd_ >= 0; }
    // The full path of the claimed file, links followed; empty when none is held.
    const std::string& file() const { return file_; }

    // The path that names a file for claims: absolute, links followed.
    static std::string identity(const std::string& path);

private:
    struct Attempt {
        Claimed result;
        int fd = -1;
        std::string lockPath;
    };
    static Attempt lockBeside(const std::string& file);

    int fd_ = -1;
    std::string file_;
    std::string lockPath_;
};

}  // namespace vantrel
