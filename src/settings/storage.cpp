#include "settings/storage.hpp"

#include "platform/alerts.hpp"
#include "settings/defaults_store.hpp"

#include <algorithm>

namespace tilewise {

namespace keys = settings_keys;

Storage::Storage(DefaultsStore& store, Alerts& alerts, StorageHooks hooks)
    : store_(store), alerts_(alerts), hooks_(std::move(hooks))
{
    // Every start step writes its key; together they are one commit, so a
    // start writes the file once at most (and not at all when every key
    // already holds its value).
    DefaultsBatch batch(store_);
    // The order matters: the login item follows the stored flag at every
    // start, and the keys written at first start exist before they are read.
    setLaunchAtLogin(store_.boolValue(keys::launchAtLogin));

    if (!store_.contains(keys::showMenubarIcon))
        store_.set(keys::showMenubarIcon, true);
    setShowMenubarIcon(store_.boolValue(keys::showMenubarIcon));

    setShowClipInMenubar(store_.boolValue(keys::showClipInMenubar));
    setShowActionsInMenubar(store_.boolValue(keys::showActionsInMenubar));
    setUseExactCenter(store_.boolValue(keys::useExactCenter));
    setQuickFullscreen(store_.boolValue(keys::quickFullscreen));
    setQuickActionEnabled(store_.boolValue(keys::quickActionEnabled));
    setQuickActionSearchEnabled(store_.boolValue(keys::quickActionSearchEnabled));

    if (!store_.contains(keys::smartPairMode))
        store_.set(keys::smartPairMode, true);
    setSmartPairMode(store_.boolValue(keys::smartPairMode));

    std::optional<std::string> sizing = store_.stringValue(keys::smartPairModeSizing);
    setSmartPairModeSizing(sizing
                               ? smartPairModeSizingFromRaw(*sizing).value_or(SmartPairModeSizing::maximize)
                               : SmartPairModeSizing::maximize);

    setPairWindowLock(store_.boolValue(keys::pairWindowLock));
    setThreeWayPair(store_.boolValue(keys::threeWayPair));

    // The field starts as mouseScreen, but an absent or unknown stored value
    // reads as activeScreen.
    std::optional<std::string> screen = store_.stringValue(keys::quickActionShowScreen);
    setQuickActionShowScreenOn(screen ? screenOptionFromRaw(*screen).value_or(ScreenOption::activeScreen)
                                      : ScreenOption::activeScreen);

    trackFrontmostApplication();
    if (hooks_.watchFrontmostApplication)
        hooks_.watchFrontmostApplication([this] { trackFrontmostApplication(); });
    storeObserver_ =
        store_.addChangeObserver([this](const std::vector<std::string>& changed) { followStore(changed); });
}

Storage::~Storage()
{
    store_.removeChangeObserver(storeObserver_);
}

void Storage::followStore(const std::vector<std::string>& changedKeys)
{
    // tilewisectl or a hand edit changed the file: each setting follows with
    // its effect (hot keys, login item), as if switched here. The one-time
    // search notice belongs to the switch in the settings and is not shown.
    auto changed = [&](const char* key) {
        return std::find(changedKeys.begin(), changedKeys.end(), key) != changedKeys.end();
    };
    struct BoolSetting {
        const char* key;
        bool Storage::*field;
        void (Storage::*set)(bool);
        bool absent;
    };
    static const BoolSetting bools[] = {
        {keys::launchAtLogin, &Storage::launchAtLogin_, &Storage::setLaunchAtLogin, false},
        {keys::showMenubarIcon, &Storage::showMenubarIcon_, &Storage::setShowMenubarIcon, true},
        {keys::showClipInMenubar, &Storage::showClipInMenubar_, &Storage::setShowClipInMenubar, false},
        {keys::showActionsInMenubar, &Storage::showActionsInMenubar_, &Storage::setShowActionsInMenubar, false},
        {keys::useExactCenter, &Storage::useExactCenter_, &Storage::setUseExactCenter, false},
        {keys::quickFullscreen, &Storage::quickFullscreen_, &Storage::setQuickFullscreen, false},
        {keys::quickActionEnabled, &Storage::quickActionEnabled_, &Storage::setQuickActionEnabled, false},
        {keys::smartPairMode, &Storage::smartPairMode_, &Storage::setSmartPairMode, true},
        {keys::pairWindowLock, &Storage::pairWindowLock_, &Storage::setPairWindowLock, false},
        {keys::threeWayPair, &Storage::threeWayPair_, &Storage::setThreeWayPair, false},
        {keys::quickActionSearchEnabled, &Storage::quickActionSearchEnabled_, nullptr, false},
    };
    for (const BoolSetting& s : bools) {
        if (!changed(s.key))
            continue;
        const bool v = store_.contains(s.key) ? store_.boolValue(s.key) : s.absent;
        if (v == this->*s.field)
            continue;
        if (s.set)
            (this->*s.set)(v);
        else
            assignBool(this->*s.field, "quickActionSearchEnabled", s.key, v);
    }
    if (changed(keys::smartPairModeSizing)) {
        const std::optional<std::string> raw = store_.stringValue(keys::smartPairModeSizing);
        const SmartPairModeSizing v =
            raw ? smartPairModeSizingFromRaw(*raw).value_or(SmartPairModeSizing::maximize) : SmartPairModeSizing::maximize;
        if (v != smartPairModeSizing_)
            setSmartPairModeSizing(v);
    }
    if (changed(keys::quickActionShowScreen)) {
        const std::optional<std::string> raw = store_.stringValue(keys::quickActionShowScreen);
        const ScreenOption v = raw ? screenOptionFromRaw(*raw).value_or(ScreenOption::activeScreen)
                                   : ScreenOption::activeScreen;
        if (v != quickActionShowScreenOn_)
            setQuickActionShowScreenOn(v);
    }
}

Storage::ObserverId Storage::addObserver(Observer observer)
{
    ObserverId id = nextObserverId_++;
    observers_.emplace_back(id, std::move(observer));
    return id;
}

void Storage::removeObserver(ObserverId id)
{
    std::erase_if(observers_, [id](const auto& entry) { return entry.first == id; });
}

void Storage::notify(std::string_view field)
{
    // A snapshot: an observer may remove itself while being told.
    std::vector<std::pair<ObserverId, Observer>> snapshot = observers_;
    for (const auto& [id, observer] : snapshot)
        observer(field);
}

void Storage::assignBool(bool& field, std::string_view fieldName, const char* key, bool v)
{
    field = v;
    store_.set(key, v);
    notify(fieldName);
}

void Storage::applyHotKey(const char* shortcutName, bool enabled)
{
    const auto& hook = enabled ? hooks_.enableHotKeys : hooks_.disableHotKeys;
    if (hook)
        hook({shortcutName});
}

void Storage::applyHotKeySettings()
{
    applyHotKey(threeWayPairShortcut, threeWayPair_);
    applyHotKey(quickActionShortcut, quickActionEnabled_);
}

void Storage::showSearchNoticeOnce()
{
    if (store_.boolValue(keys::quickActionSearchEnabledAlert))
        return;
    alerts_.showNotice(searchEnabledNotice);
    // Written after dismissal, so a crash while it is shown shows it again.
    store_.set(keys::quickActionSearchEnabledAlert, true);
}

void Storage::setLaunchAtLogin(bool v)
{
    assignBool(launchAtLogin_, "launchAtLogin", keys::launchAtLogin, v);
    if (hooks_.setLaunchAtLogin)
        hooks_.setLaunchAtLogin(v);
}

void Storage::setShowMenubarIcon(bool v)
{
    assignBool(showMenubarIcon_, "showMenubarIcon", keys::showMenubarIcon, v);
}
void Storage::setQuickFullscreen(bool v)
{
    assignBool(quickFullscreen_, "quickFullscreen", keys::quickFullscreen, v);
}
void Storage::setSmartPairMode(bool v)
{
    assignBool(smartPairMode_, "smartPairMode", keys::smartPairMode, v);
}
void Storage::setPairWindowLock(bool v)
{
    assignBool(pairWindowLock_, "pairWindowLock", keys::pairWindowLock, v);
}

void Storage::setShowClipInMenubar(bool v)
{
    assignBool(showClipInMenubar_, "showClipInMenubar", keys::showClipInMenubar, v);
}

void Storage::setShowActionsInMenubar(bool v)
{
    assignBool(showActionsInMenubar_, "showActionsInMenubar", keys::showActionsInMenubar, v);
}

void Storage::setUseExactCenter(bool v)
{
    assignBool(useExactCenter_, "useExactCenter", keys::useExactCenter, v);
}

void Storage::setSmartPairModeSizing(SmartPairModeSizing v)
{
    smartPairModeSizing_ = v;
    store_.set(keys::smartPairModeSizing, std::string(rawValue(v)));
    notify("smartPairModeSizing");
}

void Storage::setThreeWayPair(bool v)
{
    assignBool(threeWayPair_, "threeWayPair", keys::threeWayPair, v);
    applyHotKey(threeWayPairShortcut, v);
}

void Storage::setQuickActionEnabled(bool v)
{
    assignBool(quickActionEnabled_, "quickActionEnabled", keys::quickActionEnabled, v);
    applyHotKey(quickActionShortcut, v);
}

void Storage::setQuickActionShowScreenOn(ScreenOption v)
{
    quickActionShowScreenOn_ = v;
    store_.set(keys::quickActionShowScreen, std::string(rawValue(v)));
    notify("quickActionShowScreenOn");
}

void Storage::setQuickActionSearchEnabled(bool v)
{
    assignBool(quickActionSearchEnabled_, "quickActionSearchEnabled", keys::quickActionSearchEnabled, v);
    if (v)
        showSearchNoticeOnce();
}

void Storage::setCurrentApp(std::optional<std::string> v)
{
    currentApp_ = std::move(v);
    notify("currentApp");
}

void Storage::setCurrentAppIdentifier(std::optional<std::string> v)
{
    currentAppIdentifier_ = std::move(v);
    notify("currentAppIdentifier");
}

void Storage::trackFrontmostApplication()
{
    std::optional<FrontmostApp> app =
        hooks_.frontmostApplication ? hooks_.frontmostApplication() : std::nullopt;
    std::optional<std::string> name = app ? app->name : std::nullopt;
    std::optional<std::string> identifier = app ? app->identifier : std::nullopt;
    // Assign only on change so observers hear of switches, not of ticks.
    if (name != currentApp_)
        setCurrentApp(std::move(name));
    if (identifier != currentAppIdentifier_)
        setCurrentAppIdentifier(std::move(identifier));
}

} // namespace tilewise
