#include "layout/fixed_clip_values.hpp"

namespace tilewise {

namespace {

// Each number is the double nearest the fraction: the quotient computed in
// double precision, never a rounded decimal.
constexpr double q(int numerator, int denominator)
{
    return static_cast<double>(numerator) / static_cast<double>(denominator);
}

using enum OperationType;

// clang-format off
constexpr std::array<FixedClipValue, fixedClipValueCount> table{{
    {Maximize, {0, 0}, {1, 1}},
    {TopHalf, {0, 0}, {1, q(1, 2)}},
    {TopThird, {0, 0}, {1, q(1, 3)}},
    {TopTwoThirds, {0, 0}, {1, q(2, 3)}},
    {BottomHalf, {0, q(1, 2)}, {1, q(1, 2)}},
    {BottomThird, {0, q(2, 3)}, {1, q(1, 3)}},
    {BottomTwoThirds, {0, q(1, 3)}, {1, q(2, 3)}},
    {LeftHalf, {0, 0}, {q(1, 2), 1}},
    {LeftThird, {0, 0}, {q(1, 3), 1}},
    {LeftTwoThirds, {0, 0}, {q(2, 3), 1}},
    {RightHalf, {q(1, 2), 0}, {q(1, 2), 1}},
    {RightThird, {q(2, 3), 0}, {q(1, 3), 1}},
    {RightTwoThirds, {q(1, 3), 0}, {q(2, 3), 1}},
    {HorizontalCenterThird, {0, q(1, 3)}, {1, q(1, 3)}},
    {VerticalCenterThird, {q(1, 3), 0}, {q(1, 3), 1}},
    {TopLeftQuarter, {0, 0}, {q(1, 2), q(1, 2)}},
    {TopRightQuarter, {q(1, 2), 0}, {q(1, 2), q(1, 2)}},
    {BottomLeftQuarter, {0, q(1, 2)}, {q(1, 2), q(1, 2)}},
    {BottomRightQuarter, {q(1, 2), q(1, 2)}, {q(1, 2), q(1, 2)}},
    {TopFourth, {0, 0}, {1, q(1, 4)}},
    {BottomFourth, {0, q(3, 4)}, {1, q(1, 4)}},
    {LeftFourth, {0, 0}, {q(1, 4), 1}},
    {RightFourth, {q(3, 4), 0}, {q(1, 4), 1}},
    {TopThreeFourths, {0, 0}, {1, q(3, 4)}},
    {BottomThreeFourths, {0, q(1, 4)}, {1, q(3, 4)}},
    {LeftThreeFourths, {0, 0}, {q(3, 4), 1}},
    {RightThreeFourths, {q(1, 4), 0}, {q(3, 4), 1}},
    {TopFifth, {0, 0}, {1, q(1, 5)}},
    {BottomFifth, {0, q(4, 5)}, {1, q(1, 5)}},
    {LeftFifth, {0, 0}, {q(1, 5), 1}},
    {RightFifth, {q(4, 5), 0}, {q(1, 5), 1}},
    {TopTwoFifths, {0, 0}, {1, q(2, 5)}},
    {BottomTwoFifths, {0, q(3, 5)}, {1, q(2, 5)}},
    {LeftTwoFifths, {0, 0}, {q(2, 5), 1}},
    {RightTwoFifths, {q(3, 5), 0}, {q(2, 5), 1}},
    {TopThreeFifths, {0, 0}, {1, q(3, 5)}},
    {BottomThreeFifths, {0, q(2, 5)}, {1, q(3, 5)}},
    {LeftThreeFifths, {0, 0}, {q(3, 5), 1}},
    {RightThreeFifths, {q(2, 5), 0}, {q(3, 5), 1}},
    {TopFourFifths, {0, 0}, {1, q(4, 5)}},
    {BottomFourFifths, {0, q(1, 5)}, {1, q(4, 5)}},
    {LeftFourFifths, {0, 0}, {q(4, 5), 1}},
    {RightFourFifths, {q(1, 5), 0}, {q(4, 5), 1}},
    {TopSixth, {0, 0}, {1, q(1, 6)}},
    {BottomSixth, {0, q(5, 6)}, {1, q(1, 6)}},
    {LeftSixth, {0, 0}, {q(1, 6), 1}},
    {RightSixth, {q(5, 6), 0}, {q(1, 6), 1}},
    {TopFiveSixths, {0, 0}, {1, q(5, 6)}},
    {BottomFiveSixths, {0, q(1, 6)}, {1, q(5, 6)}},
    {LeftFiveSixths, {0, 0}, {q(5, 6), 1}},
    {RightFiveSixths, {q(1, 6), 0}, {q(5, 6), 1}},
}};
// clang-format on

constexpr bool eachOperationOnce()
{
    for (std::size_t i = 0; i < table.size(); ++i) {
        for (std::size_t j = i + 1; j < table.size(); ++j) {
            if (table[i].operation == table[j].operation)
                return false;
        }
    }
    return true;
}
static_assert(eachOperationOnce(), "one record per fixed-fraction operation");

} // namespace

const std::array<FixedClipValue, fixedClipValueCount>& fixedClipValues()
{
    return table;
}

const FixedClipValue* fixedClipValue(OperationType op)
{
    for (const FixedClipValue& v : table) {
        if (v.operation == op)
            return &v;
    }
    return nullptr;
}

} // namespace tilewise
