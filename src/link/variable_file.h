// Variable files (*.85?) as bytes: an 11-byte signature, a 42-byte comment, the
// data-section length, entries that are the data of link packets each preceded by its
// length, and a 16-bit checksum. Decoded for an upload; encoded from received packets.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "link/variable_list.h"

namespace vantrel {

inline constexpr std::size_t variableFileHeaderSize = 55;
inline constexpr std::array<uint8_t, 11> variableFileSignature{'*', '*', 'T',  'I',  '8', '5',
                                                               '*', '*', 0x1A, 0x0C, 0x00};

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

// The 42 comment bytes: the dated text, its zero byte, zero padding.
std::array<uint8_t, 42> variableFileComment(const FileTime& time);

enum class VariableFileRead {
    variables,         // whole variables, and the checksum agrees with them
    checksumMismatch,  // whole variables, but the checksum does not agree: damaged?
    noVariables,       // a variable file, but without a whole variable in it
    truncated,         // it ends inside a variable, or holds bytes that are none
    badData,           // not a variable file, or far larger than one can be
};

// Appends the entries of a variable file to the list as packets: headers as VAR, the
// data that follows each as DATA, up to the first entry that cannot be read whole. A
// file larger than maxVariableFileSize is refused whole. The checksum is the 16-bit
// sum of the data section's bytes (length words included), which the data-section
// length (taken modulo 65536, as it is written) bounds.
VariableFileRead decodeVariableFile(std::span<const uint8_t> bytes, VariableList& list);

// The variable file that holds every entry of the list, dated time.
std::vector<uint8_t> encodeVariableFile(const VariableList& list, const FileTime& time);

}  // namespace vantrel
