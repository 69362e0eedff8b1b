// This test verifies the program's start-up on the in-memory platform: the
// settings are written, the default shortcuts move the focused window, and
// the two hot key settings hold from the first moment.
#include "app/tilewise_app.hpp"

#include "platform/memory/manual_run_loop.hpp"
#include "platform/memory/memory_alerts.hpp"
#include "platform/memory/memory_hot_key_registrar.hpp"
#include "platform/memory/memory_keyboard_layout.hpp"
#include "platform/memory/memory_modifier_monitor.hpp"
#include "platform/memory/memory_window_access.hpp"
#include "settings/memory_defaults_store.hpp"

#include <gtest/gtest.h>

namespace tilewise {
namespace {

constexpr int control = 4096, option = 2048, command = 256;
constexpr int leftArrow = 123, rightArrow = 124, keyF = 3, keyP = 35;

class TilewiseAppTest : public ::testing::Test {
protected:
    TilewiseAppTest()
    {
        Screen s = windows.addScreen(Rect(0, 0, 1440, 900), Rect(0, 0, 1440, 875), "Built-in Display");
        windows.setMainScreen(s);
        window = windows.addWindow(Rect(300, 100, 500, 400), 7, 70);
        windows.setFocused(window);
    }

    std::unique_ptr<TilewiseApp> start()
    {
        return std::make_unique<TilewiseApp>(PlatformServices{windows,
                                                              store,
                                                              loop,
                                                              alerts,
                                                              hotKeys,
                                                              layout,
                                                              modifiers,
                                                              [this](bool on) { loginItem = on; },
                                                              [] { return std::optional<FrontmostApp>(); },
                                                              [this](std::function<void()> changed) {
                                                                  activeWindowChanged.push_back(changed);
                                                              }});
    }

    MemoryWindowAccess windows;
    MemoryDefaultsStore store;
    ManualRunLoop loop;
    MemoryAlerts alerts;
    MemoryHotKeyRegistrar hotKeys;
    MemoryKeyboardLayout layout;
    MemoryModifierMonitor modifiers;
    std::optional<bool> loginItem;
    std::vector<std::function<void()>> activeWindowChanged;
    WindowElement window;
};

TEST_F(TilewiseAppTest, DefaultShortcutsMoveTheFocusedWindow)
{
    auto app = start();
    EXPECT_TRUE(store.contains("TilewiseShowMenubarIcon"));
    EXPECT_EQ(loginItem, false) << "the login item follows the stored flag at every start";

    ASSERT_TRUE(hotKeys.press(leftArrow, control | option));
    EXPECT_EQ(windows.frame(window), Rect(0, 100, 720, 400));
    ASSERT_TRUE(hotKeys.press(leftArrow, control | option));
    EXPECT_EQ(windows.frame(window).width(), 480);
    ASSERT_TRUE(hotKeys.press(keyF, control | option));
    EXPECT_EQ(windows.frame(window), Rect(0, 25, 1440, 875));
    ASSERT_TRUE(hotKeys.press(rightArrow, control | option | command));
    EXPECT_EQ(windows.frame(window), Rect(1410, 25, 1440, 875)) << "moved on until 30 points stay visible";
}

TEST_F(TilewiseAppTest, ShortcutsFollowTheStoreAndHealWhenTheActiveWindowChanges)
{
    hotKeys.refuse(keyF, control | option);
    auto app = start();
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
    // Stored shortcuts for both names, with both settings off.
    store.set("KeyboardShortcuts_pair43", std::string(R"({"carbonKeyCode":35,"carbonModifiers":6144})"));
    store.set("KeyboardShortcuts_launchQuickAction",
              std::string(R"({"carbonKeyCode":35,"carbonModifiers":6400})"));
    auto app = start();
    EXPECT_FALSE(hotKeys.isRegistered(keyP, control | option));
    EXPECT_FALSE(hotKeys.isRegistered(keyP, control | option | command));

    app->storage().setThreeWayPair(true);
    EXPECT_TRUE(hotKeys.isRegistered(keyP, control | option));
    app->storage().setThreeWayPair(false);
    EXPECT_FALSE(hotKeys.isRegistered(keyP, control | option));
}

TEST_F(TilewiseAppTest, SettingsEnabledAtStartRegisterTheirHotKeys)
{
    store.set("TilewiseThreeWayPairKey", true);
    store.set("KeyboardShortcuts_pair43", std::string(R"({"carbonKeyCode":35,"carbonModifiers":6144})"));
    auto app = start();
    EXPECT_TRUE(hotKeys.isRegistered(keyP, control | option));
}

// Counts commits as a file store makes them: a batch is one.
class CountingStore : public MemoryDefaultsStore {
public:
    bool set(const std::string& key, const DefaultsValue& v) override
    {
        const int before = writes();
        MemoryDefaultsStore::set(key, v);
        changed_ |= writes() != before;
        commitUnlessBatched();
        return true;
    }
    void beginBatch() override { ++depth_; }
    bool endBatch() override
    {
        --depth_;
        commitUnlessBatched();
        return true;
    }
    int commits = 0;

private:
    void commitUnlessBatched()
    {
        if (depth_ == 0 && changed_) {
            ++commits;
            changed_ = false;
        }
    }
    int depth_ = 0;
    bool changed_ = false;
};

TEST_F(TilewiseAppTest, AFirstStartWritesTheSettingsOnceAndALaterStartNotAtAll)
{
    CountingStore counting;
    // Each start has its own hot keys, as each process does.
    MemoryHotKeyRegistrar first, second;
    auto startOn = [&](MemoryHotKeyRegistrar& keys) {
        return std::make_unique<TilewiseApp>(
            PlatformServices{windows, counting, loop, alerts, keys, layout, modifiers, {}, {}, {}});
    };
    startOn(first);
    EXPECT_EQ(counting.commits, 1);
    startOn(second);
    EXPECT_EQ(counting.commits, 1);
}

} // namespace
} // namespace tilewise
