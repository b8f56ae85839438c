// Names of addresses, read from the symbol files that Z80 assemblers write.
//
// Understood lines (one symbol each; anything after ';' is a comment):
//   name EQU 1234H      name: EQU 0x1234     name equ $1234    (assembler equates)
//   name = 1234h        name=$1234                             (assignments)
//   name: 1234                                                 (address listings)
// Numbers: 1234H, $1234, 0x1234, and plain digits, which are decimal in equates and
// assignments as the assemblers read them, and hexadecimal in the listing form, where
// addresses are printed that way. Values above 0xFFFF are not addresses and are left
// out, as is every line of another shape.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vantrel {

class SymbolTable {
public:
    struct Symbol {
        std::string name;
        uint16_t value = 0;
    };

    // An address shown as the name at or below it: "calc_add+3", or "calc_add".
    struct NearName {
        const std::string* name = nullptr;
        uint16_t offset = 0;

        std::string text() const;
    };

    static constexpr std::size_t maxFileBytes = 8u << 20;
    static constexpr std::size_t maxNameLength = 255;

    // Adds the symbols of a file to the table. False, with the table unchanged, when the
    // file cannot be read or is larger than maxFileBytes.
    bool loadFile(const std::string& path);
    // Adds the symbols of a file's text; gives the number added.
    std::size_t addText(std::string_view text);
    // A name already present in any letter case keeps its first value.
    bool add(std::string_view name, uint16_t value);
    void clear();

    bool empty() const { return symbols_.empty(); }
    std::size_t size() const { return symbols_.size(); }
    const std::vector<Symbol>& symbols() const { return symbols_; }

    // Name to address, whatever the letter case.
    std::optional<uint16_t> find(std::string_view name) const;

    // The name that stands for an address. Where several share it, a name with a small
    // letter wins over one in capitals only (by the common habit, labels are written
    // with small letters and constants in capitals, and a constant that happens to equal
    // an address says nothing about it); among equals, the first one in the file.
    const std::string* nameAt(uint16_t address) const;

    // The name at the highest named address at or below this one, if that lies at most
    // maxOffset below it.
    std::optional<NearName> nearest(uint16_t address, uint16_t maxOffset = 0xFFFF) const;

private:
    std::vector<Symbol> symbols_;
    std::unordered_map<std::string, std::size_t> byFoldedName_;
    std::map<uint16_t, std::size_t> byAddress_;  // the preferred symbol of each address
};

}  // namespace vantrel
