// Runs quick actions: each operation is either handed to the layout engine
// as one of its built-in operations or computed here into a position and/or
// a size that is written straight to the focused window.
//
// The operations of one run go one per turn of the run loop, so that each
// sees the window as the previous one left it. They share one context: the
// window of the run and the screen to lay out on, which screen operations
// replace for the steps after them.
//
// Starting a run, by caller:
// - the quick action panel: run(action, the focused window captured when the
//   panel opened, the main screen captured then (may be none));
// - a slot shortcut, a menu entry, the "Debug" button of the settings:
//   runOnFocusedWindow(action), i.e. the focused window at the key press or
//   click and no screen (the main screen at each computation).
// Without a window nothing happens.
#pragma once

#include "layout/action_context.hpp"
#include "layout/layout_manager.hpp"
#include "layout/operation_type.hpp"
#include "platform/run_loop.hpp"
#include "platform/window_access.hpp"
#include "quickactions/quick_action.hpp"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace tilewise {

// The 51 fraction layouts, each to the built-in layout of the same name
// without "moveAndResizeTo" (moveAndResizeToTopHalf to TopHalf). No other
// type has an entry, moveAndResizeToFrame included.
const std::map<QuickAction::OperationType, OperationType>& operationToLayoutMap();
std::optional<OperationType> mappedLayout(QuickAction::OperationType type);

class QuickActionPerformer {
public:
    // One object shared by every step of a run and by the engine calls made
    // for them; the run keeps it alive until its last step.
    using ActionContext = tilewise::ActionContext;
    using Operation = QuickAction::Operation;

    // Steps still to run refer to the performer, which must live as long as
    // the run loop.
    QuickActionPerformer(WindowAccess& access, LayoutManager& manager, RunLoop& loop);

    // The callers' entry points (see above). The first operation runs now,
    // each further one on a later turn.
    // `finished`, if any, is called once the last step has run (at once for
    // a run with nothing to do). False, calling nothing, without a window.
    using Finished = std::function<void()>;
    bool run(const QuickAction::Action& action, std::optional<WindowElement> element,
             std::optional<Screen> screen, Finished finished = nullptr);
    bool runOnFocusedWindow(const QuickAction::Action& action, Finished finished = nullptr);

    // Wraps each step: for anyone measuring what a step costs. It must call
    // `step` once.
    using StepHook = std::function<void(const Operation& operation, const std::function<void()>& step)>;
    void setStepHook(StepHook hook) { stepHook_ = std::move(hook); }

    // Carries out the first operation now and schedules the rest. An empty
    // list does nothing and schedules nothing; a run cannot be cancelled.
    void perform(std::vector<Operation> operations, std::shared_ptr<ActionContext> context,
                 Finished finished = nullptr);
    // One operation; one whose computation yields nothing, whose guard fails
    // or whose screen is not found is skipped silently.
    void performOperation(const Operation& operation, ActionContext& context);

    // Window-space results; none without a screen (the context's, else the
    // main screen), for a type they do not cover, or for a value that is not
    // finite (a clip with denominator 0).
    std::optional<Point> targetPosition(const Operation& operation, const ActionContext& context);
    std::optional<Size> targetSize(const Operation& operation, const ActionContext& context);
    // The visible frame inset by `aroundSpace` on every side; none when
    // nothing of it is left.
    std::optional<Rect> insetMaximizeFrame(const Operation& operation, const ActionContext& context);

    // Writes to the focused window at this moment (not the context's), when
    // the engine may act, with the tracker's records around it. Position
    // goes first. A non-finite half, or a size that floors to nothing, is
    // not written.
    void writeDirect(std::optional<Point> position, std::optional<Size> size);

private:
    struct Area {
        Rect visible; // screen space
        double top;   // window-space y of the visible frame's top edge
    };
    std::optional<Area> area(const ActionContext& context);

    void maximizeWithMargin(const Operation& operation, ActionContext& context);
    void customFrame(const Operation& operation, const ActionContext& context);
    void customDisplay(const Operation& operation, ActionContext& context);
    void pair(const Operation& operation, ActionContext& context);

    WindowAccess& access_;
    LayoutManager& manager_;
    RunLoop& loop_;
    StepHook stepHook_;
};

} // namespace tilewise
