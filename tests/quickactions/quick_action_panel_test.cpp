// The quick action panel over the built-in actions, driven as the widget
// drives it: open, keys, typing into the search field, clicks, closing.
#include "quickactions/quick_action_panel.hpp"

#include "platform/memory/memory_alerts.hpp"
#include "platform/memory/memory_keyboard_layout.hpp"
#include "platform/memory/memory_window_access.hpp"
#include "settings/memory_defaults_store.hpp"
#include "settings/storage.hpp"
#include "shortcuts/key_positions.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <sstream>

namespace tilewise {
namespace {

using Outcome = QuickActionPanel::KeyOutcome;
constexpr const char* quarters =
    "Top Left Quarter|Top Right Quarter|Bottom Left Quarter|Bottom Right Quarter";

struct Case {
    bool search;
    // open, outside (the panel lost key status), gear, click:N (row), key:N
    // (a key code), type:C (the key of letter C, then C into the search field).
    const char* steps;
    const char* calls; // run action ids and settings pages, "|"-separated
    bool visible;
    const char* selected; // "" for none
    const char* shown;    // "*" for every stored action
    std::optional<Outcome> lastKey = {};
    bool focusedWindow = true;
    int returnMenuKeyOf = -1; // the built-in action given Return as its menu key
};

// The built-in actions, one screen, one focused window.
struct Desktop {
    MemoryDefaultsStore store;
    MemoryAlerts alerts;
    Storage settings{store, alerts, {}};
    MemoryWindowAccess access;
    MemoryKeyboardLayout layout;
};

std::string joined(const std::vector<std::string>& items)
{
    std::string out;
    for (const std::string& item : items)
        out.append(out.empty() ? "" : "|").append(item);
    return out;
}

TEST(QuickActionPanelTest, EdgeCases)
{
    // clang-format off
    const Case cases[] = {
        {false, "open key:13", "Top Half", false, "", "*"},
        {false, "open key:6", "", true, "", "*", Outcome::consumed},
        {true, "open type:t type:q key:36", "Top Left Quarter", false, "Top Left Quarter", quarters},
        {true, "open key:13", "", true, "", "*", Outcome::toSearchField},
        {true, "open type:t outside open", "", true, "Top Half", "*"},
        {false, "open key:125 outside open key:126", "", true, "Center Two Thirds", "*"},
        {false, "open key:126 key:125", "", true, "Top Half", "*"},
        {true, "open type:t type:z", "", true, "Top Half", "", Outcome::toSearchField},
        {true, "open type:t type:z key:125", "", true, "", "", Outcome::consumed},
        {false, "open outside key:13", "", false, "", "*", Outcome::ignored},
        {true, "open type:q click:1", "Top Right Quarter", false, "Top Left Quarter", quarters},
        {false, "open gear", "actions", false, "", "*"},
        {false, "open key:13", "", false, "", "*", {}, false},
        {false, "open key:125 key:36", "Bottom Half", false, "Top Half", "*", Outcome::consumed, true, 1},
        {false, "open key:125 open", "", true, "Top Half", "*"},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.steps);
        Desktop d;
        std::vector<QuickAction::Action> actions = QuickAction::defaultActions();
        if (c.returnMenuKeyOf >= 0) {
            actions[std::size_t(c.returnMenuKeyOf)].key = 36;
            storeQuickActions(d.store, actions);
        }
        d.settings.setQuickActionSearchEnabled(c.search);
        const Screen main = d.access.addScreen({0, 0, 1440, 900}, {0, 0, 1440, 875}, "Main");
        const WindowElement window = d.access.addWindow({100, 100, 400, 300});
        d.access.setFocused(c.focusedWindow ? std::optional(window) : std::nullopt);
        std::vector<std::string> calls;
        QuickActionPanel panel(d.access, d.store, d.settings, d.layout,
                               {[&](const QuickAction::Action& a, WindowElement w, std::optional<Screen> s) {
                                    EXPECT_EQ(w, window);
                                    EXPECT_EQ(s, std::optional(main));
                                    calls.push_back(a.id);
                                },
                                [&](SettingTab tab) { calls.emplace_back(rawValue(tab)); },
                                {}});
        std::optional<Outcome> lastKey;
        std::istringstream steps(c.steps);
        for (std::string step; steps >> step;) {
            const std::string verb = step.substr(0, step.find(':'));
            const std::string arg = step.substr(verb.size() + (verb.size() < step.size()));
            if (verb == "open")
                panel.open();
            else if (verb == "outside")
                panel.close();
            else if (verb == "gear")
                panel.gear();
            else if (verb == "click")
                panel.clickRow(std::stoul(arg));
            else if (verb == "key")
                lastKey = panel.keyDown(std::stoi(arg));
            else if (verb == "type") {
                const auto keys = keyPositions();
                auto key = std::find_if(keys.begin(), keys.end(),
                                        [&](const KeyPosition& k) { return k.legend == arg; });
                ASSERT_NE(key, keys.end());
                lastKey = panel.keyDown(key->keyCode);
                if (lastKey == Outcome::toSearchField)
                    panel.setSearchKey(panel.searchKey() + arg);
            }
        }
        EXPECT_EQ(joined(calls), c.calls);
        EXPECT_EQ(panel.visible(), c.visible);
        EXPECT_EQ(panel.selected().value_or(""), c.selected);
        std::vector<std::string> shown, all;
        for (const QuickActionPanel::Row& row : panel.rows())
            shown.push_back(row.id);
        std::transform(actions.begin(), actions.end(), std::back_inserter(all), [](auto& a) { return a.id; });
        EXPECT_EQ(joined(shown), std::string(c.shown) == "*" ? joined(all) : c.shown);
        if (c.lastKey) {
            EXPECT_EQ(lastKey, c.lastKey);
        }
    }
}

// Centred across the visible frame, a third of the free height above it;
// none (the window system centres it) without the chosen screen.
TEST(QuickActionPanelTest, PlacementFollowsTheScreenSetting)
{
    struct Row {
        ScreenOption option;
        Point mouse;
        std::optional<Rect> frame;
    };
    const Row rows[] = {
        {ScreenOption::mouseScreen, {2000, 500}, Rect(2250, 600, 300, 300)},
        {ScreenOption::mouseScreen, {-50, 500}, std::nullopt},
        {ScreenOption::activeScreen, {0, 0}, Rect(2250, 600, 300, 300)},
        {ScreenOption::primaryScreen, {2000, 500}, Rect(570, 50, 300, 300)},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(rawValue(r.option));
        Desktop d;
        d.settings.setQuickActionShowScreenOn(r.option);
        d.access.addScreen({0, 0, 1440, 900}, {0, 0, 1440, 375}, "Primary");
        d.access.setMainScreen(d.access.addScreen({1440, 0, 1920, 1200}, {1440, 0, 1920, 1200}, "Second"));
        d.access.setMouseLocation(r.mouse);
        QuickActionPanel panel(d.access, d.store, d.settings, d.layout, {});
        EXPECT_EQ(panel.panelFrame(QuickActionPanel::initialSize), r.frame);
    }
}

} // namespace
} // namespace tilewise
