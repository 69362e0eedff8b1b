#include "cli/ctl.hpp"

#include "layout/layout_listener.hpp"
#include "layout/layout_manager.hpp"
#include "layout/operation_type.hpp"
#include "platform/memory/manual_run_loop.hpp"
#include "platform/memory/memory_hot_key_registrar.hpp"
#include "settings/memory_defaults_store.hpp"
#include "shortcuts/keyboard_shortcuts.hpp"
#include "shortcuts/shortcuts_manager_state.hpp"
#include "platform/window_access.hpp"
#include "settings/defaults_store.hpp"

#include <cstdio>
#include <ostream>

#ifndef TILEWISE_VERSION
#define TILEWISE_VERSION "0.0.0"
#endif

namespace tilewise {

namespace {

constexpr const char* usageText = R"(Usage: tilewisectl COMMAND [ARGS]

Moves and resizes the focused window of the X display in $DISPLAY.

Commands:
  perform OPERATION   lay out the focused window (e.g. LeftHalf, Left, Maximize,
                      MoveRightwardLittle, NextScreen)
  operations          list every operation name
  screens             list the screens: name, frame and visible frame
  windows             list the windows front to back: id, level, frame, pid, name
  shortcuts           list every shortcut name with its keys, or "none"
  defaults read [KEY]             show one setting, or all of them
  defaults write KEY -bool true|false
  defaults write KEY -string TEXT
  defaults delete KEY

Options:
  --help              show this text
  --version           show the version

Exit status: 0 done, 1 no display or window manager (or no such setting),
2 bad usage, 3 operation needs a running Tilewise.
)";

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

int perform(OperationType op, CtlPlatform& p, DefaultsStore& store, std::ostream& err)
{
    ManualRunLoop loop;
    LayoutListener listener(*p.access);
    LayoutManager manager(*p.access, store, loop, listener);
    if (!p.access->focusedWindow())
        err << "tilewisectl: no focused window\n";
    manager.perform(op);
    // Deferred re-writes run before the command exits.
    loop.runPending();
    return ctlOk;
}

std::string describeValue(const DefaultsValue& v)
{
    if (const bool* b = std::get_if<bool>(&v))
        return *b ? "true" : "false";
    if (const double* d = std::get_if<double>(&v))
        return describeNumber(*d);
    return std::get<std::string>(v);
}

int defaults(const std::vector<std::string>& args, DefaultsStore& store, std::ostream& out, std::ostream& err)
{
    const std::string verb = args.size() > 1 ? args[1] : "";
    auto usage = [&](const std::string& why) {
        err << "tilewisectl: " << why << " (see 'tilewisectl --help')\n";
        return int(ctlUsage);
    };
    if (verb == "read") {
        if (args.size() == 2) {
            for (const auto& [key, value] : store.allValues())
                out << key << " = " << describeValue(value) << "\n";
            return ctlOk;
        }
        if (args.size() != 3)
            return usage("defaults read takes at most one key");
        std::optional<DefaultsValue> v = store.value(args[2]);
        if (!v) {
            err << "tilewisectl: the setting " << args[2] << " does not exist\n";
            return ctlNoDisplay;
        }
        out << describeValue(*v) << "\n";
        return ctlOk;
    }
    if (verb == "write") {
        if (args.size() != 5)
            return usage("defaults write needs KEY -bool true|false or KEY -string TEXT");
        const std::string& key = args[2];
        const std::string& type = args[3];
        const std::string& text = args[4];
        if (type == "-bool" || type == "-boolean") {
            if (text == "true" || text == "yes" || text == "YES" || text == "1")
                store.set(key, true);
            else if (text == "false" || text == "no" || text == "NO" || text == "0")
                store.set(key, false);
            else
                return usage("-bool takes true or false, not '" + text + "'");
            return ctlOk;
        }
        if (type == "-string") {
            store.set(key, text);
            return ctlOk;
        }
        return usage("unknown value type '" + type + "'; use -bool or -string");
    }
    if (verb == "delete") {
        if (args.size() != 3)
            return usage("defaults delete takes one key");
        if (!store.contains(args[2])) {
            err << "tilewisectl: the setting " << args[2] << " does not exist\n";
            return ctlNoDisplay;
        }
        store.remove(args[2]);
        return ctlOk;
    }
    return usage(verb.empty() ? "defaults needs read, write or delete" : "unknown defaults command '" + verb + "'");
}

// The shortcuts as the running program sees them. It works on a copy of the
// settings: naming a shortcut stores its default, which a listing must not.
int listShortcuts(const DefaultsStore& store, const KeyboardLayout& layout, std::ostream& out)
{
    MemoryDefaultsStore copy;
    for (const auto& [key, value] : store.allValues())
        copy.set(key, value);
    MemoryHotKeyRegistrar noGrabs;
    KeyboardShortcuts shortcuts(copy, noGrabs, layout);
    std::vector<KeyboardShortcuts::Name> names;
    for (const ShortcutsManagerState::CatalogueRow& row : ShortcutsManagerState::catalogue())
        names.push_back(shortcuts.makeName(std::string(row.name), row.defaultShortcut));
    names.push_back(shortcuts.makeName(std::string(ShortcutsManagerState::launchQuickActionName)));
    for (const KeyboardShortcuts::Name& name : names) {
        std::optional<KeyboardShortcuts::Shortcut> s = shortcuts.shortcut(name);
        out << name.rawValue << " " << (s ? shortcuts.displayText(*s) : "none") << "\n";
    }
    return ctlOk;
}

} // namespace

int runCtl(const std::vector<std::string>& args, DefaultsStore& store, const CtlPlatformOpener& open,
           std::ostream& out, std::ostream& err)
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
            err << "tilewisectl: unexpected argument '" << args[n + 1] << "'\n";
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
        return defaults(args, store, out, err);

    std::optional<OperationType> op;
    if (command == "perform") {
        if (!expectArgs(1))
            return ctlUsage;
        op = operationFromName(args[1]);
        if (!op) {
            err << "tilewisectl: unknown operation '" << args[1] << "' (see 'tilewisectl operations')\n";
            return ctlUsage;
        }
        if (needsRunningTilewise(*op)) {
            err << "tilewisectl: " << args[1]
                << " needs the window history of a running Tilewise, which is not available yet\n";
            return ctlUnavailable;
        }
    } else if (command == "screens" || command == "windows" || command == "shortcuts") {
        if (!expectArgs(0))
            return ctlUsage;
    } else {
        err << "tilewisectl: unknown command '" << command << "' (see 'tilewisectl --help')\n";
        return ctlUsage;
    }

    CtlPlatform platform;
    std::string error;
    if (int rc = open(platform, error); rc != ctlOk) {
        err << "tilewisectl: " << error << "\n";
        return rc;
    }

    if (op)
        return perform(*op, platform, store, err);

    if (command == "shortcuts")
        return listShortcuts(store, *platform.keyboardLayout, out);

    if (command == "screens") {
        for (const Screen& s : platform.access->screens())
            out << s.localizedName << " frame " << describe(s.frame) << " visible " << describe(s.visibleFrame)
                << "\n";
        return ctlOk;
    }

    for (const WindowInfo& w : platform.access->windowList())
        out << hexId(w.id) << " level " << w.level << " frame " << describe(w.frame) << " pid " << w.pid << " "
            << w.processName.value_or("") << "\n";
    return ctlOk;
}

} // namespace tilewise
