// tilewisectl's quick action commands and the binding of shortcut names,
// apart from the general commands in ctl.cpp.
#pragma once

#include "cli/ctl.hpp"

#include "platform/memory/memory_hot_key_registrar.hpp"
#include "settings/memory_defaults_store.hpp"
#include "shortcuts/keyboard_shortcuts.hpp"

#include <iosfwd>
#include <string>
#include <vector>

namespace tilewise {

// The shortcut service of the listings: over a copy of the settings, since
// naming a shortcut stores its default and a listing must store nothing,
// and grabbing no key.
struct ListingShortcuts {
    ListingShortcuts(const DefaultsStore& store, const KeyboardLayout& layout);

    MemoryDefaultsStore settings;
    MemoryHotKeyRegistrar noGrabs;
    KeyboardShortcuts shortcuts;
};

// actions list|run|shortcut|add|rename|delete|move|append ...; args[0] is
// "actions".
int runActionsCommand(const std::vector<std::string>& args, DefaultsStore& store,
                      const CtlPlatformOpener& open, std::ostream& out, std::ostream& err,
                      const CtlStoreReadable& storeReadable, CtlRemote* remote);

// shortcuts set NAME COMBINATION, shortcuts unset NAME; args[0] is
// "shortcuts", args[1] "set" or "unset".
int runShortcutBinding(const std::vector<std::string>& args, DefaultsStore& store,
                       const CtlPlatformOpener& open, std::ostream& err,
                       const CtlStoreReadable& storeReadable);

} // namespace tilewise
