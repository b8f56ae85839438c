// What the running machine asks of the program around it. The machine never opens a
// dialog itself: the session answers these calls, on its own thread or by waiting for
// the front end's. Every default is the answer of nobody being there.
//
// The emulation thread reaches the host only through Machine::callHost, which marks
// the loop as being in a host call so that a hold from outside is granted meanwhile.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "z80/cpu_registers.h"

namespace vantrel {

// What the illegal-opcode trap shows: the registers and the bytes around PC, which
// already points past the offending bytes.
struct IllegalOpcodeSnapshot {
    const CpuRegisters& registers;        // the live registers; the loop waits meanwhile
    std::array<uint8_t, 16> bytesBefore;  // PC-16 .. PC-1
    std::array<uint8_t, 16> bytesAfter;   // PC .. PC+15
};

enum class IllegalOpcodeAnswer { stop, carryOn };

class HostInterface {
public:
    virtual ~HostInterface() = default;

    // Repaint the LCD; must not block.
    virtual void repaintLcd() {}

    // The rest block the emulation thread until answered.
    virtual IllegalOpcodeAnswer illegalOpcode(const IllegalOpcodeSnapshot&) {
        return IllegalOpcodeAnswer::stop;
    }
    // Where variables that the calculator sends go; none refuses them. backup: a
    // memory backup, which takes its own extension.
    virtual std::optional<std::string> askSaveName(bool /*backup*/) { return std::nullopt; }
    // The received variables as a whole variable file, to be stored under name (after
    // the overwrite question, with any failure told). True when stored.
    virtual bool storeReceivedFile(const std::string& /*name*/,
                                   const std::vector<uint8_t>& /*bytes*/) {
        return false;
    }
    // The calculator wrote the link's abort value.
    virtual void linkAborted() {}
};

}  // namespace vantrel
