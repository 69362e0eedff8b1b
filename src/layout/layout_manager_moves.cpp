// The operations that move a window without choosing a fraction of the
// screen: moves, corners, centring, screens and restore.
#include "layout/layout_geometry.hpp"
#include "layout/layout_manager.hpp"

#include <algorithm>
#include <cmath>

namespace tilewise {

using enum OperationType;

void LayoutManager::move(const WindowElement& w, OperationType op, std::optional<double> fixedStep,
                         ActionContext* context)
{
    const std::optional<Screen> screen = targetScreen(context);
    if (!screen)
        return;
    const Rect area = visibleArea(*screen);
    const Point p = access_.position(w);
    const Size s = access_.size(w);
    if (op == MoveUpward || op == MoveDownward) {
        const double step = fixedStep.value_or(s.height);
        writePosition(w, {p.x, movedCoordinate(op, p.y, s.height, step, area)});
    } else {
        const double step = fixedStep.value_or(s.width);
        writePosition(w, {movedCoordinate(op, p.x, s.width, step, area), p.y});
    }
}

void LayoutManager::moveToCorner(const WindowElement& w, OperationType op, ActionContext* context)
{
    const std::optional<Screen> screen = targetScreen(context);
    if (!screen)
        return;
    writePosition(w, cornerPosition(op, access_.size(w), visibleArea(*screen)));
}

void LayoutManager::center(const WindowElement& w, bool exact, ActionContext* context)
{
    const std::optional<Screen> screen = targetScreen(context);
    if (!screen)
        return;
    writePosition(w, centeredPosition(exact, access_.size(w), visibleArea(*screen)));
}

void LayoutManager::moveToNeighbourScreen(OperationType op, ActionContext* context)
{
    const std::vector<Screen> all = access_.screens();
    const std::optional<Screen> current = targetScreen(context);
    if (!current)
        return;
    const auto it = std::find(all.begin(), all.end(), *current);
    if (it == all.end() || all.size() < 2)
        return;
    const std::size_t count = all.size();
    const std::size_t i = static_cast<std::size_t>(it - all.begin());
    const std::size_t next = op == NextScreen ? (i + 1) % count : (i + count - 1) % count;

    moveToScreen(all[next], context);
    // Later steps of the same quick action lay out on the new screen.
    if (context)
        context->screen = all[next];
}

void LayoutManager::moveToScreen(const Screen& target, ActionContext* context)
{
    // The focused window, even when the context names another: a screen
    // move carries what the user is looking at.
    const std::optional<WindowElement> w = access_.focusedWindow();
    if (!w)
        return;
    const std::optional<Screen> source = targetScreen(context);
    if (!source)
        return;
    const std::optional<Rect> frame =
        frameOnScreen(access_.frame(*w), visibleArea(*source), visibleArea(target));
    if (!frame || !isWritableFrame(*frame))
        return;
    writeFrame(*w, *frame);
    // A quick action rewrites the frame in its own later steps.
    if (!context)
        reapplyFrameLater(*w, *frame);
}

void LayoutManager::reapplyFrameLater(const WindowElement& w, const Rect& frame)
{
    loop_.post([this, w, frame] {
        const Size s = access_.size(w);
        if (std::fabs(s.width - frame.width()) < layoutTolerance &&
            std::fabs(s.height - frame.height()) < layoutTolerance)
            return;
        writeFrame(w, frame);
    });
}

void LayoutManager::restore(const WindowElement& w, std::optional<WindowId> id)
{
    // The id perform resolved: nothing has been written since.
    if (!id)
        return;
    const auto it = listener_.layoutRecords.find(*id);
    if (it == listener_.layoutRecords.end() || !it->second.originalFrame)
        return;
    const Rect original = *it->second.originalFrame;
    // Already there (the user placed it by hand after the layouts): a write
    // would only invite the window manager to correct a place the user chose.
    if (access_.frame(w) == original)
        return;
    writeFrame(w, original);
    // An application busy with the first write may drop or adjust the
    // second; one more write on a later turn, unchecked, settles it.
    if (access_.frame(w) != original)
        loop_.post([this, w, original] { writeFrame(w, original); });
}

} // namespace tilewise
