// The observable settings object: the scalar settings that the layout
// engine, the shortcut dispatch and the menu read, mirrored from the
// defaults store, plus the tracker of the frontmost application, which
// follows the platform's change notifications (no polling: idle is idle).
#pragma once

#include "settings/setting_enums.hpp"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tilewise {

class Alerts;
class DefaultsStore;

namespace settings_keys {
inline constexpr const char* launchAtLogin = "TilewiseLaunchAtLogin";
inline constexpr const char* showMenubarIcon = "TilewiseShowMenubarIcon";
inline constexpr const char* showClipInMenubar = "TilewiseShowClipInMenubar";
inline constexpr const char* showActionsInMenubar = "TilewiseShowActionsInMenubar";
inline constexpr const char* useExactCenter = "TilewiseUseExactCenterKey";
inline constexpr const char* quickFullscreen = "TilewiseQuickFullscreen";
inline constexpr const char* quickActionEnabled = "TilewiseQuickActionEnabled";
inline constexpr const char* quickActionSearchEnabled = "TilewiseQuickActionSearchEnabled";
inline constexpr const char* quickActionSearchEnabledAlert = "tilewiseQuickActionSearchEnabledAlertKey";
inline constexpr const char* smartPairMode = "TilewiseSmartPairMode";
inline constexpr const char* smartPairModeSizing = "TilewiseSmartPairModeSizing";
inline constexpr const char* pairWindowLock = "TilewisePairWindowLock";
inline constexpr const char* threeWayPair = "TilewiseThreeWayPairKey";
inline constexpr const char* quickActionShowScreen = "TilewiseQuickActionShowScreen";
inline constexpr const char* firstLaunchPreference = "TilewiseFirstLaunchPreference";
} // namespace settings_keys

inline constexpr const char* searchEnabledNotice = "Menu key won't take effect if search is enabled";

struct FrontmostApp {
    std::optional<std::string> name;       // localized name
    std::optional<std::string> identifier; // application identifier
};

// Effects of settings on other services, injected so that the settings do
// not depend on the hot key service or the login item.
struct StorageHooks {
    // Register / unregister the hot keys of the given shortcut names; the
    // handlers bound to them stay in place.
    std::function<void(const std::vector<std::string>&)> enableHotKeys;
    std::function<void(const std::vector<std::string>&)> disableHotKeys;
    std::function<void(bool)> setLaunchAtLogin;
    // None when no application is frontmost.
    std::function<std::optional<FrontmostApp>()> frontmostApplication;
    // Calls its argument whenever the frontmost application may have
    // changed; none leaves the tracker to explicit calls.
    std::function<void(std::function<void()>)> watchFrontmostApplication;
};

class Storage {
public:
    using Observer = std::function<void(std::string_view field)>;
    using ObserverId = std::uint64_t;

    static constexpr const char* threeWayPairShortcut = "pair43";
    static constexpr const char* quickActionShortcut = "launchQuickAction";

    // Runs the start steps: reads every scalar setting, writes each back
    // (so every key is present afterwards; in one commit, and none when
    // nothing changes), applies the login item and the two hot key
    // settings, and starts the frontmost-application tracker.
    Storage(DefaultsStore& store, Alerts& alerts, StorageHooks hooks);
    ~Storage();
    Storage(const Storage&) = delete;
    Storage& operator=(const Storage&) = delete;

    // Observers are told the field's name after the value has changed and
    // been written, before the field's effect.
    ObserverId addObserver(Observer observer);
    void removeObserver(ObserverId id);

    // Applies "pair43" and "launchQuickAction" again; called once the
    // shortcut catalogue has bound its handlers, because binding registers
    // every stored shortcut regardless of these settings.
    void applyHotKeySettings();

    bool launchAtLogin() const { return launchAtLogin_; }
    bool showMenubarIcon() const { return showMenubarIcon_; }
    bool quickFullscreen() const { return quickFullscreen_; }
    bool smartPairMode() const { return smartPairMode_; }
    SmartPairModeSizing smartPairModeSizing() const { return smartPairModeSizing_; }
    bool pairWindowLock() const { return pairWindowLock_; }
    bool threeWayPair() const { return threeWayPair_; }
    bool quickActionEnabled() const { return quickActionEnabled_; }
    ScreenOption quickActionShowScreenOn() const { return quickActionShowScreenOn_; }
    bool quickActionSearchEnabled() const { return quickActionSearchEnabled_; }
    const std::optional<std::string>& currentApp() const { return currentApp_; }
    const std::optional<std::string>& currentAppIdentifier() const { return currentAppIdentifier_; }
    bool showClipInMenubar() const { return showClipInMenubar_; }
    bool showActionsInMenubar() const { return showActionsInMenubar_; }
    bool useExactCenter() const { return useExactCenter_; }

    void setLaunchAtLogin(bool v);
    void setShowMenubarIcon(bool v);
    void setQuickFullscreen(bool v);
    void setSmartPairMode(bool v);
    void setSmartPairModeSizing(SmartPairModeSizing v);
    void setPairWindowLock(bool v);
    void setThreeWayPair(bool v);
    void setQuickActionEnabled(bool v);
    void setQuickActionShowScreenOn(ScreenOption v);
    void setQuickActionSearchEnabled(bool v);
    void setCurrentApp(std::optional<std::string> v);
    void setCurrentAppIdentifier(std::optional<std::string> v);
    void setShowClipInMenubar(bool v);
    void setShowActionsInMenubar(bool v);
    void setUseExactCenter(bool v);

    // Looks at the frontmost application; observers hear only of a change.
    void trackFrontmostApplication();

private:
    void assignBool(bool& field, std::string_view fieldName, const char* key, bool v);
    void notify(std::string_view field);
    void applyHotKey(const char* shortcutName, bool enabled);
    void showSearchNoticeOnce();
    void followStore(const std::vector<std::string>& changedKeys);

    DefaultsStore& store_;
    Alerts& alerts_;
    StorageHooks hooks_;
    std::vector<std::pair<ObserverId, Observer>> observers_;
    ObserverId nextObserverId_ = 1;
    std::uint64_t storeObserver_ = 0;

    bool launchAtLogin_ = false;
    bool showMenubarIcon_ = true;
    bool quickFullscreen_ = false;
    bool smartPairMode_ = false;
    SmartPairModeSizing smartPairModeSizing_ = SmartPairModeSizing::maximize;
    bool pairWindowLock_ = false;
    bool threeWayPair_ = false;
    bool quickActionEnabled_ = false;
    ScreenOption quickActionShowScreenOn_ = ScreenOption::mouseScreen;
    bool quickActionSearchEnabled_ = false;
    std::optional<std::string> currentApp_;
    std::optional<std::string> currentAppIdentifier_;
    bool showClipInMenubar_ = false;
    bool showActionsInMenubar_ = false;
    bool useExactCenter_ = false;
};

} // namespace tilewise
