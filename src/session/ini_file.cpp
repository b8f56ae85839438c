#include "session/ini_file.h"

#include <cstddef>

#include "text/ascii_case.h"

namespace vantrel {

namespace {

constexpr std::string_view utf8ByteOrderMark = "\xEF\xBB\xBF";
constexpr std::size_t npos = std::string::npos;

std::string_view trim(std::string_view s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

bool sameName(std::string_view a, std::string_view b) { return equalsIgnoringCase(a, b); }

}  // namespace

IniFile::IniFile(std::string_view text) {
    if (text.starts_with(utf8ByteOrderMark)) {
        byteOrderMark_ = true;
        text.remove_prefix(utf8ByteOrderMark.size());
    }
    const auto firstEnd = text.find('\n');
    crlf_ = firstEnd != std::string_view::npos && firstEnd > 0 && text[firstEnd - 1] == '\r';

    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (line.ends_with('\r')) line.remove_suffix(1);
        lines_.push_back(parseLine(std::string(line)));
        start = end + 1;
    }
}

IniFile::Line IniFile::parseLine(std::string raw) {
    Line line;
    const std::string_view body = trim(raw);
    if (body.starts_with('[')) {
        auto name = body.substr(1);
        const auto close = name.find(']');
        if (close != std::string_view::npos) name = name.substr(0, close);
        line.kind = Kind::section;
        line.name = trim(name);
    } else if (!body.starts_with(';')) {
        const auto equals = body.find('=');
        if (equals != std::string_view::npos) {
            const auto key = trim(body.substr(0, equals));
            if (!key.empty()) {
                line.kind = Kind::key;
                line.name = key;
                line.value = trim(body.substr(equals + 1));
            }
        }
    }
    line.raw = std::move(raw);
    return line;
}

std::size_t IniFile::findKey(std::string_view section, std::string_view key) const {
    bool inSection = false;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const Line& line = lines_[i];
        if (line.kind == Kind::section)
            inSection = sameName(line.name, section);
        else if (inSection && line.kind == Kind::key && sameName(line.name, key))
            return i;
    }
    return npos;
}

std::optional<std::string> IniFile::get(std::string_view section, std::string_view key) const {
    const auto at = findKey(section, key);
    if (at == npos) return std::nullopt;
    return lines_[at].value;
}

bool IniFile::set(std::string_view section, std::string_view key, std::string_view value) {
    if (value.find_first_of("\r\n") != std::string_view::npos) return false;
    const std::string_view stored = trim(value);

    if (const auto at = findKey(section, key); at != npos) {
        Line& line = lines_[at];
        line.raw = line.name + "=" + std::string(value);
        line.value = stored;
        return true;
    }

    Line added;
    added.kind = Kind::key;
    added.name = key;
    added.value = stored;
    added.raw = std::string(key) + "=" + std::string(value);

    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].kind != Kind::section || !sameName(lines_[i].name, section)) continue;
        // After the section's last key, so trailing comments and blank lines that
        // lead into the next section stay where they are.
        std::size_t insertAt = i + 1;
        for (std::size_t j = i + 1; j < lines_.size() && lines_[j].kind != Kind::section; ++j)
            if (lines_[j].kind == Kind::key) insertAt = j + 1;
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), std::move(added));
        return true;
    }

    if (!lines_.empty() && !trim(lines_.back().raw).empty()) lines_.push_back(Line{});
    Line header;
    header.kind = Kind::section;
    header.name = section;
    header.raw = "[" + std::string(section) + "]";
    lines_.push_back(std::move(header));
    lines_.push_back(std::move(added));
    return true;
}

std::string IniFile::text() const {
    const std::string_view lineEnd = crlf_ ? "\r\n" : "\n";
    std::string out;
    if (byteOrderMark_) out += utf8ByteOrderMark;
    for (const Line& line : lines_) {
        out += line.raw;
        out += lineEnd;
    }
    return out;
}

}  // namespace vantrel
