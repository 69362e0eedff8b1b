#include "app/tilewise_app.hpp"

#include "settings/defaults_store.hpp"

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
    : services_(std::move(services)), listener_(services_.windows),
      manager_(services_.windows, services_.store, services_.runLoop, listener_),
      shortcuts_(services_.store, services_.hotKeys, services_.keyboardLayout)
{
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

    // Another program may let go of a refused combination at any time and
    // X does not say so; a change of the active window is the cheap moment
    // to ask again, and only while something is refused.
    if (services_.watchFrontmostApplication)
        services_.watchFrontmostApplication([this] {
            if (shortcuts_.hasRefused())
                shortcuts_.retryRefused();
        });
}

} // namespace tilewise
