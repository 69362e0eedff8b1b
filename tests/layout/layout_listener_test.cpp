// The layout records: the frame to restore across a series and a user's move.
#include "layout/layout_listener.hpp"
#include "platform/memory/memory_window_access.hpp"

#include <gtest/gtest.h>

namespace tilewise {
namespace {

class LayoutListenerTest : public ::testing::Test {
protected:
    MemoryWindowAccess access;
    LayoutListener listener{access};
    WindowElement w = access.addWindow({100, 100, 400, 300}, 1, 7);
};

TEST_F(LayoutListenerTest, OriginalFrameSurvivesTheSeriesUntilTheUserMoves)
{
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

TEST_F(LayoutListenerTest, NoIdOrNoRecordLeavesTheRecordsAlone)
{
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
