// Shared WindowAccess rules: window-id matching, flooring of writes, primary screen, screen under mouse.
#include "platform/memory/memory_window_access.hpp"

#include <gtest/gtest.h>

namespace tilewise {
namespace {

TEST(WindowAccessTest, WindowIdTakesTheFrontmostExactMatchOnScreen)
{
    MemoryWindowAccess access;
    WindowElement back = access.addWindow({10, 20, 300, 200}, 7, 11);
    WindowElement front = access.addWindow({10, 20, 300, 200}, 7, 12);
    EXPECT_EQ(access.windowId(back), 12u) << "same pid and frame: the one nearer the front wins";
    EXPECT_EQ(access.windowId(front), 12u);

    access.raise(back);
    EXPECT_EQ(access.windowId(front), 11u);

    // Another process with the same frame in front does not match.
    WindowElement other = access.addWindow({10, 20, 300, 200}, 8, 13);
    EXPECT_EQ(access.windowId(front), 11u);
    EXPECT_EQ(access.windowId(other), 13u);

    // Minimised windows are not in the on-screen list; nor are gone ones.
    access.setOnScreen(other, false);
    EXPECT_EQ(access.windowId(other), std::nullopt);
    access.setOnScreen(other, true);
    EXPECT_EQ(access.windowId(other), 13u);
    access.removeWindow(other);
    EXPECT_EQ(access.windowId(other), std::nullopt);
}

TEST(WindowAccessTest, FrameIsFlooredAndWrittenOnce)
{
    MemoryWindowAccess access;
    WindowElement w = access.addWindow({0, 0, 100, 100});
    access.setFrame(w, Rect(100.9, -0.5, 640.5, 480.99));
    // Floor, not truncation: -0.5 is -1.
    EXPECT_EQ(access.writes(), (std::vector<MemoryWindowAccess::Write>{
                                   {w, MemoryWindowAccess::WriteKind::Frame, {100, -1}, {640, 480}}}));
    EXPECT_EQ(access.frame(w), Rect(100, -1, 640, 480));
}

TEST(WindowAccessTest, PrimaryScreenIsTheOneAtOriginWhereverListed)
{
    MemoryWindowAccess access;
    EXPECT_EQ(access.primaryScreenMaxY(), 0);
    access.addScreen({-1920, -180, 1920, 1080}, {-1920, -180, 1920, 1080}, "left");
    EXPECT_EQ(access.primaryScreenMaxY(), 900) << "no screen at the origin: the first one";
    access.addScreen({0, 0, 1440, 900}, {0, 0, 1440, 875}, "built-in");
    EXPECT_EQ(access.primaryScreenMaxY(), 900);

    MemoryWindowAccess other;
    other.addScreen({-1920, 0, 1920, 1200}, {-1920, 0, 1920, 1200}, "left");
    other.addScreen({0, 0, 1440, 900}, {0, 0, 1440, 875}, "built-in");
    EXPECT_EQ(other.primaryScreenMaxY(), 900);
    EXPECT_EQ(toWindowSpace(other.screens()[0].visibleFrame, other.primaryScreenMaxY()),
              Rect(-1920, -300, 1920, 1200));
}

TEST(WindowAccessTest, ScreenUnderMouseIncludesEdgesFirstListedWins)
{
    MemoryWindowAccess access;
    Screen a = access.addScreen({0, 0, 1440, 900}, {0, 0, 1440, 875}, "a");
    Screen b = access.addScreen({1440, 0, 1920, 1080}, {1440, 0, 1920, 1080}, "b");
    access.setMouseLocation({1440, 500});
    EXPECT_EQ(access.screenUnderMouse(), a);
    access.setMouseLocation({1441, 1080});
    EXPECT_EQ(access.screenUnderMouse(), b);
    access.setMouseLocation({1441, 1080.5});
    EXPECT_EQ(access.screenUnderMouse(), std::nullopt);
}

} // namespace
} // namespace tilewise
