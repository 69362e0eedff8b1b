// This test verifies the outer frames tilewisectl gives the clients users
// actually run, under whatever window manager the session has: the test
// client, xterm (resize increments), a GTK 3 window with client-side
// decorations (its shadow is no part of the frame) and a Qt window. Each case
// starts a fresh client, so that one case's state cannot leak into the next.
#include "ctl_harness.hpp"

#include <gtest/gtest.h>
#include <xcb/xcb_icccm.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>

namespace tilewise {
namespace {

using namespace tilewise::testing;
using namespace std::chrono_literals;

enum App : unsigned { TestClient = 1, Xterm = 2, Gtk = 4, Qt = 8, AllApps = 15 };
enum class Start { Normal, Maximized, FullScreen };

// Two side-by-side monitors for the screen moves, as the ctl tests make them.
const Rect kMonitorA(0, 0, 720, 900), kMonitorB(720, 0, 720, 900);

using Expected = std::function<Rect(const Rect& visible, const Rect& before, std::size_t i)>;

struct Case {
    std::string name;
    unsigned apps;
    Start start;
    std::vector<std::string> ops;
    // The outer frame after operation `i`, from the visible area and the
    // outer frame just before it.
    Expected expected;
    std::vector<std::string> testClientArgs;
};

std::vector<Case> cases()
{
    std::vector<Case> table;
    auto row = [&](std::string name, unsigned apps, Start start, std::vector<std::string> ops, Expected e,
                   std::vector<std::string> extra = {}) {
        std::vector<std::string> args{"--window", "100,200,400,300"};
        args.insert(args.end(), extra.begin(), extra.end());
        table.push_back({std::move(name), apps, start, std::move(ops), std::move(e), std::move(args)});
    };
    for (Start start : {Start::Normal, Start::Maximized}) {
        const std::string from = start == Start::Maximized ? "_FromMaximized" : "";
        auto fraction = [&](const std::string& op, double x, double y, double w, double h) {
            row(op + from, AllApps, start, {op}, [=](const Rect& v, const Rect&, std::size_t) {
                return Rect(v.x() + v.width() * x, v.y() + v.height() * y, v.width() * w, v.height() * h);
            });
        };
        fraction("LeftHalf", 0, 0, 0.5, 1);
        fraction("RightThird", 2.0 / 3, 0, 1.0 / 3, 1);
        fraction("BottomRightQuarter", 0.5, 0.5, 0.5, 0.5);
        fraction("Maximize", 0, 0, 1, 1);
        // Centred across, a quarter of the free height above, at its size.
        // A window that fills the area (some window managers put a
        // maximized window's borders past its edges) has nowhere to go.
        row("Center" + from, AllApps, start, {"Center"}, [](const Rect& v, const Rect& b, std::size_t) {
            if (b.width() >= v.width() && b.height() >= v.height())
                return b;
            return Rect(v.x() + (v.width() - b.width()) / 2, v.y() + (v.height() - b.height()) / 4, b.width(),
                        b.height());
        });
    }
    // A window that cannot be resized goes to the corner at its own size.
    row("FixedSizeBottomRightQuarter", TestClient, Start::Normal, {"BottomRightQuarter"},
        [](const Rect& v, const Rect& b, std::size_t) {
            return Rect(v.maxX() - b.width(), v.maxY() - b.height(), b.width(), b.height());
        },
        {"--min", "400,300", "--max", "400,300"});
    // Full screen on one monitor is full screen on the other afterwards.
    row("FullScreenNextScreen", AllApps, Start::FullScreen, {"NextScreen"},
        [](const Rect&, const Rect& b, std::size_t) { return b.x() < 720 ? kMonitorB : kMonitorA; });
    // The clips are 1/2, 1/3 and 1/4; the quarter is refused by a 400-wide
    // minimum, and a window held at its minimum starts over at the half.
    row("LeftCycleStopsAtTheMinimumWidth", TestClient, Start::Normal, {"Left", "Left", "Left", "Left"},
        [](const Rect& v, const Rect& b, std::size_t i) {
            const double widths[] = {v.width() / 2, v.width() / 3, 400, v.width() / 2};
            return Rect(v.x(), b.y(), widths[i], b.height());
        },
        {"--min-outer", "400,100"});
    return table;
}

struct Param {
    App app;
    Case c;
};

std::vector<Param> params()
{
    std::vector<Param> all;
    for (const Case& c : cases())
        for (App app : {TestClient, Xterm, Gtk, Qt})
            if (c.apps & app)
                all.push_back({app, c});
    return all;
}

std::string appName(App app)
{
    switch (app) {
    case TestClient:
        return "TestClient";
    case Xterm:
        return "Xterm";
    case Gtk:
        return "Gtk";
    default:
        return "Qt";
    }
}

// Names the case in ctest's list rather than dumping its bytes.
void PrintTo(const Param& p, std::ostream* os)
{
    *os << appName(p.app) << ' ' << p.c.name;
}

class ClientsIntegrationTest : public ::testing::TestWithParam<Param> {
protected:
    void SetUp() override
    {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "needs an X server with a window manager in DISPLAY";
        ASSERT_TRUE(display.ok());
        dock = std::make_unique<TestClientProcess>(std::vector<std::string>{"--dock", "top:25"});
        ASSERT_TRUE(dock->ready());
        visible = primaryVisibleFrame();
        gtkFrameExtents = display.client().atom("_GTK_FRAME_EXTENTS");
        if (GetParam().c.start == Start::FullScreen) {
            ASSERT_TRUE(monitors.add("TW-A", "720/190x900/238+0+0", firstOutputName()));
            ASSERT_TRUE(monitors.add("TW-B", "720/190x900/238+720+0", "none"));
        }
        char tmpl[] = "/tmp/tilewise-clients-home.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        home = tmpl;
    }

