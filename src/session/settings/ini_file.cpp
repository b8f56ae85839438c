#include "session/settings/ini_file.h"

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

    store_.assign(text);
    std::size_t start = 0;
    while (start < store_.size()) {
        auto end = store_.find('\n', start);
        if (end == npos) end = store_.size();
        std::size_t length = end - start;
        if (length > 0 && store_[end - 1] == '\r') --length;
        const Kind kind =
            length == 0 ? Kind::other : parse(std::string_view(store_).substr(start, length)).kind;
        if (kind == Kind::other && !lines_.empty() && lines_.back().kind == Kind::other)
            lines_.back().length = start + length - lines_.back().begin;  // the run grows
        else
            lines_.push_back(Line{kind, start, length});
        start = end + 1;
    }
}

IniFile::Parsed IniFile::parse(std::string_view raw) {
    Parsed line;
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
    return line;
}

IniFile::Line IniFile::stored(Kind kind, std::string_view raw) {
    const Line line{kind, store_.size(), raw.size()};
    store_.append(raw);
    return line;
}

std::size_t IniFile::findKey(std::string_view section, std::string_view key) const {
    bool inSection = false;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const Line& line = lines_[i];
        if (line.kind == Kind::other) continue;
        const Parsed parsed = parse(raw(line));
        if (line.kind == Kind::section)
            inSection = sameName(parsed.name, section);
        else if (inSection && sameName(parsed.name, key))
            return i;
    }
    return npos;
}

std::optional<std::string> IniFile::get(std::string_view section, std::string_view key) const {
    const auto at = findKey(section, key);
    if (at == npos) return std::nullopt;
    return std::string(parse(raw(lines_[at])).value);
}

bool IniFile::set(std::string_view section, std::string_view key, std::string_view value) {
    if (value.find_first_of("\r\n") != std::string_view::npos) return false;

    if (const auto at = findKey(section, key); at != npos) {
        const std::string line =
            std::string(parse(raw(lines_[at])).name) + "=" + std::string(value);
        lines_[at] = stored(Kind::key, line);
        return true;
    }
    const Line added = stored(Kind::key, std::string(key) + "=" + std::string(value));

    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].kind != Kind::section || !sameName(parse(raw(lines_[i])).name, section))
            continue;
        // After the section's last key, so trailing comments and blank lines that
        // lead into the next section stay where they are.
        std::size_t insertAt = i + 1;
        for (std::size_t j = i + 1; j < lines_.size() && lines_[j].kind != Kind::section; ++j)
            if (lines_[j].kind == Kind::key) insertAt = j + 1;
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), added);
        return true;
    }

    // A blank line before the new section, unless the file ends in one already.
    if (!lines_.empty()) {
        const std::string_view last = raw(lines_.back());
        const auto lastBreak = last.rfind('\n');
        if (!trim(lastBreak == npos ? last : last.substr(lastBreak + 1)).empty())
            lines_.push_back(Line{Kind::other, store_.size(), 0});
    }
    lines_.push_back(stored(Kind::section, "[" + std::string(section) + "]"));
    lines_.push_back(added);
    return true;
}

std::string IniFile::text() const {
    const std::string_view lineEnd = crlf_ ? "\r\n" : "\n";
    std::string out;
    if (byteOrderMark_) out += utf8ByteOrderMark;
    for (const Line& line : lines_) {
        std::string_view rest = raw(line);
        // A run of lines: each line end inside it as the file's first one (at once
        // where they are so already).
        if (!crlf_ && rest.find('\r') == npos) {
            (out += rest) += lineEnd;
            continue;
        }
        for (auto end = rest.find('\n'); end != npos; end = rest.find('\n')) {
            std::string_view piece = rest.substr(0, end);
            if (piece.ends_with('\r')) piece.remove_suffix(1);
            (out += piece) += lineEnd;
            rest.remove_prefix(end + 1);
        }
        (out += rest) += lineEnd;
    }
    return out;
}

}  // namespace vantrel
