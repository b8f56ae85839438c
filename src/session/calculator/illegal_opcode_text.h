// The texts of the illegal-opcode dialog, independent of any toolkit.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "machine/host_interface.h"

namespace vantrel {

// The offending opcode as "%02x " per byte: the byte at PC-1, preceded by the byte at
// PC-2 when that one is a prefix value (CB, DD, ED, FD). For a DDCB/FDCB form the byte
// at PC-2 is the displacement, so the final byte shows alone unless the displacement
// happens to equal a prefix value.
std::string illegalOpcodeText(const IllegalOpcodeSnapshot& snapshot);

// AF, BC, DE, HL, IX, IY, SP, PC in that order, each "0x%04x" with the first-named
// register of a pair as the high byte.
std::array<std::string, 8> illegalOpcodeRegisterTexts(const CpuRegisters& registers);

// Sixteen bytes as "%02x " each, 48 characters.
std::string illegalOpcodeByteLine(const std::array<uint8_t, 16>& bytes);

}  // namespace vantrel
