// This test verifies that the in-memory desktop behaves like an application
// would: minimum sizes clamp, stale handles fail quietly, focus raises.
#include "platform/memory/memory_window_access.hpp"

#include <gtest/gtest.h>

namespace tilewise {
namespace {

TEST(MemoryWindowAccessTest, MinimumSizeClampsEachDimension)
{
    MemoryWindowAccess access;
    WindowElement w = access.addWindow({0, 0, 800, 600});
    access.setMinimumSize(w, Size{500, 400});
    access.setSize(w, {480, 700});
    EXPECT_EQ(access.size(w), (Size{500, 700}));
    access.setSize(w, {900, 100});
    EXPECT_EQ(access.size(w), (Size{900, 400}));
    EXPECT_EQ(access.writes().back().size, (Size{900, 100})) << "the log keeps what was asked";
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
