#include "cli/ctl.hpp"

#include "cli/ctl_actions.hpp"
#include "layout/layout_listener.hpp"
#include "layout/layout_manager.hpp"
#include "layout/operation_type.hpp"
#include "platform/memory/manual_run_loop.hpp"
#include "platform/window_access.hpp"
#include "settings/defaults_store.hpp"
#include "settings/stored_value_check.hpp"
#include "shortcuts/key_combination.hpp"
#include "shortcuts/keyboard_shortcuts.hpp"
#include "shortcuts/shortcuts_manager_state.hpp"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>
#include <ostream>

#ifndef TILEWISE_VERSION
#define TILEWISE_VERSION "0.0.0"
#endif

namespace tilewise {

namespace {

constexpr const char* usageText = R"usage(Usage: tilewisectl COMMAND [ARGS]

Moves and resizes the focused window of the X display in $DISPLAY.

Commands:
  perform OPERATION   lay out the focused window (e.g. LeftHalf, Left, Maximize,
                      MoveRightwardLittle, NextScreen); by the Tilewise running
                      on the display when there is one, which then keeps it
                      in its window history
  history             show the window history of the running Tilewise
  settings [PAGE]     open the running Tilewise's settings window, at a page:
                      general, clip, shortcuts, actions, exclude,
                      experimental, about
  operations          list every operation name
  screens             list the screens: name, frame and visible frame
  windows             list the windows front to back: id, level, frame, pid, name
  shortcuts           list every shortcut name with its keys, as shown and as
                      'shortcuts set' takes them ("⌃⌥← (ctrl+alt+Left)"), or
                      "none"; one the running Tilewise cannot hold is marked
                      "(not held: REASON)". Slots with keys are listed too.
  shortcuts set NAME COMBINATION
                      give a shortcut name (or a slot, Slot0 to Slot41) the
                      keys written like ctrl+alt+shift+1 or super+Left: the
                      modifiers ctrl, alt, shift and super, then one key as
                      the current keyboard layout types it, or a key name
                      (Left, Return, Space, F5, KP_1, plus, ...); ctrl, alt or
                      super is needed unless the key is F1 to F20
  shortcuts unset NAME
                      leave the name without keys
  actions list        list the quick actions: id, name, menu key, shortcut
                      slot (on or off) with its keys, number of operations
  actions run ACTION  run a quick action, by id or name, on the focused
                      window, in the running Tilewise
  actions edit ACTION open the settings at the actions page and the editor
                      of that action, in the running Tilewise
  actions shortcut ACTION on|off
                      lend the action the lowest free slot, or give its slot
                      back; 'shortcuts set SlotN ...' gives the slot its keys
  actions add NAME    add a quick action without operations; prints its id
  actions rename ACTION NEW-NAME
  actions delete ACTION...
                      delete quick actions; their slots lose their keys
  actions move ACTION POSITION
                      move a quick action to a place of the list, 1 the top
  actions append ACTION JSON
                      add operations after the action's own: one JSON object
                      or an array of them, each with every member of an
                      operation as 'defaults read TilewiseQuickActions' shows
                      them once stored
  defaults read [KEY]             show one setting, or every stored one; a
                                  setting Tilewise knows but that is not stored
                                  shows the value in use, marked "(default)"
  defaults write KEY -bool true|false
  defaults write KEY -string TEXT
  defaults delete KEY

defaults write refuses a value Tilewise would reject or ignore:
  boolean settings (TilewiseSmartPairMode, ...)   -bool only
  TilewiseClipHorizontal, TilewiseClipVertical    -string, a JSON array of at
      least one {"numerator":N,"denominator":D} with 0 < N <= D
  TilewiseSeparateScreenConfiguration             -string, a JSON array of
      {"name":SCREEN,"horizontal":CLIPS,"vertical":CLIPS}, clips as above
  TilewiseExcludes                    -string, a JSON array of strings
  TilewiseSmartPairModeSizing         -string maximize|matchTheFirst
  TilewiseQuickActionShowScreen       -string mouseScreen|activeScreen|primaryScreen
  TilewiseQuickActions                -string, a JSON array of actions as
      'tilewisectl defaults read TilewiseQuickActions' shows them once stored
  KeyboardShortcuts_NAME              -bool false for none, or -string
      {"carbonKeyCode":K,"carbonModifiers":M}, M the sum of 4096 Control,
      2048 Alt, 512 Shift and 256 Super, with Control, Alt or Super unless
      K is a function key
Other keys are written as given.

Options:
  --help              show this text
  --version           show the version

Environment:
  TILEWISE_COUNT_ROUND_TRIPS=1    print on exit how many blocking round trips
                                  to the X server the command made

Exit status:
  0  done
  1  no display or window manager; no such setting; the settings file cannot
     be read or written; the stored quick actions do not read (they are not
     edited then); the running Tilewise could not answer; "No shortcuts
     left" (every slot is lent)
  2  bad usage, or a value Tilewise would not use: an unknown action, shortcut
     name or key, a combination without ctrl, alt or super, an operation
     that would not read, a position past the last action
  3  Tilewise is not running on this display, and the command needs it:
     history, settings, actions run, actions edit, and the operations that read
     its window history
     (Pair, PairLast, PairFor3, Restore, NextSpace, PreviousSpace)
  4  nothing to act on: no focused window
)usage";

// These read the window history that only a running Tilewise keeps.
bool needsRunningTilewise(OperationType op)
{
    switch (op) {
    case OperationType::Pair:
    case OperationType::PairFor3:
    case OperationType::PairLast:
    case OperationType::Restore:
    case OperationType::NextSpace:
    case OperationType::PreviousSpace:
        return true;
    default:
        return false;
    }
}

std::string hexId(WindowId id)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08x", id);
    return buf;
}

