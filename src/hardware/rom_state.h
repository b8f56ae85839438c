// The ROM image (read once, version-tested, patched) and the state file (RAM,
// registers and port registers, 32800 bytes, no header).
//
// Paths are used as they stand: a relative path is resolved against the current
// directory at the moment of each load or save.
#pragma once

#include <string>

namespace vantrel {

struct Machine;

inline constexpr int romLoaded = 1;
inline constexpr int romUnreadable = -1;
inline constexpr int romWrongVersion = -2;

// 1: read and version "10.0"; -1: not read in full (not patched); -2: read, wrong
// version (patched all the same). Only the first 131072 bytes of a longer file count.
int loadRomImage(Machine& m, const std::string& romPath);
// The version test on the bytes as read, then every patch. True when the test passed.
bool patchRomImage(Machine& m);
// Restores RAM, registers and ports, or makes a cold start. Always 1. A bank byte
// above 7 is kept as stored (the memory map uses its low three bits), so a file
// saved again unchanged is identical byte for byte. A path naming the ROM image
// makes a cold start.
int loadStateFile(Machine& m, const std::string& ramPath);
// The machine without a state file: PC 0, SP 0xF000, cold-start port values, and a
// CALL 0x0B15 at 0x0D01 that stays in the ROM image for the run. RAM is left as it is.
void coldStart(Machine& m);
// True when all 32800 bytes were written (the file is replaced atomically). Never
// writes over the ROM image. On failure, why (when given) says what went wrong: the
// system's text of the error, or romImageText.
bool saveStateFile(Machine& m, const std::string& ramPath, std::string* why = nullptr);
// True when ramPath names the file that the machine's ROM image was loaded from.
bool stateFileIsRomImage(const Machine& m, const std::string& ramPath);
inline constexpr const char* romImageText = "That file is the ROM image.";
// Loads a state file into the running machine: holds the emulation thread at an
// instruction boundary (or in its pause), loads, re-derives the fetch pointer from
// the loaded PC, releases. A paused machine stays paused. Always 1.
int reloadStateFile(Machine& m, const std::string& ramPath);

}  // namespace vantrel
