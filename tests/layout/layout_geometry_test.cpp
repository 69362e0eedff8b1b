// Clip-cycle arithmetic alone: rules the engine tests reach only through particular windows.
#include "layout/layout_geometry.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace tilewise {
namespace {

using enum OperationType;

const Rect area(0, 25, 1440, 875);
const std::vector<double> widths{720, 480, 360};

TEST(LayoutGeometryTest, NextClipSizeWithoutLearnedMinimum)
{
    auto next = [](double current, double x, OperationType op = Left) {
        return nextClipSize(op, widths, area, current, x, std::nullopt);
    };
    EXPECT_EQ(next(720, 0), 480);
    EXPECT_EQ(next(721.9, 0), 480) << "within the tolerance of the first clip";
    EXPECT_EQ(next(360, 0), 720) << "the last clip wraps to the first";
    EXPECT_EQ(next(400, 0), 360) << "the first later clip below the current width";
    EXPECT_EQ(next(300, 0), 720) << "below every clip: the scan ends on the first";
    EXPECT_EQ(next(480, 300), 720) << "away from the edge";
    EXPECT_EQ(next(480, -50), 360) << "left of the edge still touches it";

    // Right and Down measure the far edge, on both sides.
    EXPECT_EQ(next(480, 961.9, Right), 360);
    EXPECT_EQ(next(480, 958.1, Right), 360);
    EXPECT_EQ(next(480, 957.9, Right), 720);
    EXPECT_EQ(next(480, 962, Right), 720) << "exactly 2 apart is not equal";
    EXPECT_EQ(nextClipSize(Down, {875, 437.5}, area, 437.5, 462.5, std::nullopt), 875);

    EXPECT_EQ(nextClipSize(Left, {720}, area, 720, 0, std::nullopt), 720) << "a single clip stays";
}

TEST(LayoutGeometryTest, NextClipSizeHonoursTheLearnedMinimum)
{
    const Size minimum{400, unlearnedMinimum};
    auto next = [&](double current) { return nextClipSize(Left, widths, area, current, 0, minimum); };
    EXPECT_EQ(next(401), 720) << "at the minimum the cycle starts over";
    EXPECT_EQ(next(480), 400) << "360 would undercut the minimum";
    EXPECT_EQ(nextClipSize(Left, widths, area, 800, 0, Size{750, unlearnedMinimum}), 750)
        << "a candidate below the minimum gives the larger of the first clip and the minimum";
    EXPECT_EQ(nextClipSize(Left, widths, area, 500, 0, Size{800, unlearnedMinimum}), 800);
    // The height was never learned, so vertical cycling is unaffected.
    EXPECT_EQ(nextClipSize(Up, {875, 437.5}, area, 875, 25, minimum), 437.5);
}

TEST(LayoutGeometryTest, ClipLengthsSkipClipsWithoutALength)
{
    const std::vector<Clip> clips{
        {1, 0}, {0, 2}, {-1, 2}, {1, 2}, {std::numeric_limits<long long>::max(), 1}};
    const std::vector<double> lengths = clipLengths(clips, 1440);
    ASSERT_EQ(lengths.size(), 2u);
    EXPECT_EQ(lengths[0], 720);
    EXPECT_TRUE(std::isfinite(lengths[1]));
    EXPECT_TRUE(clipLengths(clips, 0).empty());
}

TEST(LayoutGeometryTest, ScreenMoveNeedsAreasToDivide)
{
    const Rect target(1440, 25, 1920, 1055);
    EXPECT_EQ(frameOnScreen({360, 25, 720, 875}, area, target), Rect(1920, 25, 960, 1055));
    EXPECT_EQ(frameOnScreen({360, 25, 720, 875}, Rect(0, 25, 0, 875), target), std::nullopt);
    EXPECT_EQ(frameOnScreen({360, 25, 720, 875}, area, Rect(0, 25, 1440, 0)), std::nullopt);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(frameOnScreen({360, 25, 720, 875}, area, Rect(nan, 0, 10, 10)), std::nullopt);
}

} // namespace
} // namespace tilewise
