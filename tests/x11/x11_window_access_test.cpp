// X11WindowAccess in process against the real server and window manager of
// $DISPLAY, with client windows made by plain xcb on a second connection.
#include "platform/x11/x11_window_access.hpp"

#include "ctl_harness.hpp"

#include <gtest/gtest.h>
#include <xcb/xcb_icccm.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <limits>
#include <unistd.h>

namespace tilewise {
namespace {

using x11test::TestClient;
using x11test::WindowOptions;

class X11WindowAccessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "needs an X server with a window manager in DISPLAY";
        std::string error;
        x_ = X11Connection::open(nullptr, &error);
        ASSERT_TRUE(x_) << error;
        x_->setErrorReporter([this](const std::string& line) { unexpectedErrors_.push_back(line); });
        access_ = std::make_unique<X11WindowAccess>(*x_);
        client_ = TestClient::connect();
        ASSERT_TRUE(client_);
        wm_ = client_->windowManagerName();
    }

    void TearDown() override
    {
        for (const std::string& line : unexpectedErrors_)
            ADD_FAILURE() << "unexpected " << line;
    }

    xcb_window_t newWindow(const WindowOptions& options = {})
    {
        xcb_window_t w = client_->createMapped(options);
        EXPECT_NE(w, XCB_WINDOW_NONE) << "the window manager did not map the window";
        return w;
    }

    // A dock along the top of `area` (root coordinates) reserving 25 pixels there.
    xcb_window_t newTopDock(const Rect& area)
    {
        WindowOptions o;
        o.dock = true;
        o.wmClass = "tilewise-dock";
        o.geometry = Rect(area.x(), area.y(), area.width(), 25);
        // _NET_WM_STRUT_PARTIAL: top, then the top edge's start and end x.
        o.strutPartial.assign(12, 0);
        o.strutPartial[2] = std::uint32_t(area.y() + 25);
        o.strutPartial[8] = std::uint32_t(area.x());
        o.strutPartial[9] = std::uint32_t(area.maxX() - 1);
        return newWindow(o);
    }

    // The outer frame as xwininfo sees the window manager's frame; root
    // coordinates, which are window space on a single monitor.
    std::optional<Rect> xwininfoFrame(xcb_window_t w) { return x11test::xwininfoFrame(client_->topLevel(w)); }

    bool isOpenbox() const { return wm_ == "Openbox"; }

    std::unique_ptr<X11Connection> x_;
    std::unique_ptr<X11WindowAccess> access_;
    std::unique_ptr<TestClient> client_;
    std::string wm_;
    std::vector<std::string> unexpectedErrors_;
};

// This test verifies that a frame read is the outer frame, decorations
// included, exactly where xwininfo sees the window manager's frame; that a
// written frame shows exactly there, fractions floored; and that the read
// right after the write already sees it.
TEST_F(X11WindowAccessTest, FramesAreTheOuterFramesOfTheWindowManager)
{
    xcb_window_t w = newWindow(WindowOptions{.geometry = Rect(200, 150, 400, 300)});
    WindowElement e{w};
    auto expected = xwininfoFrame(w);
    ASSERT_TRUE(expected);
    EXPECT_EQ(access_->frame(e), *expected);
    // Decorations make it larger than the client.
    auto client = client_->clientRootGeometry(w);
    ASSERT_TRUE(client);
    EXPECT_GT(expected->width() * expected->height(), client->width() * client->height());

    // Clear of a taskbar along the bottom, which icewm keeps windows off.
    for (const Rect& asked : {Rect(0, 25, 720, 825), Rect(100.9, 50.5, 640.5, 480.99)}) {
        access_->setFrame(e, asked);
        Rect floored(std::floor(asked.x()), std::floor(asked.y()), std::floor(asked.width()),
                     std::floor(asked.height()));
        EXPECT_EQ(access_->frame(e), floored);
        EXPECT_EQ(xwininfoFrame(w), floored);
    }
}

