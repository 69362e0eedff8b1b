#include "layout/layout_manager.hpp"

#include "layout/fixed_clip_values.hpp"
#include "layout/layout_geometry.hpp"
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

    const int n = ordinal(op);
    if (n <= ordinal(RightFiveSixths)) {
        applyLayout(w, op, context);
    } else if (n <= ordinal(MoveRightward)) {
        move(w, op, std::nullopt, context);
    } else if (n <= ordinal(MoveRightwardLittle)) {
        move(w, operationAt(n - 4), littleMoveStep, context);
    } else if (n <= ordinal(MoveBottomRightCorner)) {
        moveToCorner(w, op, context);
    } else if (op == Center || op == ExactCenter) {
        center(w, op == ExactCenter, context);
    } else if (op == Pair) {
        pair(w);
    } else if (op == PairFor3) {
        pairFor3(w);
    } else if (op == PairLast) {
        pairLast(w, context);
    } else if (op == NextScreen || op == PreviousScreen) {
        moveToNeighbourScreen(op, context);
    } else if (op == NextSpace || op == PreviousSpace) {
        switchSpace(w, op == NextSpace ? SpaceDirection::Next : SpaceDirection::Previous);
    } else if (op == Restore) {
        restore(w, id);
    }

    listener_.recordAfter(w, id);
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
    const Rect current = access_.frame(w);
    const std::optional<Rect> target = targetFrame(op, current, *screen, *area);
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
}

std::optional<Rect> LayoutManager::targetFrame(OperationType op, const Rect& current, const Screen& screen,
                                               const Rect& area)
{
    if (const FixedClipValue* fraction = fixedClipValue(op))
        return fractionFrame(*fraction, area);

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
    writePosition(w, r.origin);
    writeSize(w, r.size);
}

void LayoutManager::pair(const WindowElement&)
{
}

void LayoutManager::pairFor3(const WindowElement&)
{
}

void LayoutManager::pairLast(const WindowElement&, ActionContext*)
{
}

void LayoutManager::switchSpace(const WindowElement&, SpaceDirection)
{
}

} // namespace tilewise
