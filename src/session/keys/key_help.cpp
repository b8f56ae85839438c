#include "session/keys/key_help.h"

#include <algorithm>

#include "session/keys/key_table.h"

namespace vantrel {

namespace {

const SkinKey& keyAt(int index) { return skinKeys[static_cast<std::size_t>(index)]; }

// The arrows carry pictures, not legends.
const char* arrowGlyph(KeyCode code) {
    switch (code) {
        case keyUp:
            return "\u2191";
        case keyDown:
            return "\u2193";
        case keyLeft:
            return "\u2190";
        case keyRight:
            return "\u2192";
        default:
            return "";
    }
}

std::string legendOf(int index) {
    const SkinKey& key = keyAt(index);
    return *key.legend ? key.legend : arrowGlyph(key.code);
}

std::string itemText(const PcKeyItem& item, bool markdown) {
    return markdown && item.character ? "`" + item.text + "`" : item.text;
}

std::string joined(const std::vector<PcKeyItem>& items, bool markdown) {
    std::string text;
    for (const PcKeyItem& item : items) {
        if (!text.empty()) text += ", ";
        text += itemText(item, markdown);
    }
    return text;
}

bool holds(const std::vector<PcKeyItem>& items, const PcKeyItem& item) {
    return std::any_of(items.begin(), items.end(), [&](const PcKeyItem& other) {
        return other.text == item.text && other.character == item.character;
    });
}

bool sameItems(const std::vector<PcKeyItem>& a, const std::vector<PcKeyItem>& b) {
    return a.size() == b.size() &&
           std::all_of(a.begin(), a.end(), [&](const PcKeyItem& item) { return holds(b, item); });
}

// The keys without a shift, then what [2nd] adds or takes away.
std::string plainAndSecond(int index, bool markdown, const KeyMap& map) {
    const auto plain = pcKeysFor(index, {}, map);
    const auto second = pcKeysFor(index, {.second = true, .alpha = false}, map);
    std::vector<PcKeyItem> always;
    std::string notes;
    for (const PcKeyItem& item : plain) {
        if (holds(second, item))
            always.push_back(item);
        else
            notes += (notes.empty() ? "" : "; ") + itemText(item, markdown) + " (not after [2nd])";
    }
    for (const PcKeyItem& item : second)
        if (!holds(plain, item))
            notes += (notes.empty() ? "" : "; ") + itemText(item, markdown) + " after [2nd]";
    std::string text = joined(always, markdown);
    if (!notes.empty()) text += (text.empty() ? "" : "; ") + notes;
    return text;
}

}  // namespace

std::string keyLabel(int index) { return "[" + legendOf(index) + "]"; }

std::string keyMeaning(int index, ShiftState shifts) {
    const SkinKey& key = keyAt(index);
    if (shifts.second && *key.secondLegend) return key.secondLegend;
    if (shifts.alpha && *key.alphaLegend) return key.alphaLegend;
    return legendOf(index);
}

std::vector<PcKeyItem> pcKeysFor(int index, ShiftState shifts, const KeyMap& map) {
    std::vector<PcKeyItem> items;
    for (const PcKeyName& named : pcKeyNames)
        if (keyForPcKey(named.key, shifts, map) == index) items.push_back({named.name, false});
    // Printable ASCII; a letter in either case types the same key, so the capital stands
    // for both.
    for (char32_t c = U'!'; c <= U'~'; ++c) {
        if (c >= U'a' && c <= U'z') continue;
        if (keyForCharacter(c, shifts) == index)
            items.push_back({std::string(1, static_cast<char>(c)), true});
    }
    return items;
}

std::vector<KeyHelpRow> keyHelpRows(bool markdown, const KeyMap& map) {
    std::vector<KeyHelpRow> rows;
    for (int index = 0; index < keyCount; ++index) {
        KeyHelpRow row;
        row.index = index;
        row.key = keyLabel(index);
        row.pcKeys = plainAndSecond(index, markdown, map);
        const auto plain = pcKeysFor(index, {}, map);
        const auto alpha = pcKeysFor(index, {.second = false, .alpha = true}, map);
        if (!sameItems(plain, alpha))
            row.alphaPcKeys = alpha.empty() ? "none" : joined(alpha, markdown);
        rows.push_back(std::move(row));
    }
    return rows;
}

std::string keyHelpMarkdown() {
    std::string table =
        "| Calculator key | PC key | While [ALPHA] is on |\n"
        "|---|---|---|\n";
    for (const KeyHelpRow& row : keyHelpRows(true))
        table += "| " + row.key + " | " + row.pcKeys + " | " + row.alphaPcKeys + " |\n";
    return table;
}

std::string keyTooltip(int index, const KeyMap& map) {
    if (index < 0 || index >= keyCount) return {};
    const KeyHelpRow row = keyHelpRows(false, map)[static_cast<std::size_t>(index)];
    std::string text = row.key + ": " + (row.pcKeys.empty() ? "no PC key" : row.pcKeys);
    if (!row.alphaPcKeys.empty()) text += "\nWhile [ALPHA] is on: " + row.alphaPcKeys;
    return text;
}

}  // namespace vantrel
