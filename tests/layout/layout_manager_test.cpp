// Engine entry, fixed fractions and clip cycling: what is written, in which order, what refusals teach.
#include "layout_test_fixture.hpp"

#include "layout/layout_geometry.hpp"
#include "platform/diagnostics.hpp"
#include "settings/json_array.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <sstream>

namespace tilewise {
namespace {

using enum OperationType;
using LayoutManagerTest = LayoutTest;

TEST_F(LayoutManagerTest, FixedFractionsTakeTheSizeTheWindowAcceptsInOneWrite)
{
    enum Limits { None, Stated, StatedButIgnored };
    struct Case {
        OperationType op;
        Limits kind;
        SizeLimits limits;
        Rect expected;
        const char* why;
    };
    const std::optional<Size> none;
    const Case cases[] = {
        {LeftHalf, None, {}, {0, 25, 720, 875}, ""},
        {TopThird, None, {}, {0, 25, 1440, 291}, "875 / 3 is floored"},
        {RightThird, None, {}, {960, 25, 480, 875}, ""},
        {BottomRightQuarter, None, {}, {720, 462, 720, 437}, ""},
        {VerticalCenterThird, None, {}, {480, 25, 480, 875}, ""},
        {RightThird, Stated, {Size{600, 100}, none}, {840, 25, 600, 875}, "ends at the right edge"},
        {RightThird, StatedButIgnored, {Size{600, 100}, none}, {840, 25, 600, 875}, "asked at its minimum"},
        {BottomRightQuarter, Stated, {Size{400, 300}, Size{400, 300}}, {1040, 600, 400, 300}, "corner"},
        {LeftHalf, Stated, {none, Size{500, 400}}, {0, 25, 500, 400}, ""},
        {VerticalCenterThird, Stated, {Size{1000, 100}, none}, {440, 25, 1000, 875}, "kept inside"},
        {Maximize, Stated, {Size{1600, 100}, none}, {0, 25, 1600, 875}, "cannot fit: from the left"},
    };
    for (const Case& c : cases) {
        WindowElement w = focusedWindow({300, 100, 500, 400});
        if (c.kind != None)
            access.setSizeLimits(w, c.limits, c.kind == Stated);
        access.clearWrites();
        manager.perform(c.op);
        EXPECT_EQ(access.frame(w), c.expected) << caseName(c.op) << ": " << c.why;
        EXPECT_EQ(access.writes(), (std::vector<Write>{frame(w, c.expected)})) << caseName(c.op);
    }

    // A minimum the window never stated shows at the read-back only: the
    // window is moved back against the edge, and nothing is learned.
    WindowElement w = focusedWindow({300, 100, 500, 400});
    access.setMinimumSize(w, Size{600, 100});
    access.clearWrites();
    EXPECT_EQ(frameAfter(RightThird), Rect(840, 25, 600, 875));
    EXPECT_EQ(access.writes(), (std::vector<Write>{frame(w, {960, 25, 480, 875}), position(w, 840, 25)}));
    EXPECT_EQ(listener.minSizeForCurrentWindow, std::nullopt);
}

TEST_F(LayoutManagerTest, LeftAndUpCycleThroughTheirClipsAboveTheStatedMinimum)
{
    focusedWindow({300, 100, 500, 400});
    EXPECT_EQ(frameAfter(Left), Rect(0, 100, 720, 400))
        << "away from the edge: first clip, y and height kept";
    EXPECT_EQ(frameAfter(Left), Rect(0, 100, 480, 400));
    EXPECT_EQ(frameAfter(Left), Rect(0, 100, 360, 400));
    EXPECT_EQ(frameAfter(Left), Rect(0, 100, 720, 400));

    // Stated but ignored by the window manager: the engine keeps to it from
    // the first press, without having to see a refusal.
    WindowElement w = focusedWindow({300, 100, 500, 400});
    access.setSizeLimits(w, {Size{400, 100}, std::nullopt}, false);
    for (double width : {720, 480, 400, 720})
        EXPECT_EQ(frameAfter(Left).width(), width);

    focusedWindow({300, 100, 500, 400});
    manager.perform(Left);
    EXPECT_EQ(listener.minSizeForCurrentWindow, std::nullopt) << "another window starts unlearned";

    // Up touches the top from above.
    focusedWindow({100, 10, 500, 875});
    EXPECT_EQ(frameAfter(Up), Rect(100, 25, 500, 437));
    EXPECT_EQ(frameAfter(Up), Rect(100, 25, 500, 291));
}

TEST_F(LayoutManagerTest, RefusedSizeIsLearnedOnItsAxisAndKeepsTheFarEdge)
{
    WindowElement w = focusedWindow({720, 25, 720, 875});
    access.setMinimumSize(w, Size{500, 200});
    manager.perform(Right);
    EXPECT_EQ(access.writes(), (std::vector<Write>{frame(w, {960, 25, 480, 875}), position(w, 940, 25)}));
    EXPECT_EQ(access.frame(w), Rect(940, 25, 500, 875));
    EXPECT_EQ(listener.minSizeForCurrentWindow, (Size{500, unlearnedMinimum}));

    EXPECT_EQ(frameAfter(Right), Rect(720, 25, 720, 875)) << "at its minimum, the cycle starts over";
    EXPECT_EQ(frameAfter(Right), Rect(940, 25, 500, 875)) << "480 is clamped to the learned 500";

    WindowElement tall = focusedWindow({0, 25, 800, 875});
    access.setMinimumSize(tall, Size{100, 500});
    EXPECT_EQ(frameAfter(Down), Rect(0, 400, 800, 500)) << "ends at the bottom";
    EXPECT_EQ(listener.minSizeForCurrentWindow, (Size{unlearnedMinimum, 500}));
}

TEST_F(LayoutManagerTest, DownShrinksBeforeMovingAndGrowsAfter)
{
    WindowElement w = focusedWindow({0, 25, 1440, 875});
    manager.perform(Down);
    EXPECT_EQ(access.writes(), (std::vector<Write>{size(w, 1440, 437), position(w, 0, 462)}));

    access.clearWrites();
    access.placeByUser(w, {0, 100, 1440, 300});
    manager.perform(Down);
    EXPECT_EQ(access.writes(), (std::vector<Write>{frame(w, {0, 25, 1440, 875})}));
}

TEST_F(LayoutManagerTest, SizeRoundedDownIsNoMinimumAndTheCycleGoesOn)
{
    // A terminal sizes itself in whole cells of 7 x 13 and comes out smaller
    // than asked: that is no minimum, and the next press must go on cycling.
    WindowElement w = focusedWindow({300, 100, 500, 400});
    access.setSizeIncrement(w, Size{7, 13});
    EXPECT_EQ(frameAfter(Left).width(), 714);
    EXPECT_FALSE(listener.minSizeForCurrentWindow);
    EXPECT_EQ(frameAfter(Left).width(), 476);
    EXPECT_EQ(frameAfter(Left).width(), 357);
    EXPECT_EQ(frameAfter(Left).width(), 714);

    manager.perform(Right); // 720 asked, 714 given: still flush with the right edge
    EXPECT_EQ(access.frame(w).maxX(), 1440);
}

TEST_F(LayoutManagerTest, ClipListsComeFromTheScreenConfigurationAtEachUse)
{
    Screen other = access.addScreen({1440, 0, 1000, 900}, {1440, 0, 1000, 900}, "External");
    writeJsonArray(store, settings_keys::separateScreenConfiguration,
                   std::vector<ScreenClip>{{"Built-in Display", {{1, 4}, {1, 2}}, {{1, 1}}}});
    focusedWindow({300, 100, 500, 400});
    EXPECT_EQ(frameAfter(Left).width(), 360);
    EXPECT_EQ(frameAfter(Left).width(), 720) << "the list is used in the user's order";

    access.setMainScreen(other);
    writeJsonArray(store, settings_keys::clipHorizontal, std::vector<Clip>{{3, 5}});
    EXPECT_EQ(frameAfter(Left), Rect(1440, 100, 600, 400)) << "no entry for this screen: global list";
}

TEST_F(LayoutManagerTest, NotAllowedToActOrNotAvailableYetTouchesNothing)
{
    WindowElement w = focusedWindow({300, 100, 500, 400});
    writeJsonArray(store, settings_keys::excludes, std::vector<std::string>{"org.example.editor"});
    manager.perform(LeftHalf);
    EXPECT_FALSE(manager.canOperate());
    writeJsonArray(store, settings_keys::excludes, std::vector<std::string>{});
    access.setTrusted(false);
    manager.perform(Maximize);
    access.setTrusted(true);
    access.setFrontmostBundleIdentifier(std::nullopt);
    manager.perform(Maximize);
    EXPECT_TRUE(listener.layoutRecords.empty());

    // Allowed again, but these have nothing to do yet.
    access.setFrontmostBundleIdentifier("org.example.editor");
    ASSERT_TRUE(manager.canOperate());
    for (OperationType op : {Pair, PairFor3, PairLast, NextSpace, PreviousSpace})
        manager.perform(op);
    EXPECT_TRUE(access.writes().empty());
    EXPECT_EQ(access.frame(w), Rect(300, 100, 500, 400));
}

TEST_F(LayoutManagerTest, UnusableClipListsAreReportedOnceAndClipsAboveOneCountAsTheWholeFrame)
{
    std::ostringstream out, err;
    diag::Capture capture(out, err);
    WindowElement w = focusedWindow({300, 100, 500, 400});
    store.set(settings_keys::clipHorizontal, std::string("[]"));
    manager.perform(Left);
    manager.perform(Left);
    writeJsonArray(store, settings_keys::clipVertical, std::vector<Clip>{{1, 0}, {0, 3}, {-1, 2}});
    manager.perform(Up);
    const std::string reported = err.str();
    EXPECT_EQ(std::count(reported.begin(), reported.end(), '\n'), 2) << reported;
    EXPECT_EQ(out.str(), "");
    writeJsonArray(store, settings_keys::clipVertical, std::vector<Clip>{{1, 1000}});
    manager.perform(Up);
    manager.perform(Down);
    EXPECT_TRUE(access.writes().empty());
    EXPECT_EQ(access.frame(w), Rect(300, 100, 500, 400));

    writeJsonArray(store, settings_keys::clipVertical, std::vector<Clip>{{1, 0}, {1, 5}});
    EXPECT_EQ(frameAfter(Up), Rect(300, 25, 500, 175)) << "bad clips are skipped, good ones serve";
    for (const Write& write : access.writes())
        EXPECT_TRUE(std::isfinite(write.size.width) && std::isfinite(write.size.height));

    focusedWindow({300, 100, 500, 400});
    writeJsonArray(store, settings_keys::clipHorizontal, std::vector<Clip>{{3, 2}});
    EXPECT_EQ(frameAfter(Left), Rect(0, 100, 1440, 400));
    writeJsonArray(store, settings_keys::clipVertical, std::vector<Clip>{{1LL << 40, 1}});
    EXPECT_EQ(frameAfter(Down), Rect(0, 25, 1440, 875)) << "never above the visible top";
}

TEST_F(LayoutManagerTest, ScreenWithoutVisibleAreaIsNotDivided)
{
    Screen empty = access.addScreen({1440, 0, 1000, 900}, {1440, 0, 0, 900}, "Empty");
    access.setMainScreen(empty);
    focusedWindow({300, 100, 500, 400});
    manager.perform(LeftHalf);
    manager.perform(Left);
    manager.perform(Down);
    EXPECT_TRUE(access.writes().empty());

    // Nothing non-finite computed from a broken screen reaches the window.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    access.setMainScreen(access.addScreen({0, 0, nan, 900}, {nan, 0, 1440, 875}, "Broken"));
    for (OperationType op : {Maximize, Up, MoveRightward, MoveDownwardLittle, MoveBottomRightCorner, Center})
        manager.perform(op);
    for (const Write& write : access.writes()) {
        EXPECT_TRUE(std::isfinite(write.position.x) && std::isfinite(write.position.y));
        EXPECT_TRUE(std::isfinite(write.size.width) && std::isfinite(write.size.height));
    }
    EXPECT_TRUE(std::isfinite(access.frame(*access.focusedWindow()).x()));
}

TEST_F(LayoutManagerTest, ContextChoosesWindowAndScreen)
{
    Screen right = access.addScreen({1440, 0, 1000, 900}, {1440, 0, 1000, 900}, "External");
    WindowElement target = access.addWindow({300, 100, 500, 400});
    WindowElement focused = focusedWindow({0, 0, 100, 100});
    ActionContext context{target, right};
    manager.perform(LeftHalf, &context);
    EXPECT_EQ(access.frame(target), Rect(1440, 0, 500, 900));
    EXPECT_EQ(access.frame(focused), Rect(0, 0, 100, 100));

    access.setFocused(std::nullopt);
    manager.perform(Maximize);
    EXPECT_EQ(access.writes().size(), 1u) << "no focused window: nothing";
}

TEST_F(LayoutManagerTest, WindowWithoutIdIsLaidOutButNotRecorded)
{
    WindowElement w = focusedWindow({300, 100, 500, 400});
    access.setOnScreen(w, false);
    manager.perform(LeftHalf, nullptr);
    ActionContext context{w, std::nullopt};
    manager.perform(LeftHalf, &context);
    EXPECT_EQ(access.frame(w), Rect(0, 25, 720, 875));
    EXPECT_TRUE(listener.layoutRecords.empty());
}

} // namespace
} // namespace tilewise
