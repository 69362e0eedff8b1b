// Running quick actions on the example screen: visible frame (0, 25, 1440, 875) in window space.
#include "quickactions/quick_action_perform.hpp"

#include "../layout/layout_test_fixture.hpp"
#include "platform/diagnostics.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace tilewise {
namespace {

using Operation = QuickAction::Operation;
using T = QuickAction::OperationType;
using Unit = QuickAction::UnitTypes;

class QuickActionPerformTest : public LayoutTest {
protected:
    QuickActionPerformer performer{access, manager, loop};
    // Right of the primary screen: window-space visible frame (1440, 25, 1920, 1055).
    Screen external = access.addScreen({1440, -180, 1920, 1080}, {1440, -180, 1920, 1055}, "External");

    // op(type, &Operation::field, value, ...): a new operation with those fields set.
    template <typename... FieldsAndValues> static Operation op(T type, FieldsAndValues... fieldsAndValues)
    {
        Operation o = QuickAction::newOperation(type);
        set(o, fieldsAndValues...);
        return o;
    }
    static void set(Operation&) {}
    template <typename M, typename V, typename... Rest>
    static void set(Operation& o, M Operation::*field, V value, Rest... rest)
    {
        o.*field = value;
        set(o, rest...);
    }
    static std::shared_ptr<ActionContext> context(WindowElement w, const std::optional<Screen>& on = {})
    {
        return std::make_shared<ActionContext>(ActionContext{w, on});
    }
    // Runs to its end on `w` and returns w's frame.
    Rect runOn(WindowElement w, std::vector<Operation> operations, const std::optional<Screen>& on = {})
    {
        performer.perform(std::move(operations), context(w, on));
        loop.runPending();
        return access.frame(w);
    }
};

// Each step runs in its own turn on the frame the previous one wrote, with
// the tracker's records around the direct writes.
TEST_F(QuickActionPerformTest, OperationsRunOnePerTurnOnThePreviousResult)
{
    WindowElement w = focusedWindow({300, 100, 500, 400}, 7);
    int finished = 0;
    auto countFinished = [&] { ++finished; };
    EXPECT_TRUE(performer.run(QuickAction::newAction(), w, std::nullopt, countFinished));
    EXPECT_FALSE(performer.run({"id", "name", false, {}, -1, {op(T::moveAndResizeToLeftHalf)}}, std::nullopt,
                               std::nullopt, countFinished));
    EXPECT_TRUE(access.writes().empty());
    EXPECT_EQ(loop.pendingCount(), 0u);
    EXPECT_EQ(finished, 1);

    // A hand-written list may repeat an operation, id and all: both run.
    const Operation right = op(T::moveByDistance, &Operation::moveDistanceX, 50.0);
    performer.perform({op(T::moveAndResizeToLeftHalf), right, right,
                       op(T::resizeToSize, &Operation::sizeUnitType, Unit::px)},
                      context(w), countFinished);
    EXPECT_EQ(access.writes(), std::vector<Write>{frame(w, {0, 25, 720, 875})});
    ASSERT_EQ(loop.pendingCount(), 1u);
    // Queued behind the second step, ahead of the third that step posts.
    std::vector<Write> afterSecond;
    loop.post([&] { afterSecond = access.writes(); });
    loop.runPending();
    EXPECT_EQ(afterSecond, (std::vector<Write>{frame(w, {0, 25, 720, 875}), position(w, 50, 25)}));
    EXPECT_EQ(access.writes().back(), size(w, 800, 600));
    EXPECT_EQ(finished, 2);
    EXPECT_EQ(access.frame(w), Rect(100, 25, 800, 600));
    EXPECT_EQ(listener.layoutRecords.at(7).originalFrame, Rect(300, 100, 500, 400));
    EXPECT_EQ(listener.layoutRecords.at(7).frame, Rect(100, 25, 800, 600));
}

TEST_F(QuickActionPerformTest, SingleOperationsOnTheExampleScreen)
{
    using O = Operation;
    using E = QuickAction::EdgeTypes;
    constexpr Unit percent = Unit::percent;
    const auto& builtIn = QuickAction::defaultActions();
    const struct {
        std::vector<Operation> operations;
        Rect expected;
        std::size_t writes; // the engine writes a whole frame at once
    } cases[] = {
        {{op(T::moveAndResizeToMaximize, &O::aroundSpace, 10.0)}, {10, 35, 1420, 855}, 2},
        {{op(T::moveAndResizeToMaximize, &O::aroundSpace, 500.0)}, {0, 25, 1440, 875}, 1}, // Maximize
        {builtIn[4].operations, {360, 25, 720, 875}, 2},                                   // Center Half
        {builtIn[13].operations, {480, 25, 480, 875}, 2},                                  // Center Third
        {{op(T::resizeToHorizontalThird)}, {300, 100, 480, 400}, 1},
        {{op(T::resizeToVerticalThird)}, {300, 100, 500, 291}, 1},
        {{op(T::resizeToSize, &O::sizeUnitType, percent, &O::sizePercent, Size{50, 50})},
         {300, 100, 720, 437},
         1},
        {{op(T::moveToEdge, &O::edgeType, E::bottom)}, {300, 500, 500, 400}, 1},
        {{op(T::moveToPosition, &O::positionClipX, Clip{1, 3})}, {480, 462, 500, 400}, 1},
        {{op(T::moveToPosition, &O::positionUnitType, percent, &O::positionPercent, Size{25, 10})},
         {360, 112, 500, 400},
         1},
        {{op(T::moveToCorner, &O::cornerType, QuickAction::CornerTypes::bottomRight)},
         {940, 500, 500, 400},
         1},
        // Denominator 0: nothing to write, and the run goes on.
        {{op(T::resizeToSize, &O::sizeClipY, Clip{1, 0})}, {300, 100, 500, 400}, 0},
        {{op(T::moveToPosition, &O::positionClipX, Clip{0, 0})}, {300, 100, 500, 400}, 0},
        {{op(T::moveAndResizeToFrame, &O::sizeClipX, Clip{1, 0}),
          op(T::moveByDistance, &O::moveDistanceY, -50.0)},
         {300, 50, 500, 400},
         1},
    };
    EXPECT_EQ(operationToLayoutMap().size(), 51u);
    std::ostringstream out, err;
    diag::Capture capture(out, err);
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        WindowElement w = focusedWindow({300, 100, 500, 400});
        access.clearWrites();
        EXPECT_EQ(runOn(w, c.operations), c.expected);
        EXPECT_EQ(access.writes().size(), c.writes);
    }
    const std::string line = "moveAndResizeToFrame moveToPosition resizeToSize\n";
    EXPECT_EQ(out.str(), line + line + line);
    EXPECT_EQ(err.str(), "");
}

