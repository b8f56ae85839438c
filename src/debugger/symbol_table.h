// Names of addresses, read from the symbol files that Z80 assemblers write.
//
// Understood lines (one symbol each; anything after ';' is a comment):
//   name EQU 1234H      name: EQU 0x1234     name equ $1234    (assembler equates)
//   name = 1234h        name=$1234                             (assignments)
//   name: 1234                                                 (address listings)
// Numbers: 1234H, $1234, 0x1234, and plain digits, which are decimal in equates and
// assignments as the assemblers read them, and hexadecimal in the listing form, where
// addresses are printed that way. Values above 0xFFFF are not addresses and are left
// out, as is every line of another shape. A name that reads as an address ("FFFF",
// "C000h", "add") is no symbol either: typed, it means that number, and shown in a
// listing it would name the wrong address.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "text/failure.h"

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

    // What loading a file did.
    struct Loaded {
        std::size_t added = 0;
        std::vector<std::string> numberNames;  // names left out since they read as numbers
    };

    // Adds the symbols of a file to the table. Fails, with the table unchanged, when the
    // file cannot be read, or with EFBIG when it is larger than maxFileBytes; the reason
    // is a sentence.
    Result<Loaded> loadFile(const std::string& path);
    // Adds the symbols of a file's text; gives the number added. Names that read as
    // numbers are left out and, when asked, listed.
    std::size_t addText(std::string_view text, std::vector<std::string>* numberNames = nullptr);
    // A name already present in any letter case keeps its first value; one that reads as
    // a number is refused.
    bool add(std::string_view name, uint16_t value);
    // Whether an address typed as this text means a number: $1234, #1234, 0x1234,
    // 1234h, or hexadecimal digits alone, up to FFFF.
    static bool readsAsNumber(std::string_view text);
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
