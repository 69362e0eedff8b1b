// What the tray menu shows and what its entries do, apart from any toolkit:
// the widget draws `entries()` and hands the chosen entry's command back.
#pragma once

#include "layout/operation_type.hpp"
#include "settings/setting_enums.hpp"
#include "shortcuts/keyboard_shortcuts.hpp"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace tilewise {

class DefaultsStore;
class NotificationCenter;
class ShortcutsSlotManager;
class Storage;

namespace menu_commands {
// "Center" is resolved when chosen, so it follows "Use Exact Center" as the
// shortcut does.
struct Perform {
    OperationType operation;
    friend bool operator==(const Perform&, const Perform&) = default;
};
struct RunAction {
    std::string id;
    friend bool operator==(const RunAction&, const RunAction&) = default;
};
// Adds the identifier to the exclusion list, or removes its first occurrence.
struct ToggleIgnore {
    std::string identifier;
    friend bool operator==(const ToggleIgnore&, const ToggleIgnore&) = default;
};
struct OpenSettings {
    friend bool operator==(const OpenSettings&, const OpenSettings&) = default;
};
struct OpenAbout {
    friend bool operator==(const OpenAbout&, const OpenAbout&) = default;
};
struct CheckForUpdates {
    friend bool operator==(const CheckForUpdates&, const CheckForUpdates&) = default;
};
struct Quit {
    friend bool operator==(const Quit&, const Quit&) = default;
};
} // namespace menu_commands

// std::monostate for separators and texts, which do nothing.
using MenuCommand =
    std::variant<std::monostate, menu_commands::Perform, menu_commands::RunAction,
                 menu_commands::ToggleIgnore, menu_commands::OpenSettings, menu_commands::OpenAbout,
                 menu_commands::CheckForUpdates, menu_commands::Quit>;

struct MenuEntry {
    enum class Kind { item, separator, text };

    Kind kind = Kind::item;
    std::string title;
    // In stored form (Carbon key code and modifier mask); none shows no key.
    std::optional<KeyboardShortcuts::Shortcut> keyEquivalent;
    // The version text is drawn at 11 points.
    bool smallFont = false;
    MenuCommand command;

    friend bool operator==(const MenuEntry&, const MenuEntry&) = default;
};

// What choosing an entry asks of the rest of the program.
struct MenuHandlers {
    std::function<void(OperationType)> perform;
    std::function<void(const std::string& actionId)> runAction;
    // Shows the settings window as an ordinary application, at the page if
    // one is given.
    std::function<void(std::optional<SettingTab>)> showSettings;
    std::function<void(const std::string& url)> openUrl;
    std::function<void()> quit;
};

struct MenuSources {
    DefaultsStore& store;
    Storage& storage;
    const KeyboardShortcuts& shortcuts;
    NotificationCenter& notifications;
    const ShortcutsSlotManager& slots;
};

class MenuModel {
public:
    static constexpr int commaKeyCode = 43;
    static constexpr int qKeyCode = 12;

    // `version` is none when the program cannot tell its own version.
    MenuModel(MenuSources sources, std::optional<std::string> version, MenuHandlers handlers);
    ~MenuModel();
    MenuModel(const MenuModel&) = delete;
    MenuModel& operator=(const MenuModel&) = delete;

    // Built afresh from the current settings, actions, exclusions and
    // shortcuts at each call.
    std::vector<MenuEntry> entries() const;
    void choose(const MenuCommand& command);

    // Called whenever `entries()` may have changed: the two menu settings,
    // the frontmost application, the exclusion list, the quick actions or
    // any stored shortcut. One callback; a new one replaces the old.
    void onChange(std::function<void()> callback) { changed_ = std::move(callback); }

private:
    void changed() const;
    void toggleIgnore(const std::string& identifier);

    MenuSources sources_;
    std::optional<std::string> version_;
    MenuHandlers handlers_;
    std::function<void()> changed_;
    std::uint64_t storageObserver_ = 0;
    std::uint64_t storeObserver_ = 0;
    std::uint64_t shortcutObserver_ = 0;
};

} // namespace tilewise
