#include "session/keys/key_table.h"

#include <cctype>

#include "text/ascii_case.h"

namespace vantrel {

std::optional<int> keyIndexAt(int x, int y) {
    if (lcdBox.contains(x, y)) return std::nullopt;
    for (int index = 0; index < keyCount; ++index)
        if (skinKeys[static_cast<std::size_t>(index)].box.contains(x, y)) return index;
    return std::nullopt;
}

std::optional<int> keyIndexOfCode(int code) {
    for (int index = 0; index < keyCount; ++index)
        if (skinKeys[static_cast<std::size_t>(index)].code == code) return index;
    return std::nullopt;
}

std::optional<int> keyIndexByName(std::string_view name) {
    for (int index = 0; index < keyCount; ++index) {
        const SkinKey& key = skinKeys[static_cast<std::size_t>(index)];
        if (equalsIgnoringCase(name, key.name)) return index;
        std::string_view aliases = key.aliases;
        while (!aliases.empty()) {
            const auto space = aliases.find(' ');
            if (equalsIgnoringCase(name, aliases.substr(0, space))) return index;
            aliases =
                space == std::string_view::npos ? std::string_view() : aliases.substr(space + 1);
        }
    }
    return std::nullopt;
}

std::string keyNameList() {
    std::string list;
    for (const SkinKey& key : skinKeys) {
        if (!list.empty()) list += ' ';
        list += key.name;
        if (*key.aliases) list += std::string(" (") + key.aliases + ")";
    }
    return list;
}

}  // namespace vantrel