constexpr const char* noFocusedWindow = "tilewisectl: no focused window: nothing to lay out\n";

// A remote message is one line however it came.
std::string oneLine(std::string text)
{
    for (char& c : text)
        if (c == '\n' || c == '\r')
            c = ' ';
    return text;
}

// A history number as written: "25", "25.5".
std::string numberText(const nlohmann::json& v)
{
    if (v.is_number_float()) {
        const double d = v.get<double>();
        if (std::isfinite(d) && d == std::trunc(d) && std::fabs(d) < 1e15)
            return std::to_string(static_cast<long long>(d));
    }
    return v.dump();
}

std::string windowText(const nlohmann::json& v)
{
    if (v.is_number_unsigned() && v.get<std::uint64_t>() <= UINT32_MAX)
        return hexId(v.get<WindowId>());
    return v.is_null() ? "none" : v.dump();
}

std::string frameText(const nlohmann::json& v)
{
    if (!v.is_array())
        return v.is_null() ? "none" : v.dump();
    std::string text = "(";
    for (std::size_t i = 0; i < v.size(); ++i)
        text.append(i ? ", " : "").append(numberText(v[i]));
    return text + ")";
}

// One line per field: the history JSON of the running Tilewise, readable.
int printHistory(const std::string& text, std::ostream& out, std::ostream& err)
{
    const nlohmann::json h = nlohmann::json::parse(text, nullptr, false);
    if (!h.is_object()) {
        err << "tilewisectl: the window history from Tilewise is not a JSON object\n";
        return ctlNoDisplay;
    }
    auto field = [&h](const char* key) { return h.contains(key) ? h[key] : nlohmann::json(); };
    auto list = [&](const char* key) { return field(key).is_array() ? field(key) : nlohmann::json::array(); };
    out << "current window " << windowText(field("currentWindowId")) << "\n";
    out << "last window " << windowText(field("lastWindowId")) << "\n";
    out << "current layout " << frameText(field("currentLayout")) << "\n";
    out << "last1 layout " << frameText(field("last1Layout")) << "\n";
    out << "last2 layout " << frameText(h.contains("last2layout") ? h["last2layout"] : field("last2Layout"))
        << "\n";
    for (const nlohmann::json& p : list("pairs"))
        if (p.is_array() && p.size() == 2)
            out << "pair " << windowText(p[0]) << " " << windowText(p[1]) << "\n";
    for (const nlohmann::json& w : list("windows"))
        if (w.is_object())
            out << "window " << windowText(w.value("windowId", nlohmann::json())) << " pid "
                << numberText(w.value("pid", nlohmann::json())) << "\n";
    for (const nlohmann::json& r : list("layoutRecords"))
        if (r.is_object())
            out << "record " << windowText(r.value("windowId", nlohmann::json())) << " frame "
                << frameText(r.value("frame", nlohmann::json())) << " original "
                << frameText(r.value("originalFrame", nlohmann::json())) << "\n";
    return ctlOk;
}

