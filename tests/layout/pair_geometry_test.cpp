// Where a partner window goes, and what two windows leave for a third, on a
// 1440 x 900 screen whose visible frame is (0, 25, 1440, 875).
#include "layout/pair_geometry.hpp"

#include <gtest/gtest.h>

namespace tilewise {
namespace {

const Rect area(0, 25, 1440, 875);
const Size landscape{1440, 900};

TEST(PairGeometryTest, PartnerFillsTheFreeSideOrTheCornersNeighbourhood)
{
    const PairSettings off;
    const PairSettings maximize{true, SmartPairModeSizing::maximize};
    const PairSettings match{true, SmartPairModeSizing::matchTheFirst};
    struct Case {
        Rect first;
        Size screen;
        PairSettings settings;
        std::optional<Rect> partner;
    };
    const Case cases[] = {
        {Rect(0, 25, 720, 875), landscape, off, Rect(720, 25, 720, 875)},
        {Rect(0, 25, 1200, 875), landscape, off, Rect(1200, 25, 240, 875)},
        // All four edges within reach: nothing left to fill.
        {Rect(0, 25, 1300, 875), landscape, off, std::nullopt},
        // A free top narrower than the reach is no gap worth filling.
        {Rect(0, 160, 1440, 740), landscape, off, std::nullopt},
        {Rect(0, 25, 720, 437.5), landscape, off, std::nullopt},
        {Rect(0, 25, 720, 437.5), landscape, maximize, Rect(720, 25, 720, 875)},
        {Rect(0, 25, 720, 437.5), landscape, match, Rect(720, 25, 720, 437.5)},
        {Rect(720, 462.5, 720, 437.5), landscape, match, Rect(0, 462.5, 720, 437.5)},
        // Portrait: below or above, across the whole width or the first's.
        {Rect(0, 25, 720, 437.5), Size{1080, 1920}, maximize, Rect(0, 462.5, 1440, 437.5)},
        {Rect(720, 462.5, 720, 437.5), Size{1080, 1920}, match, Rect(720, 25, 720, 437.5)},
        // A band from top to bottom touches two opposite edges only.
        {Rect(400, 25, 640, 875), landscape, maximize, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(describe(c.first));
        EXPECT_EQ(partnerFrame(area, c.screen, c.first, c.settings), c.partner);
    }
}

TEST(PairGeometryTest, TwoWindowsLeaveOneRectangleForTheThird)
{
    const std::vector<Rect> a1 = subtractRect({area}, Rect(0, 25, 720, 875));
    EXPECT_EQ(a1, (std::vector<Rect>{Rect(720, 25, 720, 875)}));
    const std::vector<Rect> a2 = subtractRect(a1, Rect(720, 25, 720, 437.5));
    EXPECT_EQ(a2, (std::vector<Rect>{Rect(720, 462.5, 720, 437.5)}));
    EXPECT_EQ(mergeRects(a2), a2);

    // Of the eight pieces around a window in the middle, those narrower
    // than the reach are dropped; a rectangle it does not overlap stays.
    const std::vector<Rect> around = subtractRect({area, Rect(2000, 0, 400, 400)}, Rect(100, 225, 1240, 475));
    EXPECT_EQ(around, (std::vector<Rect>{Rect(100, 25, 1240, 200), Rect(100, 700, 1240, 200),
                                         Rect(2000, 0, 400, 400)}));
    // Side by side and one above the other merge; a stranger stays apart.
    EXPECT_EQ(mergeRects({Rect(0, 25, 400, 475), Rect(400, 25, 300, 400), Rect(0, 600, 100, 100)}),
              (std::vector<Rect>{Rect(0, 600, 100, 100), Rect(0, 25, 700, 400)}));
    EXPECT_EQ(mergeRects({Rect(0, 25, 700, 300), Rect(50, 325, 650, 300)}),
              (std::vector<Rect>{Rect(50, 25, 650, 600)}));
}

} // namespace
} // namespace tilewise
