// An INI-style text file read and edited the way the private-profile calls do it:
// section and key names compared ignoring case, a value is the raw text after the
// first "=" up to the end of its line with surrounding blanks trimmed, and the first
// of duplicate keys wins. Editing keeps every other line as it was: unknown sections
// and keys, comments, blank lines, a byte-order mark and the CRLF line ends of a file
// written on Windows.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

class IniFile {
public:
    IniFile() = default;
    explicit IniFile(std::string_view text);

    // The value of the first key of that name in a section of that name. Keys before
    // the first section header belong to no section and are never found.
    std::optional<std::string> get(std::string_view section, std::string_view key) const;

    // Rewrites the first such key in its place, or appends the key to the end of the
    // first such section, or appends a new section at the end of the file. A value
    // holding a line break cannot be stored and is refused (false).
    bool set(std::string_view section, std::string_view key, std::string_view value);

    // The whole file, every line ended, with the line ends and byte-order mark it had.
    std::string text() const;

private:
    enum class Kind { other, section, key };
    // A line, or a run of lines that are neither section headers nor keys (blank lines
    // and comments, kept as one entry so that a file of them costs next to nothing),
    // as a span of store_ without its line end.
    struct Line {
        Kind kind = Kind::other;
        std::size_t begin = 0;
        std::size_t length = 0;
    };
    struct Parsed {
        Kind kind = Kind::other;
        std::string_view name;   // section name or key, trimmed
        std::string_view value;  // key lines only, trimmed
    };

    static Parsed parse(std::string_view raw);
    std::string_view raw(const Line& line) const {
        return {store_.data() + line.begin, line.length};
    }
    Line stored(Kind kind, std::string_view raw);
    std::size_t findKey(std::string_view section, std::string_view key) const;

    // The file's text as read, and after it every line written since.
    std::string store_;
    std::vector<Line> lines_;
    bool byteOrderMark_ = false;
    bool crlf_ = false;
};

}  // namespace vantrel