int perform(OperationType op, CtlPlatform& p, DefaultsStore& store, std::ostream& err)
{
    // Every operation acts on the focused window; without one, nothing moves
    // and a script must be able to tell.
    if (!p.access->focusedWindow()) {
        err << noFocusedWindow;
        return ctlNothingToDo;
    }
    ManualRunLoop loop;
    LayoutListener listener(*p.access, store);
    LayoutManager manager(*p.access, store, loop, listener);
    manager.perform(op);
    // Deferred re-writes run before the command exits.
    loop.runPending();
    return ctlOk;
}

std::string describeValue(const DefaultsValue& v)
{
    if (const bool* b = std::get_if<bool>(&v))
        return *b ? "true" : "false";
    return std::get<std::string>(v);
}

// The value the running program uses while the key is not stored: a
// setting's built-in default, or a catalogue shortcut's default keys.
std::optional<DefaultsValue> defaultValue(const std::string& key)
{
    if (std::optional<DefaultsValue> v = builtInDefault(key))
        return v;
    if (!key.starts_with(KeyboardShortcuts::keyPrefix))
        return std::nullopt;
    const std::string_view name = std::string_view(key).substr(KeyboardShortcuts::keyPrefix.size());
    for (const ShortcutsManagerState::CatalogueRow& row : ShortcutsManagerState::catalogue())
        if (row.name == name && row.defaultShortcut)
            return DefaultsValue(row.defaultShortcut->toJson());
    return std::nullopt;
}

int defaults(const std::vector<std::string>& args, DefaultsStore& store, const CtlStoreReadable& readable,
             std::ostream& out, std::ostream& err)
{
    const std::string verb = args.size() > 1 ? args[1] : "";
    auto usage = [&](const std::string& why) {
        err << "tilewisectl: " << why << " (see 'tilewisectl --help')\n";
        return int(ctlUsage);
    };
    // Asked after the store has looked at its file, which is when it reports
    // (once) why it could not read it.
    auto unreadable = [&] { return readable && !readable(); };
    auto noSuchSetting = [&](const std::string& key) {
        err << "tilewisectl: the setting " << quotedForMessage(key) << " does not exist\n";
        return int(ctlNoDisplay);
    };
    if (verb == "read") {
        if (args.size() == 2) {
            const std::map<std::string, DefaultsValue> all = store.allValues();
            if (unreadable())
                return ctlNoDisplay;
            for (const auto& [key, value] : all)
                out << key << " = " << describeValue(value) << "\n";
            return ctlOk;
        }
        if (args.size() != 3)
            return usage("defaults read takes at most one key");
        const std::string& key = args[2];
        std::optional<DefaultsValue> v = store.value(key);
        if (unreadable())
            return ctlNoDisplay;
        if (v) {
            out << describeValue(*v) << "\n";
            return ctlOk;
        }
        if (std::optional<DefaultsValue> fallback = defaultValue(key)) {
            out << describeValue(*fallback) << " (default)\n";
            return ctlOk;
        }
        return noSuchSetting(key);
    }
    if (verb == "write") {
        if (args.size() != 5)
            return usage("defaults write needs KEY -bool true|false or KEY -string TEXT");
        const std::string& key = args[2];
        const std::string& type = args[3];
        const std::string& text = args[4];
        DefaultsValue value;
        if (type == "-bool" || type == "-boolean") {
            if (text == "true" || text == "yes" || text == "YES" || text == "1")
                value = true;
            else if (text == "false" || text == "no" || text == "NO" || text == "0")
                value = false;
            else
                return usage("-bool takes true or false, not " + quotedForMessage(text));
        } else if (type == "-string") {
            value = text;
        } else {
            return usage("unknown value type " + quotedForMessage(type) + "; use -bool or -string");
        }
        if (std::optional<std::string> fault = storedValueFault(key, value)) {
            err << "tilewisectl: " << *fault << "\n";
            return ctlUsage;
        }
        // A refused write has been reported by the store.
        return store.set(key, value) ? ctlOk : ctlNoDisplay;
    }
    if (verb == "delete") {
        if (args.size() != 3)
            return usage("defaults delete takes one key");
        if (!store.contains(args[2]))
            return unreadable() ? int(ctlNoDisplay) : noSuchSetting(args[2]);
        return store.remove(args[2]) ? ctlOk : ctlNoDisplay;
    }
    return usage(verb.empty() ? "defaults needs read, write or delete"
                              : "unknown defaults command " + quotedForMessage(verb));
}

