// The shortcut catalogue: default combinations, exact centre at the press, quick action, Fn double tap.
#include "platform/diagnostics.hpp"
#include "platform/memory/manual_run_loop.hpp"
#include "platform/memory/memory_hot_key_registrar.hpp"
#include "platform/memory/memory_keyboard_layout.hpp"
#include "platform/memory/memory_modifier_monitor.hpp"
#include "settings/memory_defaults_store.hpp"
#include "shortcuts/key_text.hpp"
#include "shortcuts/shortcuts_manager_state.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>

namespace tilewise {
namespace {

using Shortcut = KeyboardShortcuts::Shortcut;
using enum OperationType;
constexpr int controlOption = KeyboardShortcuts::control | KeyboardShortcuts::option;
constexpr std::uint64_t fnDown = KeyboardShortcuts::functionFlag;

class ShortcutsManagerStateTest : public ::testing::Test {
protected:
    ShortcutsManagerStateTest() { start(); }

    // Everything but the store is created anew, as after a restart.
    void start(ShortcutsManagerState::OpenQuickActionPanel openPanel = nullptr)
    {
        state.reset();
        service.reset();
        registrar = std::make_unique<MemoryHotKeyRegistrar>();
        monitor = std::make_unique<MemoryModifierMonitor>();
        service = std::make_unique<KeyboardShortcuts>(store, *registrar, layout);
        state = std::make_unique<ShortcutsManagerState>(
            *service, store, *monitor, loop, [this](OperationType op) { performed.push_back(op); },
            std::move(openPanel));
    }
    void press(int key, int modifiers = controlOption) { registrar->press(key, modifiers); }
    // One tap: the Fn key goes down, then every modifier is released.
    void tapFn(std::uint64_t otherFlags = 0)
    {
        monitor->emit({ShortcutsManagerState::fnKeyCode, fnDown | otherFlags});
        monitor->emit({ShortcutsManagerState::fnKeyCode, otherFlags});
    }

    MemoryDefaultsStore store;
    MemoryKeyboardLayout layout;
    ManualRunLoop loop;
    std::unique_ptr<MemoryHotKeyRegistrar> registrar;
    std::unique_ptr<MemoryModifierMonitor> monitor;
    std::unique_ptr<KeyboardShortcuts> service;
    std::unique_ptr<ShortcutsManagerState> state;
    std::vector<OperationType> performed;
    std::ostringstream out, err;
    diag::Capture capture{out, err};
};

TEST_F(ShortcutsManagerStateTest, FreshStoreBindsTheDefaultCombinationsAndCenterReadsItsSettingAtEachPress)
{
    press(Key::leftArrow);
    press(Key::f);
    press(Key::rightArrow, controlOption | KeyboardShortcuts::command);
    press(Key::leftBracket);
    press(Key::c);
    store.set("TilewiseUseExactCenterKey", true);
    press(Key::c);
    store.set("TilewiseUseExactCenterKey", false);
    press(Key::c);
    EXPECT_EQ(performed, (std::vector<OperationType>{Left, Maximize, MoveRightward, PreviousScreen, Center,
                                                     ExactCenter, Center}));
    // 4 clips, 4 moves, maximize, center, pair and the two screens.
    EXPECT_EQ(registrar->registrationCount(), 13u);
    EXPECT_EQ(service->shortcut(*state->name("clipLeftHalf")), std::nullopt);
    // The stored name keeps its old spelling.
    EXPECT_EQ(state->name("maximize"), nullptr);
}

TEST_F(ShortcutsManagerStateTest, EveryNameWithAStoredCombinationPerformsItsOperation)
{
    // Give every row its own combination, then press them all in order: a
    // name shared by two rows, or a row on the wrong operation, shows here.
    for (std::size_t i = 0; i < state->configs.size(); ++i)
        service->setShortcut(state->configs[i].key,
                             Shortcut(static_cast<int>(i), KeyboardShortcuts::command));
    for (std::size_t i = 0; i < state->configs.size(); ++i)
        press(static_cast<int>(i), KeyboardShortcuts::command);
    ASSERT_EQ(performed.size(), 33u);
    for (std::size_t i = 0; i < performed.size(); ++i)
        EXPECT_EQ(performed[i], ShortcutsManagerState::catalogue()[i].operation) << i;
}

TEST_F(ShortcutsManagerStateTest, QuickActionShortcutSaysThePanelIsMissingOrOpensIt)
{
    const auto& launch = state->launchQuickAction();
    EXPECT_EQ(service->shortcut(launch), std::nullopt);
    service->setShortcut(launch, Shortcut(Key::space, controlOption));

    press(Key::space);
    EXPECT_EQ(err.str(), "tilewise: launchQuickAction: the quick action panel is not available yet\n");

    int opened = 0;
    start([&] { ++opened; });
    press(Key::space);
    EXPECT_EQ(opened, 1);
    EXPECT_TRUE(performed.empty());
}

TEST_F(ShortcutsManagerStateTest, AFirstFnTapNearTheClockOriginIsNoDoubleTap)
{
    store.set("TilewiseQuickFullscreen", true);
    EXPECT_EQ(monitor->monitorCount(), 1u);
    loop.advance(std::chrono::milliseconds(100));
    monitor->emit({ShortcutsManagerState::fnKeyCode, fnDown});
    EXPECT_TRUE(performed.empty());
}

class FnDoubleTapTest : public ShortcutsManagerStateTest {
protected:
    FnDoubleTapTest()
    {
        store.set("TilewiseQuickFullscreen", true);
        loop.advance(std::chrono::milliseconds(10000));
    }
};

TEST_F(FnDoubleTapTest, ATapWithin250MsOfThePreviousOneMaximizes)
{
    // The gaps between taps, and the maximizes they make.
    const std::pair<std::vector<int>, std::size_t> cases[] = {{{200}, 1}, {{300, 250}, 0}, {{200, 200}, 2}};
    for (const auto& [gaps, maximizes] : cases) {
        performed.clear();
        loop.advance(std::chrono::milliseconds(10000));
        tapFn();
        for (int gap : gaps) {
            loop.advance(std::chrono::milliseconds(gap));
            tapFn();
        }
        EXPECT_EQ(performed, std::vector<OperationType>(maximizes, Maximize)) << gaps.size();
    }
}

TEST_F(FnDoubleTapTest, OffSettingOrOtherKeysDoNothing)
{
    store.set("TilewiseQuickFullscreen", false);
    tapFn();
    tapFn();
    store.set("TilewiseQuickFullscreen", true);
    // A Function flag on another key (an arrow on a laptop) is no Fn press.
    monitor->emit({Key::leftArrow, fnDown});
    monitor->emit({Key::leftArrow, fnDown});
    EXPECT_TRUE(performed.empty());
    EXPECT_FALSE(state->lastFnPressTime);
}

TEST_F(FnDoubleTapTest, FnWithAnotherModifierStillCounts)
{
    tapFn(KeyboardShortcuts::shiftFlag);
    EXPECT_TRUE(state->isFnPressed);
    tapFn(KeyboardShortcuts::shiftFlag);
    EXPECT_EQ(performed.size(), 1u);
    monitor->emit({ShortcutsManagerState::fnKeyCode, 0});
    EXPECT_FALSE(state->isFnPressed);
}

} // namespace
} // namespace tilewise
