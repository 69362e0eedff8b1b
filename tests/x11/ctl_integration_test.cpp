// This test verifies tilewisectl end to end: the real program, a real window
// manager and real client windows on the display in $DISPLAY, with a
// 25-pixel dock along the top of a 1440x900 screen.
#include "ctl_harness.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>

namespace tilewise {
namespace {

using namespace tilewise::testing;

class CtlIntegrationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "needs an X server with a window manager in DISPLAY";
        ASSERT_TRUE(display.ok());
        dock = std::make_unique<TestClientProcess>(std::vector<std::string>{"--dock", "top:25"});
        ASSERT_TRUE(dock->ready());
        visible = visibleFrame();
        if (wm() == "openbox") {
            ASSERT_EQ(visible, Rect(0, 25, 1440, 875));
        }
    }

    static std::string wm()
    {
        const char* name = std::getenv("TILEWISE_WM");
        return name ? name : "";
    }

    Rect visibleFrame() { return primaryVisibleFrame(); }

    // A window of the test client, focused.
    xcb_window_t newWindow(std::vector<std::string> args)
    {
        clients.push_back(std::make_unique<TestClientProcess>(args));
        EXPECT_TRUE(clients.back()->ready());
        if (clients.back()->windows().empty())
            return XCB_WINDOW_NONE;
        xcb_window_t w = clients.back()->windows().front();
        EXPECT_TRUE(display.activate(w));
        return w;
    }

    void perform(const std::string& op)
    {
        RunResult r = tilewisectl({"perform", op});
        ASSERT_EQ(r.exitCode, 0) << op << ": " << r.err;
        EXPECT_EQ(r.err, "") << op;
    }

    Display display;
    std::unique_ptr<TestClientProcess> dock;
    std::vector<std::unique_ptr<TestClientProcess>> clients;
    Rect visible;
};

TEST_F(CtlIntegrationTest, FixedFractionsPlaceTheOuterFrame)
{
    xcb_window_t w = newWindow({"--window", "300,200,400,300"});
    const double top = visible.y(), h = visible.height();

    perform("LeftHalf");
    EXPECT_EQ(display.waitForFrame(w, Rect(0, top, 720, h)), Rect(0, top, 720, h));
    perform("TopThird");
    Rect third(0, top, 1440, std::floor(h / 3));
    EXPECT_EQ(display.waitForFrame(w, third), third);
    perform("RightThird");
    Rect right(960, top, 480, h);
    EXPECT_EQ(display.waitForFrame(w, right), right);
    perform("Maximize");
    EXPECT_EQ(display.waitForFrame(w, visible), visible);
}

TEST_F(CtlIntegrationTest, LeftCyclesThroughTheClipWidths)
{
    xcb_window_t w = newWindow({"--window", "300,200,400,300"});
    std::optional<Rect> start = display.outerFrame(w);
    ASSERT_TRUE(start);
    for (double width : {720.0, 480.0, 360.0, 720.0}) {
        perform("Left");
        Rect expected(0, start->y(), width, start->height());
        EXPECT_EQ(display.waitForFrame(w, expected), expected) << "width " << width;
    }
}

TEST_F(CtlIntegrationTest, ClipListWrittenThroughDefaultsTakesEffectAtTheNextPress)
{
    xcb_window_t w = newWindow({"--window", "300,200,400,300"});
    std::optional<Rect> start = display.outerFrame(w);
    ASSERT_TRUE(start);
    ASSERT_EQ(tilewisectl({"defaults", "write", "TilewiseClipHorizontal", "-string",
                           R"([{"numerator":2,"denominator":3}])"})
                  .exitCode,
              0);
    struct Forget {
        ~Forget() { tilewisectl({"defaults", "delete", "TilewiseClipHorizontal"}); }
    } forget;
    perform("Left");
    Rect twoThirds(0, start->y(), 960, start->height());
    EXPECT_EQ(display.waitForFrame(w, twoThirds), twoThirds);
}

