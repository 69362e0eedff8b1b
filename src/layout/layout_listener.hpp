// The window tracker: what the engine remembers about windows between
// operations. For now the per-window layout records and the minimum size
// learned for the focused window.
#pragma once

#include "layout/operation_type.hpp"
#include "platform/window_access.hpp"

#include <map>
#include <optional>

namespace tilewise {

class LayoutListener {
public:
    struct LayoutRecord {
        // Carried over by every update; nothing sets it yet.
        std::optional<OperationType> action;
        // The frame read right after the latest operation on the window.
        std::optional<Rect> frame;
        // The frame before the current series of operations; Restore goes back to it.
        std::optional<Rect> originalFrame;
        friend bool operator==(const LayoutRecord&, const LayoutRecord&) = default;
    };

    explicit LayoutListener(WindowAccess& access) : access_(access) {}

    // The smallest width and height the window being worked on states or
    // has been seen to insist on; a component never learned holds the
    // sentinel -1000000.
    std::optional<Size> minSizeForCurrentWindow;
    std::map<WindowId, LayoutRecord> layoutRecords;

    // Work on `w` begins: a minimum learned for another window is dropped,
    // and the minimum `w` states counts as learned; one learned for `w`
    // earlier stays where it is larger.
    void beginWorkOn(const WindowElement& w, const std::optional<Size>& statedMinimum);

    // Both ignore a window without an id.
    void recordBefore(const WindowElement& w, std::optional<WindowId> id);
    void recordAfter(const WindowElement& w, std::optional<WindowId> id);

private:
    WindowAccess& access_;
    std::optional<WindowElement> minSizeWindow_;
};

} // namespace tilewise
