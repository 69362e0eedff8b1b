// The tray menu: order by the two settings; the ignore toggle, commands and
// key equivalents following the store, the shortcuts and the frontmost app.
#include "app/menu_model.hpp"

#include "platform/memory/memory_alerts.hpp"
#include "platform/memory/memory_hot_key_registrar.hpp"
#include "platform/memory/memory_keyboard_layout.hpp"
#include "quickactions/shortcuts_slot_manager.hpp"
#include "settings/clip.hpp"
#include "settings/json_array.hpp"
#include "settings/memory_defaults_store.hpp"
#include "settings/notification_center.hpp"
#include "settings/storage.hpp"

#include <gtest/gtest.h>

namespace tilewise {
namespace {

using Shortcut = KeyboardShortcuts::Shortcut;
using Strings = std::vector<std::string>;

class MenuModelTest : public ::testing::Test {
protected:
    MenuModelTest()
    {
        QuickAction::Action halves = QuickAction::newAction();
        halves.name = "Halves";
        halves.shortcutSlot = 3;
        storeQuickActions(store, {halves});
        store.set("KeyboardShortcuts_Slot3", Shortcut(18, 6144).toJson());
        shortcuts.addChangeObserver([this](std::string_view n, const KeyboardShortcuts::Name& name) {
            notifications.post(std::string(n), {{"name", name.rawValue}});
        });
    }

    std::unique_ptr<MenuModel> model(std::optional<std::string> version = "1.2")
    {
        MenuHandlers h{[this](OperationType op) { performed.push_back(op); }, {}, {}, {}, {}};
        auto m = std::make_unique<MenuModel>(MenuSources{store, storage, shortcuts, notifications, slots},
                                             std::move(version), std::move(h));
        m->onChange([this] { ++changes; });
        return m;
    }

    static MenuEntry entry(const MenuModel& m, std::string_view title)
    {
        std::vector<MenuEntry> entries = m.entries();
        auto it = std::ranges::find(entries, title, &MenuEntry::title);
        return it == entries.end() ? MenuEntry{} : *it;
    }

    // Separators as "-", small texts in brackets.
    static std::string render(const MenuModel& m)
    {
        std::string out;
        for (const MenuEntry& e : m.entries())
            out += e.kind == MenuEntry::Kind::separator ? "-|"
                   : e.smallFont                        ? "[" + e.title + "]|"
                                                        : e.title + "|";
        return out;
    }

    MemoryDefaultsStore store;
    MemoryAlerts alerts;
    MemoryHotKeyRegistrar hotKeys;
    MemoryKeyboardLayout layout;
    std::optional<FrontmostApp> frontmost = FrontmostApp{"Foo", "org.foo"};
    std::function<void()> frontmostChanged;
    Storage storage{
        store, alerts,
        StorageHooks{{}, {}, {}, [this] { return frontmost; }, [this](auto f) { frontmostChanged = f; }}};
    KeyboardShortcuts shortcuts{store, hotKeys, layout};
    NotificationCenter notifications;
    ShortcutsSlotManager slots{shortcuts, store, nullptr};
    std::vector<OperationType> performed;
    int changes = 0;
};

TEST_F(MenuModelTest, OrderFollowsTheTwoSettingsAndTheVersion)
{
    const std::string clips = "Clip ↑|Clip ↓|Clip ←|Clip →|-|Move ↑|Move ↓|Move ←|Move →|-|Prev Screen|Next "
                              "Screen|-|Prev Space|Next Space|-|Maximize|Center|Restore|Pair|-|";
    const std::string ignore = "-|Ignore Foo|-|-|",
                      tail = "[Current version 1.2]|Check for Updates|About|Quit|";
    EXPECT_EQ(render(*model(std::nullopt)), "Settings|" + ignore + "About|Quit|");
    struct Case {
        bool clips, actions;
        std::string expected;
    } cases[] = {
        {false, false, "Settings|" + ignore + tail},
        {true, false, clips + ignore + "Settings|" + tail},
        {false, true, "Halves|-|" + ignore + "Settings|" + tail},
        {true, true, clips + "Halves|-|" + ignore + "Settings|" + tail},
    };
    for (const Case& c : cases) {
        storage.setShowClipInMenubar(c.clips);
        storage.setShowActionsInMenubar(c.actions);
        EXPECT_EQ(render(*model()), c.expected) << c.clips << c.actions;
    }
    EXPECT_EQ(entry(*model(), "Halves").keyEquivalent, Shortcut(18, 6144)) << "the key of the action's slot";
}

TEST_F(MenuModelTest, ChoicesAndKeysFollowTheStoreAndTheFrontmostApp)
{
    writeJsonArray<std::string>(store, settings_keys::excludes, {"x", "org.foo", "y", "org.foo"});
    storage.setShowClipInMenubar(true);
    auto m = model();
    for (Strings after : {Strings{"x", "y", "org.foo"}, Strings{"x", "y"}, Strings{"x", "y", "org.foo"}}) {
        m->choose(
            entry(*m, excludes(store).back() == "org.foo" ? "Cancel ignore Foo" : "Ignore Foo").command);
        EXPECT_EQ(excludes(store), after) << "the first occurrence goes";
    }
    for (Shortcut maximize : {Shortcut(3, 6144), Shortcut(46, 6400)}) {
        shortcuts.setShortcut(KeyboardShortcuts::Name{"maxmize", std::nullopt}, maximize);
        EXPECT_EQ(entry(*m, "Maximize").keyEquivalent, maximize);
    }
    EXPECT_EQ(changes, 5);

    const MenuCommand center = entry(*m, "Center").command;
    m->choose(center);
    storage.setUseExactCenter(true);
    m->choose(center);
    EXPECT_EQ(performed, (std::vector{OperationType::Center, OperationType::ExactCenter}));

    frontmost = FrontmostApp{"Bar", std::nullopt};
    frontmostChanged();
    EXPECT_GT(changes, 5);
    EXPECT_EQ(render(*m).find("gnore"), std::string::npos) << "no identifier, no entry";
    m.reset();
    storage.setShowClipInMenubar(false); // no observer left behind to call
}

} // namespace
} // namespace tilewise
