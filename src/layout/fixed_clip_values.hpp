// The fixed-fraction table: for each operation from Maximize to
// RightFiveSixths, its place and size as fractions of the target screen's
// visible frame (x and width of its width, y and height of its height, y
// measured down from the visible top).
#pragma once

#include "layout/operation_type.hpp"
#include "platform/geometry.hpp"

#include <array>

namespace tilewise {

struct FixedClipValue {
    OperationType operation;
    Point position;
    Size size;
};

inline constexpr int fixedClipValueCount = 51;

// In the order of the operations, one record per fixed-fraction operation.
const std::array<FixedClipValue, fixedClipValueCount>& fixedClipValues();
// The first record for the operation; null for every other operation.
const FixedClipValue* fixedClipValue(OperationType op);

} // namespace tilewise
