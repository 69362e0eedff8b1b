// Quick action shortcut slots: lending, giving back, and who runs on a press.
#include "platform/memory/memory_hot_key_registrar.hpp"
#include "platform/memory/memory_keyboard_layout.hpp"
#include "quickactions/shortcuts_slot_manager.hpp"
#include "settings/memory_defaults_store.hpp"

#include <gtest/gtest.h>

namespace tilewise {
namespace {

using Slot = std::optional<std::int64_t>;
using Names = std::vector<std::string>;

class ShortcutsSlotManagerTest : public ::testing::Test {
protected:
    // Actions "a0", "a1", ... holding these slots, their shortcuts on.
    void holding(const std::vector<Slot>& slots)
    {
        std::vector<QuickAction::Action> actions;
        for (std::size_t i = 0; i < slots.size(); ++i)
            actions.push_back(
                {std::string("a").append(std::to_string(i)), "", slots[i].has_value(), slots[i], -1, {}});
        storeQuickActions(store, actions);
    }
    // Records Control-Option and key code 10 + slot for the slot, presses it.
    Names press(std::int64_t slot)
    {
        const int code = int(10 + slot), mods = KeyboardShortcuts::control | KeyboardShortcuts::option;
        service.setShortcut(manager.slots()[slot], {code, mods});
        ran.clear();
        registrar.press(code, mods);
        return ran;
    }

    MemoryDefaultsStore store;
    MemoryKeyboardLayout layout;
    MemoryHotKeyRegistrar registrar;
    KeyboardShortcuts service{store, registrar, layout};
    Names ran;
    ShortcutsSlotManager manager{service, store,
                                 [this](const QuickAction::Action& a) { ran.push_back(a.id); }};
};

TEST_F(ShortcutsSlotManagerTest, LendingTakesTheLowestFreeSlotAndIgnoresSlotsOutOfRange)
{
    EXPECT_TRUE(manager.isKeyUsed(13)); // the built-in "Top Half"
    holding({0, 42, 1, 3, -1, std::nullopt});
    auto list = quickActions(store);
    list[3].shortcutEnabled = false; // switched off, still blocks slot 3
    storeQuickActions(store, list);
    manager.registerSlotHandlers();
    EXPECT_EQ(manager.setShortcutEnabled("a5", true).slot, Slot(2));
    EXPECT_EQ(manager.setShortcutEnabled("a4", true).slot, Slot(4));
    EXPECT_TRUE(manager.deleteActions({"a1"}));
    EXPECT_EQ(manager.setShortcutEnabled("nobody", true).error, ShortcutsSlotManager::noSuchAction);

    std::vector<Slot> all(43, 42);
    for (std::int64_t i = 0; i < 42; ++i)
        all[i] = i;
    holding(all);
    const auto full = manager.setShortcutEnabled("a42", true);
    EXPECT_EQ(full.error, "No shortcuts left");
    EXPECT_FALSE(full.slot || quickActions(store)[42].shortcutEnabled);
    EXPECT_FALSE(manager.isKeyUsed(-1) || manager.isKeyUsed(13)); // no action has a menu key
}

TEST_F(ShortcutsSlotManagerTest, APressRunsOnlyTheSlotsCurrentHolderAndGivingASlotBackResetsItsKey)
{
    holding({0, std::nullopt, 2});
    manager.registerSlotHandlers();
    EXPECT_EQ(press(2), Names{"a2"});
    EXPECT_TRUE(manager.deleteActions({"a2"}));
    EXPECT_TRUE(manager.setShortcutEnabled("a0", false).error.empty());
    for (std::int64_t slot : {0, 2})
        EXPECT_EQ(service.shortcut(manager.slots()[slot]), std::nullopt);
    // Slot 0 goes to a1 and back to a0, each bound to it on the way.
    EXPECT_EQ(manager.setShortcutEnabled("a1", true).slot, Slot(0));
    EXPECT_EQ(press(0), Names{"a1"});
    manager.setShortcutEnabled("a1", false);
    EXPECT_EQ(manager.setShortcutEnabled("a0", true).slot, Slot(0));
    EXPECT_EQ(press(0), Names{"a0"});

    ran.clear();
    manager.runActionById("gone");
    manager.runActionById("a1");
    EXPECT_EQ(ran, Names{"a1"});
}

} // namespace
} // namespace tilewise
