// Whole-file reads and writes. Writes replace the file atomically: a temporary file
// in the same directory, then a rename over the old one, so an interrupted write
// never leaves a truncated file.
#pragma once

#include <cstddef>
#include <string>

namespace vantrel {

// True when exactly count bytes were read; bytes read before a shortfall stay in
// the buffer. Never blocks on a FIFO or device, never reads a directory. A longer
// file is fine: only its first count bytes are read.
bool readWholeFile(const std::string& path, void* buffer, std::size_t count);

// True when exactly count bytes reached the file. A symbolic link is followed and its
// target replaced; the old file's permission bits are kept. Where the directory takes
// no new file, the existing file is rewritten in place instead.
bool writeWholeFile(const std::string& path, const void* buffer, std::size_t count);

// Reads a regular file of unknown size into text. False when the file cannot be
// read or is larger than maxBytes (text is then empty).
bool readFileText(const std::string& path, std::string& text, std::size_t maxBytes);

// True when path names an existing regular file (symbolic links followed).
bool isRegularFile(const std::string& path);

}  // namespace vantrel