// This test verifies that the window's own size rules are known beforehand
// as outer sizes (no minimum: the base size, ICCCM's fallback), and that what
// the window manager makes of them is what the read right after the write
// reports. (Openbox enforces the size hints; fluxbox applies a client's
// request as it comes.)
TEST_F(X11WindowAccessTest, SizeRulesOfTheWindowAreKnownAndReadBack)
{
    struct Case {
        const char* name;
        WindowOptions options;
        Size clientMinimum; // what the hints make the smallest client
        Size asked;
        std::function<bool(Size client, Size after)> openboxApplied;
    };
    const Case cases[] = {
        {"minimum", WindowOptions{.geometry = Rect(100, 100, 600, 500), .minSize = Size{500, 400}},
         Size{500, 400}, Size{300, 200},
         [](Size client, Size after) {
             return client == Size{500, 400} && after.width > 300;
         }},
        {"increments over a zero base",
         WindowOptions{.geometry = Rect(100, 100, 400, 300), .resizeIncrement = Size{10, 20}}, Size{0, 0},
         Size{723, 517},
         [](Size client, Size after) {
             return std::fmod(client.width, 10) == 0 && std::fmod(client.height, 20) == 0 &&
                    after.width <= 723 && after.height <= 517;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        xcb_window_t w = newWindow(c.options);
        WindowElement e{w};
        Rect outer = *xwininfoFrame(w);
        Rect client = *client_->clientRootGeometry(w);
        Size decorations{outer.width() - client.width(), outer.height() - client.height()};
        EXPECT_EQ(access_->sizeLimits(e), (SizeLimits{Size{c.clientMinimum.width + decorations.width,
                                                           c.clientMinimum.height + decorations.height},
                                                      std::nullopt}));

        access_->setFrame(e, Rect(Point{0, 25}, c.asked));
        Rect after = access_->frame(e);
        EXPECT_EQ(xwininfoFrame(w), after);
        EXPECT_EQ(after.origin, (Point{0, 25}));
        if (isOpenbox()) {
            EXPECT_TRUE(c.openboxApplied(client_->clientRootGeometry(w)->size, after.size));
        }
        client_->destroy(w);
    }
}


TEST_F(X11WindowAccessTest, ClientSideShadowsAreLeftOut)
{
    xcb_window_t w = newWindow(WindowOptions{.geometry = Rect(200, 200, 400, 300)});
    WindowElement e{w};
    xcb_atom_t gtkExtents = x_->atoms().gtkFrameExtents;
    auto setShadows = [&](std::uint32_t side) {
        std::uint32_t v[] = {side, side, side, side};
        xcb_change_property(client_->xcb(), XCB_PROP_MODE_REPLACE, w, gtkExtents, XCB_ATOM_CARDINAL, 32, 4,
                            v);
        client_->x().sync();
    };
    setShadows(10);
    Rect wmFrame = *xwininfoFrame(w);
    EXPECT_EQ(access_->frame(e),
              Rect(wmFrame.x() + 10, wmFrame.y() + 10, wmFrame.width() - 20, wmFrame.height() - 20));

    // Well inside the screen, where the shadows do not make the window
    // manager push the window back on screen.
    access_->setFrame(e, Rect(100, 100, 600, 400));
    EXPECT_EQ(access_->frame(e), Rect(100, 100, 600, 400));
    EXPECT_EQ(xwininfoFrame(w), Rect(90, 90, 620, 420));

    setShadows(0);
    EXPECT_EQ(access_->frame(e), Rect(90, 90, 620, 420));
}

// This test verifies that a frame that is not a number (a division by zero
// upstream) never reaches the window.
TEST_F(X11WindowAccessTest, NonFiniteWritesAreIgnored)
{
    xcb_window_t w = newWindow(WindowOptions{.geometry = Rect(200, 200, 400, 300)});
    WindowElement e{w};
    Rect before = access_->frame(e);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    access_->setPosition(e, Point{nan, 25});
    access_->setPosition(e, Point{0, -inf});
    access_->setSize(e, Size{inf, 875});
    access_->setSize(e, Size{720, nan});
    EXPECT_EQ(access_->frame(e), before);
}

// This test verifies that events arriving while a write waits for the window
// manager (here property changes of another window the run loop watches) are
// kept for the run loop, in order, and that our own plumbing is not among them.
TEST_F(X11WindowAccessTest, EventsDuringAWriteAreKeptInOrder)
{
    xcb_window_t w = newWindow(WindowOptions{.geometry = Rect(200, 200, 400, 300)});
    xcb_window_t other = newWindow(WindowOptions{.geometry = Rect(700, 200, 300, 200)});
    x_->selectInput(other, XCB_EVENT_MASK_PROPERTY_CHANGE);
    x_->sync();
    while (x_->nextEvent()) {
    }
    std::vector<xcb_atom_t> sent{client_->atom("TILEWISE_TEST_FIRST"), client_->atom("TILEWISE_TEST_SECOND"),
                                 client_->atom("TILEWISE_TEST_THIRD")};
    for (xcb_atom_t a : sent) {
        std::uint32_t v = 1;
        xcb_change_property(client_->xcb(), XCB_PROP_MODE_REPLACE, other, a, XCB_ATOM_CARDINAL, 32, 1, &v);
    }
    client_->x().sync();

    access_->setFrame(WindowElement{w}, Rect(0, 25, 720, 875));
    EXPECT_TRUE(x_->hasQueuedEvents()) << "the write read no events while it waited";
    std::vector<xcb_atom_t> seen;
    while (auto e = x_->nextEvent()) {
        if (((*e)->response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
            continue;
        auto* p = reinterpret_cast<const xcb_property_notify_event_t*>(e->get());
        EXPECT_TRUE(p->window == other || p->window == w || p->window == x_->root())
            << "an event of our own plumbing leaked";
        // The window manager may still be writing its own properties there.
        if (p->window == other && std::find(sent.begin(), sent.end(), p->atom) != sent.end())
            seen.push_back(p->atom);
    }
    EXPECT_EQ(seen, sent);
}

// This test verifies the visible frame beside a dock with a top strut.
TEST_F(X11WindowAccessTest, VisibleFrameLeavesOutTheDock)
{
    xcb_window_t dock = newTopDock(Rect(0, 0, 1440, 900));
    std::vector<Screen> screens = access_->screens();
    ASSERT_EQ(screens.size(), 1u);
    EXPECT_EQ(screens[0].frame, Rect(0, 0, 1440, 900));
    if (isOpenbox()) {
        EXPECT_EQ(screens[0].visibleFrame, Rect(0, 0, 1440, 875));
    } else {
        // On one monitor the work area is the truth, panels of the window
        // manager included.
        auto wa = client_->rootCardinals(x_->ewmh()._NET_WORKAREA);
        ASSERT_GE(wa.size(), 4u);
        EXPECT_EQ(wa[1], 25u);
        EXPECT_EQ(screens[0].visibleFrame, Rect(wa[0], 900.0 - (wa[1] + wa[3]), wa[2], wa[3]));
    }
    // The dock is no window to lay out.
    for (const WindowInfo& info : access_->windowList())
        EXPECT_NE(info.id, dock);
    EXPECT_NE(access_->focusedWindow(), WindowElement{dock});
}

// This test verifies two monitors: the primary first and at the origin of
// both spaces, each visible frame cut only by the panels on it, and the main
// screen following the focused window.
TEST_F(X11WindowAccessTest, TwoMonitorsEachWithTheirOwnPanels)
{
    std::string output = testing::firstOutputName();
    ASSERT_FALSE(output.empty());
    testing::MonitorOverride monitors;
    ASSERT_TRUE(monitors.add("TW-LEFT", "720/190x900/238+0+0", "none"));
    ASSERT_TRUE(monitors.add("*TW-RIGHT", "720/190x900/238+720+0", output));

    newTopDock(Rect(0, 0, 720, 900));
    std::vector<Screen> screens = access_->screens();
    ASSERT_EQ(screens.size(), 2u);
    EXPECT_EQ(screens[0].localizedName, "TW-RIGHT");
    EXPECT_EQ(screens[1].localizedName, "TW-LEFT");
    EXPECT_EQ(screens[0].frame, Rect(0, 0, 720, 900));
    EXPECT_EQ(screens[1].frame, Rect(-720, 0, 720, 900));
    EXPECT_EQ(access_->primaryScreenMaxY(), 900);
    // Identity survives a second query.
    EXPECT_EQ(access_->screens()[1].id, screens[1].id);
    EXPECT_NE(screens[0].id, screens[1].id);

    // The work area is one rectangle and would cut both; the dock is on the
    // left. A toolbar that the window manager draws itself (fluxbox, icewm)
    // shows only in the work area; it sits at the bottom, on the monitors its
    // inside overlaps, as the window manager does not know about monitors
    // made by --setmonitor. Icewm announces only a pixel of its taskbar
    // here: the toolbar is what reaches below the work area from the bottom.
    auto wa = client_->rootCardinals(x_->ewmh()._NET_WORKAREA);
    ASSERT_GE(wa.size(), 4u);
    const double waBottom = wa[1] + wa[3];
    auto bottomOf = [&](const Rect& monitor) {
        double bottom = monitor.maxY();
        for (auto& [toolbar, border] : client_->topLevelsWithin(Rect(0, 450, 1440, 450))) {
            if (toolbar.maxY() <= waBottom || (toolbar.minY() < waBottom && toolbar.maxY() < 900))
                continue;
            if (toolbar.minX() + border < monitor.maxX() && toolbar.maxX() - border > monitor.minX())
                bottom = std::min(bottom, toolbar.minY());
        }
        return bottom;
    };
    if (isOpenbox()) {
        EXPECT_EQ(waBottom, 900);
    }
    double leftBottom = bottomOf(Rect(0, 0, 720, 900));
    double rightBottom = bottomOf(Rect(720, 0, 720, 900));
    EXPECT_EQ(screens[1].visibleFrame, Rect(-720, 900 - leftBottom, 720, leftBottom - 25));
    EXPECT_EQ(screens[0].visibleFrame, Rect(0, 900 - rightBottom, 720, rightBottom));

    // Window space starts at the primary's top-left.
    xcb_window_t w = newWindow(WindowOptions{.geometry = Rect(100, 100, 300, 200)});
    WindowElement e{w};
    access_->setFrame(e, Rect(-700, 40, 300, 200));
    EXPECT_EQ(xwininfoFrame(w), Rect(20, 40, 300, 200));
    EXPECT_EQ(access_->frame(e), Rect(-700, 40, 300, 200));

    ASSERT_TRUE(client_->activate(w));
    EXPECT_EQ(access_->mainScreen()->localizedName, "TW-LEFT");
    access_->setFrame(e, Rect(300, 40, 300, 200)); // mostly on the right now
    EXPECT_EQ(access_->mainScreen()->localizedName, "TW-RIGHT");

    xcb_warp_pointer(client_->xcb(), XCB_WINDOW_NONE, client_->x().root(), 0, 0, 0, 0, 100, 200);
    client_->x().sync();
    EXPECT_EQ(access_->mouseLocation(), (Point{-620, 700}));
    EXPECT_EQ(access_->screenUnderMouse()->localizedName, "TW-LEFT");
}

// This test verifies the window list: front to back, raised windows first,
// with the fields the id matching relies on, and without windows that are
// not on screen.
TEST_F(X11WindowAccessTest, WindowListFollowsStackingAndViewability)
{
    xcb_window_t a = newWindow(WindowOptions{.geometry = Rect(100, 100, 300, 200), .wmClass = "tilewise-a"});
    xcb_window_t b = newWindow(WindowOptions{.geometry = Rect(150, 150, 300, 200), .wmClass = "tilewise-b"});
    auto indexOf = [&](xcb_window_t w) -> long {
        std::vector<WindowInfo> list = access_->windowList();
        auto it = std::find_if(list.begin(), list.end(), [w](const WindowInfo& i) { return i.id == w; });
        return it == list.end() ? -1 : it - list.begin();
    };
    // Where a new window goes depends on focus-stealing rules, so each is
    // raised in turn, and the server's stacking of the frames is waited for.
    auto raise = [&](xcb_window_t top, xcb_window_t other) {
        // Activation raises in every window manager tried; a configure
        // request to restack is not honoured by all of them.
        client_->activate(top);
        return client_->waitUntil([&] { return client_->stackedAbove(top, other); });
    };
    ASSERT_TRUE(raise(b, a));
    ASSERT_GE(indexOf(a), 0);
    EXPECT_LT(indexOf(b), indexOf(a));
    ASSERT_TRUE(raise(a, b));
    EXPECT_LT(indexOf(a), indexOf(b));

    std::vector<WindowInfo> list = access_->windowList();
    auto info = std::find_if(list.begin(), list.end(), [a](const WindowInfo& i) { return i.id == a; });
    ASSERT_NE(info, list.end());
    EXPECT_EQ(info->pid, getpid());
    // The executable's whole name: the test binary's is longer than the 15
    // bytes the kernel keeps in comm.
    EXPECT_EQ(info->processName, "tilewise_x11_tests");
    EXPECT_EQ(info->level, X11WindowAccess::kLevelNormal);
    EXPECT_EQ(info->frame, access_->frame(WindowElement{a}));
    EXPECT_EQ(access_->windowId(WindowElement{a}), a);

    // Above the others: a higher level.
    ASSERT_TRUE(client_->changeState(b, true, x_->ewmh()._NET_WM_STATE_ABOVE));
    list = access_->windowList();
    info = std::find_if(list.begin(), list.end(), [b](const WindowInfo& i) { return i.id == b; });
    ASSERT_NE(info, list.end());
    EXPECT_EQ(info->level, X11WindowAccess::kLevelAbove);

    // Minimised or on another desktop: off the list, no id.
    ASSERT_TRUE(client_->iconify(a));
    EXPECT_EQ(indexOf(a), -1);
    EXPECT_FALSE(access_->windowId(WindowElement{a}));
    auto desktops = client_->rootCardinals(x_->ewmh()._NET_NUMBER_OF_DESKTOPS);
    if (!desktops.empty() && desktops[0] >= 2) {
        ASSERT_TRUE(client_->moveToDesktop(b, 1));
        EXPECT_EQ(indexOf(b), -1);
        EXPECT_FALSE(access_->windowId(WindowElement{b}));
    }
}

// This test verifies the split of X errors: a window that vanished fails
// quietly everywhere (default reads, ignored writes, no crash, nothing
// printed), while any other error is reported once with the request's name.
TEST_F(X11WindowAccessTest, OnlyErrorsOfVanishedWindowsAreQuiet)
{
    xcb_window_t w = newWindow();
    WindowElement e{w};
    client_->destroy(w);

    ::testing::internal::CaptureStderr();
    EXPECT_EQ(access_->position(e), (Point{0, 0}));
    EXPECT_EQ(access_->size(e), (Size{0, 0}));
    EXPECT_EQ(access_->sizeLimits(e), SizeLimits{});
    EXPECT_FALSE(access_->processId(e));
    EXPECT_FALSE(access_->windowId(e));
    access_->setFrame(e, Rect(0, 25, 720, 875));
    access_->setPosition(e, Point{10, 10});
    // Errors of unchecked writes come as events: let them arrive and be read.
    x_->sync();
    while (x_->nextEvent()) {
    }
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(unexpectedErrors_.empty());
    EXPECT_TRUE(x_->ok());

    std::vector<std::string> reported;
    x_->setErrorReporter([&](const std::string& line) { reported.push_back(line); });
    EXPECT_FALSE(x_->property(x_->requestProperty(x_->root(), 0x7ffffff0)).exists());
    // A vanished window is expected only where the request is about one.
    EXPECT_FALSE(x_->reply<xcb_query_pointer_reply_t>(xcb_query_pointer(x_->xcb(), w)));
    EXPECT_EQ(reported, (std::vector<std::string>{"X error BadAtom in GetProperty",
                                                  "X error BadWindow in QueryPointer"}));
}

// This test verifies that trust follows the window manager's check window:
// a root property that names a window without the check is no window manager.
class WindowManagerCheckTest : public X11WindowAccessTest {
protected:
    // The root's check property goes back to the running window manager's.
    void SetUp() override
    {
        X11WindowAccessTest::SetUp();
        if (!IsSkipped() && !HasFatalFailure())
            saved_ = client_->rootCardinals(check_ = x_->ewmh()._NET_SUPPORTING_WM_CHECK);
    }
    void TearDown() override
    {
        if (saved_.size() == 1)
            setCheck(saved_[0]);
        X11WindowAccessTest::TearDown();
    }
    void setCheck(xcb_window_t w)
    {
        xcb_change_property(client_->xcb(), XCB_PROP_MODE_REPLACE, client_->x().root(), check_,
                            XCB_ATOM_WINDOW, 32, 1, &w);
        client_->x().sync();
    }
    xcb_atom_t check_ = XCB_ATOM_NONE;
    std::vector<std::uint32_t> saved_;
};

TEST_F(WindowManagerCheckTest, TrustNeedsARunningWindowManager)
{
    EXPECT_TRUE(access_->isProcessTrusted());
    ASSERT_EQ(saved_.size(), 1u);
    setCheck(0x7ffffff0); // the check window of a window manager that died
    EXPECT_FALSE(access_->isProcessTrusted());
    EXPECT_FALSE(x_->windowManagerRunning());
}

// This test verifies that no active window means no focused window, no
// frontmost application, and the primary as main screen.
TEST_F(X11WindowAccessTest, NoActiveWindowMeansNoFocus)
{
    xcb_atom_t active = x_->ewmh()._NET_ACTIVE_WINDOW;
    xcb_window_t root = client_->x().root();
    ASSERT_TRUE(client_->expectRootPropertyChange([&] { xcb_delete_property(client_->xcb(), root, active); },
                                                  active));
    EXPECT_FALSE(access_->focusedWindow());
    EXPECT_FALSE(access_->frontmostBundleIdentifier());
    EXPECT_EQ(access_->mainScreen(), access_->screens().front());

    // A window the window manager does not manage is no focus either.
    ASSERT_TRUE(client_->expectRootPropertyChange(
        [&] {
            xcb_change_property(client_->xcb(), XCB_PROP_MODE_REPLACE, root, active, XCB_ATOM_WINDOW, 32, 1,
                                &root);
        },
        active));
    EXPECT_FALSE(access_->focusedWindow());
}

TEST_F(X11WindowAccessTest, FocusedWindowAndItsApplicationId)
{
    xcb_window_t w = newWindow(WindowOptions{.wmClass = "tilewise-focus"});
    ASSERT_TRUE(client_->activate(w));
    EXPECT_EQ(access_->focusedWindow(), WindowElement{w});
    EXPECT_EQ(access_->processId(WindowElement{w}), getpid());
    EXPECT_EQ(access_->frontmostBundleIdentifier(), "tilewise-focus-Class");

    std::string id = "org.example.TilewiseTest";
    xcb_change_property(client_->xcb(), XCB_PROP_MODE_REPLACE, w, client_->atom("_GTK_APPLICATION_ID"),
                        client_->x().ewmh().UTF8_STRING, 8, std::uint32_t(id.size()), id.data());
    client_->x().sync();
    EXPECT_EQ(access_->frontmostBundleIdentifier(), id);
    EXPECT_TRUE(access_->isProcessTrusted());
}

// This test verifies that reads are pipelined: one round trip for a
// position, a window list whose cost does not grow with the windows, and a
// frame write that is one read, one request and one wait for the window
// manager's answer.
TEST_F(X11WindowAccessTest, RoundTripsStayFlat)
{
    access_->followEvents();
    xcb_window_t w = newWindow();
    std::uint64_t before = x_->roundTrips();
    access_->position(WindowElement{w});
    // The root, then the windows it names; a third batch when the window
    // manager is still setting the new window's properties meanwhile.
    EXPECT_LE(x_->roundTrips() - before, 3u);

    // The first write learns how the window manager answers; later ones
    // cost the monitors and its answer, and a read-back only where the
    // events cannot place a client nested deep in its frame.
    access_->setFrame(WindowElement{w}, Rect(0, 25, 700, 500));
    for (const Rect& r : {Rect(10, 35, 600, 400), Rect(20, 45, 500, 300)}) {
        access_->newOperation();
        before = x_->roundTrips();
        access_->setFrame(WindowElement{w}, r);
        EXPECT_EQ(access_->frame(WindowElement{w}), r);
        EXPECT_LE(x_->roundTrips() - before, 3u);
    }

    before = x_->roundTrips();
    access_->windowList();
    std::uint64_t few = x_->roundTrips() - before;
    newWindow();
    newWindow();
    before = x_->roundTrips();
    access_->windowList();
    EXPECT_EQ(x_->roundTrips() - before, few);
}

} // namespace
} // namespace tilewise
