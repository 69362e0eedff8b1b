// This test verifies tilewisectl end to end: the real program, a real window
// manager and real client windows on the display in $DISPLAY, with a
// 25-pixel dock along the top of a 1440x900 screen. The fixed fractions,
// clip cycles, minimum sizes and resize increments on the clients users run
// are in clients_integration_test.cpp.
#include "tilewise_session.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

namespace tilewise {
namespace {

using namespace tilewise::testing;

class CtlIntegrationTest : public TilewiseSessionTest {
protected:
    void SetUp() override
    {
        TilewiseSessionTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        visible = primaryVisibleFrame();
        if (const char* wm = std::getenv("TILEWISE_WM"); wm && std::string(wm) == "openbox") {
            ASSERT_EQ(visible, Rect(0, 25, 1440, 875));
        }
    }

    void perform(const std::string& op)
    {
        RunResult r = tilewisectl({"perform", op});
        ASSERT_EQ(r.exitCode, 0) << op << ": " << r.err;
        EXPECT_EQ(r.err, "") << op;
    }

    Rect visible;
};

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

TEST_F(CtlIntegrationTest, NextScreenKeepsRelativePlaceAndSize)
{
    // Two side-by-side monitors of 720x900 on the one root window.
    MonitorOverride monitors;
    ASSERT_TRUE(monitors.add("TW-A", "720/190x900/238+0+0", firstOutputName()));
    ASSERT_TRUE(monitors.add("TW-B", "720/190x900/238+720+0", "none"));
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

TEST_F(CtlIntegrationTest, ErrorsAreOneLineWithTheirExitCodes)
{
    RunResult unknown = tilewisectl({"perform", "Sideways"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_EQ(unknown.err, "tilewisectl: unknown operation \"Sideways\" (see 'tilewisectl operations')\n");

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
