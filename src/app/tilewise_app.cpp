#include "app/tilewise_app.hpp"

#include "settings/defaults_store.hpp"

#include <nlohmann/json.hpp>

#include <algorithm>

namespace tilewise {

namespace {

std::vector<KeyboardShortcuts::Name> namesFor(ShortcutsManagerState* state,
                                              const std::vector<std::string>& raw)
{
    std::vector<KeyboardShortcuts::Name> names;
    if (!state)
        return names;
    for (const std::string& r : raw) {
        if (r == ShortcutsManagerState::launchQuickActionName)
            names.push_back(state->launchQuickAction());
        else if (const KeyboardShortcuts::Name* n = state->name(r))
            names.push_back(*n);
    }
    return names;
}

} // namespace

TilewiseApp::TilewiseApp(PlatformServices services)
    : services_(std::move(services)), listener_(services_.windows, services_.store),
      manager_(services_.windows, services_.store, services_.runLoop, listener_),
      shortcuts_(services_.store, services_.hotKeys, services_.keyboardLayout),
      performer_(services_.windows, manager_, services_.runLoop)
{
    manager_.setPairedHandler([this] { notifications_.post(notification_names::pairWindow); });
    if (services_.workspace)
        listener_.follow(*services_.workspace, services_.runLoop,
                         [this] { return panelHoldsKeyboard_ && panelHoldsKeyboard_(); });
    if (services_.desktops) {
        spaces_ =
            std::make_unique<SpaceManager>(*services_.desktops, services_.modifiers, services_.currentEvent);
        manager_.setSpaceSwitch([this](const WindowElement& w, LayoutManager::SpaceDirection d) {
            spaces_->move(w, d == LayoutManager::SpaceDirection::Next ? SpaceManager::SpaceDirection::next
                                                                      : SpaceManager::SpaceDirection::prev);
        });
    }
    shortcuts_.addChangeObserver([this](std::string_view notification, const KeyboardShortcuts::Name& name) {
        notifications_.post(std::string(notification), {{notification_keys::name, name.rawValue}});
    });
    // The start steps of the settings and the defaults the catalogue stores
    // for its names are committed together: one write at most per start.
    // The hot keys reach the platform together too.
    KeyboardShortcuts::RegistrationBatch registrations(shortcuts_);
    DefaultsBatch batch(services_.store);
    StorageHooks hooks;
    // The catalogue does not exist yet while the settings start; the hot
    // key settings are applied again once it does.
    hooks.enableHotKeys = [this](const std::vector<std::string>& raw) {
        shortcuts_.enable(namesFor(state_.get(), raw));
    };
    hooks.disableHotKeys = [this](const std::vector<std::string>& raw) {
        shortcuts_.disable(namesFor(state_.get(), raw));
    };
    hooks.setLaunchAtLogin = services_.setLaunchAtLogin;
    hooks.frontmostApplication = services_.frontmostApplication;
    hooks.watchFrontmostApplication = services_.watchFrontmostApplication;
    storage_ = std::make_unique<Storage>(services_.store, services_.alerts, std::move(hooks));

    state_ = std::make_unique<ShortcutsManagerState>(shortcuts_, services_.store, services_.modifiers,
                                                     services_.runLoop,
                                                     [this](OperationType op) { manager_.perform(op); });
    storage_->applyHotKeySettings();
    slots_ = std::make_unique<ShortcutsSlotManager>(
        shortcuts_, services_.store, [this](const QuickAction::Action& a) { performer_.runOnFocusedWindow(a); });
    slots_->registerSlotHandlers();
    // tilewisectl and hand edits switch shortcuts on in the stored list:
    // their slots get handlers here as they would at the next start.
    actionsObserver_ = services_.store.addChangeObserver([this](const std::vector<std::string>& keys) {
        if (std::find(keys.begin(), keys.end(), settings_keys::quickActions) != keys.end())
            slots_->registerSlotHandlers();
    });

    // Another program may let go of a refused combination at any time and
    // X does not say so; a change of the active window is the cheap moment
    // to ask again, and only while something is refused.
    if (services_.watchFrontmostApplication)
        services_.watchFrontmostApplication([this] {
            if (shortcuts_.hasRefused())
                shortcuts_.retryRefused();
        });
}

TilewiseApp::~TilewiseApp()
{
    services_.store.removeChangeObserver(actionsObserver_);
}

TilewiseApp::PerformResult TilewiseApp::performRequested(OperationType op)
{
    // A script must be able to tell that nothing was there to lay out.
    if (!services_.windows.focusedWindow())
        return PerformResult::NoFocusedWindow;
    manager_.perform(op);
    return PerformResult::Done;
}

TilewiseApp::RunResult TilewiseApp::runActionRequested(const std::string& id, std::function<void()> finished,
                                                       std::optional<WindowElement> target)
{
    const std::vector<QuickAction::Action> actions = quickActions(services_.store);
    auto it = std::find_if(actions.begin(), actions.end(), [&](const QuickAction::Action& a) { return a.id == id; });
    if (it == actions.end())
        return RunResult::UnknownAction;
    if (!target)
        target = services_.windows.focusedWindow();
    return performer_.run(*it, target, std::nullopt, std::move(finished)) ? RunResult::Started
                                                                          : RunResult::NoFocusedWindow;
}

void TilewiseApp::setQuickActionPanel(std::function<void()> open, std::function<bool()> holdsKeyboard)
{
    state_->setOpenQuickActionPanel(std::move(open));
    panelHoldsKeyboard_ = std::move(holdsKeyboard);
}

std::string TilewiseApp::quickActionsJson() const
{
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const QuickAction::Action& a : quickActions(services_.store))
        list.push_back(a);
    return list.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

namespace {

nlohmann::json toJson(const std::optional<Rect>& r)
{
    if (!r)
        return nullptr;
    return nlohmann::json::array({r->x(), r->y(), r->width(), r->height()});
}

template <typename T> nlohmann::json toJson(const std::optional<T>& v)
{
    return v ? nlohmann::json(*v) : nlohmann::json(nullptr);
}

} // namespace

std::string TilewiseApp::historyJson() const
{
    const LayoutListener& l = listener_;
    nlohmann::json pairs = nlohmann::json::array();
    for (const auto& [a, b] : l.pairs)
        pairs.push_back({a, b});
    nlohmann::json windows = nlohmann::json::array();
    for (const auto& [id, unused] : l.windowIdToElement) {
        nlohmann::json w = {{"windowId", id}, {"pid", nullptr}};
        if (auto pid = l.windowIdToPid.find(id); pid != l.windowIdToPid.end())
            w["pid"] = pid->second;
        windows.push_back(w);
    }
    nlohmann::json records = nlohmann::json::array();
    for (const auto& [id, r] : l.layoutRecords)
        records.push_back(
            {{"windowId", id}, {"frame", toJson(r.frame)}, {"originalFrame", toJson(r.originalFrame)}});
    nlohmann::json j = {
        {"currentWindowId", toJson(l.currentWindowId)},
        {"lastWindowId", toJson(l.lastWindowId)},
        {"currentLayout", toJson(l.currentLayout)},
        {"last1Layout", toJson(l.last1Layout)},
        {"last2layout", toJson(l.last2layout)},
        {"pairs", pairs},
        {"windows", windows},
        {"layoutRecords", records},
    };
    return j.dump();
}

} // namespace tilewise
