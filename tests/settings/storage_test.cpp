// The settings object: start on fresh and used stores, field effects, search notice, frontmost app.
#include "settings/storage.hpp"

#include "platform/memory/memory_alerts.hpp"
#include "settings/memory_defaults_store.hpp"

#include <gtest/gtest.h>

#include <memory>

namespace tilewise {
namespace {

namespace keys = settings_keys;

class StorageTest : public ::testing::Test {
protected:
    StorageHooks hooks(DefaultsStore& store)
    {
        StorageHooks h;
        h.enableHotKeys = [this](const std::vector<std::string>& names) {
            for (const auto& n : names)
                hotKeyCalls.push_back("enable " + n);
        };
        h.disableHotKeys = [this](const std::vector<std::string>& names) {
            for (const auto& n : names)
                hotKeyCalls.push_back("disable " + n);
        };
        h.setLaunchAtLogin = [this, &store](bool v) {
            // The key is already written when the login item is told.
            loginCalls.push_back(v);
            flagWhenLoginCalled.push_back(store.boolValue(keys::launchAtLogin));
        };
        h.frontmostApplication = [this] { return frontmost; };
        h.watchFrontmostApplication = [this](std::function<void()> changed) { frontmostChanged = changed; };
        return h;
    }
    std::unique_ptr<Storage> start() { return std::make_unique<Storage>(store, alerts, hooks(store)); }

