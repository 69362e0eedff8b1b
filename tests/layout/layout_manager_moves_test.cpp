// Moves, corners, centring, screen moves and restore, including writes deferred to the run loop.
#include "layout_test_fixture.hpp"

namespace tilewise {
namespace {

using enum OperationType;
using LayoutManagerMovesTest = LayoutTest;

TEST_F(LayoutManagerMovesTest, MovesStepAWidthOrFiftyPointsStopFlushThenKeepThirtyPointsVisible)
{
    WindowElement w = focusedWindow({100, 100, 400, 300});
    EXPECT_EQ(frameAfter(MoveRightward), Rect(500, 100, 400, 300)) << "step is the window's own width";
    access.placeByUser(w, {1000, 100, 400, 300});
    EXPECT_EQ(frameAfter(MoveRightward).x(), 1040) << "stops flush with the right edge";
    EXPECT_EQ(frameAfter(MoveRightward).x(), 1410) << "then keeps 30 points visible";
    EXPECT_EQ(frameAfter(MoveLeftward).x(), 1040) << "back from parked: flush again";

    access.placeByUser(w, {0, 100, 400, 300});
    EXPECT_EQ(frameAfter(MoveLeftward).x(), -370);
    EXPECT_EQ(frameAfter(MoveRightward).x(), 0);

    access.placeByUser(w, {100, 60, 400, 300});
    EXPECT_EQ(frameAfter(MoveUpwardLittle).y(), 25);
    access.placeByUser(w, {100, 26, 400, 300});
    EXPECT_EQ(frameAfter(MoveUpwardLittle).y(), 25) << "the visible top is the limit";

    access.placeByUser(w, {100, 560, 400, 300});
    EXPECT_EQ(frameAfter(MoveDownwardLittle).y(), 600) << "stops where the bottom meets the edge";
    EXPECT_EQ(frameAfter(MoveDownwardLittle).y(), 650);
    EXPECT_EQ(frameAfter(MoveDownward).y(), 870) << "at most down to 30 points visible";
    EXPECT_EQ(frameAfter(MoveUpward).y(), 600) << "back from parked: flush with the bottom";

    EXPECT_EQ(frameAfter(MoveRightwardLittle).x(), 150);
    EXPECT_EQ(frameAfter(MoveLeftwardLittle).x(), 100);

    for (const Write& write : access.writes())
        EXPECT_EQ(write.kind, WriteKind::Position) << "moves never resize";
}

TEST_F(LayoutManagerMovesTest, CornersAndCentreKeepTheSize)
{
    focusedWindow({100, 100, 400, 300});
    EXPECT_EQ(frameAfter(MoveBottomRightCorner), Rect(1040, 600, 400, 300));
    EXPECT_EQ(frameAfter(MoveTopLeftCorner), Rect(0, 25, 400, 300));
    EXPECT_EQ(frameAfter(MoveTopRightCorner), Rect(1040, 25, 400, 300));
    EXPECT_EQ(frameAfter(MoveBottomLeftCorner), Rect(0, 600, 400, 300));
    EXPECT_EQ(frameAfter(Center), Rect(520, 168, 400, 300)) << "a quarter of the free height above";
    EXPECT_EQ(frameAfter(ExactCenter), Rect(520, 312, 400, 300));
}

class ScreenMoveTest : public LayoutTest {
protected:
    // Right of the primary screen, taller, its visible top level with the
    // primary's: window-space visible frame (1440, 25, 1920, 1055).
    Screen external = access.addScreen({1440, -180, 1920, 1080}, {1440, -180, 1920, 1055}, "External");
};

TEST_F(ScreenMoveTest, ScreenOrderWrapsAround)
{
    WindowElement w = focusedWindow({1440, 25, 960, 1055});
    access.setMainScreen(external);
    manager.perform(NextScreen);
    EXPECT_EQ(access.frame(w), Rect(0, 25, 720, 875));
    access.setMainScreen(screen);
    manager.perform(PreviousScreen);
    EXPECT_EQ(access.frame(w), Rect(1440, 25, 960, 1055));

    access.removeScreen(external);
    access.clearWrites();
    manager.perform(NextScreen);
    EXPECT_TRUE(access.writes().empty()) << "a single screen: nothing";
}

TEST_F(ScreenMoveTest, ContextScreenIsReplacedAndFocusedWindowMoves)
{
    WindowElement focused = focusedWindow({360, 25, 720, 875});
    WindowElement other = access.addWindow({0, 0, 100, 100});
    ActionContext context{other, screen};
    manager.perform(NextScreen, &context);
    EXPECT_EQ(context.screen, external);
    EXPECT_EQ(access.frame(focused), Rect(1920, 25, 960, 1055));
    EXPECT_EQ(access.frame(other), Rect(0, 0, 100, 100));
    EXPECT_EQ(loop.pendingCount(), 0u) << "a quick action writes again in its own steps";

    // The next step of the run lays out on the new screen.
    context.element = focused;
    manager.perform(LeftHalf, &context);
    EXPECT_EQ(access.frame(focused), Rect(1440, 25, 960, 1055));
}

TEST_F(ScreenMoveTest, DeferredRewriteOnlyWhenTheSizeDidNotTake)
{
    WindowElement w = focusedWindow({360, 25, 720, 875});
    manager.perform(NextScreen);
    const std::size_t written = access.writes().size();
    EXPECT_EQ(loop.runPending(), 1);
    EXPECT_EQ(access.writes().size(), written) << "the size took: no second write";

    // The main screen stays the primary: the window goes from it again.
    access.placeByUser(w, {360, 25, 720, 875});
    access.setMinimumSize(w, Size{1000, 100});
    manager.perform(NextScreen);
    EXPECT_EQ(access.size(w).width, 1000);
    access.clearWrites();
    loop.runPending();
    EXPECT_EQ(access.writes(), (std::vector<Write>{frame(w, {1920, 25, 960, 1055})}));
}

TEST_F(ScreenMoveTest, ScreenWithoutVisibleAreaIsNeitherSourceNorTarget)
{
    Screen empty = access.addScreen({0, 900, 1440, 900}, {0, 900, 1440, 0}, "Empty");
    focusedWindow({360, 25, 720, 875});
    manager.moveToScreen(empty, nullptr);
    access.setMainScreen(empty);
    manager.moveToScreen(external, nullptr);
    EXPECT_TRUE(access.writes().empty());
    EXPECT_EQ(loop.pendingCount(), 0u);
}

TEST_F(LayoutManagerMovesTest, RestoreGoesBackBeforeTheSeriesAndWritesAgainWhenTheWindowDidNotFollow)
{
    WindowElement w = focusedWindow({100, 100, 400, 300});
    manager.perform(LeftHalf);
    manager.perform(RightHalf);
    EXPECT_EQ(frameAfter(Restore), Rect(100, 100, 400, 300));
    access.clearWrites();
    EXPECT_EQ(frameAfter(Restore), Rect(100, 100, 400, 300)) << "a second restore changes nothing";
    EXPECT_EQ(loop.pendingCount(), 0u);

    manager.perform(LeftHalf);
    access.placeByUser(w, {200, 200, 500, 500});
    EXPECT_EQ(frameAfter(Restore), Rect(200, 200, 500, 500)) << "the user's place wins";

    WindowElement stubborn = focusedWindow({100, 100, 400, 300});
    manager.perform(LeftHalf);
    access.ignoreNextWrites(stubborn, 1);
    manager.perform(Restore);
    EXPECT_EQ(access.frame(stubborn), Rect(0, 25, 720, 875));
    EXPECT_EQ(loop.runPending(), 1);
    EXPECT_EQ(access.frame(stubborn), Rect(100, 100, 400, 300));

    // A window the engine never laid out is given its own frame: nothing moves.
    WindowElement fresh = focusedWindow({10, 10, 300, 300});
    manager.perform(Restore);
    EXPECT_EQ(access.frame(fresh), Rect(10, 10, 300, 300));
    EXPECT_EQ(loop.pendingCount(), 0u);
}

} // namespace
} // namespace tilewise
