// The layout engine: checks that it may act, picks the window, lets the
// tracker record the frame around the operation and performs it. Frames are
// computed by the functions of layout_geometry.hpp and only then written
// through WindowAccess.
#pragma once

#include "layout/action_context.hpp"
#include "layout/fixed_clip_values.hpp"
#include "layout/layout_listener.hpp"
#include "layout/operation_type.hpp"
#include "platform/run_loop.hpp"
#include "platform/window_access.hpp"

#include <functional>
#include <optional>

namespace tilewise {

class DefaultsStore;

class LayoutManager {
public:
    enum class SpaceDirection { Next, Previous };

    LayoutManager(WindowAccess& access, DefaultsStore& store, RunLoop& loop, LayoutListener& listener);

    // Acts on the context's window, or on the focused window without one.
    void perform(OperationType op, ActionContext* context = nullptr);
    // False for an excluded or unidentified frontmost application, or
    // without the permission to act on other applications' windows.
    bool canOperate();
    // Carries the focused window to `target`, keeping its relative place and
    // size on the visible frame.
    void moveToScreen(const Screen& target, ActionContext* context);
    // On a later turn, writes `frame` again unless the window's size already
    // matches it: some applications apply a size only after they have been
    // moved to the new screen. Deferred work refers to the manager, which
    // lives as long as the run loop.
    void reapplyFrameLater(const WindowElement& w, const Rect& frame);

    LayoutListener& layoutListener() { return listener_; }

    // Told after every pairing by Pair ("pairWindow").
    void setPairedHandler(std::function<void()> handler) { paired_ = std::move(handler); }
    // Carries a window to the adjacent desktop; without one the space
    // operations do nothing.
    void setSpaceSwitch(std::function<void(const WindowElement&, SpaceDirection)> handler)
    {
        spaceSwitch_ = std::move(handler);
    }

private:
    std::optional<Screen> targetScreen(const ActionContext* context);
    // The screen's visible frame in window space; usableArea only when it
    // has an area to divide.
    Rect visibleArea(const Screen& screen);
    std::optional<Rect> usableArea(const Screen& screen);

    void applyLayout(const WindowElement& w, OperationType op, ActionContext* context);
    std::optional<Rect> targetFrame(OperationType op, const Rect& current, const Screen& screen,
                                    const Rect& area, const std::optional<Size>& maximum);
    void learnRefusedSize(OperationType op, const WindowElement& w, const Rect& target, const Rect& area);
    void keepFarEdges(const FixedClipValue& fraction, const WindowElement& w, const Rect& target,
                      const Rect& area);

    // Without a fixed step a move goes by the window's own length.
    void move(const WindowElement& w, OperationType op, std::optional<double> fixedStep,
              ActionContext* context);
    void moveToCorner(const WindowElement& w, OperationType op, ActionContext* context);
    void center(const WindowElement& w, bool exact, ActionContext* context);
    void moveToNeighbourScreen(OperationType op, ActionContext* context);
    void restore(const WindowElement& w, std::optional<WindowId> id);

    void pair(const WindowElement& w);
    void pairFor3(const WindowElement& w);
    void pairLast(const WindowElement& w, ActionContext* context);
    void switchSpace(const WindowElement& w, SpaceDirection direction);
    void notePair();

    // The only way frames reach the platform: a non-finite value, or a size
    // that floors to nothing, is never written. A whole frame goes in one
    // write.
    void writePosition(const WindowElement& w, Point p);
    void writeSize(const WindowElement& w, Size s);
    void writeFrame(const WindowElement& w, const Rect& r);

    WindowAccess& access_;
    DefaultsStore& store_;
    RunLoop& loop_;
    LayoutListener& listener_;
    std::function<void()> paired_;
    std::function<void(const WindowElement&, SpaceDirection)> spaceSwitch_;
};

} // namespace tilewise
