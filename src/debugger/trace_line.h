// One line of an instruction trace, for scripts and for diffing two runs:
//
//   10DF  21 30 84     AF=0044 BC=0000 DE=0000 HL=8430 IX=0000 IY=0000 SP=FBFC -Z-P--  LD HL,numA
//
// PC, the instruction's bytes, the registers as they are before it runs, the flags
// (S Z H P/V N C, a letter when set and '-' when clear), and last the mnemonic, whose
// length varies with the names of the symbols, so that every column before it stays put.
// In the hardware model the T-state clock before the instruction comes before the
// mnemonic ("T=123456789     ").
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vantrel {

struct CpuRegisters;
struct Instruction;

std::string flagsText(uint8_t f);

std::string traceLine(const Instruction& instruction, const CpuRegisters& registers,
                      std::optional<uint64_t> clock = std::nullopt);

}  // namespace vantrel
