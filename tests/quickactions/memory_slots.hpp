// The shortcut slots over in-memory settings and hot keys, for the tests of
// what edits the actions.
#pragma once

#include "platform/memory/memory_hot_key_registrar.hpp"
#include "platform/memory/memory_keyboard_layout.hpp"
#include "quickactions/shortcuts_slot_manager.hpp"
#include "settings/memory_defaults_store.hpp"
#include "shortcuts/keyboard_shortcuts.hpp"

namespace tilewise {

struct MemorySlots {
    MemoryDefaultsStore store;
    MemoryKeyboardLayout layout;
    MemoryHotKeyRegistrar registrar;
    KeyboardShortcuts shortcuts{store, registrar, layout};
    ShortcutsSlotManager slots{shortcuts, store, nullptr};
};

} // namespace tilewise
