// Breakpoints kept in a small text file beside the state file, one section per ROM
// image, so that each calculator program keeps its own:
//
//   ; Vantrel breakpoints: one section per ROM image, named by its CRC-32
//   [rom 1A2B3C4D]
//   break 10DF ; add32
//   break 0F31 off ; calcEnter
//   write 8430 8433 ; numA
//   illegal
//
// Addresses are hexadecimal; a write range gives its first and last address. The names
// after ';' are for the reader only. Lines that do not fit are skipped on reading, and
// saving rewrites only the section of the ROM at hand, leaving every other line as it
// was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "text/failure.h"

namespace vantrel {

class BreakpointSet;
class SymbolTable;

inline constexpr std::size_t maxBreakpointFileBytes = 1u << 20;

// "<state file>.breakpoints".
std::string breakpointFilePath(const std::string& stateFilePath);

// The CRC-32 that names a ROM image's section.
uint32_t romChecksum(std::span<const uint8_t> rom);

// Replaces the set's contents with the ROM's section of the file. A missing file or
// section gives an empty set. Fails when the file exists but cannot be read, or with
// EFBIG when it is larger than maxBreakpointFileBytes; the reason is a sentence.
Result<> loadBreakpoints(const std::string& path, uint32_t romChecksum, BreakpointSet& set);

// Writes the ROM's section (none for an empty set) and keeps the others, replacing the
// file atomically. Refuses to replace a file it cannot read, so that no other ROM's
// breakpoints are lost, and (with EFBIG) to write one larger than loadBreakpoints
// takes. Names come from the symbols where given.
Result<> saveBreakpoints(const std::string& path, uint32_t romChecksum, const BreakpointSet& set,
                         const SymbolTable* symbols = nullptr);

}  // namespace vantrel
