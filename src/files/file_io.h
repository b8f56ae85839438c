// Whole-file reads and writes. Writes replace the file atomically: the bytes go to a
// hidden temporary file beside the target, which is then renamed over it, so an
// interrupted write never leaves a truncated file. The temporary file has one fixed
// name per target, reused by the next write, so a write killed half-way leaves at
// most that one file behind until the next write of the same target takes it. A file
// is never rewritten in place: where its folder takes no new file, the write fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "text/failure.h"

namespace vantrel {

// The first count bytes of the file at path, or all of a shorter one's, go into the
// buffer (the rest of it is left as it was): gives how many were read. Never blocks
// on a FIFO or device, never reads a directory. Fails with the system's error number.
Result<std::size_t> readFileStart(const std::string& path, void* buffer, std::size_t count);
// A file that should hold count bytes: gives its size. The buffer then holds the file
// when that is count, and what a shorter one held; of a longer one nothing is read.
Result<uint64_t> readFileOfSize(const std::string& path, void* buffer, std::size_t count);

// Writes count bytes to the file. A symbolic link is followed and its target replaced
// (a loop of links is refused); the old file's permission bits, and its owner where
// allowed, are kept; a file the user may not write is not replaced, nor one in a
// folder that takes no new file. Fails with the system's error number; the reason is
// the system's text, and where the file could be written but its folder takes no new
// file, it also says so and what to do about it.
Result<> writeWholeFile(const std::string& path, const void* buffer, std::size_t count);

// A file written piece by piece as it is made (a recording) and put in place whole, as
// writeWholeFile puts its bytes: the pieces go to the target's temporary file, commit
// renames it over the target, and a stream that fails or is dropped before that removes
// it, so that the target is either what it was or the whole new file. Failures carry
// the reasons writeWholeFile gives; after one, every further call fails with it too.
class FileStream {
public:
    FileStream();
    ~FileStream();
    FileStream(const FileStream&) = delete;
    FileStream& operator=(const FileStream&) = delete;

    Result<> open(const std::string& path);
    Result<> write(const void* data, std::size_t count);
    // Synced and renamed into place; the stream is closed either way.
    Result<> commit();
    // Removes what was written; the target stays as it was.
    void abandon();
    bool isOpen() const;

private:
    struct Open;
    std::unique_ptr<Open> open_;
    std::string path_;
    std::optional<Failure> failed_;
};

// What a write to path would meet, found without writing: the failure that
// writeWholeFile would surely meet (for a loop of links, a folder, a read-only file or
// a missing folder), else whether a file would be replaced.
struct WriteTarget {
    bool exists = false;
};
Result<WriteTarget> checkWriteTarget(const std::string& path);

// A regular file of unknown size as text. Fails when the file cannot be read, and
// with EFBIG when it is larger than maxBytes; the reason is the system's text.
Result<std::string> readFileText(const std::string& path, std::size_t maxBytes);
// The same as bytes.
Result<std::vector<uint8_t>> readFileBytes(const std::string& path, std::size_t maxBytes);

// Whether path names a regular file this process may read: the system's error number
// and text if not (EISDIR for a folder, EINVAL for anything else that is not a file).
Result<> checkReadable(const std::string& path);

// True when path names an existing regular file (symbolic links followed).
bool isRegularFile(const std::string& path);

// The file that a write to path replaces: symbolic links followed, also one that
// points at a file not made yet. Empty for a loop of links.
std::string linkTarget(const std::string& path);

// True when both paths name one file: the same file when both exist, or the same
// path once symbolic links are followed when neither exists yet.
bool sameFile(const std::string& a, const std::string& b);

}  // namespace vantrel