TEST_F(QuickActionPerformTest, ScreensOfTheContextAndCustomDisplay)
{
    // The panel's screen: the right edge of the external screen, y kept.
    WindowElement w = focusedWindow({300, 100, 800, 400});
    EXPECT_EQ(runOn(w, {op(T::moveToEdge, &Operation::edgeType, QuickAction::EdgeTypes::right)}, external),
              Rect(2560, 100, 800, 400));

    // An unknown name leaves the context's screen in place.
    access.placeByUser(w, {300, 100, 800, 400});
    access.clearWrites();
    const Operation toProjector = op(T::displayToCustom, &Operation::displayName, std::string("Projector"));
    EXPECT_EQ(runOn(w, {toProjector, op(T::moveAndResizeToLeftHalf)}, external), Rect(1440, 25, 960, 1055));
    EXPECT_EQ(access.writes().size(), 1u);

    // A found one carries the window there and serves the later steps.
    access.placeByUser(w, {300, 100, 800, 400});
    const Operation toExternal = op(T::displayToCustom, &Operation::displayName, std::string("External"));
    const Rect after = runOn(w, {toExternal, op(T::resizeToMaximize)});
    EXPECT_GE(after.x(), 1440);
    EXPECT_EQ(after.size, (Size{1920, 1055}));
}

// pair lays out the current window by its mapped layout, if any, then puts
// the window focused before beside it.
TEST_F(QuickActionPerformTest, PairPlacesThePreviousWindowBeside)
{
    WindowElement previous = access.addWindow({100, 100, 300, 300}, 1, 2);
    listener.lastWindowId = 2;
    listener.windowIdToElement[2] = previous;

    WindowElement current = focusedWindow({0, 25, 720, 875}, 3);
    EXPECT_EQ(runOn(current, {op(T::pair, &Operation::pairCurrentTo, T::moveAndResizeToFrame)}),
              Rect(0, 25, 720, 875));
    EXPECT_EQ(access.frame(previous), Rect(720, 25, 720, 875));

    access.placeByUser(current, {500, 300, 400, 400});
    access.placeByUser(previous, {100, 100, 300, 300});
    EXPECT_EQ(runOn(current, {op(T::pair, &Operation::pairCurrentTo, T::moveAndResizeToRightHalf)}),
              Rect(720, 25, 720, 875));
    EXPECT_EQ(access.frame(previous), Rect(0, 25, 720, 875));
}

TEST_F(QuickActionPerformTest, GuardsSkipTheWrite)
{
    WindowElement w = focusedWindow({300, 100, 500, 400});
    const std::vector<Operation> px = {op(T::resizeToSize, &Operation::sizeUnitType, Unit::px)};
    access.setTrusted(false);
    runOn(w, px);
    access.setTrusted(true);
    access.setFocused(std::nullopt);
    runOn(w, px);
    access.setFocused(w);
    access.setMainScreen(std::nullopt); // and no screen in the context
    runOn(w, px);
    EXPECT_TRUE(access.writes().empty());
}

} // namespace
} // namespace tilewise