TEST_F(CtlIntegrationTest, RightStopsAtTheMinimumWidthFlushWithTheEdge)
{
    if (wm() == "fluxbox")
        GTEST_SKIP() << "fluxbox does not hold client requests to the minimum size";
    xcb_window_t w = newWindow({"--window", "300,200,400,300", "--min-outer", "500,100"});
    std::optional<Rect> start = display.outerFrame(w);
    ASSERT_TRUE(start);
    perform("Right");
    Rect half(720, start->y(), 720, start->height());
    EXPECT_EQ(display.waitForFrame(w, half), half);
    // 480 is refused: the window keeps its minimum and is moved back so
    // that its right edge still meets the screen's.
    perform("Right");
    Rect atMinimum(940, start->y(), 500, start->height());
    EXPECT_EQ(display.waitForFrame(w, atMinimum), atMinimum);
}

TEST_F(CtlIntegrationTest, MovesStopAtTheEdgesAndCornersUseTheVisibleFrame)
{
    xcb_window_t w = newWindow({"--window", "100,200,400,300"});
    std::optional<Rect> start = display.outerFrame(w);
    ASSERT_TRUE(start);
    const double ww = start->width(), wh = start->height(), top = visible.y();
    auto expectAt = [&](double x, double y) {
        Rect expected(x, y, ww, wh);
        EXPECT_EQ(display.waitForFrame(w, expected), expected);
    };

    perform("MoveTopLeftCorner");
    expectAt(0, top);
    perform("MoveRightward"); // by its own width
    expectAt(ww, top);
    perform("MoveRightward");
    expectAt(2 * ww, top);
    perform("MoveRightward"); // flush with the right edge first
    expectAt(1440 - ww, top);
    perform("MoveRightward"); // then only 30 points would stay on screen,
    // but a window manager may keep more of it in view.
    std::optional<Rect> parked = display.waitForFrameChange(w, Rect(1440 - ww, top, ww, wh));
    ASSERT_TRUE(parked);
    EXPECT_GT(parked->x(), 1440 - ww);
    EXPECT_LE(parked->x(), 1410);
    perform("MoveLeftwardLittle");
    expectAt(parked->x() == 1410 ? 1390 : parked->x() - 50, top);
    perform("MoveBottomRightCorner");
    expectAt(1440 - ww, visible.maxY() - wh);
    perform("MoveUpward");
    expectAt(1440 - ww, visible.maxY() - 2 * wh);
}

TEST_F(CtlIntegrationTest, XtermWithResizeIncrementsLandsAtTheLeftEdge)
{
    clients.clear();
    Child xterm({"xterm", "-class", "TilewiseXterm", "-geometry", "80x24+300+200", "-e", "cat"});
    // xterm maps on its own; xdotool waits for its window to show.
    // The first start of a terminal may have to build its font cache.
    RunResult found = run({"xdotool", "search", "--sync", "--onlyvisible", "--class", "TilewiseXterm"}, {},
                          std::chrono::seconds(20));
    xcb_window_t w = static_cast<xcb_window_t>(std::strtoul(found.out.c_str(), nullptr, 10));
    ASSERT_NE(w, XCB_WINDOW_NONE);
    ASSERT_TRUE(display.activate(w));

    perform("LeftHalf");
    // The terminal rounds its size down to whole character cells.
    std::optional<Rect> f = display.waitForFrame(w, Rect(0, visible.y(), 720, visible.height()));
    ASSERT_TRUE(f);
    EXPECT_EQ(f->x(), 0);
    EXPECT_EQ(f->y(), visible.y());
    EXPECT_LE(f->width(), 720);
    EXPECT_GT(f->width(), 700);

    // A second Left steps on to the next clip, as the width is near no clip.
    perform("Left");
    perform("Left");
    std::optional<Rect> g = display.outerFrame(w);
    ASSERT_TRUE(g);
    EXPECT_EQ(g->x(), 0);
    EXPECT_LT(g->width(), 500);
}

