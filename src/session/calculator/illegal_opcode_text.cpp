#include "session/calculator/illegal_opcode_text.h"

#include <cstdio>

#include "z80/cpu_registers.h"

namespace vantrel {

namespace {

void appendByte(std::string& text, uint8_t value) {
    char buffer[4];
    std::snprintf(buffer, sizeof buffer, "%02x ", value);
    text += buffer;
}

std::string wordText(uint16_t value) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "0x%04x", value);
    return buffer;
}

bool isPrefix(uint8_t value) {
    return value == 0xCB || value == 0xDD || value == 0xED || value == 0xFD;
}

}  // namespace

std::string illegalOpcodeText(const IllegalOpcodeSnapshot& snapshot) {
    std::string text;
    const uint8_t beforeLast = snapshot.bytesBefore[14];
    if (isPrefix(beforeLast)) appendByte(text, beforeLast);
    appendByte(text, snapshot.bytesBefore[15]);
    return text;
}

std::array<std::string, 8> illegalOpcodeRegisterTexts(const CpuRegisters& r) {
    return {wordText(r.af()), wordText(r.bc()), wordText(r.de()), wordText(r.hl()),
            wordText(r.ix),   wordText(r.iy),   wordText(r.sp),   wordText(r.pc)};
}

std::string illegalOpcodeByteLine(const std::array<uint8_t, 16>& bytes) {
    std::string text;
    text.reserve(48);
    for (uint8_t value : bytes) appendByte(text, value);
    return text;
}

}  // namespace vantrel
