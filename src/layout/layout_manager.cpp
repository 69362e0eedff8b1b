#include "layout/layout_manager.hpp"

#include "layout/fixed_clip_values.hpp"
#include "layout/layout_geometry.hpp"
#include "layout/pair_geometry.hpp"
#include "platform/diagnostics.hpp"
#include "settings/clip.hpp"
#include "settings/defaults_store.hpp"

#include <algorithm>
#include <cmath>

namespace tilewise {

using enum OperationType;

LayoutManager::LayoutManager(WindowAccess& access, DefaultsStore& store, RunLoop& loop,
                             LayoutListener& listener)
    : access_(access), store_(store), loop_(loop), listener_(listener)
{
}

void LayoutManager::perform(OperationType op, ActionContext* context)
{
    if (!canOperate())
        return;
    const std::optional<WindowElement> window =
        context ? std::optional<WindowElement>(context->element) : access_.focusedWindow();
    if (!window)
        return;
    const WindowElement& w = *window;
    // Resolved once: the tracker must see the same id before and after,
    // even when the operation changes the frame the id is matched by.
    const std::optional<WindowId> id = access_.windowId(w);
    listener_.recordBefore(w, id);

    switch (op) {
    case Up:
    case Down:
    case Left:
    case Right:
    case Maximize:
    case TopHalf:
    case TopThird:
    case TopTwoThirds:
    case BottomHalf:
    case BottomThird:
    case BottomTwoThirds:
    case LeftHalf:
    case LeftThird:
    case LeftTwoThirds:
    case RightHalf:
    case RightThird:
    case RightTwoThirds:
    case HorizontalCenterThird:
    case VerticalCenterThird:
    case TopLeftQuarter:
    case TopRightQuarter:
    case BottomLeftQuarter:
    case BottomRightQuarter:
    case TopFourth:
    case BottomFourth:
    case LeftFourth:
    case RightFourth:
    case TopThreeFourths:
    case BottomThreeFourths:
    case LeftThreeFourths:
    case RightThreeFourths:
    case TopFifth:
    case BottomFifth:
    case LeftFifth:
    case RightFifth:
    case TopTwoFifths:
    case BottomTwoFifths:
    case LeftTwoFifths:
    case RightTwoFifths:
    case TopThreeFifths:
    case BottomThreeFifths:
    case LeftThreeFifths:
    case RightThreeFifths:
    case TopFourFifths:
    case BottomFourFifths:
    case LeftFourFifths:
    case RightFourFifths:
    case TopSixth:
    case BottomSixth:
    case LeftSixth:
    case RightSixth:
    case TopFiveSixths:
    case BottomFiveSixths:
    case LeftFiveSixths:
    case RightFiveSixths:
        applyLayout(w, op, context);
        break;
    case MoveUpward:
    case MoveDownward:
    case MoveLeftward:
    case MoveRightward:
        move(w, op, std::nullopt, context);
        break;
    case MoveUpwardLittle:
        move(w, MoveUpward, littleMoveStep, context);
        break;
    case MoveDownwardLittle:
        move(w, MoveDownward, littleMoveStep, context);
        break;
    case MoveLeftwardLittle:
        move(w, MoveLeftward, littleMoveStep, context);
        break;
    case MoveRightwardLittle:
        move(w, MoveRightward, littleMoveStep, context);
        break;
    case MoveTopLeftCorner:
    case MoveTopRightCorner:
    case MoveBottomLeftCorner:
    case MoveBottomRightCorner:
        moveToCorner(w, op, context);
        break;
    case Center:
    case ExactCenter:
        center(w, op == ExactCenter, context);
        break;
    case Pair:
        pair(w);
        break;
    case PairFor3:
        pairFor3(w);
        break;
    case PairLast:
        pairLast(w, context);
        break;
    case NextScreen:
    case PreviousScreen:
        moveToNeighbourScreen(op, context);
        break;
    case NextSpace:
        switchSpace(w, SpaceDirection::Next);
        break;
    case PreviousSpace:
        switchSpace(w, SpaceDirection::Previous);
        break;
    case Restore:
        restore(w, id);
        break;
    }

    listener_.recordAfter(w, id);
    // The window's own move event says the same a moment later, unless its
    // application's observer is still being registered: the history must not
    // miss the engine's own layouts.
    if (listener_.following())
        listener_.updateCurrentLayout();
}

bool LayoutManager::canOperate()
{
    const std::optional<std::string> frontmost = access_.frontmostBundleIdentifier();
    if (!frontmost)
        return false;
    const std::vector<std::string> excluded = excludes(store_);
    if (std::find(excluded.begin(), excluded.end(), *frontmost) != excluded.end())
        return false;
    return access_.isProcessTrusted();
}

std::optional<Screen> LayoutManager::targetScreen(const ActionContext* context)
{
    if (context && context->screen)
        return context->screen;
    return access_.mainScreen();
}

Rect LayoutManager::visibleArea(const Screen& screen)
{
    return toWindowSpace(screen.visibleFrame, access_.primaryScreenMaxY());
}

std::optional<Rect> LayoutManager::usableArea(const Screen& screen)
{
    const Rect area = visibleArea(screen);
    if (!isUsableArea(area))
        return std::nullopt;
    return area;
}

void LayoutManager::applyLayout(const WindowElement& w, OperationType op, ActionContext* context)
{
    const std::optional<Screen> screen = targetScreen(context);
    if (!screen)
        return;
    const std::optional<Rect> area = usableArea(*screen);
    if (!area)
        return;
    // What the window states it accepts counts as learned from the start,
    // so the first press already lays it out as a refused one would be.
    const SizeLimits limits = access_.sizeLimits(w);
    listener_.beginWorkOn(w, limits.minimum);
    const Rect current = access_.frame(w);
    const std::optional<Rect> target = targetFrame(op, current, *screen, *area, limits.maximum);
    if (!target || !isWritableFrame(*target))
        return;

    // A window that must get shorter is shrunk before it is moved down, so
    // that it never reaches past the bottom edge, where the application
    // could refuse the move.
    if (op == Down && target->height() < current.height()) {
        writeSize(w, target->size);
        writePosition(w, target->origin);
    } else {
        writeFrame(w, *target);
    }

    if (isClipCycling(op))
        learnRefusedSize(op, w, *target, *area);
    else if (const FixedClipValue* fraction = fixedClipValue(op))
        keepFarEdges(*fraction, w, *target, *area);
}

std::optional<Rect> LayoutManager::targetFrame(OperationType op, const Rect& current, const Screen& screen,
                                               const Rect& area, const std::optional<Size>& maximum)
{
    if (const FixedClipValue* fraction = fixedClipValue(op))
        return acceptedFractionFrame(*fraction, area, listener_.minSizeForCurrentWindow, maximum);

    // Read afresh so that a change in the settings applies at the next press.
    const ClipLists lists = clipListsForScreen(store_, screen.localizedName);
    const bool horizontal = isHorizontalClip(op);
    const std::vector<double> lengths = clipLengths(horizontal ? lists.horizontal : lists.vertical,
                                                    horizontal ? area.width() : area.height());
    if (lengths.empty()) {
        // Only the store can hold such a list (the settings page keeps one
        // usable clip at least); say so once rather than at every press.
        const std::string which = horizontal ? "horizontal" : "vertical";
        diag::problemOnce("unusable clips " + which + " " + screen.localizedName,
                          "the " + which + " clip list for screen " + screen.localizedName +
                              " holds no usable clip; its shortcuts leave the window as it is");
        return std::nullopt;
    }
    return clipTarget(op, lengths, area, current, listener_.minSizeForCurrentWindow);
}

void LayoutManager::learnRefusedSize(OperationType op, const WindowElement& w, const Rect& target,
                                     const Rect& area)
{
    const Size actual = access_.size(w);
    const bool widthRefused = std::fabs(actual.width - target.width()) >= layoutTolerance;
    const bool heightRefused = std::fabs(actual.height - target.height()) >= layoutTolerance;

    // Only a window that stayed larger than asked has shown a minimum; one
    // that came out smaller (rounded to whole character cells, say) has not,
    // and taking its size as a minimum would pin the cycle to the first clip.
    std::optional<Size>& minimum = listener_.minSizeForCurrentWindow;
    if (widthRefused && actual.width > target.width()) {
        if (!minimum)
            minimum = Size{unlearnedMinimum, unlearnedMinimum};
        minimum->width = actual.width;
    }
    if (heightRefused && actual.height > target.height()) {
        if (!minimum)
            minimum = Size{unlearnedMinimum, unlearnedMinimum};
        minimum->height = actual.height;
    }

    // Up and Left anchor the window's origin, which the refusal leaves in
    // place; Down and Right anchor its far edge, so the window is moved back
    // against it at the size it kept.
    if (op == Down && heightRefused)
        writePosition(w, {target.x(), area.maxY() - actual.height});
    if (op == Right && widthRefused)
        writePosition(w, {area.maxX() - actual.width, target.y()});
}

void LayoutManager::keepFarEdges(const FixedClipValue& fraction, const WindowElement& w, const Rect& target,
                                 const Rect& area)
{
    // A size refused without being stated shows only now; a fraction that
    // ends on the right or bottom edge is moved back against it at the size
    // the window kept, as Right and Down are.
    const bool right = holdsFarEdge(fraction.position.x, fraction.size.width);
    const bool bottom = holdsFarEdge(fraction.position.y, fraction.size.height);
    if (!right && !bottom)
        return; // nothing to hold: spare the read
    const Size actual = access_.size(w);
    Point p = target.origin;
    if (right && std::fabs(actual.width - target.width()) >= layoutTolerance)
        p.x = std::max(area.minX(), area.maxX() - actual.width);
    if (bottom && std::fabs(actual.height - target.height()) >= layoutTolerance)
        p.y = std::max(area.minY(), area.maxY() - actual.height);
    if (p != target.origin)
        writePosition(w, p);
}

void LayoutManager::writePosition(const WindowElement& w, Point p)
{
    if (!std::isfinite(p.x) || !std::isfinite(p.y))
        return;
    access_.setPosition(w, p);
}

void LayoutManager::writeSize(const WindowElement& w, Size s)
{
    if (!std::isfinite(s.width) || !std::isfinite(s.height))
        return;
    if (std::floor(s.width) <= 0 || std::floor(s.height) <= 0)
        return;
    access_.setSize(w, s);
}

void LayoutManager::writeFrame(const WindowElement& w, const Rect& r)
{
    if (isWritableFrame(r)) {
        access_.setFrame(w, r);
        return;
    }
    // Whichever half is sound is still written.
    writePosition(w, r.origin);
    writeSize(w, r.size);
}

void LayoutManager::pair(const WindowElement& w)
{
    if (!listener_.lastScreen || !listener_.last1Layout)
        return;
    const std::optional<Rect> target = partnerFrame(*listener_.lastScreen, access_.primaryScreenMaxY(),
                                                    *listener_.last1Layout, pairSettings(store_));
    if (!target)
        return;
    writeFrame(w, *target);
    notePair();
    if (paired_)
        paired_();
    // Some applications take a size only once they are on the new screen.
    const std::optional<Screen> main = access_.mainScreen();
    if (!main || *main != *listener_.lastScreen)
        reapplyFrameLater(w, *target);
}

void LayoutManager::pairLast(const WindowElement& w, ActionContext* context)
{
    const std::optional<Screen> screen = targetScreen(context);
    if (!screen || !listener_.lastWindowId)
        return;
    const auto last = listener_.windowIdToElement.find(*listener_.lastWindowId);
    if (last == listener_.windowIdToElement.end())
        return;
    const std::optional<Rect> target =
        partnerFrame(*screen, access_.primaryScreenMaxY(), access_.frame(w), pairSettings(store_));
    if (!target)
        return;
    writeFrame(last->second, *target);
    notePair();
}

// A pairing replaces every earlier pairing of either window.
void LayoutManager::notePair()
{
    const std::optional<WindowId> last = listener_.lastWindowId;
    const std::optional<WindowId> current = listener_.currentWindowId;
    if (!last || !current)
        return;
    listener_.removePairs(*last);
    listener_.removePairs(*current);
    listener_.pairs[*last] = *current;
    listener_.pairs[*current] = *last;
}

namespace {

std::string describe(const std::vector<Rect>& list)
{
    std::string out = "[";
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (i)
            out += ", ";
        out += describe(list[i]);
    }
    return out + "]";
}

} // namespace

void LayoutManager::pairFor3(const WindowElement& w)
{
    diag::line("pair mode for last 3 windows");
    const std::optional<Screen> screen = access_.mainScreen();
    if (!screen || !listener_.last1Layout || !listener_.last2layout)
        return;
    const std::vector<Rect> free = {visibleArea(*screen)};
    const std::vector<Rect> a1 = subtractRect(free, *listener_.last1Layout);
    diag::line("clipped last 1 layout: " + describe(*listener_.last1Layout) + " " + describe(a1));
    const std::vector<Rect> a2 = subtractRect(a1, *listener_.last2layout);
    diag::line("clipped last 2 layout: " + describe(*listener_.last2layout) + " " + describe(a2));
    const std::vector<Rect> merged = mergeRects(a2);
    diag::line("merged: " + describe(merged));
    if (merged.size() == 1)
        writeFrame(w, merged.front());
}

void LayoutManager::switchSpace(const WindowElement& w, SpaceDirection direction)
{
    if (spaceSwitch_)
        spaceSwitch_(w, direction);
}

} // namespace tilewise
