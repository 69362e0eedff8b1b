#include "layout/layout_listener.hpp"

#include <algorithm>

namespace tilewise {

void LayoutListener::beginWorkOn(const WindowElement& w, const std::optional<Size>& statedMinimum)
{
    if (minSizeWindow_ != w) {
        minSizeWindow_ = w;
        minSizeForCurrentWindow.reset();
    }
    if (!statedMinimum)
        return;
    if (!minSizeForCurrentWindow) {
        minSizeForCurrentWindow = statedMinimum;
        return;
    }
    minSizeForCurrentWindow->width = std::max(minSizeForCurrentWindow->width, statedMinimum->width);
    minSizeForCurrentWindow->height = std::max(minSizeForCurrentWindow->height, statedMinimum->height);
}

void LayoutListener::recordBefore(const WindowElement& w, std::optional<WindowId> id)
{
    if (!id)
        return;
    const Rect current = access_.frame(w);
    auto it = layoutRecords.find(*id);
    if (it == layoutRecords.end()) {
        layoutRecords.emplace(*id, LayoutRecord{std::nullopt, std::nullopt, current});
        return;
    }
    LayoutRecord& record = it->second;
    // A window still where the engine left it continues its series, so the
    // frame from before the series stays the one to restore. Anywhere else,
    // the user placed it by hand and that place becomes the one to restore.
    if (!record.frame || *record.frame == current)
        return;
    record.originalFrame = current;
}

void LayoutListener::recordAfter(const WindowElement& w, std::optional<WindowId> id)
{
    if (!id)
        return;
    auto it = layoutRecords.find(*id);
    const Rect current = access_.frame(w);
    if (it != layoutRecords.end())
        it->second.frame = current;
}

} // namespace tilewise