    MemoryDefaultsStore store;
    MemoryAlerts alerts;
    std::vector<std::string> hotKeyCalls;
    std::vector<bool> loginCalls;
    std::vector<bool> flagWhenLoginCalled;
    std::optional<FrontmostApp> frontmost;
    std::function<void()> frontmostChanged;
};

TEST_F(StorageTest, FreshStoreGetsEveryKeyWithItsDefault)
{
    auto storage = start();
    const std::vector<const char*> falseKeys{
        keys::launchAtLogin,  keys::showClipInMenubar,        keys::showActionsInMenubar,
        keys::useExactCenter, keys::quickFullscreen,          keys::quickActionEnabled,
        keys::pairWindowLock, keys::quickActionSearchEnabled, keys::threeWayPair};
    for (const char* key : falseKeys)
        EXPECT_EQ(store.value(key), DefaultsValue(false)) << key;
    EXPECT_EQ(store.value(keys::showMenubarIcon), DefaultsValue(true));
    EXPECT_EQ(store.value(keys::smartPairMode), DefaultsValue(true));
    EXPECT_EQ(store.value(keys::smartPairModeSizing), DefaultsValue(std::string("maximize")));
    // Not the field's initial mouseScreen.
    EXPECT_EQ(store.value(keys::quickActionShowScreen), DefaultsValue(std::string("activeScreen")));
    EXPECT_EQ(storage->quickActionShowScreenOn(), ScreenOption::activeScreen);
    EXPECT_EQ(store.all().size(), falseKeys.size() + 4);

    EXPECT_EQ(loginCalls, std::vector<bool>{false});
    EXPECT_EQ(hotKeyCalls, (std::vector<std::string>{"disable launchQuickAction", "disable pair43"}));
    EXPECT_TRUE(alerts.shown.empty());
    EXPECT_FALSE(storage->currentApp());
}

TEST_F(StorageTest, StoredValuesWinOverTheFirstStartDefaults)
{
    for (auto [key, value] : {std::pair{keys::showMenubarIcon, false}, {keys::smartPairMode, false},
                              {keys::launchAtLogin, true}, {keys::threeWayPair, true},
                              {keys::quickActionEnabled, true}})
        store.set(key, value);
    auto storage = start();
    EXPECT_FALSE(storage->showMenubarIcon());
    EXPECT_FALSE(storage->smartPairMode());
    EXPECT_EQ(store.value(keys::showMenubarIcon), DefaultsValue(false));
    EXPECT_EQ(store.value(keys::smartPairMode), DefaultsValue(false));
    EXPECT_EQ(loginCalls, std::vector<bool>{true});
    EXPECT_EQ(hotKeyCalls, (std::vector<std::string>{"enable launchQuickAction", "enable pair43"}));
}

TEST_F(StorageTest, EnumsMatchTheirRawValuesExactlyAndUnknownTextIsOverwritten)
{
    using Sizing = SmartPairModeSizing;
    using Option = ScreenOption;
    struct Case {
        DefaultsValue sizing, screen;
        Sizing wantSizing;
        Option wantScreen;
    };
    const std::vector<Case> cases{
        {std::string("matchTheFirst"), std::string("primaryScreen"), Sizing::matchTheFirst,
         Option::primaryScreen},
        {std::string("MatchTheFirst"), std::string(""), Sizing::maximize, Option::activeScreen},
        {std::string("matchTheFirst "), std::string("mouseScreen"), Sizing::maximize, Option::mouseScreen},
        {true, false, Sizing::maximize, Option::activeScreen},
    };
    for (const Case& c : cases) {
        MemoryDefaultsStore s;
        s.set(keys::smartPairModeSizing, c.sizing);
        s.set(keys::quickActionShowScreen, c.screen);
        Storage storage(s, alerts, {});
        EXPECT_EQ(storage.smartPairModeSizing(), c.wantSizing);
        EXPECT_EQ(storage.quickActionShowScreenOn(), c.wantScreen);
        EXPECT_EQ(s.stringValue(keys::smartPairModeSizing), std::string(rawValue(c.wantSizing)));
        EXPECT_EQ(s.stringValue(keys::quickActionShowScreen), std::string(rawValue(c.wantScreen)));
    }
}

TEST_F(StorageTest, AssignmentWritesNotifiesAndThenRunsTheEffect)
{
    auto storage = start();
    std::vector<std::string> changes;
    std::vector<bool> seenByObserver;
    Storage::ObserverId id = storage->addObserver([&](std::string_view field) {
        changes.emplace_back(field);
        seenByObserver.push_back(storage->launchAtLogin());
    });
    loginCalls.clear();
    flagWhenLoginCalled.clear();
    hotKeyCalls.clear();

    storage->setLaunchAtLogin(true);
    EXPECT_EQ(loginCalls, std::vector<bool>{true});
    EXPECT_EQ(flagWhenLoginCalled, std::vector<bool>{true});
    EXPECT_EQ(seenByObserver, std::vector<bool>{true});

    storage->setThreeWayPair(false);
    storage->setThreeWayPair(true);
    storage->setQuickActionEnabled(true);
    EXPECT_EQ(hotKeyCalls,
              (std::vector<std::string>{"disable pair43", "enable pair43", "enable launchQuickAction"}));
    EXPECT_EQ(store.value(keys::threeWayPair), DefaultsValue(true));

    storage->setSmartPairModeSizing(SmartPairModeSizing::matchTheFirst);
    storage->setQuickActionShowScreenOn(ScreenOption::mouseScreen);
    EXPECT_EQ(store.stringValue(keys::smartPairModeSizing), "matchTheFirst");
    EXPECT_EQ(store.stringValue(keys::quickActionShowScreen), "mouseScreen");

    storage->setUseExactCenter(true);
    EXPECT_EQ(store.value(keys::useExactCenter), DefaultsValue(true));
    EXPECT_EQ(changes,
              (std::vector<std::string>{"launchAtLogin", "threeWayPair", "threeWayPair", "quickActionEnabled",
                                        "smartPairModeSizing", "quickActionShowScreenOn", "useExactCenter"}));

    storage->removeObserver(id);
    storage->setPairWindowLock(true);
    EXPECT_EQ(changes.size(), 7u);

    // Re-applying after the catalogue has bound its handlers keeps the
    // behaviour of a change.
    storage->setThreeWayPair(false);
    hotKeyCalls.clear();
    storage->applyHotKeySettings();
    EXPECT_EQ(hotKeyCalls, (std::vector<std::string>{"disable pair43", "enable launchQuickAction"}));
}

TEST_F(StorageTest, ChangesMadeByAnotherProcessAreFollowedWithTheirEffect)
{
    auto storage = start();
    std::vector<std::string> changes;
    storage->addObserver([&](std::string_view field) { changes.emplace_back(field); });
    hotKeyCalls.clear();
    store.set(keys::quickActionEnabled, true);
    store.set(keys::quickActionSearchEnabled, true);
    store.set(keys::quickActionShowScreen, std::string("primaryScreen"));
    store.remove(keys::showMenubarIcon);
    store.set(keys::showMenubarIcon, false);
    EXPECT_TRUE(storage->quickActionEnabled());
    EXPECT_TRUE(storage->quickActionSearchEnabled());
    EXPECT_EQ(storage->quickActionShowScreenOn(), ScreenOption::primaryScreen);
    EXPECT_FALSE(storage->showMenubarIcon());
    EXPECT_EQ(hotKeyCalls, std::vector<std::string>{"enable launchQuickAction"});
    EXPECT_EQ(changes, (std::vector<std::string>{"quickActionEnabled", "quickActionSearchEnabled",
                                                 "quickActionShowScreenOn", "showMenubarIcon"}));
    // The notice belongs to the switch in the settings window.
    EXPECT_TRUE(alerts.shown.empty());
}

TEST_F(StorageTest, SearchNoticeShowsOnceEvenAcrossStarts)
{
    // Off at a fresh start shows nothing (FreshStoreGetsEveryKeyWithItsDefault).
    store.set(keys::quickActionSearchEnabled, true);
    auto storage = start();
    ASSERT_EQ(alerts.messages(), std::vector<std::string>{"Menu key won't take effect if search is enabled"});
    EXPECT_EQ(alerts.shown[0].informativeText, "");
    EXPECT_EQ(store.value(keys::quickActionSearchEnabledAlert), DefaultsValue(true));
    storage->setQuickActionSearchEnabled(false);
    storage->setQuickActionSearchEnabled(true);
    start();
    EXPECT_EQ(alerts.shown.size(), 1u);
}

TEST_F(StorageTest, TrackerAssignsOnlyWhenTheFrontmostApplicationChanges)
{
    auto storage = start();
    std::vector<std::string> changes;
    storage->addObserver([&](std::string_view field) { changes.emplace_back(field); });
    ASSERT_TRUE(frontmostChanged);

    frontmost = FrontmostApp{"Terminal", "org.example.Terminal"};
    frontmostChanged();
    EXPECT_EQ(storage->currentApp(), "Terminal");
    EXPECT_EQ(storage->currentAppIdentifier(), "org.example.Terminal");
    EXPECT_EQ(changes, (std::vector<std::string>{"currentApp", "currentAppIdentifier"}));

    // Notifications that change nothing (another window of the same
    // application) are not passed on.
    frontmostChanged();
    frontmostChanged();
    EXPECT_EQ(changes.size(), 2u);

    // Same name, other identifier: only the identifier changes.
    frontmost = FrontmostApp{"Terminal", std::nullopt};
    frontmostChanged();
    EXPECT_EQ(changes,
              (std::vector<std::string>{"currentApp", "currentAppIdentifier", "currentAppIdentifier"}));
    EXPECT_FALSE(storage->currentAppIdentifier());

    frontmost.reset();
    frontmostChanged();
    EXPECT_FALSE(storage->currentApp());
    EXPECT_EQ(changes.size(), 4u);
}

} // namespace
} // namespace tilewise
