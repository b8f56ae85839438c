// Every opcode slot of the instruction set once, with sample operand bytes after it:
// the unprefixed opcodes, the CB, ED, DD and FD sub-tables and the DDCB and FDCB final
// bytes.
#pragma once

#include <cstdint>
#include <vector>

namespace vantrel::test {

inline std::vector<std::vector<uint8_t>> allOpcodeSlots() {
    std::vector<std::vector<uint8_t>> slots;
    for (unsigned op = 0; op < 256; ++op) {
        const auto o = static_cast<uint8_t>(op);
        // Operands differ from slot to slot so that both signs of a displacement occur.
        const auto a = static_cast<uint8_t>(op * 37 + 5);
        const auto b = static_cast<uint8_t>(op * 11 + 0x80);
        if (o != 0xCB && o != 0xDD && o != 0xED && o != 0xFD) slots.push_back({o, a, b});
        slots.push_back({0xCB, o});
        slots.push_back({0xED, o, a, b});
        if (o != 0xCB) {  // the DDCB and FDCB forms follow
            slots.push_back({0xDD, o, a, b});
            slots.push_back({0xFD, o, a, b});
        }
        slots.push_back({0xDD, 0xCB, a, o});
        slots.push_back({0xFD, 0xCB, a, o});
    }
    return slots;
}

}  // namespace vantrel::test
