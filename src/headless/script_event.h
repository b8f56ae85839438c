// One scripted action of a headless run: a key pressed on the keypad, a character
// typed, a key injected past the keypad, or an upload.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vantrel::headless {

enum class ScriptAction {
    key,        // the skin key with `code`, pressed for one tick
    character,  // `character` typed on the PC keyboard, held for one tick
    inject,     // `code` through injectKey
    upload,     // the Upload command with `text` as the chosen file
};

struct ScriptEvent {
    ScriptAction action = ScriptAction::key;
    // Milliseconds from the start; none: once the previous event is done and the
    // calculator sleeps again (or a second later, for software that never sleeps).
    std::optional<int64_t> atMs;
    int code = 0;
    char32_t character = 0;
    std::string text;  // the name as given (for messages), or the upload's file

    bool operator==(const ScriptEvent&) const = default;
};

}  // namespace vantrel::headless
