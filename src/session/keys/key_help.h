// The PC-key mapping as people read it: the keyboard help, the skin keys' tooltips and
// the README's table. Made by asking the keypad's own mapping about every PC key and
// character, so the help cannot say anything the keys do not do.
#pragma once

#include <string>
#include <vector>

#include "session/keys/keypad.h"

namespace vantrel {

// A calculator key as the help names it: "[LOG]", "[↑]".
std::string keyLabel(int index);

// What the key does under these shifts: its [2nd] function or [ALPHA] letter when
// it has one there, else its own legend ("10ˣ" for [LOG] under [2nd]).
std::string keyMeaning(int index, ShiftState shifts);

// One PC key or typed character that presses a calculator key.
struct PcKeyItem {
    std::string text;        // "Enter", "L", "("
    bool character = false;  // typed text rather than a named key
};

// The PC keys that press the calculator key under these shifts, key-downs first (by
// the map) and then typed characters.
std::vector<PcKeyItem> pcKeysFor(int index, ShiftState shifts, const KeyMap& map = defaultKeyMap());

// One calculator key's line of the help.
struct KeyHelpRow {
    int index = 0;
    std::string key;          // keyLabel
    std::string pcKeys;       // without a shift, with what [2nd] changes
    std::string alphaPcKeys;  // while [ALPHA] is on, when that differs; else empty
};

// Every key, in the order of the skin, under the map. markdown: characters in code
// spans, as the README shows them.
std::vector<KeyHelpRow> keyHelpRows(bool markdown = false, const KeyMap& map = defaultKeyMap());

// The README's table of keyHelpRows, for the default map.
std::string keyHelpMarkdown();

// The skin key's tooltip: its label and the PC keys that press it under the map.
std::string keyTooltip(int index, const KeyMap& map = defaultKeyMap());

}  // namespace vantrel
