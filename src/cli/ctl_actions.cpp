#include "cli/ctl_actions.hpp"

#include "platform/memory/manual_run_loop.hpp"
#include "platform/memory/memory_alerts.hpp"
#include "platform/memory/memory_hot_key_registrar.hpp"
#include "platform/memory/memory_keyboard_layout.hpp"
#include "quickactions/action_editor.hpp"
#include "quickactions/quick_action.hpp"
#include "quickactions/shortcuts_slot_manager.hpp"
#include "settings/defaults_store.hpp"
#include "settings/memory_defaults_store.hpp"
#include "settings/notification_center.hpp"
#include "settings/stored_value_check.hpp"
#include "shortcuts/key_combination.hpp"
#include "shortcuts/key_text.hpp"
#include "shortcuts/keyboard_shortcuts.hpp"
#include "shortcuts/shortcuts_manager_state.hpp"

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <ostream>

namespace tilewise {

namespace {

MemoryDefaultsStore copyOf(const DefaultsStore& store)
{
    MemoryDefaultsStore copy;
    for (const auto& [key, value] : store.allValues())
        copy.set(key, value);
    return copy;
}

} // namespace

ListingShortcuts::ListingShortcuts(const DefaultsStore& store, const KeyboardLayout& layout)
    : settings(copyOf(store)), shortcuts(settings, noGrabs, layout)
{
}

namespace {

using Action = QuickAction::Action;

int usage(std::ostream& err, const std::string& why)
{
    err << "tilewisectl: " << why << " (see 'tilewisectl --help')\n";
    return ctlUsage;
}

std::string lowered(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// By id, else by name exactly, else by name in any case; a name several
// actions share must be given as an id.
const Action* findAction(const std::vector<Action>& actions, const std::string& given, std::ostream& err)
{
    for (const Action& a : actions)
        if (a.id == given)
            return &a;
    for (auto same : {+[](const std::string&a, const std::string&b) { return a == b; },
                      +[](const std::string&a, const std::string&b) { return lowered(a) == lowered(b); }}) {
        const Action* found = nullptr;
        for (const Action& a : actions) {
            if (!same(a.name, given))
                continue;
            if (found) {
                err << "tilewisectl: several quick actions are named " << quotedForMessage(given)
                    << "; give its id (see 'tilewisectl actions list')\n";
                return nullptr;
            }
            found = &a;
        }
        if (found)
            return found;
    }
    err << "tilewisectl: no quick action has the id or name " << quotedForMessage(given)
        << " (see 'tilewisectl actions list')\n";
    return nullptr;
}

// A combination in both forms: "⌃⌥1 (ctrl+alt+1)".
std::string bothForms(const KeyboardShortcuts& shortcuts, const KeyboardShortcuts::Shortcut& s,
                      const KeyboardLayout& layout)
{
    return shortcuts.displayText(s) + " (" + keyCombinationText(s, layout) + ")";
}

int listActions(DefaultsStore& store, const CtlPlatform& platform, std::ostream& out)
{
    const KeyboardLayout& layout = *platform.keyboardLayout;
    ListingShortcuts listing(store, layout);
    KeyboardShortcuts& shortcuts = listing.shortcuts;
    ShortcutsSlotManager slots(shortcuts, listing.settings, nullptr);
    for (const Action& a : quickActions(store)) {
        out << a.id << " " << quotedForMessage(a.name) << " key ";
        const std::optional<std::string> key = a.key < 0 ? std::nullopt : menuKeyText(int(a.key), 0, layout);
        out << (key ? capitalized(*key) : "none") << " slot ";
        if (const KeyboardShortcuts::Name* slot = slots.slotName(a.shortcutSlot)) {
            out << *a.shortcutSlot << (a.shortcutEnabled ? " on " : " off ");
            const std::optional<KeyboardShortcuts::Shortcut> s = shortcuts.shortcut(*slot);
            out << (s ? bothForms(shortcuts, *s, layout) : "none");
        } else {
            out << "none";
        }
        out << " operations " << a.operations.size() << "\n";
    }
    return ctlOk;
}

int runAction(const Action& action, CtlRemote* remote, std::ostream& err)
{
    const CtlRemoteReply reply = remote ? remote->runAction(action.id) : CtlRemoteReply{};
    switch (reply.status) {
    case CtlRemoteReply::Status::Done:
        return ctlOk;
    case CtlRemoteReply::Status::NoFocusedWindow:
        err << "tilewisectl: no focused window: nothing to lay out\n";
        return ctlNothingToDo;
    case CtlRemoteReply::Status::Failed:
        err << "tilewisectl: " << reply.message << "\n";
        return ctlNoDisplay;
    case CtlRemoteReply::Status::NotRunning:
        break;
    }
    err << "tilewisectl: quick actions run in Tilewise, which is not running on this display\n";
    return ctlUnavailable;
}

int openEditor(const Action& action, CtlRemote* remote, std::ostream& err)
{
    const CtlRemoteReply reply = remote ? remote->editAction(action.id) : CtlRemoteReply{};
    switch (reply.status) {
    case CtlRemoteReply::Status::Done:
        return ctlOk;
    case CtlRemoteReply::Status::NotRunning:
        err << "tilewisectl: Tilewise is not running on this display: there is no action editor\n";
        return ctlUnavailable;
    default:
        err << "tilewisectl: " << reply.message << "\n";
        return ctlNoDisplay;
    }
}

// The rules of the action editor, on the stored list: the running Tilewise
// follows the store and binds the slots itself.
struct UsLayout {
    UsLayout() { us.loadUs(); }
    MemoryKeyboardLayout us;
};

struct StoredEditing : UsLayout {
    explicit StoredEditing(DefaultsStore& store) : shortcuts(store, noGrabs, us), slots(shortcuts, store, nullptr)
    {
    }

    MemoryHotKeyRegistrar noGrabs;
    KeyboardShortcuts shortcuts;
    ShortcutsSlotManager slots;
    // Only the editor's own sheet and alerts would use these.
    MemoryAlerts alerts;
    ManualRunLoop loop;
    NotificationCenter center;
};

int switchShortcut(DefaultsStore& store, const Action& action, bool on, std::ostream& out, std::ostream& err)
{
    StoredEditing editing(store);
    KeyboardShortcuts& shortcuts = editing.shortcuts;
    ShortcutsSlotManager& slots = editing.slots;
    const ShortcutsSlotManager::SwitchResult result = slots.setShortcutEnabled(action.id, on);
    if (!result.error.empty()) {
        err << "tilewisectl: " << result.error << "\n";
        return ctlNoDisplay;
    }
    if (const KeyboardShortcuts::Name* slot = slots.slotName(result.slot)) {
        out << quotedForMessage(action.name) << " has the shortcut " << slot->rawValue;
        if (std::optional<KeyboardShortcuts::Shortcut> s = shortcuts.shortcut(*slot))
            out << " " << bothForms(shortcuts, *s, editing.us) << "\n";
        else
            out << "; set its keys with 'tilewisectl shortcuts set " << slot->rawValue << " COMBINATION'\n";
    }
    return ctlOk;
}

// A stored list that does not read shows as the built-in one; an edit would
// write that over the user's text.
bool keptUnread(const DefaultsStore& store, std::ostream& err)
{
    const std::optional<std::string> fault = storedActionsFault(store);
    if (fault)
        err << "tilewisectl: the stored quick actions do not read, so they are left as they are: " << *fault
            << "\n";
    return fault.has_value();
}

// A position as written: 1 to the number of actions.
std::optional<std::size_t> positionArgument(const std::string& text)
{
    if (text.empty() || text.size() > 9 || !std::all_of(text.begin(), text.end(), [](unsigned char c) {
            return std::isdigit(c);
        }))
        return std::nullopt;
    const std::size_t position = std::stoul(text);
    return position ? std::optional(position) : std::nullopt;
}

// add, rename, delete, move and append, once the arguments are known good:
// on the stored list as the action editor changes it. A refused write has
// been reported by the store.
int editActions(const std::vector<std::string>& args, DefaultsStore& store,
                const std::vector<QuickAction::Operation>& operations, std::ostream& out, std::ostream& err,
                const CtlStoreReadable& storeReadable)
{
    const std::string& verb = args[1];
    const std::vector<Action> actions = quickActions(store);
    // An unreadable file lists the built-in actions; nothing may be written
    // over it on their account.
    if (storeReadable && !storeReadable())
        return ctlNoDisplay;
    if (keptUnread(store, err))
        return ctlNoDisplay;
    std::vector<std::string> ids;
    for (std::size_t i = 2; i < (verb == "add" ? 2 : verb == "delete" ? args.size() : 3); ++i) {
        const Action* action = findAction(actions, args[i], err);
        if (!action)
            return ctlUsage;
        ids.push_back(action->id);
    }
    StoredEditing editing(store);
    ActionEditor editor(store, editing.slots, editing.alerts, editing.loop, editing.center);
    bool saved = false;
    if (verb == "add") {
        const std::string id = editor.addNamedAction(args[2]);
        if (!id.empty())
            out << id << "\n";
        saved = !id.empty();
    } else if (verb == "rename") {
        saved = editor.rename(ids[0], args[3]);
    } else if (verb == "delete") {
        saved = editor.deleteActions(ids);
    } else if (verb == "move") {
        const std::size_t position = *positionArgument(args[3]);
        if (position > actions.size()) {
            err << "tilewisectl: there is no position " << position << " among " << actions.size()
                << " quick actions\n";
            return ctlUsage;
        }
        saved = editor.moveAction(ids[0], position - 1);
    } else {
        saved = editor.appendOperations(ids[0], operations);
    }
    return saved ? ctlOk : ctlNoDisplay;
}

bool isBindableName(const std::string& name)
{
    if (name == ShortcutsManagerState::launchQuickActionName)
        return true;
    for (const ShortcutsManagerState::CatalogueRow& row : ShortcutsManagerState::catalogue())
        if (row.name == name)
            return true;
    for (std::size_t i = 0; i < ShortcutsSlotManager::slotCount; ++i)
        if (name == std::string("Slot").append(std::to_string(i)))
            return true;
    return false;
}

} // namespace

int runActionsCommand(const std::vector<std::string>& args, DefaultsStore& store,
                      const CtlPlatformOpener& open, std::ostream& out, std::ostream& err,
                      const CtlStoreReadable& storeReadable, CtlRemote* remote)
{
    // Each verb with its count of arguments (0 for one or more) and what it takes.
    static const std::map<std::string, std::pair<std::size_t, const char*>> verbs = {
        {"list", {2, "actions list takes no argument"}},
        {"run", {3, "actions run takes one action, by id or name"}},
        {"edit", {3, "actions edit takes one action, by id or name"}},
        {"shortcut", {4, "actions shortcut takes an action and on or off"}},
        {"add", {3, "actions add takes the new action's name"}},
        {"rename", {4, "actions rename takes an action and its new name"}},
        {"delete", {0, "actions delete takes one or more actions, by id or name"}},
        {"move", {4, "actions move takes an action and its new position, 1 the top"}},
        {"append", {4, "actions append takes an action and a JSON operation or an array of them"}},
    };
    const std::string verb = args.size() > 1 ? args[1] : "";
    const auto known = verbs.find(verb);
    if (known == verbs.end())
        return usage(err, verb.empty() ? "actions needs list, run, edit, shortcut, add, rename, delete, move or append"
                                       : "unknown actions command " + quotedForMessage(verb));
    const std::size_t wanted = known->second.first;
    if (wanted ? args.size() != wanted : args.size() < 3)
        return usage(err, known->second.second);
    if (verb == "shortcut" && args[3] != "on" && args[3] != "off")
        return usage(err, "actions shortcut takes on or off, not " + quotedForMessage(args[3]));
    if (verb == "move" && !positionArgument(args[3]))
        return usage(err, "actions move takes a position from 1, not " + quotedForMessage(args[3]));
    std::vector<QuickAction::Operation> operations;
    if (verb == "append") {
        std::string error;
        std::optional<std::vector<QuickAction::Operation>> read = operationsFromJson(args[3], error);
        if (!read) {
            err << "tilewisectl: " << error << "\n";
            return ctlUsage;
        }
        operations = std::move(*read);
    }

    if (verb == "list") {
        CtlPlatform platform;
        platform.wantsKeys = true;
        std::string error;
        if (int rc = open(platform, error); rc != ctlOk) {
            err << "tilewisectl: " << error << "\n";
            return rc;
        }
        return listActions(store, platform, out);
    }
    if (verb != "run" && verb != "shortcut" && verb != "edit")
        return editActions(args, store, operations, out, err, storeReadable);

    const std::vector<Action> actions = quickActions(store);
    // An unreadable file lists the built-in actions; nothing may be written
    // over it on their account.
    if (storeReadable && !storeReadable())
        return ctlNoDisplay;
    if (verb == "shortcut" && keptUnread(store, err))
        return ctlNoDisplay;
    const Action* action = findAction(actions, args[2], err);
    if (!action)
        return ctlUsage;
    if (verb == "run")
        return runAction(*action, remote, err);
    if (verb == "edit")
        return openEditor(*action, remote, err);
    return switchShortcut(store, *action, args[3] == "on", out, err);
}

int runShortcutBinding(const std::vector<std::string>& args, DefaultsStore& store,
                       const CtlPlatformOpener& open, std::ostream& err,
                       const CtlStoreReadable& storeReadable)
{
    const bool set = args[1] == "set";
    if (args.size() != (set ? 4u : 3u))
        return usage(err, set ? "shortcuts set takes a name and a combination such as ctrl+alt+Left"
                              : "shortcuts unset takes a name");
    const std::string& name = args[2];
    if (!isBindableName(name))
        return usage(err,
                     "no shortcut is named " + quotedForMessage(name) + " (see 'tilewisectl shortcuts')");

    CtlPlatform platform;
    std::optional<KeyboardShortcuts::Shortcut> combination;
    if (set) {
        // The key is the one the user's current layout types the text with.
        platform.wantsKeys = true;
        std::string error;
        if (int rc = open(platform, error); rc != ctlOk) {
            err << "tilewisectl: " << error << "\n";
            return rc;
        }
        combination = parseKeyCombination(args[3], *platform.keyboardLayout, error);
        if (!combination)
            return usage(err, error);
    }
    const std::string key = KeyboardShortcuts::Name{name, {}}.storageKey();
    // Looking is what tells whether the file can be read.
    const bool stored = store.contains(key);
    if (storeReadable && !storeReadable())
        return ctlNoDisplay;
    // The running Tilewise follows the store and grabs the keys itself.
    if (combination)
        return store.set(key, combination->toJson()) ? ctlOk : ctlNoDisplay;
    // A name with a default keeps its removal as false, as the settings do.
    bool hasDefault = false;
    for (const ShortcutsManagerState::CatalogueRow& row : ShortcutsManagerState::catalogue())
        hasDefault |= row.name == name && row.defaultShortcut.has_value();
    if (hasDefault)
        return store.set(key, false) ? ctlOk : ctlNoDisplay;
    if (!stored)
        return ctlOk;
    return store.remove(key) ? ctlOk : ctlNoDisplay;
}

} // namespace tilewise
