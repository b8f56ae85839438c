// Whole-file reads and writes. Writes replace the file atomically: a temporary file
// in the same directory, then a rename over the old one, so an interrupted write
// never leaves a truncated file.
#pragma once

#include <cstddef>
#include <string>

namespace vantrel {

// True when exactly count bytes were read; bytes read before a shortfall stay in
// the buffer. Never blocks on a FIFO or device, never reads a directory.
bool readWholeFile(const std::string& path, void* buffer, std::size_t count);

// True when exactly count bytes reached the file.
bool writeWholeFile(const std::string& path, const void* buffer, std::size_t count);

}  // namespace vantrel
