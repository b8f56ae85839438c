// The debugger's reading of instructions: one at a time, from any source of bytes, as
// the instruction set's description (z80/instruction_set.h) says, with what the
// debugger needs to step and to watch memory: the length, the kind of control transfer
// and its target, whether the slot traps, and the memory the instruction stores into.
// Nothing here knows an opcode; it renders the description's operands as text.
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
#include "z80/instruction_set.h"
#include "z80/personality.h"

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
    repeatingBlock,           // LDIR, CPIR, INIR, OTIR and the D forms (whole on this
                              // machine, a round at a time on the complete Z80)
};

struct Instruction {
    uint16_t address = 0;
    uint8_t length = 1;              // bytes executed; for a trap, the bytes it skips
    std::array<uint8_t, 4> bytes{};  // the first `length` are the instruction's
    std::string text;
    bool traps = false;  // the illegal-opcode trap runs instead
    FlowKind flow = FlowKind::plain;
    std::optional<uint16_t> target;  // where a jump, call or restart goes
    // The slot's description (for a trap, what the complete Z80 would run there), and
    // the processor it was read for.
    const OpcodeInfo* info = nullptr;
    Personality personality = Personality::classic;

    uint16_t next() const { return static_cast<uint16_t>(address + length); }
};

// Decodes the instruction at address, as the personality runs it. A prefix that the
// processor drops (DD or FD before another prefix, and on the complete Z80 before any
// opcode it does not change) is an instruction of its own, one byte long. With symbols,
// jump targets, 16-bit immediates and memory operands are shown by name where one is
// known; jump targets and memory operands also as a name a few bytes below them
// ("(numA+3)").
Instruction disassemble(const ByteReader& read, uint16_t address,
                        const SymbolTable* symbols = nullptr,
                        Personality personality = Personality::classic);

// Whether the instruction that starts with these bytes reaches this machine's
// illegal-opcode trap, as disassemble() says, without building its text: cheap enough
// to ask before every instruction.
bool instructionTraps(const std::array<uint8_t, 4>& bytes);

// The addresses the instruction stores into when it runs with these registers (those
// before it runs), or nothing. Stores below 0x8000 are included although the memory
// keeps its value there: they are still the program's writes. No instruction stores
// into two separate places, so one range is enough.
std::optional<AddressRange> memoryWrites(const Instruction& instruction,
                                         const CpuRegisters& before);

}  // namespace vantrel
