// The ROM image (read once, version-tested, patched) and the state file (RAM,
// registers and port registers, 32800 bytes, no header).
#pragma once

#include <string>

namespace vantrel {

struct Machine;

inline constexpr int romLoaded = 1;
inline constexpr int romUnreadable = -1;
inline constexpr int romWrongVersion = -2;

// 1: read and version "10.0"; -1: not read in full (not patched); -2: read, wrong
// version (patched all the same).
int loadRomImage(Machine& m, const std::string& romPath);
// The version test on the bytes as read, then every patch. True when the test passed.
bool patchRomImage(Machine& m);
// Restores RAM, registers and ports, or makes a cold start. Always 1.
int loadStateFile(Machine& m, const std::string& ramPath);
void coldStart(Machine& m);
// True when all 32800 bytes were written.
bool saveStateFile(Machine& m, const std::string& ramPath);

}  // namespace vantrel
