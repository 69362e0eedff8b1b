// The arithmetic of every layout, kept apart from the platform so that it can
// be read and tested on its own. Every function works in window space and
// takes the target screen's visible frame in window space as `area`: its
// minY is the visible top, maxY the bottom, minX the left, maxX the right.
#pragma once

#include "layout/fixed_clip_values.hpp"
#include "layout/operation_type.hpp"
#include "platform/geometry.hpp"
#include "settings/clip.hpp"

#include <optional>
#include <vector>

namespace tilewise {

// Lengths and positions closer than this count as equal: applications round
// and decorate, so exact comparisons would never match.
inline constexpr double layoutTolerance = 2.0;
// A component of the learned minimum size that was never learned.
inline constexpr double unlearnedMinimum = -1000000.0;
// How much of a window a move keeps on the visible frame.
inline constexpr double visibleMargin = 30.0;
inline constexpr double littleMoveStep = 50.0;

bool isClipCycling(OperationType op);    // Up, Down, Left, Right
bool isHorizontalClip(OperationType op); // Left, Right

// A visible frame the engine may divide by and lay out on: finite, with a
// positive width and height.
bool isUsableArea(const Rect& area);

// A frame that may be written: finite, and at least one point wide and high
// once floored.
bool isWritableFrame(const Rect& frame);

Rect fractionFrame(const FixedClipValue& fraction, const Rect& area);

// True when a fraction starting at `position` with `length` (both fractions
// of the visible frame) ends on its right or bottom edge without starting on
// the opposite one: a window kept from that size is held against that edge.
// One spanning the whole frame keeps its left or top.
bool holdsFarEdge(double position, double length);

// The fraction's frame at the size the window accepts: each dimension
// clamped to `minimum` and `maximum` (outer sizes; either may be unknown),
// held against the right or bottom edge where the fraction ends on it, and
// kept inside the visible frame where it fits. A dimension the limits leave
// alone is the fraction's exactly.
Rect acceptedFractionFrame(const FixedClipValue& fraction, const Rect& area,
                           const std::optional<Size>& minimum, const std::optional<Size>& maximum);

// Each clip as a length of `extent`, in list order. Clips that would give no
// sensible length (a zero denominator, a non-finite or non-positive value)
// are left out.
std::vector<double> clipLengths(const std::vector<Clip>& clips, double extent);

// The next length in the clip cycle for a window whose current length in the
// operation's dimension is `current` and whose coordinate in it is
// `coordinate`. `lengths` must not be empty.
double nextClipSize(OperationType op, const std::vector<double>& lengths, const Rect& area, double current,
                    double coordinate, const std::optional<Size>& learnedMinimum);

// Where a window of `length` starts when it is held against the operation's edge.
double anchoredPosition(OperationType op, double length, const Rect& area);

// The clip-cycling target for a window at `current`: the operation's
// dimension from the cycle, the other one kept.
Rect clipTarget(OperationType op, const std::vector<double>& lengths, const Rect& area, const Rect& current,
                const std::optional<Size>& learnedMinimum);

// The new coordinate of a plain move (MoveUpward ... MoveRightward) of a
// window whose coordinate in the move's direction is `coordinate` and whose
// length in it is `length`, by `step`.
double movedCoordinate(OperationType move, double coordinate, double length, double step, const Rect& area);

Point cornerPosition(OperationType corner, Size size, const Rect& area);

// Horizontally centred; vertically a quarter (`exact` false) or a half of
// the free height above the window.
Point centeredPosition(bool exact, Size size, const Rect& area);

// The frame that keeps the window's relative place and size when it goes
// from `source` to `target`. None when either area is unusable.
std::optional<Rect> frameOnScreen(const Rect& frame, const Rect& source, const Rect& target);

} // namespace tilewise
