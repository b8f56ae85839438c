// The machine's two files: the ROM image (read once, version-tested, patched) and the
// state file (RAM, registers and port registers, 32800 bytes, no header).
//
// Paths are used as they stand: a relative path is resolved against the current
// directory at the moment of each load or save.
#pragma once

#include <cstddef>
#include <string>

namespace vantrel {

class Machine;

enum class RomLoad {
    loaded,
    missing,       // no such file
    unreadable,    // not a regular file, or the system refused to read it
    tooShort,      // fewer than 131072 bytes
    wrongVersion,  // read, but not version 10.0 (patched all the same)
};

struct RomLoadResult {
    RomLoad outcome = RomLoad::missing;
    int error = 0;              // the system's error number behind missing and unreadable
    std::size_t bytesRead = 0;  // what a file too short held

    bool read() const { return outcome == RomLoad::loaded || outcome == RomLoad::wrongVersion; }
    // Whether the machine may run on it: a wrong version only when the test is not wanted.
    bool usable(bool testRomVersion) const {
        return outcome == RomLoad::loaded || (outcome == RomLoad::wrongVersion && !testRomVersion);
    }
};

// Only the first 131072 bytes of a longer file count.
RomLoadResult loadRomImage(Machine& m, const std::string& romPath);

// Restores RAM, registers and ports, or makes a cold start. A bank byte above 7 is
// kept as stored (the memory map uses its low three bits), so a file saved again
// unchanged is identical byte for byte. A path naming the ROM image makes a cold start.
// True when the file was read.
bool loadStateFile(Machine& m, const std::string& ramPath);

// True when all 32800 bytes were written (the file is replaced atomically). Never
// writes over the ROM image. On failure, why (when given) says what went wrong: the
// system's text of the error, or romImageText.
bool saveStateFile(Machine& m, const std::string& ramPath, std::string* why = nullptr);

// True when both paths name one file (links followed): a state file there would
// replace the ROM image.
bool stateFileWouldReplace(const std::string& ramPath, const std::string& romPath);

// True when ramPath names the file that the machine's ROM image was loaded from.
bool stateFileIsRomImage(const Machine& m, const std::string& ramPath);
inline constexpr const char* romImageText = "That file is the ROM image.";

// Loads a state file into the running machine: holds the emulation thread at an
// instruction boundary (or in its pause), loads, re-derives the fetch pointer from
// the loaded PC, releases. A paused machine stays paused.
bool reloadStateFile(Machine& m, const std::string& ramPath);

}  // namespace vantrel
