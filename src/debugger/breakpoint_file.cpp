#include "debugger/breakpoint_file.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

#include "debugger/breakpoints.h"
#include "debugger/symbol_table.h"
#include "files/crc32.h"
#include "files/file_io.h"
#include "text/ascii_case.h"
#include "text/blanks.h"
#include "text/digits.h"

namespace vantrel {

namespace {

constexpr std::string_view fileHeader =
    "; Vantrel breakpoints: one section per ROM image, named by its CRC-32\n";

// Names of nearby addresses are a help to the reader, not part of the data.
constexpr uint16_t nameReach = 0xFF;

Failure readProblem(const Failure& failure) {
    return Failure::system(failure.code, failure.code == EFBIG
                                             ? "It is larger than a breakpoint file may be (1 MiB)."
                                             : "It cannot be read: " + failure.reason + ".");
}

// The one place that writes the file, so that it is replaced atomically.
Result<> storeText(const std::string& path, const std::string& text) {
    if (text.size() > maxBreakpointFileBytes)
        return Failure::system(EFBIG, "It would be larger than a breakpoint file may be (1 MiB).");
    const Result<> written = writeWholeFile(path, text.data(), text.size());
    if (written) return {};
    return Failure::system(written.failure().code, written.failure().reason + ".");
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
    while (!(line = trimBlanks(line)).empty()) {
        std::size_t end = 0;
        while (end < line.size() && !isBlank(line[end])) ++end;
        result.push_back(line.substr(0, end));
        line.remove_prefix(end);
    }
    return result;
}

std::optional<uint16_t> parseAddress(std::string_view word) {
    const auto value = parseDigits(word, 16, 0xFFFF);
    if (!value) return std::nullopt;
    return static_cast<uint16_t>(*value);
}

// A line "[...]" starts a section; the ROM's checksum when it is "[rom XXXXXXXX]".
struct SectionHeader {
    bool isHeader = false;
    std::optional<uint32_t> rom;
};

SectionHeader sectionHeader(std::string_view line) {
    line = trimBlanks(line);
    if (line.size() < 2 || line.front() != '[' || line.back() != ']') return {};
    const auto inner = words(line.substr(1, line.size() - 2));
    if (inner.size() == 2 && equalsIgnoringCase(inner[0], "rom"))
        return {true, parseDigits(inner[1], 16, 0xFFFFFFFFu)};
    return {true, std::nullopt};
}

// The entries of the ROM's section, gathered to go into the set at once.
struct SectionEntries {
    std::vector<BreakpointSet::AddressBreakpoint> addresses;
    std::vector<BreakpointSet::WriteBreakpoint> writes;
    bool illegal = false;
};

// An entry of a section; malformed ones are passed over.
void readEntry(std::string_view line, SectionEntries& entries) {
    const auto w = words(line);
    if (w.empty()) return;
    const bool off = w.size() >= 2 && equalsIgnoringCase(w.back(), "off");
    const std::size_t fields = w.size() - (off ? 1 : 0);
    if (equalsIgnoringCase(w[0], "break") && fields == 2) {
        if (const auto address = parseAddress(w[1])) entries.addresses.push_back({*address, !off});
    } else if (equalsIgnoringCase(w[0], "write") && fields == 3) {
        const auto first = parseAddress(w[1]);
        const auto last = parseAddress(w[2]);
        if (first && last) {
            const uint32_t length = static_cast<uint16_t>(*last - *first) + 1u;
            entries.writes.push_back({AddressRange{*first, length}, !off});
        }
    } else if (equalsIgnoringCase(w[0], "illegal") && w.size() == 1) {
        entries.illegal = true;
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

uint32_t romChecksum(std::span<const uint8_t> rom) { return crc32(rom.data(), rom.size()); }

Result<> loadBreakpoints(const std::string& path, uint32_t rom, BreakpointSet& set) {
    set.clear();
    const auto text = readFileText(path, maxBreakpointFileBytes);
    if (!text) {
        if (!pathExists(path)) return {};
        return readProblem(text.failure());
    }
    bool inSection = false;
    SectionEntries entries;
    for (std::string_view line : lines(*text)) {
        const SectionHeader header = sectionHeader(line);
        if (header.isHeader)
            inSection = header.rom == rom;
        else if (inSection)
            readEntry(line, entries);
    }
    set.assign(std::move(entries.addresses), std::move(entries.writes), entries.illegal);
    return {};
}

Result<> saveBreakpoints(const std::string& path, uint32_t rom, const BreakpointSet& set,
                         const SymbolTable* symbols) {
    std::string old;
    const bool exists = pathExists(path);
    if (exists) {
        auto read = readFileText(path, maxBreakpointFileBytes);
        if (!read) {
            const Failure problem = readProblem(read.failure());
            return Failure::system(problem.code, problem.reason + " It is kept as it is.");
        }
        old = std::move(*read);
    }
    if (!exists && set.empty()) return {};

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
