// Whole-file reads and writes. Writes replace the file atomically: the bytes go to a
// hidden temporary file beside the target, which is then renamed over it, so an
// interrupted write never leaves a truncated file. The temporary file has one fixed
// name per target, reused by the next write, so a write killed half-way leaves at
// most that one file behind until the next write of the same target takes it. A file
// is never rewritten in place: where its folder takes no new file, the write fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vantrel {

// Why a read failed: the system's error number, or a file that ended early.
struct ReadFailure {
    int error = 0;
    bool tooShort = false;
    bool tooLong = false;  // readExactFile only
    std::size_t bytesRead = 0;
    uint64_t fileSize = 0;  // of a file too short (bytesRead) or too long
};

// True when exactly count bytes were read; bytes read before a shortfall stay in
// the buffer. Never blocks on a FIFO or device, never reads a directory. A longer
// file is fine: only its first count bytes are read.
bool readWholeFile(const std::string& path, void* buffer, std::size_t count,
                   ReadFailure* why = nullptr);
// The same for a file that must hold exactly count bytes: a longer one fails as well
// (tooLong), and none of it is read.
bool readExactFile(const std::string& path, void* buffer, std::size_t count,
                   ReadFailure* why = nullptr);

// True when exactly count bytes reached the file. A symbolic link is followed and its
// target replaced (a loop of links is refused); the old file's permission bits, and
// its owner where allowed, are kept; a file the user may not write is not replaced,
// nor one in a folder that takes no new file. On failure, error (when given) receives
// the system's error number.
bool writeWholeFile(const std::string& path, const void* buffer, std::size_t count,
                    int* error = nullptr);

// What a write to path would meet, found without writing: usable is false (with the
// error number in error) when writeWholeFile would surely fail, for instance for a
// loop of links, a folder, a read-only file or a missing folder.
struct WriteTarget {
    bool usable = false;
    bool exists = false;  // a file would be replaced
    int error = 0;
};
WriteTarget checkWriteTarget(const std::string& path);

// Reads a regular file of unknown size into text. False when the file cannot be
// read or is larger than maxBytes (text is then empty; error, when given, receives
// the system's error number, EFBIG for a file over the limit).
bool readFileText(const std::string& path, std::string& text, std::size_t maxBytes,
                  int* error = nullptr);

// The same as bytes.
bool readFileBytes(const std::string& path, std::vector<uint8_t>& bytes, std::size_t maxBytes,
                   int* error = nullptr);

// 0 when path names a regular file this process may read, else the system's error
// number (EISDIR for a folder, EINVAL for anything else that is not a file).
int readableError(const std::string& path);

// True when path names an existing regular file (symbolic links followed).
bool isRegularFile(const std::string& path);

// The file that a write to path replaces: symbolic links followed, also one that
// points at a file not made yet. Empty for a loop of links.
std::string linkTarget(const std::string& path);

// True when both paths name one file: the same file when both exist, or the same
// path once symbolic links are followed when neither exists yet.
bool sameFile(const std::string& a, const std::string& b);

// The system's text for an error number ("No space left on device"); empty for 0.
std::string errorText(int error);

// The same for a failed write of path; where the file could be written but its folder
// takes no new file, it also says so and what to do about it.
std::string writeErrorText(const std::string& path, int error);

}  // namespace vantrel
