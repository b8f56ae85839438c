#include "debugger/trace_line.h"

#include <cstdio>

#include "debugger/disassembler.h"
#include "z80/cpu_registers.h"

namespace vantrel {

std::string flagsText(uint8_t f) {
    static constexpr struct {
        uint8_t bit;
        char letter;
    } flags[] = {{flagS, 'S'},  {flagZ, 'Z'}, {flagH, 'H'},
                 {flagPV, 'P'}, {flagN, 'N'}, {flagC, 'C'}};
    std::string text;
    for (const auto& flag : flags) text += (f & flag.bit) ? flag.letter : '-';
    return text;
}

std::string traceLine(const Instruction& in, const CpuRegisters& r, std::optional<uint64_t> clock) {
    std::string bytes;
    for (unsigned i = 0; i < in.length && i < in.bytes.size(); ++i) {
        char byte[4];
        std::snprintf(byte, sizeof byte, i ? " %02X" : "%02X", in.bytes[i]);
        bytes += byte;
    }
    char line[160];
    std::snprintf(line, sizeof line,
                  "%04X  %-11s  AF=%04X BC=%04X DE=%04X HL=%04X IX=%04X IY=%04X SP=%04X %s  ",
                  in.address, bytes.c_str(), r.af(), r.bc(), r.de(), r.hl(), r.ix, r.iy, r.sp,
                  flagsText(r.f).c_str());
    std::string text = line;
    if (clock) {
        char at[32];
        std::snprintf(at, sizeof at, "T=%-14llu ", static_cast<unsigned long long>(*clock));
        text += at;
    }
    return text + in.text;
}

}  // namespace vantrel
