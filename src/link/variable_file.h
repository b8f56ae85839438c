// Variable files (*.85?): an 11-byte signature, a 42-byte comment, the data-section
// length, entries that are the data of link packets each preceded by its length,
// and a 16-bit checksum. Read for an upload; written from received packets.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "link/variable_list.h"

namespace vantrel {

inline constexpr std::size_t variableFileHeaderSize = 55;
inline constexpr std::array<uint8_t, 11> variableFileSignature{
    '*', '*', 'T', 'I', '8', '5', '*', '*', 0x1A, 0x0C, 0x00};

// Local date and time as written into the comment of a new file.
struct FileTime {
    int day = 1;
    int month = 1;
    int year = 2000;
    int hour = 0;
    int minute = 0;
};
using FileClock = std::function<FileTime()>;
FileTime localFileTime();

// A real file holds one 16-bit data section and little more; anything far larger is
// refused as bad data before it is read.
inline constexpr uint64_t maxVariableFileSize = 1u << 20;

// Shows a file prompt (kind: FilePromptKind) and returns the window's answer:
// non-zero for Yes to the overwrite question, 0 otherwise. reason: the system's text
// of what went wrong, or empty.
using FilePrompt =
    std::function<int(int kind, bool isError, const std::string& fileName, const std::string& reason)>;

// The 42 comment bytes: the dated text, its zero byte, zero padding.
std::array<uint8_t, 42> variableFileComment(const FileTime& time);

// Appends the entries of list.fileName to the list as packets. True when the list
// then holds at least two entries.
bool readVariableFile(VariableList& list, const FilePrompt& prompt);

// Writes every entry of the list to list.fileName, asking before an existing file is
// replaced, and clears the list. The file is replaced whole or not at all; a name
// that cannot be written (a loop of links, a folder, a full disk) gets the
// cannot-open prompt with the reason. True when the file was written.
bool writeVariableFile(VariableList& list, const FilePrompt& prompt,
                       const FileClock& clock = localFileTime);

}  // namespace vantrel
