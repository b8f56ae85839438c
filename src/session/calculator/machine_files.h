// The machine's two files: the ROM image (read once, version-tested, patched for the
// classic model, as read for the hardware model) and the state file (RAM, registers
// and port registers, 32800 bytes, no header; in the hardware model followed by the
// state block of hardware/state_block.h).
//
// Paths are used as they stand: a relative path is resolved against the current
// directory at the moment of each load or save.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "text/failure.h"

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
    std::optional<Failure> failure = std::nullopt;  // the system's, behind missing and unreadable
    std::size_t bytesRead = 0;                      // what a file too short held
    uint32_t checksum = 0;  // CRC-32 of the 131072 bytes as read (before any patch)

    bool read() const { return outcome == RomLoad::loaded || outcome == RomLoad::wrongVersion; }
    // Whether the machine may run on it: a wrong version only when the test is not wanted.
    bool usable(bool testRomVersion) const {
        return outcome == RomLoad::loaded || (outcome == RomLoad::wrongVersion && !testRomVersion);
    }
};

// Only the first 131072 bytes of a longer file count. The machine's model is set first:
// the hardware model runs the image unpatched.
RomLoadResult loadRomImage(Machine& m, const std::string& romPath);

// What became of a state file at loading.
enum class StateLoad {
    restored,
    missing,     // no such file: a cold start, and saving makes the file
    wrongSize,   // neither the 32800 bytes of a state file nor those and a state block
    badBlock,    // the 32800 bytes and a state block that is damaged or not for this program
    unreadable,  // not a regular file, or the system refused to read it
    romImage,    // the ROM image: neither read nor ever written
    inUse,       // another running calculator has it (a reload is then refused)
};

struct StateLoadResult {
    StateLoad outcome = StateLoad::missing;
    std::optional<Failure> failure = std::nullopt;  // the system's, behind unreadable
    uint64_t size = 0;                              // of a file of the wrong size
    std::string blockProblem = {};                  // why a state block was refused

    bool restored() const { return outcome == StateLoad::restored; }
    // A file that is there but is no state file: kept unless the user chooses otherwise.
    bool notAStateFile() const {
        return outcome == StateLoad::wrongSize || outcome == StateLoad::unreadable ||
               outcome == StateLoad::badBlock;
    }
};

// The largest state file read: the 32800 bytes and room for a later version's block
// (which is then refused with its version, not its size).
inline constexpr std::size_t stateFileReadLimit = 32800 + 4096;

// A state file's bytes: the 32800 bytes, and in the hardware model the state block
// after them. The classic model writes no block (a file that had one loses it: the
// classic run moved the calculator on, and the block would describe the time before).
std::vector<uint8_t> encodeStateFile(const Machine& m);
// Restores the machine from a state file's bytes: the 32800 bytes alone (in the
// hardware model the rest as at power-on), or those and a valid block (which the
// classic model checks but leaves). Anything else is refused (wrongSize, badBlock)
// and the machine is left as it was.
StateLoadResult decodeStateFile(Machine& m, std::span<const uint8_t> bytes);

// The machine without a state file: the classic model's coldStart (which patches the
// ROM image), or in the hardware model the registers and ports at 0 and the rest as at
// power-on. RAM is left as it is.
void coldStartMachine(Machine& m);

// Restores RAM, registers and ports, or makes a cold start. A bank byte above 7 is
// kept as stored (the memory map uses its low three bits), so a file saved again
// unchanged is identical byte for byte. A path naming the ROM image makes a cold start,
// and so does a file of another size than a state file's (RAM then holds what a short
// one had).
StateLoadResult readStateFile(Machine& m, const std::string& ramPath);
// The same, true when the file was read.
bool loadStateFile(Machine& m, const std::string& ramPath);

// Writes encodeStateFile's bytes (the file is replaced atomically). Never writes over the ROM
// image (declined with romImageText); a failed write gives the system's text.
Result<> saveStateFile(Machine& m, const std::string& ramPath);

// True when both paths name one file (links followed): a state file there would
// replace the ROM image.
bool stateFileWouldReplace(const std::string& ramPath, const std::string& romPath);

// True when ramPath names the file that the machine's ROM image was loaded from.
bool stateFileIsRomImage(const Machine& m, const std::string& ramPath);
inline constexpr const char* romImageText = "That file is the ROM image.";
inline constexpr const char* stateFileInUseText =
    "Another running Vantrel has that state file; this one does not write it.";
inline constexpr const char* notAStateFileKeptText =
    "That file is not a state file; it is kept as it is.";

// Loads a state file into the running machine: holds the emulation thread at an
// instruction boundary (or in its pause), loads, re-derives the fetch pointer from
// the loaded PC, releases. A paused machine stays paused.
StateLoadResult reloadStateFile(Machine& m, const std::string& ramPath);

}  // namespace vantrel
