// Quick actions: the built-in list, labels, new values and the strict stored form.
#include "quickactions/quick_action.hpp"
#include "settings/memory_defaults_store.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <functional>

namespace tilewise {
namespace {

using Action = QuickAction::Action;
using Operation = QuickAction::Operation;
using Type = QuickAction::OperationType;

// This test verifies that one unreadable element makes the whole list read as
// the built-in one (text kept), and that readable variants decode as given.
TEST(QuickActionTest, ReadingIsStrictAndOneBadElementGivesTheBuiltInList)
{
    const Action first = QuickAction::defaultActions()[0];
    const nlohmann::json valid = nlohmann::json::parse(encodeQuickActions({first}))[0];
    const nlohmann::json gone(nlohmann::json::value_t::discarded);
    using Array = std::vector<nlohmann::json>;
    const struct {
        const char* path;
        nlohmann::json value;                // gone: the member is removed
        std::function<void(Action&)> expect; // none: unreadable
    } cases[] = {
        {"/operations/0/pairCurrentTo", gone, nullptr},
        {"/key", gone, nullptr},
        {"/operations/0/type", "moveAndResizeToMiddle", nullptr},
        {"/operations/0/resizeType", "maximize", nullptr},
        {"/operations/0/resizeType", "maxmize", [](Action&) {}},
        {"/operations/0/resizeType", "size",
         [](Action& a) { a.operations[0].resizeType = QuickAction::ResizeTypes::size; }},
        {"/shortcutSlot", nullptr, [](Action&) {}},
        {"/shortcutSlot", 7, [](Action& a) { a.shortcutSlot = 7; }},
        {"/shortcutSlot", 7.5, nullptr},
        {"/operations/0/position", Array{12.5}, nullptr},
        {"/operations/0/size", Array{"800", 600}, nullptr},
        {"/operations/0/position", Array{12.5, 40, 7},
         [](Action& a) {
             a.operations[0].position = {12.5, 40};
         }},
        {"/key", 1.5, nullptr},
        {"/operations/0/aroundSpace", true, nullptr},
        {"/operations/0/aroundSpace", 4.0, [](Action& a) { a.operations[0].aroundSpace = 4; }},
        {"/operations/0/sizeClipY/numerator", "1", nullptr},
        {"/operations", nlohmann::json::object(), nullptr},
        {"/name", 3, nullptr},
        {"/operations/0/colour", "red", [](Action&) {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.path).append(" ").append(c.value.dump()));
        nlohmann::json edited = valid;
        const nlohmann::json::json_pointer at(c.path);
        if (c.value.is_discarded())
            edited[at.parent_pointer()].erase(at.back());
        else
            edited[at] = c.value;
        // One bad element spoils the list, whatever the others hold.
        const std::string text = nlohmann::json::array({valid, edited}).dump();
        MemoryDefaultsStore store;
        store.set(settings_keys::quickActions, text);
        if (!c.expect) {
            EXPECT_EQ(quickActions(store), QuickAction::defaultActions());
            EXPECT_EQ(store.stringValue(settings_keys::quickActions), text);
            continue;
        }
        Action expected = first;
        c.expect(expected);
        EXPECT_EQ(quickActions(store), (std::vector<Action>{first, expected}));
    }
}

TEST(QuickActionTest, WritesMembersInOrderAndRoundTrips)
{
    MemoryDefaultsStore store;
    ASSERT_TRUE(storeQuickActions(store, QuickAction::defaultActions()));
    EXPECT_EQ(quickActions(store), QuickAction::defaultActions());
    EXPECT_THAT(
        *store.stringValue(settings_keys::quickActions),
        testing::StartsWith(
            R"([{"id":"Top Half","name":"Top Half","shortcutEnabled":false,"key":13,"operations":[{)"
            R"("id":"Top Half","type":"moveAndResizeToTopHalf","resizeType":"maxmize",)"
            R"("cornerType":"topLeft","positionUnitType":"clip","sizeUnitType":"clip","edgeType":"top",)"
            R"("position":[0,0],"positionPercent":[0,0],"positionClipX":{"numerator":1,"denominator":2},)"
            R"("positionClipY":{"numerator":1,"denominator":2},"size":[800,600],"sizePercent":[100,100],)"
            R"("sizeClipX":{"numerator":1,"denominator":2},"sizeClipY":{"numerator":1,"denominator":2},)"
            R"("displayName":"","exactCenter":false,"aroundSpace":0,"moveDistanceX":0,"moveDistanceY":0,)"
            R"("pairCurrentTo":"moveAndResizeToLeftHalf"}]},)"));

    Action slotted = QuickAction::newAction();
    slotted.shortcutEnabled = true;
    slotted.shortcutSlot = 41;
    slotted.operations = {QuickAction::newOperation(Type::moveToPosition),
                          QuickAction::newOperation(Type::pair)};
    slotted.operations[0].position = {12.5, 40};
    slotted.operations[1].pairCurrentTo = Type::moveAndResizeToRightFiveSixths;
    ASSERT_TRUE(storeQuickActions(store, {slotted}));
    const std::string text = *store.stringValue(settings_keys::quickActions);
    EXPECT_THAT(text, testing::HasSubstr(R"("shortcutEnabled":true,"shortcutSlot":41,"key":-1,)"));
    EXPECT_THAT(text, testing::HasSubstr(R"("position":[12.5,40],)"));
    EXPECT_EQ(quickActions(store), std::vector<Action>{slotted});
}

TEST(QuickActionTest, FreshStoreListsTheBuiltInActionsInOrder)
{
    const std::vector<Action> actions = quickActions(MemoryDefaultsStore{});
    const std::vector<std::string> ids{"Top Half",          "Bottom Half",         "Left Half",
                                       "Right Half",        "Center Half",         "Top Left Quarter",
                                       "Top Right Quarter", "Bottom Left Quarter", "Bottom Right Quarter",
                                       "Top Third",         "Bottom Third",        "Left Third",
                                       "Right Third",       "Center Third",        "Top Left Corner",
                                       "Top Right Corner",  "Bottom Left Corner",  "Bottom Right Corner",
                                       "Top Two Thirds",    "Bottom Two Third",    "Left Two Thirds",
                                       "Right Two Thirds",  "Center Two Thirds"};
    const std::vector<std::int64_t> keys{13, 1, 0, 2, 8, 32, 34, 38, 40};
    ASSERT_EQ(actions.size(), ids.size());
    for (std::size_t i = 0; i < ids.size(); ++i) {
        SCOPED_TRACE(ids[i]);
        EXPECT_EQ(actions[i].id, ids[i]);
        EXPECT_EQ(actions[i].key, i < keys.size() ? keys[i] : -1);
        EXPECT_FALSE(actions[i].shortcutEnabled || actions[i].shortcutSlot);
        ASSERT_EQ(actions[i].operations.size(), 1u);
        if (i != 19) {
            EXPECT_EQ(actions[i].operations[0].id, ids[i]);
        }
    }
    EXPECT_EQ(actions[19].name, "Bottom Two Thirds");
    EXPECT_EQ(actions[19].operations[0].id, "Bottom Two Thirds");
    EXPECT_EQ(actions[14].name, "Move to Top Left Corner");
    EXPECT_EQ(actions[16].operations[0].cornerType, QuickAction::CornerTypes::bottomLeft);
    const Operation& centerHalf = actions[4].operations[0];
    EXPECT_EQ(centerHalf.sizeUnitType, QuickAction::UnitTypes::percent);
    EXPECT_EQ(centerHalf.positionPercent, (Size{25, 0}));
    EXPECT_EQ(centerHalf.sizePercent, (Size{50, 100}));
    const Operation& centerTwoThirds = actions[22].operations[0];
    EXPECT_EQ(centerTwoThirds.type, Type::moveAndResizeToFrame);
    EXPECT_EQ(centerTwoThirds.positionUnitType, QuickAction::UnitTypes::clip);
    EXPECT_EQ(centerTwoThirds.positionClipY, (Clip{0, 6}));
    EXPECT_EQ(centerTwoThirds.sizeClipX, (Clip{2, 3}));
}

TEST(QuickActionTest, LabelsAndRawValues)
{
    const std::pair<Type, const char*> labels[] = {
        {Type::moveAndResizeToMaximize, "Maximize"},
        {Type::resizeToMaximize, "Maximize"},
        {Type::moveAndResizeToHorizontalCenterThird, "Horizontal Center Third"},
        {Type::moveAndResizeToBottomThreeFourths, "Bottom 3/4"},
        {Type::moveAndResizeToRightTwoFifths, "Right 2/5"},
        {Type::moveAndResizeToLeftSixth, "Left 1/6"},
        {Type::moveAndResizeToFrame, "Custom Layout"},
        {Type::resizeToVerticalTwoThirds, "Vertical Two Thirds"},
        {Type::pair, "Quick Pair"},
    };
    for (const auto& [type, text] : labels)
        EXPECT_EQ(label(type), text) << rawValue(type);
    EXPECT_EQ(label(QuickAction::UnitTypes::clip), "clip");
    EXPECT_EQ(label(QuickAction::UnitTypes::percent), "%");
    EXPECT_EQ(label(QuickAction::UnitTypes::px), "pt");
    EXPECT_EQ(rawValue(QuickAction::UnitTypes::px), "px");

    for (std::size_t i = 0; i < QuickAction::operationTypeCount; ++i) {
        const auto type = static_cast<Type>(i);
        EXPECT_EQ(fromRawValue<Type>(rawValue(type)), type) << i;
    }
    EXPECT_EQ(fromRawValue<Type>("MoveToCenter"), std::nullopt);
}

TEST(QuickActionTest, NewValuesHaveDefaultsAndFreshUuids)
{
    const Operation op = QuickAction::newOperation(Type::moveByDistance);
    Operation expected;
    expected.id = op.id;
    expected.type = Type::moveByDistance;
    EXPECT_EQ(op, expected); // the defaults' values are in the stored text checked above

    const Action action = QuickAction::newAction();
    EXPECT_EQ(action, (Action{action.id, "New Action", false, std::nullopt, -1, {}}));
    const testing::Matcher<std::string> uuid =
        testing::MatchesRegex("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
    EXPECT_THAT(op.id, uuid);
    EXPECT_THAT(action.id, uuid);
    EXPECT_NE(op.id, action.id);
}

} // namespace
} // namespace tilewise
