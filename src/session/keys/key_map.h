// Which calculator key each named PC key presses (F1, the arrows, Tab, Ctrl, Enter,
// ...): the defaults, changed in Preferences > Keyboard and kept in the settings
// file's [Keyboard] section. Typed characters (letters, digits, "+") are not in the
// map: they type what they show, following the calculator's own [2nd] and [ALPHA].
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "session/keys/key_table.h"

namespace vantrel {

struct KeyBinding {
    int index = -1;            // the calculator key (skinKeys), -1 for none
    bool afterSecond = false;  // only while [2nd] is on, as Insert presses [DEL] for INS

    bool operator==(const KeyBinding&) const = default;
};

class KeyMap {
public:
    // The defaults: Ctrl is [ALPHA], Tab [2nd], Esc [EXIT], Insert [DEL] after [2nd], ...
    KeyMap();

    const KeyBinding& binding(PcKey key) const { return bindings_[static_cast<std::size_t>(key)]; }
    // Binds the PC key; one that is not a named key (PcKey::other) stays unbound.
    void bind(PcKey key, KeyBinding binding);
    // Ctrl presses no calculator key, so the window's Ctrl shortcuts are free.
    bool controlFree() const { return binding(PcKey::control).index < 0; }

    bool operator==(const KeyMap&) const = default;

private:
    std::array<KeyBinding, pcKeyCount> bindings_{};
};

// The map every front end starts with.
const KeyMap& defaultKeyMap();

// A binding as the settings file writes it: the key's script name ("ALPHA", "2ND",
// "DEL after 2ND"), or "none".
std::string bindingText(const KeyBinding& binding);
// Any letter case; nothing for a text that names no key.
std::optional<KeyBinding> parseBinding(std::string_view text);

}  // namespace vantrel