    void TearDown() override
    {
        testClient.reset();
        child.reset(); // before its home goes
        if (!home.empty())
            std::filesystem::remove_all(home);
    }

    // Starts the client and returns its window, mapped, framed and focused.
    xcb_window_t start(App app, const std::vector<std::string>& testClientArgs)
    {
        x11test::TestClient& c = display.client();
        xcb_window_t w = XCB_WINDOW_NONE;
        if (app == TestClient) {
            testClient = std::make_unique<TestClientProcess>(testClientArgs);
            if (testClient->ready() && !testClient->windows().empty())
                w = testClient->windows().front();
        } else {
            // Settings of their own, no session bus and no accessibility
            // bridge to wait for.
            const std::vector<std::string> env{"HOME=" + home,
                                               "XDG_CONFIG_HOME=" + home + "/config",
                                               "XDG_CACHE_HOME=" + home + "/cache",
                                               "XDG_DATA_HOME=" + home + "/data",
                                               "XDG_RUNTIME_DIR=" + home,
                                               "DBUS_SESSION_BUS_ADDRESS=unix:path=" + home + "/no-bus",
                                               "NO_AT_BRIDGE=1",
                                               "GTK_CSD=1",
                                               "GDK_BACKEND=x11",
                                               "QT_QPA_PLATFORM=xcb",
                                               "QT_ACCESSIBILITY=0"};
            const std::vector<std::string> argv =
                app == Xterm ? std::vector<std::string>{"xterm", "-geometry", "80x24+300+200", "-e", "cat"}
                : app == Gtk ? std::vector<std::string>{"gtk3-demo"}
                             : std::vector<std::string>{"featherpad"};
            child = std::make_unique<Child>(argv, env);
            const std::uint32_t pid = static_cast<std::uint32_t>(child->pid());
            const xcb_atom_t list = c.atom("_NET_CLIENT_LIST"), wmPid = c.atom("_NET_WM_PID");
            c.waitUntil(
                [&] {
                    for (std::uint32_t candidate : c.rootCardinals(list))
                        if (c.cardinals(candidate, wmPid) == std::vector<std::uint32_t>{pid})
                            w = candidate;
                    return w != XCB_WINDOW_NONE;
                },
                10s);
        }
        if (w == XCB_WINDOW_NONE)
            return w;
        c.x().selectInput(w, XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE);
        const xcb_atom_t extents = c.atom("_NET_FRAME_EXTENTS");
        if (!c.waitUntil([&] { return c.isViewable(w) && !c.cardinals(w, extents).empty(); }, 10s) ||
            !display.activate(w))
            return XCB_WINDOW_NONE;
        const std::vector<std::uint32_t> hints = c.cardinals(w, XCB_ATOM_WM_NORMAL_HINTS);
        if (hints.size() >= 11 && (hints[0] & XCB_ICCCM_SIZE_HINT_P_RESIZE_INC))
            tolerance = Size{std::max(1.0, double(hints[9])), std::max(1.0, double(hints[10]))};
        return w;
    }

    // The outer frame without the shadow a GTK window draws around itself.
    std::optional<Rect> frame(xcb_window_t w)
    {
        std::optional<Rect> f = display.outerFrame(w);
        std::vector<std::uint32_t> s = display.client().cardinals(w, gtkFrameExtents);
        if (!f || s.size() != 4)
            return f;
        return Rect(f->x() + s[0], f->y() + s[2], f->width() - s[0] - s[1], f->height() - s[2] - s[3]);
    }

