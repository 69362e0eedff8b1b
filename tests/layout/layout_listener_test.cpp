// This test verifies how the layout records keep the frame to restore across
// a series of operations and a user's move in between.
#include "layout/layout_listener.hpp"
#include "platform/memory/memory_window_access.hpp"

#include <gtest/gtest.h>

namespace tilewise {
namespace {

TEST(LayoutListenerTest, OriginalFrameSurvivesTheSeriesUntilTheUserMoves)
{
    MemoryWindowAccess access;
    LayoutListener listener(access);
    WindowElement w = access.addWindow({100, 100, 400, 300}, 1, 7);

    listener.recordBefore(w, 7);
    access.setFrame(w, Rect(0, 25, 720, 875));
    listener.recordAfter(w, 7);
    EXPECT_EQ(listener.layoutRecords.at(7),
              (LayoutListener::LayoutRecord{std::nullopt, Rect(0, 25, 720, 875), Rect(100, 100, 400, 300)}));

    listener.recordBefore(w, 7);
    access.setFrame(w, Rect(720, 25, 720, 875));
    listener.recordAfter(w, 7);
    EXPECT_EQ(listener.layoutRecords.at(7).originalFrame, Rect(100, 100, 400, 300));

    access.placeByUser(w, {50, 60, 700, 800});
    listener.recordBefore(w, 7);
    EXPECT_EQ(listener.layoutRecords.at(7),
              (LayoutListener::LayoutRecord{std::nullopt, Rect(720, 25, 720, 875), Rect(50, 60, 700, 800)}));
}

TEST(LayoutListenerTest, NoIdOrNoRecordLeavesTheRecordsAlone)
{
    MemoryWindowAccess access;
    LayoutListener listener(access);
    WindowElement w = access.addWindow({100, 100, 400, 300}, 1, 7);
    listener.recordBefore(w, std::nullopt);
    listener.recordAfter(w, 7);
    EXPECT_TRUE(listener.layoutRecords.empty());

    // An entry without a frame yet keeps its original frame.
    listener.recordBefore(w, 7);
    access.placeByUser(w, {0, 0, 10, 10});
    listener.recordBefore(w, 7);
    EXPECT_EQ(listener.layoutRecords.at(7).originalFrame, Rect(100, 100, 400, 300));
}

} // namespace
} // namespace tilewise
