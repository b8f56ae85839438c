// Decoding of this machine's instruction set for the debugger: one instruction at a
// time, from any source of bytes, with what the debugger needs to step and to watch
// memory: the length, the kind of control transfer and its target, whether the slot
// traps, and the memory the instruction stores into.
//
// Spelling: upper-case mnemonics and registers, IXh/IXl for the index halves, numbers
// in hexadecimal with an h suffix and a leading 0 before a letter ("05h", "0FFh",
// "0C000h"), displacements signed ("(IX-02h)"). Relative jumps show their target.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "debugger/address_range.h"
#include "z80/cpu_registers.h"

namespace vantrel {

struct MemoryMap;
class SymbolTable;

// The byte at a 16-bit address; the decoder wraps from 0xFFFF to 0x0000 itself.
using ByteReader = std::function<uint8_t(uint16_t address)>;

// Reads as data reads do (the bank window included). Code that runs on past the end of
// a 16 KiB page without a jump is fetched from the next page of the same image instead,
// so a listing across such an end may differ from what runs. The map must outlive the
// reader.
ByteReader memoryMapReader(const MemoryMap& memory);

enum class FlowKind : uint8_t {
    plain,                    // goes on with the next instruction
    jump,                     // JP nn, and JP (HL)/(IX)/(IY) without a known target
    conditionalJump,          // JP cc,nn
    relativeJump,             // JR e
    conditionalRelativeJump,  // JR cc,e and DJNZ
    call,                     // CALL nn
    conditionalCall,          // CALL cc,nn
    restart,                  // RST p
    ret,                      // RET, RETI, RETN
    conditionalReturn,        // RET cc
    halt,                     // sleeps when interrupts are enabled
    repeatingBlock,           // LDIR, CPIR, INIR, OTIR and the D forms: one step whole
};

struct Instruction {
    uint16_t address = 0;
    uint8_t length = 1;              // bytes executed; for a trap, the bytes it skips
    std::array<uint8_t, 4> bytes{};  // the first `length` are the instruction's
    std::string text;
    bool traps = false;  // the illegal-opcode trap runs instead
    FlowKind flow = FlowKind::plain;
    std::optional<uint16_t> target;  // where a jump, call or restart goes

    uint16_t next() const { return static_cast<uint16_t>(address + length); }
};

// Decodes the instruction at address. A repeated index prefix (DD or FD followed by DD
// or FD) is an instruction of its own, one byte long, since the processor drops it and
// starts again at the second prefix. With symbols, jump targets and 16-bit addresses
// are shown by name where one is known.
Instruction disassemble(const ByteReader& read, uint16_t address,
                        const SymbolTable* symbols = nullptr);

// Whether the instruction that starts with these bytes reaches the illegal-opcode trap,
// as disassemble() says, without building its text: cheap enough to ask before every
// instruction.
bool instructionTraps(const std::array<uint8_t, 4>& bytes);

// The addresses the instruction stores into when it runs with these registers (those
// before it runs), or nothing. Stores below 0x8000 are included although the memory
// keeps its value there: they are still the program's writes. No instruction of this
// machine stores into two separate places, so one range is enough.
std::optional<AddressRange> memoryWrites(const Instruction& instruction,
                                         const CpuRegisters& before);

}  // namespace vantrel
