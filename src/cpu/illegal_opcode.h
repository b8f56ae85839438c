// The handler in every slot that holds no instruction.
#pragma once

#include <array>
#include <cstdint>

namespace vantrel {

struct Machine;
struct CpuRegisters;

struct IllegalOpcodeSnapshot {
    const CpuRegisters& registers;        // the live registers; the loop waits meanwhile
    std::array<uint8_t, 16> bytesBefore;  // PC-16 .. PC-1
    std::array<uint8_t, 16> bytesAfter;   // PC .. PC+15
};

void illegalOpcodeTrap(Machine& m);

}  // namespace vantrel
