// The X11 platform's arithmetic without a server: frame extents, configure
// gravity, struts against the work area, and the two coordinate spaces.
#include "platform/x11/x11_geometry.hpp"

#include "platform/window_access.hpp"

#include <gtest/gtest.h>

#include <array>

namespace tilewise {
namespace {

const FrameExtents kOpenboxExtents{1, 1, 20, 5};
const FrameExtents kNoExtents{};

// This test verifies that decorations grow the frame and client-side shadows
// shrink it, and that the conversion back is exact.
TEST(X11FrameExtents, OuterFrameAddsDecorationsAndDropsShadows)
{
    Rect client(101, 120, 484, 316);
    EXPECT_EQ(outerFrameFromClient(client, kOpenboxExtents, kNoExtents), Rect(100, 100, 486, 341));

    // A client-side-decorated window: no decorations from the window manager,
    // 23-pixel shadows drawn inside the client (more at the bottom).
    FrameExtents shadows{23, 23, 15, 31};
    Rect csd(200, 100, 846, 646);
    EXPECT_EQ(outerFrameFromClient(csd, kNoExtents, shadows), Rect(223, 115, 800, 600));

    for (const auto& [wm, gtk] : {std::pair{kOpenboxExtents, kNoExtents}, std::pair{kNoExtents, shadows},
                                  std::pair{FrameExtents{4, 4, 30, 4}, FrameExtents{2, 3, 1, 7}}}) {
        Rect outer(0, 25, 720, 875);
        Rect back = clientFromOuterFrame(outer, wm, gtk);
        EXPECT_EQ(outerFrameFromClient(back, wm, gtk), outer);
        EXPECT_EQ(clientSizeFromOuterSize(outer.size, wm, gtk), back.size);
    }
}

TEST(X11FrameExtents, ShortPropertiesMeanNoExtents)
{
    std::array<std::uint32_t, 4> full{1, 2, 3, 4};
    EXPECT_EQ(FrameExtents::fromProperty(full), (FrameExtents{1, 2, 3, 4}));
    EXPECT_EQ(FrameExtents::fromProperty(std::span(full).first(3)), FrameExtents{});
}

// This test verifies the reference point of a configure request for each kind
// of gravity, so that the window manager puts the client where we computed.
TEST(X11ConfigureGravity, RequestPositionMatchesTheFrameReferencePoint)
{
    Rect client(101, 120, 484, 316); // frame (100, 100, 486, 341)
    const std::pair<Gravity, Point> cases[] = {
        {Gravity::NorthWest, {100, 100}}, {Gravity::Static, {101, 120}},   {Gravity::NorthEast, {102, 100}},
        {Gravity::SouthEast, {102, 125}}, {Gravity::Center, {101, 112.5}}, {Gravity::South, {101, 125}}};
    for (auto [gravity, expected] : cases)
        EXPECT_EQ(configureRequestPosition(client, kOpenboxExtents, gravity), expected) << int(gravity);
    // Without decorations every gravity asks for the client's own place.
    for (int g = 1; g <= 10; ++g)
        EXPECT_EQ(configureRequestPosition(client, kNoExtents, Gravity(g)), client.origin) << "gravity " << g;
}

TEST(X11ConfigureGravity, InvalidHintsReadAsNorthWest)
{
    for (int hint : {0, 11, -3})
        EXPECT_EQ(gravityFromHint(hint), Gravity::NorthWest) << hint;
    EXPECT_EQ(gravityFromHint(10), Gravity::Static);
}

const Size kRoot{1440, 900};

Strut topStrut(double height, double startX, double endX)
{
    Strut s;
    s.top = height;
    s.topStartX = startX;
    s.topEndX = endX;
    return s;
}

TEST(X11Struts, PropertiesAndReservedAreas)
{
    std::array<std::uint32_t, 12> partial{0, 0, 25, 0, 0, 0, 0, 0, 0, 719, 0, 0};
    ASSERT_TRUE(Strut::fromPartial(partial));
    EXPECT_FALSE(Strut::fromPartial(std::span(partial).first(11)));
    auto areas = Strut::fromPartial(partial)->reservedAreas(kRoot);
    ASSERT_EQ(areas.size(), 1u);
    EXPECT_EQ(areas[0].side, Side::Top);
    EXPECT_EQ(areas[0].area, Rect(0, 0, 720, 25));

    // The old form reserves along the whole edge.
    std::array<std::uint32_t, 4> full{0, 30, 0, 20};
    auto fullAreas = Strut::fromFull(full, kRoot)->reservedAreas(kRoot);
    ASSERT_EQ(fullAreas.size(), 2u);
    EXPECT_EQ(fullAreas[0].area, Rect(1410, 0, 30, 900));
    EXPECT_EQ(fullAreas[1].area, Rect(0, 880, 1440, 20));

    // A range given backwards reserves nothing rather than a negative area.
    EXPECT_TRUE(topStrut(25, 700, 100).reservedAreas(kRoot).empty());
}

// This test verifies the visible area of each monitor: struts, measured from
// the root's edge, take space only from the monitor their window touches and
// only within their range; a panel the window manager announces only in the
// work area is found in the work area's band, or, unseen, cuts every monitor
// the edge crosses; a work area the struts explain has no such panel.
TEST(X11VisibleArea, StrutsAndTheWindowManagersOwnPanels)
{
    // A bottom panel on a 1024x768 monitor right of a 1440x900 one reserves
    // 900 - 738 = 162 pixels from the root's bottom, deep into the big one; a
    // left panel there reserves everything left of 1470.
    Strut bottom, left;
    bottom.bottom = 162;
    bottom.bottomStartX = 1440;
    bottom.bottomEndX = 2463;
    left.left = 1470;
    left.leftEndY = 767;
    const Rect whole(0, 0, 1440, 900), leftHalf(0, 0, 720, 900), rightHalf(720, 0, 720, 900);
    const Rect below(0, 0, 1440, 880);
    struct Case {
        const char* what;
        DesktopReservations r;
        std::vector<std::pair<Rect, Rect>> visible; // monitor, its visible area
        std::optional<bool> ownPanel;
    };
    const Case cases[] = {
        {"top dock on one monitor",
         {kRoot, {{topStrut(25, 0, 1439), Rect(0, 0, 1440, 25)}}, Rect(0, 25, 1440, 875), {}},
         {{whole, Rect(0, 25, 1440, 875)}},
         false},
        {"struts of the small monitor",
         {Size{2464, 900},
          {{bottom, Rect(1440, 738, 1024, 30)}, {left, Rect(1440, 0, 30, 738)}},
          Rect(1470, 0, 994, 738),
          {}},
         {{whole, whole}, {Rect(1440, 0, 1024, 768), Rect(1470, 0, 994, 738)}},
         std::nullopt},
        {"partial strut over two monitors reserving along the left one",
         {kRoot, {{topStrut(25, 0, 719), Rect(0, 0, 800, 25)}}, std::nullopt, {}},
         {{leftHalf, Rect(0, 25, 720, 875)}, {rightHalf, rightHalf}},
         std::nullopt},
        {"own toolbar, and a menu elsewhere",
         {kRoot, {}, below, {{Rect(0, 880, 1440, 20), 1}, {Rect(500, 300, 200, 100), 0}}},
         {{whole, below}},
         true},
        {"own panel on the left monitor, its border reaching onto the right",
         {kRoot, {}, below, {{Rect(0, 880, 721, 20), 1}}},
         {{leftHalf, Rect(0, 0, 720, 880)}, {rightHalf, rightHalf}},
         std::nullopt},
        {"own panel across both",
         {kRoot, {}, below, {{Rect(0, 880, 1440, 20), 1}}},
         {{rightHalf, Rect(720, 0, 720, 880)}},
         std::nullopt},
        // Rather lose space than cover a panel; a monitor ending above the
        // edge is not cut.
        {"unseen own panel",
         {kRoot, {}, below, {}},
         {{leftHalf, Rect(0, 0, 720, 880)},
          {rightHalf, Rect(720, 0, 720, 880)},
          {Rect(720, 0, 720, 600), Rect(720, 0, 720, 600)}},
         std::nullopt},
        {"work area explained by struts, a popup at the top",
         {kRoot,
          {{topStrut(25, 0, 719), Rect(0, 0, 720, 25)}},
          Rect(0, 25, 1440, 875),
          {{Rect(800, 0, 200, 20), 0}}},
         {{rightHalf, rightHalf}},
         false},
        {"dock at the top, own toolbar at the bottom",
         {kRoot,
          {{topStrut(25, 0, 1439), Rect(0, 0, 1440, 25)}},
          Rect(0, 25, 1440, 855),
          {{Rect(0, 880, 1440, 20), 0}}},
         {{whole, Rect(0, 25, 1440, 855)}},
         std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const auto& [monitor, visible] : c.visible)
            EXPECT_EQ(visibleArea(monitor, c.r), visible) << monitor;
        if (c.ownPanel) {
            EXPECT_EQ(workareaHasOwnPanel(c.r), *c.ownPanel);
        }
    }
}

TEST(X11VisibleArea, CutsThatMeetLeaveAnEmptyAreaNotANegativeOne)
{
    DesktopReservations r;
    r.root = kRoot;
    Strut s;
    s.left = 1000;
    s.leftEndY = 899;
    s.right = 1000;
    s.rightEndY = 899;
    r.struts.push_back({s, Rect(0, 0, 1440, 900)});
    Rect v = visibleArea(Rect(0, 0, 1440, 900), r);
    EXPECT_EQ(v.width(), 0);
    EXPECT_EQ(v.height(), 900);
}

TEST(X11Workarea, PicksTheCurrentDesktop)
{
    std::array<std::uint32_t, 8> values{0, 0, 1440, 900, 0, 25, 1440, 875};
    EXPECT_EQ(workareaOfDesktop(values, 1), Rect(0, 25, 1440, 875));
    EXPECT_EQ(workareaOfDesktop(values, 0), Rect(0, 0, 1440, 900));
    EXPECT_FALSE(workareaOfDesktop(values, 2));
    EXPECT_FALSE(workareaOfDesktop(std::span(values).first(3), 0));
}

// This test verifies both spaces when the primary monitor is not at the
// root's origin: a 1024x768 primary right of a 1440x900 monitor.
TEST(X11CoordinateSpaces, AnchoredOnThePrimaryMonitor)
{
    Rect primary(1440, 0, 1024, 768);
    CoordinateSpaces spaces(primary);
    EXPECT_EQ(spaces.rootToScreen(primary), Rect(0, 0, 1024, 768));
    EXPECT_EQ(spaces.rootToWindow(primary), Rect(0, 0, 1024, 768));
    Rect other(0, 0, 1440, 900);
    EXPECT_EQ(spaces.rootToScreen(other), Rect(-1440, -132, 1440, 900));
    EXPECT_EQ(spaces.rootToWindow(other), Rect(-1440, 0, 1440, 900));
    // Screen space agrees with the engine's own conversion to window space.
    EXPECT_EQ(toWindowSpace(spaces.rootToScreen(other), 768), spaces.rootToWindow(other));
    Rect window(1500, 40, 300, 200);
    EXPECT_EQ(spaces.windowToRoot(spaces.rootToWindow(window)), window);
    EXPECT_EQ(spaces.rootToScreen(Point{1440, 768}), (Point{0, 0}));
    EXPECT_EQ(spaces.rootToScreen(Point{100, 0}), (Point{-1340, 768}));
}

TEST(X11MainMonitor, HoldsTheLargestPartOfTheWindow)
{
    std::vector<Rect> monitors{Rect(0, 0, 1440, 900), Rect(1440, 0, 1024, 768)};
    EXPECT_EQ(monitorHoldingMost(monitors, Rect(1300, 100, 400, 300)), 1u);
    EXPECT_EQ(monitorHoldingMost(monitors, Rect(1340, 100, 200, 300)), 0u); // a tie goes to the first
    EXPECT_FALSE(monitorHoldingMost(monitors, Rect(3000, 0, 100, 100)));
}

} // namespace
} // namespace tilewise