// The shortcuts as the running program sees them, each one it cannot hold
// marked with the reason.
int listShortcuts(const DefaultsStore& store, const CtlPlatform& platform, std::ostream& out)
{
    const KeyboardLayout& layout = *platform.keyboardLayout;
    ListingShortcuts listing(store, layout);
    KeyboardShortcuts& shortcuts = listing.shortcuts;
    std::vector<KeyboardShortcuts::Name> names;
    for (const ShortcutsManagerState::CatalogueRow& row : ShortcutsManagerState::catalogue())
        names.push_back(shortcuts.makeName(std::string(row.name), row.defaultShortcut));
    names.push_back(shortcuts.makeName(std::string(ShortcutsManagerState::launchQuickActionName)));
    // 42 slots mostly without keys: only those with keys are worth a line.
    for (int i = 0; i < 42; ++i)
        if (KeyboardShortcuts::Name slot{std::string("Slot").append(std::to_string(i)), {}};
            shortcuts.shortcut(slot))
            names.push_back(slot);
    for (const KeyboardShortcuts::Name& name : names) {
        std::optional<KeyboardShortcuts::Shortcut> s = shortcuts.shortcut(name);
        out << name.rawValue << " "
            << (s ? shortcuts.displayText(*s) + " (" + keyCombinationText(*s, layout) + ")" : "none");
        if (platform.shortcutRefusals && s)
            if (auto it = platform.shortcutRefusals->find(name.rawValue);
                it != platform.shortcutRefusals->end())
                out << " (not held: " << it->second << ")";
        out << "\n";
    }
    return ctlOk;
}

} // namespace