TEST_F(CtlIntegrationTest, NextScreenKeepsRelativePlaceAndSize)
{
    // Two side-by-side monitors of 720x900 on the one root window.
    RunResult outputs = run({"xrandr", "--listmonitors"});
    ASSERT_EQ(outputs.exitCode, 0);
    std::string output = outputs.out.substr(outputs.out.find_last_of(' ') + 1);
    output.erase(output.find_last_not_of(" \n") + 1);
    ASSERT_EQ(run({"xrandr", "--setmonitor", "TW-A", "720/190x900/238+0+0", output}).exitCode, 0);
    ASSERT_EQ(run({"xrandr", "--setmonitor", "TW-B", "720/190x900/238+720+0", "none"}).exitCode, 0);
    struct Restore {
        ~Restore()
        {
            run({"xrandr", "--delmonitor", "TW-B"});
            run({"xrandr", "--delmonitor", "TW-A"});
        }
    } restore;

    RunResult screens = tilewisectl({"screens"});
    ASSERT_EQ(screens.exitCode, 0);
    ASSERT_NE(screens.out.find("TW-A frame (0.0, 0.0, 720.0, 900.0)"), std::string::npos) << screens.out;
    ASSERT_NE(screens.out.find("TW-B frame (720.0, 0.0, 720.0, 900.0)"), std::string::npos) << screens.out;

    xcb_window_t w = newWindow({"--window", "100,200,400,300"});
    const double top = visible.y(), h = visible.height();
    perform("LeftHalf"); // the left half of TW-A
    Rect onA(0, top, 360, h);
    ASSERT_EQ(display.waitForFrame(w, onA), onA);
    perform("NextScreen");
    Rect onB(720, top, 360, h);
    EXPECT_EQ(display.waitForFrame(w, onB), onB);
    perform("NextScreen"); // wraps around
    EXPECT_EQ(display.waitForFrame(w, onA), onA);
}

TEST_F(CtlIntegrationTest, ShortcutsAreShownWithTheKeysOfTheCurrentLayout)
{
    RunResult us = tilewisectl({"shortcuts"});
    ASSERT_EQ(us.exitCode, 0) << us.err;
    EXPECT_NE(us.out.find("\nmaxmize \u2303\u2325F\n"), std::string::npos) << us.out;
    EXPECT_EQ(us.out.rfind("clipLeft \u2303\u2325\u2190\n", 0), 0u) << us.out;

    ASSERT_EQ(run({"setxkbmap", "dvorak"}).exitCode, 0);
    struct Restore {
        ~Restore() { run({"setxkbmap", "us"}); }
    } restore;
    // The key at F's place types U on this layout.
    RunResult dvorak = tilewisectl({"shortcuts"});
    EXPECT_NE(dvorak.out.find("\nmaxmize \u2303\u2325U\n"), std::string::npos) << dvorak.out;
}

TEST_F(CtlIntegrationTest, ErrorsAreOneLineWithTheirExitCodes)
{
    RunResult unknown = tilewisectl({"perform", "Sideways"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_EQ(unknown.err, "tilewisectl: unknown operation \"Sideways\" (see 'tilewisectl operations')\n");

    RunResult pair = tilewisectl({"perform", "Pair"});
    EXPECT_EQ(pair.exitCode, 3);

    RunResult noDisplay = tilewisectl({"windows"}, {"DISPLAY"});
    EXPECT_EQ(noDisplay.exitCode, 1);
    EXPECT_EQ(noDisplay.err, "tilewisectl: no display: DISPLAY is not set\n");

    // A bare X server of our own, without a window manager.
    Child xvfb({"sh", "-c", "exec Xvfb -displayfd 1 -nolisten tcp -screen 0 640x480x24 2>/dev/null"});
    std::optional<std::string> number = xvfb.readLine();
    ASSERT_TRUE(number);
    RunResult noWm = tilewisectl({"perform", "LeftHalf"}, {"DISPLAY=:" + *number});
    EXPECT_EQ(noWm.exitCode, 1);
    EXPECT_NE(noWm.err.find("no EWMH window manager"), std::string::npos) << noWm.err;
}

TEST_F(CtlIntegrationTest, WindowsAreListedFrontToBack)
{
    newWindow({"--window", "100,200,400,300"});
    newWindow({"--window", "600,200,400,300"});
    RunResult r = tilewisectl({"windows"});
    ASSERT_EQ(r.exitCode, 0);
    std::vector<std::string> listed;
    std::vector<xcb_window_t> ids;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
        listed.push_back(line.substr(0, line.find(' ')));
        ids.push_back(static_cast<xcb_window_t>(std::strtoul(listed.back().c_str(), nullptr, 16)));
    }
    std::vector<std::string> expected;
    for (xcb_window_t w : display.stackingFrontToBack(ids)) {
        char id[16];
        std::snprintf(id, sizeof id, "0x%08x", w);
        expected.push_back(id);
    }
    EXPECT_EQ(listed, expected);
    EXPECT_GE(listed.size(), 2u);
}

} // namespace
} // namespace tilewise
