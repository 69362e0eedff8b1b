// The running program's single instances and their start-up order, on any
// platform: the caller hands in the platform services.
#pragma once

#include "layout/layout_listener.hpp"
#include "layout/layout_manager.hpp"
#include "layout/space_manager.hpp"
#include "quickactions/quick_action_perform.hpp"
#include "quickactions/shortcuts_slot_manager.hpp"
#include "settings/notification_center.hpp"
#include "settings/storage.hpp"
#include "shortcuts/keyboard_shortcuts.hpp"
#include "shortcuts/shortcuts_manager_state.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tilewise {

class Alerts;
class Desktops;
class Workspace;
class DefaultsStore;
class HotKeyRegistrar;
class KeyboardLayout;
class ModifierMonitor;
class RunLoop;
class WindowAccess;

struct PlatformServices {
    WindowAccess& windows;
    DefaultsStore& store;
    RunLoop& runLoop;
    Alerts& alerts;
    HotKeyRegistrar& hotKeys;
    const KeyboardLayout& keyboardLayout;
    ModifierMonitor& modifiers;
    // The login item; none leaves it alone.
    std::function<void(bool)> setLaunchAtLogin;
    // The frontmost application's name and identifier; none when there is none.
    std::function<std::optional<FrontmostApp>()> frontmostApplication;
    // Calls its argument whenever the frontmost application may have changed.
    std::function<void(std::function<void()>)> watchFrontmostApplication;
    // Without these the history follows no focus and windows stay on their
    // desktop.
    Workspace* workspace = nullptr;
    Desktops* desktops = nullptr;
    // The modifier flags of the hot key press being handled, if any.
    std::function<std::optional<std::uint64_t>()> currentEvent;
};

class TilewiseApp {
public:
    // Creates the engine and its tracker, the settings, the hot key service
    // and the shortcut catalogue, in that order, then applies the two
    // settings that enable hot keys: binding a name registers its stored
    // shortcut, so they must be applied after the catalogue has bound.
    explicit TilewiseApp(PlatformServices services);
    ~TilewiseApp();
    TilewiseApp(const TilewiseApp&) = delete;
    TilewiseApp& operator=(const TilewiseApp&) = delete;

    LayoutManager& layoutManager() { return manager_; }
    LayoutListener& layoutListener() { return listener_; }
    Storage& storage() { return *storage_; }
    KeyboardShortcuts& shortcuts() { return shortcuts_; }
    ShortcutsManagerState& shortcutsManagerState() { return *state_; }
    // The process's notifications; every change of a shortcut is posted here.
    NotificationCenter& notifications() { return notifications_; }
    QuickActionPerformer& quickActionPerformer() { return performer_; }
    ShortcutsSlotManager& slotManager() { return *slots_; }

    enum class PerformResult { Done, NoFocusedWindow };
    // An operation asked for from outside (the command line, scripts).
    PerformResult performRequested(OperationType op);
    // The window history as JSON, for tilewisectl: the focus history, the
    // known windows, the pairs and the layout records.
    std::string historyJson() const;

    enum class RunResult { Started, UnknownAction, NoFocusedWindow };
    // A quick action by id asked for from outside; `finished` is called once
    // its last step has run, and only when it started. On `target` when
    // given (the window focused when the tray menu opened), else on the
    // focused window.
    RunResult runActionRequested(const std::string& id, std::function<void()> finished,
                                 std::optional<WindowElement> target = std::nullopt);
    // The stored quick actions as a JSON array, members as stored.
    std::string quickActionsJson() const;

    // The quick action panel of the desktop program: its shortcut opens it,
    // and the window tracker ignores focus changes while it holds the
    // keyboard.
    void setQuickActionPanel(std::function<void()> open, std::function<bool()> holdsKeyboard);

private:
    PlatformServices services_;
    NotificationCenter notifications_;
    LayoutListener listener_;
    LayoutManager manager_;
    KeyboardShortcuts shortcuts_;
    std::unique_ptr<Storage> storage_;
    std::unique_ptr<ShortcutsManagerState> state_;
    std::unique_ptr<SpaceManager> spaces_;
    QuickActionPerformer performer_;
    std::unique_ptr<ShortcutsSlotManager> slots_;
    std::uint64_t actionsObserver_ = 0; // a DefaultsStore observer
    std::function<bool()> panelHoldsKeyboard_;
};

} // namespace tilewise