int runCtl(const std::vector<std::string>& args, DefaultsStore& store, const CtlPlatformOpener& open,
           std::ostream& out, std::ostream& err, const CtlStoreReadable& storeReadable, CtlRemote* remote)
{
    if (args.empty()) {
        err << "tilewisectl: missing command (see 'tilewisectl --help')\n";
        return ctlUsage;
    }
    const std::string& command = args[0];
    if (command == "--help" || command == "-h" || command == "help") {
        out << usageText;
        return ctlOk;
    }
    if (command == "--version") {
        out << "tilewisectl " << TILEWISE_VERSION << "\n";
        return ctlOk;
    }

    auto expectArgs = [&](std::size_t n) {
        if (args.size() == n + 1)
            return true;
        if (args.size() > n + 1)
            err << "tilewisectl: unexpected argument " << quotedForMessage(args[n + 1]) << "\n";
        else
            err << "tilewisectl: " << command << " needs an operation name (see 'tilewisectl operations')\n";
        return false;
    };

    if (command == "operations") {
        if (!expectArgs(0))
            return ctlUsage;
        for (OperationType op : allOperationTypes())
            out << caseName(op) << "\n";
        return ctlOk;
    }

    if (command == "defaults")
        return defaults(args, store, storeReadable, out, err);
    if (command == "actions")
        return runActionsCommand(args, store, open, out, err, storeReadable, remote);
    if (command == "shortcuts" && args.size() > 1 && (args[1] == "set" || args[1] == "unset"))
        return runShortcutBinding(args, store, open, err, storeReadable);

    std::optional<OperationType> op;
    if (command == "perform") {
        if (!expectArgs(1))
            return ctlUsage;
        op = operationFromName(args[1]);
        if (!op) {
            err << "tilewisectl: unknown operation " << quotedForMessage(args[1])
                << " (see 'tilewisectl operations')\n";
            return ctlUsage;
        }
        // The running Tilewise performs it when there is one, so that its
        // history knows.
        const CtlRemoteReply reply = remote ? remote->perform(*op) : CtlRemoteReply{};
        switch (reply.status) {
        case CtlRemoteReply::Status::Done:
            return ctlOk;
        case CtlRemoteReply::Status::NoFocusedWindow:
            err << noFocusedWindow;
            return ctlNothingToDo;
        case CtlRemoteReply::Status::Failed:
            err << "tilewisectl: " << oneLine(reply.message) << "\n";
            return ctlNoDisplay;
        case CtlRemoteReply::Status::NotRunning:
            break;
        }
        if (needsRunningTilewise(*op)) {
            err << "tilewisectl: " << args[1]
                << " needs the window history of Tilewise, which is not running on this display\n";
            return ctlUnavailable;
        }
    } else if (command == "history") {
        if (!expectArgs(0))
            return ctlUsage;
        const CtlRemoteReply reply = remote ? remote->history() : CtlRemoteReply{};
        switch (reply.status) {
        case CtlRemoteReply::Status::Done:
            return printHistory(reply.value, out, err);
        case CtlRemoteReply::Status::NotRunning:
            err << "tilewisectl: Tilewise is not running on this display: there is no window history\n";
            return ctlUnavailable;
        default:
            err << "tilewisectl: " << oneLine(reply.message) << "\n";
            return ctlNoDisplay;
        }
    } else if (command == "settings") {
        if (args.size() > 2) {
            err << "tilewisectl: unexpected argument " << quotedForMessage(args[2]) << "\n";
            return ctlUsage;
        }
        const CtlRemoteReply reply = remote ? remote->showSettings(args.size() == 2 ? args[1] : "") : CtlRemoteReply{};
        switch (reply.status) {
        case CtlRemoteReply::Status::Done:
            return ctlOk;
        case CtlRemoteReply::Status::NotRunning:
            err << "tilewisectl: Tilewise is not running on this display: there is no settings window\n";
            return ctlUnavailable;
        default:
            err << "tilewisectl: " << oneLine(reply.message) << "\n";
            return reply.message.find("no settings page") != std::string::npos ? ctlUsage : ctlNoDisplay;
        }
    } else if (command == "screens" || command == "windows" || command == "shortcuts") {
        if (!expectArgs(0))
            return ctlUsage;
    } else {
        err << "tilewisectl: unknown command " << quotedForMessage(command)
            << " (see 'tilewisectl --help')\n";
        return ctlUsage;
    }

    CtlPlatform platform;
    platform.wantsKeys = command == "shortcuts";
    std::string error;
    if (int rc = open(platform, error); rc != ctlOk) {
        err << "tilewisectl: " << error << "\n";
        return rc;
    }

    if (op)
        return perform(*op, platform, store, err);

    if (command == "shortcuts")
        return listShortcuts(store, platform, out);

    if (command == "screens") {
        for (const Screen& s : platform.access->screens())
            out << s.localizedName << " frame " << describe(s.frame) << " visible "
                << describe(s.visibleFrame) << "\n";
        return ctlOk;
    }

    for (const WindowInfo& w : platform.access->windowList())
        out << hexId(w.id) << " level " << w.level << " frame " << describe(w.frame) << " pid " << w.pid
            << " " << w.processName.value_or("") << "\n";
    return ctlOk;
}

} // namespace tilewise
