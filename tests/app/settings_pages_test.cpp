// The settings pages: rows that come and go with the settings and actions,
// version fallbacks, and switches that write the setting they show.
#include "app/settings_pages.hpp"

#include "platform/memory/memory_alerts.hpp"
#include "platform/memory/memory_hot_key_registrar.hpp"
#include "platform/memory/memory_keyboard_layout.hpp"
#include "quickactions/shortcuts_slot_manager.hpp"
#include "settings/memory_defaults_store.hpp"
#include "settings/storage.hpp"

#include <gtest/gtest.h>

#include <map>

namespace tilewise {
namespace {

class SettingsPageTest : public ::testing::Test {
protected:
    // One line per section: its title and each row as label=name.
    std::vector<std::string> outline()
    {
        std::vector<std::string> out;
        for (const ShortcutSection& s : shortcutSections(storage, quickActions(store), slots)) {
            std::string line(s.title);
            for (const ShortcutRow& row : s.rows)
                line.append(" ").append(row.label).append("=").append(row.name);
            out.push_back(line);
        }
        return out;
    }

    MemoryDefaultsStore store;
    MemoryAlerts alerts;
    MemoryHotKeyRegistrar hotKeys;
    MemoryKeyboardLayout layout;
    Storage storage{store, alerts, {}};
    KeyboardShortcuts shortcuts{store, hotKeys, layout};
    ShortcutsSlotManager slots{shortcuts, store, nullptr};
};

TEST_F(SettingsPageTest, ShortcutRowsFollowThreeWayPairAndActionShortcuts)
{
    std::vector<std::string> fresh = outline();
    ASSERT_EQ(fresh.size(), 5u) << "no Actions section on a fresh store";
    EXPECT_EQ(fresh[4], "Other Maximize=maxmize Center=center Pair=pair Restore=restore");

    storage.setThreeWayPair(true);
    std::vector<QuickAction::Action> actions = quickActions(store);
    ASSERT_TRUE(slots.setShortcutEnabled(actions[2].id, true).slot);
    std::vector<std::string> on = outline();
    ASSERT_EQ(on.size(), 6u);
    EXPECT_EQ(on[4], "Other Maximize=maxmize Center=center Pair=pair Three-way Pair=pair43 Restore=restore");
    EXPECT_EQ(on[5], "Actions " + actions[2].name + "=Slot0");

    storage.setThreeWayPair(false);
    slots.setShortcutEnabled(actions[2].id, false);
    EXPECT_EQ(outline(), fresh);
}

TEST_F(SettingsPageTest, VersionTextsFallBackEachOnItsOwn)
{
    EXPECT_EQ(generalPage("1.2", "42").versionLine, "Current version 1.2 (42)");
    EXPECT_EQ(generalPage(std::nullopt, "42").versionLine, "Current version $VERSION (42)");
    EXPECT_EQ(generalPage("1.2", std::nullopt).versionLine, "Current version 1.2 ($BUILD_NO)");
    EXPECT_EQ(aboutPage(std::nullopt).version, "$VERSION");
}

TEST_F(SettingsPageTest, EverySwitchWritesTheSettingItShows)
{
    namespace k = settings_keys;
    const std::map<std::string_view, const char*> keys{
        {"Launch at login", k::launchAtLogin},       {"Show Menubar Icon", k::showMenubarIcon},
        {"Clip from Menubar", k::showClipInMenubar}, {"Quick maximize", k::quickFullscreen},
        {"Smart Pair Mode", k::smartPairMode},       {"Pair Window Lock", k::pairWindowLock},
        {"Three-way Pair", k::threeWayPair},         {"Use Exact Center", k::useExactCenter}};
    std::vector<SwitchRow> rows = generalPage("1", "1").switches;
    for (AdvancedMode mode : {AdvancedMode::advanced, AdvancedMode::experimental})
        std::ranges::copy(advancedMode(mode).switches, std::back_inserter(rows));
    rows.push_back(exactCenterSwitch);
    ASSERT_EQ(rows.size(), keys.size());
    for (const SwitchRow& row : rows) {
        bool next = !switchValue(storage, row.field);
        setSwitch(storage, row.field, next);
        EXPECT_EQ(store.boolValue(keys.at(row.label)), next) << row.label;
        EXPECT_EQ(switchValue(storage, row.field), next) << row.label;
    }
}

} // namespace
} // namespace tilewise
