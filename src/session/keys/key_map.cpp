#include "session/keys/key_map.h"

#include "text/ascii_case.h"

namespace vantrel {

namespace {

constexpr std::string_view afterSecondWords = " after 2ND";

}  // namespace

KeyMap::KeyMap() {
    const struct {
        PcKey key;
        KeyCode code;
    } defaults[] = {
        {PcKey::backspace, keyClear}, {PcKey::tab, keySecond},  {PcKey::enter, keyEnter},
        {PcKey::control, keyAlpha},   {PcKey::escape, keyExit}, {PcKey::space, keyNegate},
        {PcKey::end, keyDown},        {PcKey::home, keyUp},     {PcKey::left, keyLeft},
        {PcKey::up, keyUp},           {PcKey::right, keyRight}, {PcKey::down, keyDown},
        {PcKey::del, keyDel},         {PcKey::f1, keyF1},       {PcKey::f2, keyF2},
        {PcKey::f3, keyF3},           {PcKey::f4, keyF4},       {PcKey::f5, keyF5},
        {PcKey::caret, keyPower},
    };
    for (const auto& [key, code] : defaults) bind(key, {keyIndex(code), false});
    // Insert is the key's second function: only under [2nd] does it mean [DEL].
    bind(PcKey::insert, {keyIndex(keyDel), true});
}

void KeyMap::bind(PcKey key, KeyBinding binding) {
    if (key == PcKey::other || static_cast<std::size_t>(key) >= pcKeyCount) return;
    if (binding.index < 0 || binding.index >= keyCount) binding = {};
    bindings_[static_cast<std::size_t>(key)] = binding;
}

const KeyMap& defaultKeyMap() {
    static const KeyMap defaults;
    return defaults;
}

std::string bindingText(const KeyBinding& binding) {
    if (binding.index < 0 || binding.index >= keyCount) return "none";
    std::string text = skinKeys[static_cast<std::size_t>(binding.index)].name;
    if (binding.afterSecond) text += afterSecondWords;
    return text;
}

std::optional<KeyBinding> parseBinding(std::string_view text) {
    KeyBinding binding;
    if (equalsIgnoringCase(text, "none")) return binding;
    if (text.size() > afterSecondWords.size() &&
        equalsIgnoringCase(text.substr(text.size() - afterSecondWords.size()), afterSecondWords)) {
        binding.afterSecond = true;
        text.remove_suffix(afterSecondWords.size());
    }
    const auto index = keyIndexByName(text);
    if (!index) return std::nullopt;
    binding.index = *index;
    return binding;
}

}  // namespace vantrel
