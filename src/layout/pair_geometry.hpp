// The arithmetic of the pair modes: where a second window goes beside a
// first one, and what two earlier windows leave free for a third. Window
// space throughout; `area` is the screen's visible frame in window space.
#pragma once

#include "platform/geometry.hpp"
#include "platform/window_access.hpp"
#include "settings/setting_enums.hpp"

#include <optional>
#include <vector>

namespace tilewise {

class DefaultsStore;

// Within this distance a window edge touches a screen edge; it is also the
// smallest gap worth filling and the smallest free piece worth keeping.
inline constexpr double pairEdgeReach = 150.0;

struct PairSettings {
    bool smartPairMode = false;
    SmartPairModeSizing sizing = SmartPairModeSizing::maximize;
};

// The frame a second window takes beside a first window of frame `first`;
// none where the first leaves no usable room. `screenSize` is the whole
// screen's size, which tells landscape from portrait.
std::optional<Rect> partnerFrame(const Rect& area, const Size& screenSize, const Rect& first,
                                 const PairSettings& settings);

// The same on a screen: its visible frame brought to window space, its
// whole frame telling the orientation.
std::optional<Rect> partnerFrame(const Screen& screen, double primaryMaxY, const Rect& first,
                                 const PairSettings& settings);

// The pair settings as stored; smart pairing is on until the user turns it off.
PairSettings pairSettings(const DefaultsStore& store);

// What is left of the rectangles once `cut` is taken out: pieces at least
// pairEdgeReach on both sides, in a fixed order.
std::vector<Rect> subtractRect(const std::vector<Rect>& list, const Rect& cut);

// Neighbours of about the same extent joined into one.
std::vector<Rect> mergeRects(const std::vector<Rect>& list);

} // namespace tilewise
