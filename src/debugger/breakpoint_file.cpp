#include "debugger/breakpoint_file.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

#include "debugger/breakpoints.h"
#include "debugger/symbol_table.h"
#include "files/file_io.h"

namespace vantrel {

namespace {

constexpr std::array<uint32_t, 256> crcTable = [] {
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}();

constexpr std::string_view fileHeader =
    "; Vantrel breakpoints: one section per ROM image, named by its CRC-32\n";

// Names of nearby addresses are a help to the reader, not part of the data.
constexpr uint16_t nameReach = 0xFF;

// The one place that writes the file, so that it is replaced atomically.
bool storeText(const std::string& path, const std::string& text) {
    return writeWholeFile(path, text.data(), text.size());
}

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
    return text;
}

std::vector<std::string_view> lines(std::string_view text) {
    std::vector<std::string_view> result;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        result.push_back(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    return result;
}

std::vector<std::string_view> words(std::string_view line) {
    line = line.substr(0, line.find(';'));
    std::vector<std::string_view> result;
    while (!(line = trimmed(line)).empty()) {
        std::size_t end = 0;
        while (end < line.size() && !isSpace(line[end])) ++end;
        result.push_back(line.substr(0, end));
        line.remove_prefix(end);
    }
    return result;
}

bool sameWord(std::string_view word, std::string_view lower) {
    if (word.size() != lower.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
        const char c = word[i] >= 'A' && word[i] <= 'Z' ? static_cast<char>(word[i] + 32) : word[i];
        if (c != lower[i]) return false;
    }
    return true;
}

std::optional<uint32_t> parseHex(std::string_view digits, std::size_t maxDigits) {
    if (digits.empty() || digits.size() > maxDigits) return std::nullopt;
    uint32_t value = 0;
    for (char c : digits) {
        unsigned digit = 0;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else
            return std::nullopt;
        value = value << 4 | digit;
    }
    return value;
}

std::optional<uint16_t> parseAddress(std::string_view word) {
    const auto value = parseHex(word, 4);
    if (!value) return std::nullopt;
    return static_cast<uint16_t>(*value);
}

// A line "[...]" starts a section; the ROM's checksum when it is "[rom XXXXXXXX]".
struct SectionHeader {
    bool isHeader = false;
    std::optional<uint32_t> rom;
};

SectionHeader sectionHeader(std::string_view line) {
    line = trimmed(line);
    if (line.size() < 2 || line.front() != '[' || line.back() != ']') return {};
    const auto inner = words(line.substr(1, line.size() - 2));
    if (inner.size() == 2 && sameWord(inner[0], "rom")) return {true, parseHex(inner[1], 8)};
    return {true, std::nullopt};
}

// An entry of a section; malformed ones are passed over.
void readEntry(std::string_view line, BreakpointSet& set) {
    const auto w = words(line);
    if (w.empty()) return;
    const bool off = w.size() >= 2 && sameWord(w.back(), "off");
    const std::size_t fields = w.size() - (off ? 1 : 0);
    if (sameWord(w[0], "break") && fields == 2) {
        if (const auto address = parseAddress(w[1])) set.add(*address, !off);
    } else if (sameWord(w[0], "write") && fields == 3) {
        const auto first = parseAddress(w[1]);
        const auto last = parseAddress(w[2]);
        if (first && last) {
            const uint32_t length = static_cast<uint16_t>(*last - *first) + 1u;
            set.addWrite(AddressRange{*first, length}, !off);
        }
    } else if (sameWord(w[0], "illegal") && w.size() == 1) {
        set.setBreakOnIllegal(true);
    }
}

std::string nameComment(const SymbolTable* symbols, uint16_t address) {
    if (!symbols) return {};
    const auto near = symbols->nearest(address, nameReach);
    return near ? " ; " + near->text() : std::string();
}

std::string sectionText(uint32_t rom, const BreakpointSet& set, const SymbolTable* symbols) {
    if (set.empty()) return {};
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "[rom %08X]\n", rom);
    std::string text = buffer;
    for (const auto& entry : set.addresses()) {
        std::snprintf(buffer, sizeof buffer, "break %04X%s", entry.address,
                      entry.enabled ? "" : " off");
        text += buffer + nameComment(symbols, entry.address) + "\n";
    }
    for (const auto& entry : set.writes()) {
        std::snprintf(buffer, sizeof buffer, "write %04X %04X%s", entry.range.first,
                      entry.range.last(), entry.enabled ? "" : " off");
        text += buffer + nameComment(symbols, entry.range.first) + "\n";
    }
    if (set.breakOnIllegal()) text += "illegal\n";
    return text;
}

bool pathExists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(path, error) || std::filesystem::is_symlink(path, error);
}

}  // namespace

std::string breakpointFilePath(const std::string& stateFilePath) {
    return stateFilePath + ".breakpoints";
}

uint32_t romChecksum(std::span<const uint8_t> rom) {
    uint32_t crc = 0xFFFFFFFFu;
    for (uint8_t byte : rom) crc = crcTable[(crc ^ byte) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

bool loadBreakpoints(const std::string& path, uint32_t rom, BreakpointSet& set) {
    set.clear();
    std::string text;
    if (!readFileText(path, text, maxBreakpointFileBytes)) return !pathExists(path);
    bool inSection = false;
    for (std::string_view line : lines(text)) {
        const SectionHeader header = sectionHeader(line);
        if (header.isHeader)
            inSection = header.rom == rom;
        else if (inSection)
            readEntry(line, set);
    }
    return true;
}

bool saveBreakpoints(const std::string& path, uint32_t rom, const BreakpointSet& set,
                     const SymbolTable* symbols) {
    std::string old;
    const bool exists = pathExists(path);
    if (exists && !readFileText(path, old, maxBreakpointFileBytes)) return false;
    if (!exists && set.empty()) return true;

    const std::string section = sectionText(rom, set, symbols);
    std::string text = exists ? std::string() : std::string(fileHeader);
    bool placed = false;
    bool skipping = false;
    for (std::string_view line : lines(old)) {
        const SectionHeader header = sectionHeader(line);
        if (header.isHeader) {
            skipping = header.rom == rom;
            if (skipping && !placed) {
                text += section;
                placed = true;
            }
        }
        if (!skipping) (text += line) += '\n';
    }
    if (!placed) text += section;
    return storeText(path, text);
}

}  // namespace vantrel
