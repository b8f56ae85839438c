#include "debugger/symbol_table.h"

#include <cerrno>
#include <cstdio>

#include "files/file_io.h"
#include "text/ascii_case.h"
#include "text/blanks.h"
#include "text/digits.h"

namespace vantrel {

namespace {

std::string folded(std::string_view name) {
    std::string text(name);
    for (char& c : text) c = asciiLower(c);
    return text;
}

bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool startsName(char c) { return isLetter(c) || c == '_' || c == '.' || c == '@' || c == '?'; }
bool continuesName(char c) { return startsName(c) || isDigit(c) || c == '$'; }

bool hasSmallLetter(const std::string& name) {
    for (char c : name)
        if (c >= 'a' && c <= 'z') return true;
    return false;
}

std::optional<uint16_t> parseNumber(std::string_view token, unsigned bareBase) {
    const auto value = parseMarkedNumber(token, bareBase, 0xFFFF);
    if (!value) return std::nullopt;
    return static_cast<uint16_t>(*value);
}

struct ParsedLine {
    std::string_view name;
    uint16_t value = 0;
};

std::optional<ParsedLine> parseLine(std::string_view line) {
    line = trimBlanks(line.substr(0, line.find(';')));
    if (line.empty() || !startsName(line[0])) return std::nullopt;
    std::size_t end = 1;
    while (end < line.size() && continuesName(line[end])) ++end;
    const std::string_view name = line.substr(0, end);
    std::string_view rest = trimBlanks(line.substr(end));

    bool colon = false;
    if (!rest.empty() && rest[0] == ':') {
        colon = true;
        rest = trimBlanks(rest.substr(1));
    }
    unsigned bareBase = 10;
    if (!rest.empty() && rest[0] == '=') {
        rest = trimBlanks(rest.substr(1));
    } else if (rest.size() > 3 && equalsIgnoringCase(rest.substr(0, 3), "equ") &&
               isBlank(rest[3])) {
        rest = trimBlanks(rest.substr(3));
    } else if (colon) {
        bareBase = 16;
    } else {
        return std::nullopt;
    }
    const auto value = parseNumber(rest, bareBase);
    if (!value || name.size() > SymbolTable::maxNameLength) return std::nullopt;
    return ParsedLine{name, *value};
}

}  // namespace

std::string SymbolTable::NearName::text() const {
    if (!name) return {};
    if (offset == 0) return *name;
    if (offset < 10) return *name + "+" + std::to_string(offset);
    char digits[8];
    std::snprintf(digits, sizeof digits, "%X", offset);
    return *name + (digits[0] > '9' ? "+0" : "+") + digits + "h";
}

Result<SymbolTable::Loaded> SymbolTable::loadFile(const std::string& path) {
    const auto text = readFileText(path, maxFileBytes);
    if (!text) {
        const int error = text.failure().code;
        return Failure::system(error, error == EFBIG
                                          ? "It is larger than any symbol file (" +
                                                std::to_string(maxFileBytes >> 20) + " MiB)."
                                          : text.failure().reason + ".");
    }
    Loaded loaded;
    loaded.added = addText(*text, &loaded.numberNames);
    return loaded;
}

std::size_t SymbolTable::addText(std::string_view text, std::vector<std::string>* numberNames) {
    std::size_t added = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        const auto parsed = parseLine(line);
        if (!parsed) continue;
        if (readsAsNumber(parsed->name)) {
            if (numberNames) numberNames->emplace_back(parsed->name);
            continue;
        }
        added += add(parsed->name, parsed->value) ? 1u : 0u;
    }
    return added;
}

bool SymbolTable::readsAsNumber(std::string_view text) {
    return parseMarkedNumber(text, 16, 0xFFFF).has_value();
}

bool SymbolTable::add(std::string_view name, uint16_t value) {
    if (name.empty() || name.size() > maxNameLength || readsAsNumber(name)) return false;
    const auto [entry, inserted] = byFoldedName_.try_emplace(folded(name), symbols_.size());
    if (!inserted) return false;
    symbols_.push_back(Symbol{std::string(name), value});
    const auto [named, first] = byAddress_.try_emplace(value, entry->second);
    if (!first && !hasSmallLetter(symbols_[named->second].name) &&
        hasSmallLetter(symbols_.back().name))
        named->second = entry->second;
    return true;
}

void SymbolTable::clear() {
    symbols_.clear();
    byFoldedName_.clear();
    byAddress_.clear();
}

std::optional<uint16_t> SymbolTable::find(std::string_view name) const {
    const auto it = byFoldedName_.find(folded(name));
    if (it == byFoldedName_.end()) return std::nullopt;
    return symbols_[it->second].value;
}

const std::string* SymbolTable::nameAt(uint16_t address) const {
    const auto it = byAddress_.find(address);
    return it == byAddress_.end() ? nullptr : &symbols_[it->second].name;
}

std::optional<SymbolTable::NearName> SymbolTable::nearest(uint16_t address,
                                                          uint16_t maxOffset) const {
    auto it = byAddress_.upper_bound(address);
    if (it == byAddress_.begin()) return std::nullopt;
    --it;
    const auto offset = static_cast<uint16_t>(address - it->first);
    if (offset > maxOffset) return std::nullopt;
    return NearName{&symbols_[it->second].name, offset};
}

}  // namespace vantrel
