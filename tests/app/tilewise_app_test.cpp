// Start-up: settings written once, shortcuts follow the store and heal, hot key settings hold at once.
#include "app/tilewise_app.hpp"

#include "platform/memory/manual_run_loop.hpp"
#include "platform/memory/memory_alerts.hpp"
#include "platform/memory/memory_hot_key_registrar.hpp"
#include "platform/memory/memory_keyboard_layout.hpp"
#include "platform/memory/memory_modifier_monitor.hpp"
#include "platform/memory/memory_window_access.hpp"
#include "quickactions/quick_action.hpp"
#include "settings/memory_defaults_store.hpp"

#include <gtest/gtest.h>

namespace tilewise {
namespace {

constexpr int control = 4096, option = 2048, command = 256;
constexpr int leftArrow = 123, keyF = 3, keyP = 35;

// Counts commits as a file store makes them: a batch is one.
class CountingStore : public MemoryDefaultsStore {
public:
    bool set(const std::string& key, const DefaultsValue& v) override
    {
        MemoryDefaultsStore::set(key, v);
        return commitUnlessBatched();
    }
    void beginBatch() override { ++depth_; }
    bool endBatch() override
    {
        --depth_;
        return commitUnlessBatched();
    }
    int commits = 0;

private:
    bool commitUnlessBatched()
    {
        if (depth_ == 0 && writes() != committed_) {
            ++commits;
            committed_ = writes();
        }
        return true;
    }
    int depth_ = 0, committed_ = 0;
};

class TilewiseAppTest : public ::testing::Test {
protected:
    TilewiseAppTest()
    {
        windows.setMainScreen(windows.addScreen({0, 0, 1440, 900}, {0, 0, 1440, 875}, "Built-in Display"));
        window = windows.addWindow(Rect(300, 100, 500, 400), 7, 70);
        windows.setFocused(window);
    }

    // Each start has its own hot keys, as each process does.
    std::unique_ptr<TilewiseApp> start(MemoryHotKeyRegistrar& keys)
    {
        auto watch = [this](std::function<void()> changed) { activeWindowChanged.push_back(changed); };
        return std::make_unique<TilewiseApp>(PlatformServices{
            windows, store, loop, alerts, keys, layout, modifiers, {}, [] { return std::nullopt; }, watch, nullptr,
            nullptr, {}});
    }

    MemoryWindowAccess windows;
    CountingStore store;
    ManualRunLoop loop;
    MemoryAlerts alerts;
    MemoryHotKeyRegistrar hotKeys;
    MemoryKeyboardLayout layout;
    MemoryModifierMonitor modifiers;
    std::vector<std::function<void()>> activeWindowChanged;
    WindowElement window;
};

TEST_F(TilewiseAppTest, AFirstStartWritesTheSettingsOnceAndALaterStartNotAtAll)
{
    MemoryHotKeyRegistrar second;
    start(hotKeys);
    EXPECT_TRUE(store.contains("TilewiseShowMenubarIcon"));
    EXPECT_EQ(store.commits, 1);
    start(second);
    EXPECT_EQ(store.commits, 1);
}

TEST_F(TilewiseAppTest, ShortcutsFollowTheStoreAndHealWhenTheActiveWindowChanges)
{
    hotKeys.refuse(keyF, control | option);
    auto app = start(hotKeys);
    EXPECT_EQ(hotKeys.exchanges(), 1) << "every hot key of the start in one exchange";
    std::vector<std::string> posted;
    app->notifications().addObserver("KeyboardShortcuts_shortcutByNameDidChange",
                                     [&](const NotificationCenter::UserInfo& info) { posted.push_back(info.at("name")); });

    store.set("KeyboardShortcuts_clipLeft", std::string(R"({"carbonKeyCode":4,"carbonModifiers":6144})"));
    EXPECT_EQ(posted, std::vector<std::string>{"clipLeft"});
    EXPECT_FALSE(hotKeys.isRegistered(leftArrow, control | option));
    ASSERT_TRUE(hotKeys.press(4, control | option));
    EXPECT_EQ(windows.frame(window), Rect(0, 100, 720, 400));

    // The program holding Control-Option-F quits; the next change of the
    // active window takes the combination up.
    hotKeys.allow(keyF, control | option);
    EXPECT_FALSE(hotKeys.isRegistered(keyF, control | option));
    for (auto& changed : activeWindowChanged)
        changed();
    ASSERT_TRUE(hotKeys.press(keyF, control | option));
    EXPECT_EQ(windows.frame(window), Rect(0, 25, 1440, 875));
    EXPECT_TRUE(app->shortcuts().refusals().empty());
}

TEST_F(TilewiseAppTest, HotKeySettingsHoldFromTheStart)
{
    // Stored shortcuts for both names; the quick action stays off.
    store.set("KeyboardShortcuts_pair43", std::string(R"({"carbonKeyCode":35,"carbonModifiers":6144})"));
    store.set("KeyboardShortcuts_launchQuickAction",
              std::string(R"({"carbonKeyCode":35,"carbonModifiers":6400})"));
    for (bool threeWay : {false, true}) {
        store.set("TilewiseThreeWayPairKey", threeWay);
        MemoryHotKeyRegistrar keys;
        auto app = start(keys);
        EXPECT_EQ(keys.isRegistered(keyP, control | option), threeWay);
        EXPECT_FALSE(keys.isRegistered(keyP, control | option | command));
        app->storage().setThreeWayPair(!threeWay);
        EXPECT_EQ(keys.isRegistered(keyP, control | option), !threeWay);
    }
}

// A slot runs the action that holds it at the press, whoever lent it last:
// this process at its start, or another writer of the store later.
TEST_F(TilewiseAppTest, SlotShortcutsRunTheActionHoldingTheSlotNow)
{
    std::vector<QuickAction::Action> actions = QuickAction::defaultActions();
    QuickAction::Action& topHalf = actions[0];
    QuickAction::Action& centerHalf = actions[4];
    centerHalf.shortcutEnabled = true;
    centerHalf.shortcutSlot = 0;
    storeQuickActions(store, actions);
    store.set("KeyboardShortcuts_Slot0", std::string(R"({"carbonKeyCode":18,"carbonModifiers":6144})"));
    auto app = start(hotKeys);
    ASSERT_TRUE(hotKeys.press(18, control | option));
    loop.runPending();
    EXPECT_EQ(windows.frame(window), Rect(360, 25, 720, 875));

    // Handed on by tilewisectl: the store is all this process sees.
    centerHalf.shortcutEnabled = false;
    centerHalf.shortcutSlot.reset();
    topHalf.shortcutEnabled = true;
    topHalf.shortcutSlot = 0;
    storeQuickActions(store, actions);
    ASSERT_TRUE(hotKeys.press(18, control | option));
    loop.runPending();
    EXPECT_EQ(windows.frame(window), Rect(0, 25, 1440, 437));

    // From outside, by id; the end of the run is told.
    bool finished = false;
    EXPECT_EQ(app->runActionRequested("Center Half", [&] { finished = true; }), TilewiseApp::RunResult::Started);
    EXPECT_TRUE(finished);
    EXPECT_EQ(app->runActionRequested("Gone", nullptr), TilewiseApp::RunResult::UnknownAction);
    windows.setFocused(std::nullopt);
    EXPECT_EQ(app->runActionRequested("Center Half", nullptr), TilewiseApp::RunResult::NoFocusedWindow);
}

} // namespace
} // namespace tilewise
