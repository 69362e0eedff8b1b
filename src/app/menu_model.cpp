#include "app/menu_model.hpp"

#include "app/web_addresses.hpp"
#include "quickactions/quick_action.hpp"
#include "quickactions/shortcuts_slot_manager.hpp"
#include "settings/clip.hpp"
#include "settings/json_array.hpp"
#include "settings/notification_center.hpp"
#include "settings/storage.hpp"

#include <algorithm>
#include <array>
#include <string_view>

namespace tilewise {
namespace {

struct MenubarClipItem {
    std::string_view id;
    std::string_view shortcut;
    OperationType operation;
    bool divider;
};

constexpr std::array<MenubarClipItem, 16> menubarClipItems{{
    {"Clip ↑", "clipUp", OperationType::Up, false},
    {"Clip ↓", "clipDown", OperationType::Down, false},
    {"Clip ←", "clipLeft", OperationType::Left, false},
    {"Clip →", "clipRight", OperationType::Right, true},
    {"Move ↑", "moveUp", OperationType::MoveUpward, false},
    {"Move ↓", "moveDown", OperationType::MoveDownward, false},
    {"Move ←", "moveLeft", OperationType::MoveLeftward, false},
    {"Move →", "moveRight", OperationType::MoveRightward, true},
    {"Prev Screen", "moveToPreviousScreen", OperationType::PreviousScreen, false},
    {"Next Screen", "moveToNextScreen", OperationType::NextScreen, true},
    {"Prev Space", "moveToPreviousSpace", OperationType::PreviousSpace, false},
    {"Next Space", "moveToNextSpace", OperationType::NextSpace, true},
    {"Maximize", "maxmize", OperationType::Maximize, false},
    {"Center", "center", OperationType::Center, false},
    {"Restore", "restore", OperationType::Restore, false},
    {"Pair", "pair", OperationType::Pair, false},
}};

const KeyboardShortcuts::Shortcut commandComma{MenuModel::commaKeyCode, KeyboardShortcuts::command};
const KeyboardShortcuts::Shortcut commandQ{MenuModel::qKeyCode, KeyboardShortcuts::command};

MenuEntry separator()
{
    return MenuEntry{MenuEntry::Kind::separator, {}, std::nullopt, false, std::monostate{}};
}

MenuEntry item(std::string title, MenuCommand command,
               std::optional<KeyboardShortcuts::Shortcut> key = std::nullopt)
{
    return MenuEntry{MenuEntry::Kind::item, std::move(title), key, false, std::move(command)};
}

bool isRelevantField(std::string_view field)
{
    return field == "showClipInMenubar" || field == "showActionsInMenubar" || field == "currentApp" ||
           field == "currentAppIdentifier";
}

} // namespace

MenuModel::MenuModel(MenuSources sources, std::optional<std::string> version, MenuHandlers handlers)
    : sources_(sources), version_(std::move(version)), handlers_(std::move(handlers))
{
    storageObserver_ = sources_.storage.addObserver([this](std::string_view field) {
        if (isRelevantField(field))
            changed();
    });
    storeObserver_ = sources_.store.addChangeObserver([this](const std::vector<std::string>& keys) {
        if (std::ranges::any_of(keys, [](const std::string& k) {
                return k == settings_keys::excludes || k == settings_keys::quickActions;
            }))
            changed();
    });
    shortcutObserver_ =
        sources_.notifications.addObserver(notification_names::shortcutByNameDidChange,
                                           [this](const NotificationCenter::UserInfo&) { changed(); });
}

MenuModel::~MenuModel()
{
    sources_.storage.removeObserver(storageObserver_);
    sources_.store.removeChangeObserver(storeObserver_);
    sources_.notifications.removeObserver(shortcutObserver_);
}

void MenuModel::changed() const
{
    if (changed_)
        changed_();
}

std::vector<MenuEntry> MenuModel::entries() const
{
    const Storage& storage = sources_.storage;
    const bool clips = storage.showClipInMenubar();
    const bool actions = storage.showActionsInMenubar();
    std::vector<MenuEntry> out;

    if (clips) {
        for (const MenubarClipItem& clip : menubarClipItems) {
            KeyboardShortcuts::Name name{std::string(clip.shortcut), std::nullopt};
            out.push_back(item(std::string(clip.id), menu_commands::Perform{clip.operation},
                               sources_.shortcuts.shortcut(name)));
            if (clip.divider)
                out.push_back(separator());
        }
        out.push_back(separator());
    }
    if (actions) {
        for (const QuickAction::Action& action : quickActions(sources_.store)) {
            std::optional<KeyboardShortcuts::Shortcut> key;
            if (const KeyboardShortcuts::Name* slot = sources_.slots.slotName(action.shortcutSlot))
                key = sources_.shortcuts.shortcut(*slot);
            out.push_back(item(action.name, menu_commands::RunAction{action.id}, key));
        }
        out.push_back(separator());
    }
    if (!clips && !actions)
        out.push_back(item("Settings", menu_commands::OpenSettings{}, commandComma));
    out.push_back(separator());
    if (storage.currentApp() && storage.currentAppIdentifier()) {
        const std::string& identifier = *storage.currentAppIdentifier();
        std::vector<std::string> excluded = excludes(sources_.store);
        bool ignored = std::ranges::find(excluded, identifier) != excluded.end();
        std::string title = ignored ? "Cancel ignore " : "Ignore ";
        out.push_back(item(title.append(*storage.currentApp()), menu_commands::ToggleIgnore{identifier}));
        out.push_back(separator());
    }
    out.push_back(separator());
    if (clips || actions)
        out.push_back(item("Settings", menu_commands::OpenSettings{}, commandComma));
    if (version_) {
        std::string text = "Current version ";
        out.push_back(
            MenuEntry{MenuEntry::Kind::text, text.append(*version_), std::nullopt, true, std::monostate{}});
        out.push_back(item("Check for Updates", menu_commands::CheckForUpdates{}));
    }
    out.push_back(item("About", menu_commands::OpenAbout{}));
    out.push_back(item("Quit", menu_commands::Quit{}, commandQ));
    return out;
}

void MenuModel::toggleIgnore(const std::string& identifier)
{
    std::vector<std::string> excluded = excludes(sources_.store);
    if (auto it = std::ranges::find(excluded, identifier); it != excluded.end())
        excluded.erase(it);
    else
        excluded.push_back(identifier);
    writeJsonArray(sources_.store, settings_keys::excludes, excluded);
}

void MenuModel::choose(const MenuCommand& command)
{
    namespace mc = menu_commands;
    auto call = [](const auto& handler, auto&&... args) {
        if (handler)
            handler(std::forward<decltype(args)>(args)...);
    };
    if (const auto* p = std::get_if<mc::Perform>(&command)) {
        bool exact = p->operation == OperationType::Center && sources_.storage.useExactCenter();
        call(handlers_.perform, exact ? OperationType::ExactCenter : p->operation);
    } else if (const auto* r = std::get_if<mc::RunAction>(&command)) {
        call(handlers_.runAction, r->id);
    } else if (const auto* t = std::get_if<mc::ToggleIgnore>(&command)) {
        toggleIgnore(t->identifier);
    } else if (std::holds_alternative<mc::OpenSettings>(command)) {
        call(handlers_.showSettings, std::nullopt);
    } else if (std::holds_alternative<mc::OpenAbout>(command)) {
        call(handlers_.showSettings, SettingTab::about);
    } else if (std::holds_alternative<mc::CheckForUpdates>(command)) {
        call(handlers_.openUrl, web::downloadPage());
    } else if (std::holds_alternative<mc::Quit>(command)) {
        call(handlers_.quit);
    }
}

} // namespace tilewise
