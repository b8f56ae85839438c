// The demo firmware's symbol table, as the assembler writes it: lines "name EQU 01234H".
// Only for test programs that link the firmware image target.
#pragma once

#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace vantrel::test {

inline std::map<std::string, unsigned> readFirmwareSymbols() {
    std::map<std::string, unsigned> symbols;
    std::ifstream in(VANTREL_FIRMWARE_SYMBOLS);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string name, equ, value;
        if (!(fields >> name >> equ >> value) || equ != "EQU" || value.empty()) continue;
        if (value.back() == 'H' || value.back() == 'h') value.pop_back();
        symbols[name] = static_cast<unsigned>(std::stoul(value, nullptr, 16));
    }
    return symbols;
}

}  // namespace vantrel::test
