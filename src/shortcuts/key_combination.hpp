// Key combinations as a user writes them on a command line: "ctrl+alt+Left",
// "super+1". A character names the physical key that types it in the user's
// keyboard layout, so the text means the same key the user would press.
#pragma once

#include "platform/keyboard_layout.hpp"
#include "shortcuts/keyboard_shortcuts.hpp"

#include <optional>
#include <string>
#include <string_view>

namespace tilewise {

// A combination written "ctrl+alt+Left": modifiers, then one key, joined by
// '+'. Modifier words, in any case: ctrl/control, alt/option/opt, shift,
// super/cmd/command/meta/win. The key: a name (Return, Page_Up, F5, KP_1,
// plus for the key that types '+', ...), a key's XKB name in angle brackets
// ("<AC01>"), or one character, the key that types it unshifted: in the
// current group, else in an ASCII-capable group, else in any other, else by
// its US legend. None, with `error` one line saying what is wrong, when the
// text names no key or the combination could not be a global shortcut.
std::optional<KeyboardShortcuts::Shortcut>
parseKeyCombination(std::string_view text, const KeyboardLayout& layout, std::string& error);

// The form parseKeyCombination accepts, modifiers in the order
// "ctrl+alt+shift+super+KEY"; it parses back to the same combination under
// the same layout for every key a keyboard has.
std::string keyCombinationText(const KeyboardShortcuts::Shortcut& shortcut, const KeyboardLayout& layout);

} // namespace tilewise
