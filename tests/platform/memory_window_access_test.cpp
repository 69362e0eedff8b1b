// This test verifies that the in-memory desktop behaves like an application
// would: minimum sizes clamp, stale handles fail quietly, focus raises.
#include "platform/memory/memory_window_access.hpp"

#include <gtest/gtest.h>

namespace tilewise {
namespace {

TEST(MemoryWindowAccessTest, SizeLimitsClampEachDimensionUnlessIgnored)
{
    MemoryWindowAccess access;
    WindowElement w = access.addWindow({0, 0, 800, 600});
    access.setMinimumSize(w, Size{500, 400});
    EXPECT_EQ(access.sizeLimits(w), SizeLimits{}) << "a minimum not stated is seen only by refusal";
    access.setSize(w, {480, 700});
    EXPECT_EQ(access.size(w), (Size{500, 700}));
    access.setSize(w, {900, 100});
    EXPECT_EQ(access.size(w), (Size{900, 400}));
    EXPECT_EQ(access.writes().back().size, (Size{900, 100})) << "the log keeps what was asked";

    const SizeLimits limits{Size{500, 400}, Size{1000, 800}};
    access.setSizeLimits(w, limits);
    EXPECT_EQ(access.sizeLimits(w), limits);
    access.setFrame(w, Rect(5, 6, 1200, 300));
    EXPECT_EQ(access.frame(w), Rect(5, 6, 1000, 400));
    access.setSizeLimits(w, limits, false);
    access.setFrame(w, Rect(5, 6, 1200, 300));
    EXPECT_EQ(access.frame(w), Rect(5, 6, 1200, 300)) << "a window manager that ignores the hints";
}

TEST(MemoryWindowAccessTest, StaleHandleFailsQuietly)
{
    MemoryWindowAccess access;
    WindowElement w = access.addWindow({10, 10, 100, 100}, 3);
    access.setFocused(w);
    access.removeWindow(w);
    EXPECT_EQ(access.focusedWindow(), std::nullopt);
    EXPECT_EQ(access.position(w), (Point{}));
    EXPECT_EQ(access.size(w), (Size{}));
    EXPECT_EQ(access.processId(w), std::nullopt);
    access.setFrame(w, Rect(1, 2, 3, 4));
    EXPECT_EQ(access.frame(w), Rect());
    EXPECT_TRUE(access.windowList().empty());
}

TEST(MemoryWindowAccessTest, FocusRaisesAndMinimisingDropsFocus)
{
    MemoryWindowAccess access;
    WindowElement a = access.addWindow({}, 1, 1);
    access.addWindow({}, 1, 2);
    ASSERT_EQ(access.windowList().front().id, 2u);
    access.setFocused(a);
    EXPECT_EQ(access.windowList().front().id, 1u);
    access.setOnScreen(a, false);
    EXPECT_EQ(access.focusedWindow(), std::nullopt);
    ASSERT_EQ(access.windowList().size(), 1u);
    EXPECT_EQ(access.windowList().front().id, 2u);
}

} // namespace
} // namespace tilewise
