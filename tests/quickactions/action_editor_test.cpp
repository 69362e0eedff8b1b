// The actions page: adding, deleting, reordering and switching shortcuts,
// each written to the stored list at once.
#include "memory_slots.hpp"

#include "platform/memory/manual_run_loop.hpp"
#include "platform/memory/memory_alerts.hpp"
#include "quickactions/action_editor.hpp"
#include "settings/notification_center.hpp"

#include <gtest/gtest.h>

#include <algorithm>

namespace tilewise {
namespace {

using Ids = std::vector<std::string>;
using T = QuickAction::OperationType;

class ActionEditorTest : public ::testing::Test, protected MemorySlots {
protected:
    // Actions "a0", "a1", ...; the first `held` hold slots 0, 1, ... with their shortcuts on.
    void holding(std::int64_t count, std::int64_t held)
    {
        std::vector<QuickAction::Action> list;
        for (std::int64_t i = 0; i < count; ++i)
            list.push_back({std::string("a").append(std::to_string(i)),
                            "",
                            i < held,
                            i < held ? std::optional(i) : std::nullopt,
                            -1,
                            {}});
        storeQuickActions(store, list);
    }
    Ids ids() const
    {
        Ids out;
        for (const QuickAction::Action& a : editor.actions())
            out.push_back(a.id);
        return out;
    }

    MemoryAlerts alerts;
    ManualRunLoop loop;
    NotificationCenter center;
    ActionEditor editor{store, slots, alerts, loop, center};
};

TEST_F(ActionEditorTest, AddingAppendsNewActionAndOpensItsEditorATenthOfASecondLater)
{
    holding(1, 1);
    Ids opened;
    center.addObserver("editAction",
                       [&](const NotificationCenter::UserInfo& i) { opened.push_back(i.at("actionId")); });
    const std::string id = editor.addAction();
    EXPECT_EQ(ids(), (Ids{"a0", id}));
    EXPECT_EQ(editor.actions().back().name, "New Action");
    loop.advance(std::chrono::milliseconds(99));
    EXPECT_TRUE(opened.empty());
    loop.advance(std::chrono::milliseconds(1));
    EXPECT_EQ(opened, Ids{id});
}

TEST_F(ActionEditorTest, DeletingResetsTheSlotsWhichAreLentAgain)
{
    holding(43, 42);
    EXPECT_FALSE(editor.setShortcutEnabled("a42", true));
    EXPECT_EQ(alerts.messages(), Ids{"No shortcuts left"});
    EXPECT_FALSE(editor.actions().back().shortcutEnabled);
    for (std::size_t slot : {1, 3})
        shortcuts.setShortcut(slots.slots()[slot], {int(slot), KeyboardShortcuts::control});
    editor.selected = {"a3", "a1"};
    ASSERT_TRUE(editor.deleteSelected());
    EXPECT_TRUE(editor.selected.empty());
    EXPECT_EQ(editor.actions().size(), 41u);
    EXPECT_FALSE(shortcuts.shortcut(slots.slots()[1]));
    EXPECT_FALSE(shortcuts.shortcut(slots.slots()[3]));
    EXPECT_TRUE(editor.setShortcutEnabled("a42", true));
    EXPECT_EQ(slots.nextFreeSlot(), std::optional<std::int64_t>(3));
    ASSERT_TRUE(editor.deleteRows({0, 99}));
    EXPECT_EQ(editor.actions().front().id, "a2");
}

TEST_F(ActionEditorTest, MovingKeepsIdsAndStoresTheNewOrder)
{
    const struct {
        std::vector<std::size_t> from;
        std::size_t to;
        Ids order;
    } cases[] = {{{2}, 0, {"a2", "a0", "a1"}}, {{0}, 3, {"a1", "a2", "a0"}}, {{0, 2}, 1, {"a0", "a2", "a1"}}};
    for (const auto& c : cases) {
        holding(3, 0);
        ASSERT_TRUE(editor.moveActions(c.from, c.to));
        EXPECT_EQ(ids(), c.order);
    }
    for (T type : {T::moveToCenter, T::pair, T::resizeToSize})
        ASSERT_TRUE(editor.appendOperation("a1", type));
    const auto before = editor.actions()[2].operations;
    ASSERT_TRUE(editor.moveOperations("a1", {2}, 0)); // the third runs first
    const auto after = editor.actions()[2].operations;
    EXPECT_EQ(after, (std::vector<QuickAction::Operation>{before[2], before[0], before[1]}));
}

TEST_F(ActionEditorTest, AListThatDoesNotReadIsNeverWrittenOver)
{
    const std::string text = R"([{"id": "mine", "name": "half-written")";
    store.set("TilewiseQuickActions", text);
    const std::string builtIn = editor.actions().front().id;
    EXPECT_FALSE(editor.rename(builtIn, "x"));
    EXPECT_TRUE(editor.addAction().empty());
    EXPECT_FALSE(editor.setShortcutEnabled(builtIn, true));
    EXPECT_EQ(store.stringValue("TilewiseQuickActions"), std::optional(text));
    EXPECT_EQ(alerts.messages().size(), 3u);
}

TEST_F(ActionEditorTest, DirectionMaximaAreOfferedOnlyInTheResizeEditor)
{
    auto offers = [](const OperationMenu& menu, T type) {
        for (const OperationMenuGroup& g : menu)
            for (const auto& row : g.rows)
                if (std::find(row.begin(), row.end(), type) != row.end())
                    return true;
        return false;
    };
    EXPECT_FALSE(offers(addOperationMenu(), T::resizeToHorizontalMaximize));
    EXPECT_TRUE(offers(resizeTypeMenu(), T::resizeToHorizontalMaximize));
    EXPECT_FALSE(offers(pairLayoutMenu(), T::moveAndResizeToVerticalCenterThird));
}

} // namespace
} // namespace tilewise
