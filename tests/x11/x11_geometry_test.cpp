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
    EXPECT_EQ(configureRequestPosition(client, kOpenboxExtents, Gravity::NorthWest), (Point{100, 100}));
    EXPECT_EQ(configureRequestPosition(client, kOpenboxExtents, Gravity::Static), (Point{101, 120}));
    EXPECT_EQ(configureRequestPosition(client, kOpenboxExtents, Gravity::NorthEast), (Point{102, 100}));
    EXPECT_EQ(configureRequestPosition(client, kOpenboxExtents, Gravity::SouthEast), (Point{102, 125}));
    EXPECT_EQ(configureRequestPosition(client, kOpenboxExtents, Gravity::Center), (Point{101, 112.5}));
    EXPECT_EQ(configureRequestPosition(client, kOpenboxExtents, Gravity::South), (Point{101, 125}));
    // Without decorations every gravity asks for the client's own place.
    for (int g = 1; g <= 10; ++g)
        EXPECT_EQ(configureRequestPosition(client, kNoExtents, Gravity(g)), client.origin) << "gravity " << g;
}

TEST(X11ConfigureGravity, InvalidHintsReadAsNorthWest)
{
    EXPECT_EQ(gravityFromHint(0), Gravity::NorthWest);
    EXPECT_EQ(gravityFromHint(11), Gravity::NorthWest);
    EXPECT_EQ(gravityFromHint(-3), Gravity::NorthWest);
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

// This test verifies the basic case: a dock with a 25-pixel top strut on a
// single 1440x900 monitor.
TEST(X11VisibleArea, TopDockOnOneMonitor)
{
    DesktopReservations r;
    r.root = kRoot;
    r.struts.push_back({topStrut(25, 0, 1439), Rect(0, 0, 1440, 25)});
    r.workarea = Rect(0, 25, 1440, 875);
    Rect monitor(0, 0, 1440, 900);
    EXPECT_EQ(visibleArea(monitor, r), Rect(0, 25, 1440, 875));
    EXPECT_FALSE(workareaHasOwnPanel(r));
}

// This test verifies that a panel's strut, measured from the root's edge,
// takes space only from the monitor the panel is on.
TEST(X11VisibleArea, StrutsCountOnlyOnTheMonitorTheyTouch)
{
    // A 1440x900 monitor and a 1024x768 one to its right: the root is 2464x900.
    Size root{2464, 900};
    Rect big(0, 0, 1440, 900);
    Rect small(1440, 0, 1024, 768);

    // A bottom panel on the small monitor must reserve 900 - 738 = 162 pixels
    // from the root's bottom edge, which would cut deep into the big one.
    Strut bottom;
    bottom.bottom = 162;
    bottom.bottomStartX = 1440;
    bottom.bottomEndX = 2463;
    // A left panel on the small monitor reserves everything left of 1470.
    Strut left;
    left.left = 1470;
    left.leftStartY = 0;
    left.leftEndY = 767;

    DesktopReservations r;
    r.root = root;
    r.struts.push_back({bottom, Rect(1440, 738, 1024, 30)});
    r.struts.push_back({left, Rect(1440, 0, 30, 738)});
    r.workarea = Rect(1470, 0, 994, 738); // what a window manager publishes
    EXPECT_EQ(visibleArea(big, r), big);
    EXPECT_EQ(visibleArea(small, r), Rect(1470, 0, 994, 738));
}

TEST(X11VisibleArea, PartialStrutsOutsideTheirRangeDoNotCut)
{
    // A panel that straddles two monitors but reserves only along the left one.
    DesktopReservations r;
    r.root = kRoot;
    r.struts.push_back({topStrut(25, 0, 719), Rect(0, 0, 800, 25)});
    EXPECT_EQ(visibleArea(Rect(0, 0, 720, 900), r), Rect(0, 25, 720, 875));
    EXPECT_EQ(visibleArea(Rect(720, 0, 720, 900), r), Rect(720, 0, 720, 900));
}

// This test verifies the window manager that draws its own panel and only
// publishes it in the work area, with no strut on any window.
TEST(X11VisibleArea, OwnPanelFoundInTheWorkareaBand)
{
    DesktopReservations r;
    r.root = kRoot;
    r.workarea = Rect(0, 0, 1440, 880);
    r.unmanaged = {{Rect(0, 880, 1440, 20), 1},
                   {Rect(500, 300, 200, 100), 0}}; // toolbar, and a menu elsewhere
    EXPECT_TRUE(workareaHasOwnPanel(r));
    EXPECT_EQ(visibleArea(Rect(0, 0, 1440, 900), r), Rect(0, 0, 1440, 880));
}

TEST(X11VisibleArea, OwnPanelOnOneMonitorLeavesTheOtherWhole)
{
    DesktopReservations r;
    r.root = kRoot;
    r.workarea = Rect(0, 0, 1440, 880); // one rectangle for both monitors
    // Half the root wide, plus a border of 1 that reaches onto the right monitor.
    r.unmanaged = {{Rect(0, 880, 721, 20), 1}};
    EXPECT_EQ(visibleArea(Rect(0, 0, 720, 900), r), Rect(0, 0, 720, 880));
    EXPECT_EQ(visibleArea(Rect(720, 0, 720, 900), r), Rect(720, 0, 720, 900));
    // A panel across both takes from both.
    r.unmanaged = {{Rect(0, 880, 1440, 20), 1}};
    EXPECT_EQ(visibleArea(Rect(720, 0, 720, 900), r), Rect(720, 0, 720, 880));
}

TEST(X11VisibleArea, UnseenOwnPanelCutsEveryMonitorTheEdgeCrosses)
{
    DesktopReservations r;
    r.root = kRoot;
    r.workarea = Rect(0, 0, 1440, 880);
    // Nothing lies in the band: rather lose space than cover a panel.
    EXPECT_EQ(visibleArea(Rect(0, 0, 720, 900), r), Rect(0, 0, 720, 880));
    EXPECT_EQ(visibleArea(Rect(720, 0, 720, 900), r), Rect(720, 0, 720, 880));
    // A monitor that ends above the edge is not cut.
    EXPECT_EQ(visibleArea(Rect(720, 0, 720, 600), r), Rect(720, 0, 720, 600));
}

TEST(X11VisibleArea, WorkareaExplainedByStrutsIgnoresUnmanagedWindows)
{
    DesktopReservations r;
    r.root = kRoot;
    r.struts.push_back({topStrut(25, 0, 719), Rect(0, 0, 720, 25)});
    r.workarea = Rect(0, 25, 1440, 875);
    // A popup at the top of the right monitor is not a panel.
    r.unmanaged = {{Rect(800, 0, 200, 20), 0}};
    EXPECT_FALSE(workareaHasOwnPanel(r));
    EXPECT_EQ(visibleArea(Rect(720, 0, 720, 900), r), Rect(720, 0, 720, 900));
}

TEST(X11VisibleArea, OwnPanelAndStrutsCombine)
{
    // A dock with a top strut and the window manager's toolbar at the bottom.
    DesktopReservations r;
    r.root = kRoot;
    r.struts.push_back({topStrut(25, 0, 1439), Rect(0, 0, 1440, 25)});
    r.workarea = Rect(0, 25, 1440, 855);
    r.unmanaged = {{Rect(0, 880, 1440, 20), 0}};
    EXPECT_EQ(visibleArea(Rect(0, 0, 1440, 900), r), Rect(0, 25, 1440, 855));
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