    // Every edge within the tolerance: 1 px, or one resize increment.
    bool near(const std::optional<Rect>& f, const Rect& e) const
    {
        return f && std::fabs(f->minX() - e.minX()) <= tolerance.width &&
               std::fabs(f->maxX() - e.maxX()) <= tolerance.width &&
               std::fabs(f->minY() - e.minY()) <= tolerance.height &&
               std::fabs(f->maxY() - e.maxY()) <= tolerance.height;
    }

    bool covers(const std::optional<Rect>& f, const Rect& e) const
    {
        return f && f->minX() <= e.minX() + tolerance.width && f->maxX() >= e.maxX() - tolerance.width &&
               f->minY() <= e.minY() + tolerance.height && f->maxY() >= e.maxY() - tolerance.height;
    }

    std::optional<Rect> waitForFrame(xcb_window_t w, const Rect& expected)
    {
        std::optional<Rect> f;
        display.client().waitUntil([&] { return near(f = frame(w), expected); }, kWait);
        return f;
    }

    bool hasState(xcb_window_t w, xcb_atom_t state)
    {
        std::vector<std::uint32_t> s = display.client().cardinals(w, display.client().atom("_NET_WM_STATE"));
        return std::find(s.begin(), s.end(), state) != s.end();
    }

    Display display;
    std::unique_ptr<TestClientProcess> dock, testClient;
    std::unique_ptr<Child> child;
    MonitorOverride monitors;
    std::string home;
    Rect visible;
    Size tolerance{1, 1};
    xcb_atom_t gtkFrameExtents = XCB_ATOM_NONE;
};

TEST_P(ClientsIntegrationTest, OuterFrameLands)
{
    const auto& [app, c] = GetParam();
    const xcb_window_t w = start(app, c.testClientArgs);
    ASSERT_NE(w, XCB_WINDOW_NONE) << appName(app) << " did not map a managed, focused window within 10 s";
    x11test::TestClient& x = display.client();
    const xcb_atom_t fullScreen = x.atom("_NET_WM_STATE_FULLSCREEN");
    if (c.start != Start::Normal) {
        std::optional<Rect> before = frame(w);
        ASSERT_TRUE(before);
        if (c.start == Start::Maximized) {
            ASSERT_TRUE(x.changeState(w, true, x.atom("_NET_WM_STATE_MAXIMIZED_VERT"),
                                      x.atom("_NET_WM_STATE_MAXIMIZED_HORZ")));
        } else {
            ASSERT_TRUE(x.changeState(w, true, fullScreen));
        }
        // The state comes before the frame: wait until the frame covers the
        // area (some window managers push the borders of a maximized window
        // beyond it).
        const Rect filled = c.start == Start::Maximized ? visible : before->x() < 720 ? kMonitorA : kMonitorB;
        std::optional<Rect> f;
        x.waitUntil([&] { return covers(f = frame(w), filled); }, kWait);
        ASSERT_TRUE(f);
        if (c.start == Start::FullScreen && !near(f, filled))
            GTEST_SKIP() << "the window manager fills " << *f << " for full screen, not the monitor "
                         << filled << ": it does not see monitors made at run time";
    }
    for (std::size_t i = 0; i < c.ops.size(); ++i) {
        std::optional<Rect> before = frame(w);
        ASSERT_TRUE(before);
        RunResult r = tilewisectl({"perform", c.ops[i]});
        ASSERT_EQ(r.exitCode, 0) << c.ops[i] << ": " << r.err;
        EXPECT_EQ(r.err, "") << c.ops[i];
        const Rect expected = c.expected(visible, *before, i);
        std::optional<Rect> after = waitForFrame(w, expected);
        ASSERT_TRUE(after);
        // Filling the area, the window may equally end exactly on it.
        const bool filled = covers(before, visible) && covers(after, visible) && near(after, visible);
        EXPECT_TRUE(near(after, expected) || filled)
            << c.ops[i] << " #" << i + 1 << " from " << *before << ": expected " << expected << ", got "
            << *after << " (tolerance " << tolerance.width << "x" << tolerance.height << ")";
    }
    if (c.start == Start::FullScreen) {
        EXPECT_TRUE(hasState(w, fullScreen)) << "no longer full screen";
    }
}

INSTANTIATE_TEST_SUITE_P(Clients, ClientsIntegrationTest, ::testing::ValuesIn(params()),
                         [](const ::testing::TestParamInfo<Param>& info) {
                             return appName(info.param.app) + "_" + info.param.c.name;
                         });

} // namespace
} // namespace tilewise
