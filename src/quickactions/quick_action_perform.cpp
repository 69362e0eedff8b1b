#include "quickactions/quick_action_perform.hpp"

#include "platform/diagnostics.hpp"

#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>
#include <utility>

namespace tilewise {

using T = QuickAction::OperationType;

namespace {

// The fraction layouts come first, Maximize to RightFiveSixths.
constexpr int fractionLayoutCount = 51;
static_assert(static_cast<int>(T::moveAndResizeToRightFiveSixths) == fractionLayoutCount - 1);

std::map<T, OperationType> makeLayoutMap()
{
    constexpr std::string_view prefix = "moveAndResizeTo";
    std::map<T, OperationType> map;
    for (int i = 0; i < fractionLayoutCount; ++i) {
        const T type = static_cast<T>(i);
        std::string_view name = rawValue(type);
        name.remove_prefix(prefix.size());
        if (const std::optional<OperationType> layout = operationFromName(name))
            map.emplace(type, *layout);
    }
    return map;
}

bool isFinite(Point p)
{
    return std::isfinite(p.x) && std::isfinite(p.y);
}

bool isFinite(Size s)
{
    return std::isfinite(s.width) && std::isfinite(s.height);
}

OperationType cornerLayout(QuickAction::CornerTypes corner)
{
    switch (corner) {
    case QuickAction::CornerTypes::topLeft:
        return OperationType::MoveTopLeftCorner;
    case QuickAction::CornerTypes::topRight:
        return OperationType::MoveTopRightCorner;
    case QuickAction::CornerTypes::bottomLeft:
        return OperationType::MoveBottomLeftCorner;
    case QuickAction::CornerTypes::bottomRight:
        return OperationType::MoveBottomRightCorner;
    }
    return OperationType::MoveTopLeftCorner;
}

} // namespace

const std::map<T, OperationType>& operationToLayoutMap()
{
    static const std::map<T, OperationType> map = makeLayoutMap();
    return map;
}

std::optional<OperationType> mappedLayout(T type)
{
    const auto& map = operationToLayoutMap();
    const auto it = map.find(type);
    if (it == map.end())
        return std::nullopt;
    return it->second;
}

QuickActionPerformer::QuickActionPerformer(WindowAccess& access, LayoutManager& manager, RunLoop& loop)
    : access_(access), manager_(manager), loop_(loop)
{
}

bool QuickActionPerformer::run(const QuickAction::Action& action, std::optional<WindowElement> element,
                               std::optional<Screen> screen, Finished finished)
{
    if (!element)
        return false;
    perform(action.operations, std::make_shared<ActionContext>(ActionContext{*element, std::move(screen)}),
            std::move(finished));
    return true;
}

bool QuickActionPerformer::runOnFocusedWindow(const QuickAction::Action& action, Finished finished)
{
    return run(action, access_.focusedWindow(), std::nullopt, std::move(finished));
}

void QuickActionPerformer::perform(std::vector<Operation> operations, std::shared_ptr<ActionContext> context,
                                   Finished finished)
{
    if (operations.empty() || !context) {
        if (finished)
            finished();
        return;
    }
    if (stepHook_)
        stepHook_(operations.front(), [&] { performOperation(operations.front(), *context); });
    else
        performOperation(operations.front(), *context);
    // By position: a hand-written list may repeat an operation, id and all.
    operations.erase(operations.begin());
    if (operations.empty()) {
        if (finished)
            finished();
        return;
    }
    loop_.post([this, rest = std::move(operations), context = std::move(context),
                finished = std::move(finished)]() mutable {
        perform(std::move(rest), std::move(context), std::move(finished));
    });
}

void QuickActionPerformer::performOperation(const Operation& operation, ActionContext& context)
{
    if (operation.type == T::moveAndResizeToMaximize) {
        maximizeWithMargin(operation, context);
        return;
    }
    if (const std::optional<OperationType> layout = mappedLayout(operation.type)) {
        manager_.perform(*layout, &context);
        return;
    }
    switch (operation.type) {
    case T::moveAndResizeToFrame:
        customFrame(operation, context);
        break;
    case T::moveToCenter:
        // The engine's own window and screen choice, not the run's.
        manager_.perform(operation.exactCenter ? OperationType::ExactCenter : OperationType::Center);
        break;
    case T::moveToCorner:
        manager_.perform(cornerLayout(operation.cornerType), &context);
        break;
    case T::moveToEdge:
    case T::moveToPosition:
        if (const std::optional<Point> p = targetPosition(operation, context))
            writeDirect(p, std::nullopt);
        break;
    case T::moveByDistance: {
        const Point p = access_.position(context.element);
        writeDirect(Point{p.x + operation.moveDistanceX, p.y + operation.moveDistanceY}, std::nullopt);
        break;
    }
    case T::resizeToMaximize:
    case T::resizeToHorizontalMaximize:
    case T::resizeToVerticalMaximize:
    case T::resizeToHorizontalHalf:
    case T::resizeToVerticalHalf:
    case T::resizeToHorizontalThird:
    case T::resizeToVerticalThird:
    case T::resizeToHorizontalTwoThirds:
    case T::resizeToVerticalTwoThirds:
    case T::resizeToSize:
        if (const std::optional<Size> s = targetSize(operation, context))
            writeDirect(std::nullopt, s);
        break;
    case T::displayToNextScreen:
        manager_.perform(OperationType::NextScreen, &context);
        break;
    case T::displayToPreviousScreen:
        manager_.perform(OperationType::PreviousScreen, &context);
        break;
    case T::displayToCustom:
        customDisplay(operation, context);
        break;
    case T::pair:
        pair(operation, context);
        break;
    default:
        break; // the fraction layouts, handled above
    }
}

std::optional<QuickActionPerformer::Area> QuickActionPerformer::area(const ActionContext& context)
{
    const std::optional<Screen> screen = context.screen ? context.screen : access_.mainScreen();
    if (!screen)
        return std::nullopt;
    const Rect& v = screen->visibleFrame;
    return Area{v, access_.primaryScreenMaxY() - (v.y() + v.height())};
}

std::optional<Point> QuickActionPerformer::targetPosition(const Operation& operation,
                                                          const ActionContext& context)
{
    const std::optional<Area> a = area(context);
    if (!a)
        return std::nullopt;
    const Rect& v = a->visible;
    Point p;
    if (operation.type == T::moveToEdge) {
        const Rect window = access_.frame(context.element);
        switch (operation.edgeType) {
        case QuickAction::EdgeTypes::top:
            p = {window.x(), a->top};
            break;
        case QuickAction::EdgeTypes::bottom:
            p = {window.x(), a->top + v.height() - window.height()};
            break;
        case QuickAction::EdgeTypes::left:
            p = {v.x(), window.y()};
            break;
        case QuickAction::EdgeTypes::right:
            p = {v.x() + v.width() - window.width(), window.y()};
            break;
        }
    } else if (operation.type == T::moveToPosition) {
        switch (operation.positionUnitType) {
        case QuickAction::UnitTypes::clip:
            p = {v.x() + operation.positionClipX.value() * v.width(),
                 a->top + operation.positionClipY.value() * v.height()};
            break;
        case QuickAction::UnitTypes::percent:
            p = {v.x() + operation.positionPercent.width * v.width() / 100,
                 a->top + operation.positionPercent.height * v.height() / 100};
            break;
        case QuickAction::UnitTypes::px:
            p = {v.x() + operation.position.width, a->top + operation.position.height};
            break;
        }
    } else {
        return std::nullopt;
    }
    if (!isFinite(p))
        return std::nullopt;
    return p;
}

std::optional<Size> QuickActionPerformer::targetSize(const Operation& operation, const ActionContext& context)
{
    const std::optional<Area> a = area(context);
    if (!a)
        return std::nullopt;
    const Rect& v = a->visible;
    // Only the types that keep one of the window's lengths read it.
    const auto own = [&] { return access_.size(context.element); };
    Size s;
    switch (operation.type) {
    case T::resizeToMaximize:
        s = v.size;
        break;
    case T::resizeToHorizontalMaximize:
        s = {v.width(), own().height};
        break;
    case T::resizeToVerticalMaximize:
        s = {own().width, v.height()};
        break;
    case T::resizeToHorizontalHalf:
        s = {v.width() * 0.5, own().height};
        break;
    case T::resizeToVerticalHalf:
        s = {own().width, v.height() * 0.5};
        break;
    case T::resizeToHorizontalThird:
        s = {v.width() / 3, own().height};
        break;
    case T::resizeToVerticalThird:
        s = {own().width, v.height() / 3};
        break;
    case T::resizeToHorizontalTwoThirds:
        s = {(v.width() / 3) * 2, own().height};
        break;
    case T::resizeToVerticalTwoThirds:
        s = {own().width, (v.height() / 3) * 2};
        break;
    case T::resizeToSize:
        switch (operation.sizeUnitType) {
        case QuickAction::UnitTypes::clip:
            s = {operation.sizeClipX.value() * v.width(), operation.sizeClipY.value() * v.height()};
            break;
        case QuickAction::UnitTypes::percent:
            s = {v.width() * operation.sizePercent.width / 100,
                 v.height() * operation.sizePercent.height / 100};
            break;
        case QuickAction::UnitTypes::px:
            s = operation.size;
            break;
        }
        break;
    default:
        return std::nullopt;
    }
    if (!isFinite(s))
        return std::nullopt;
    return s;
}

std::optional<Rect> QuickActionPerformer::insetMaximizeFrame(const Operation& operation,
                                                             const ActionContext& context)
{
    const std::optional<Area> a = area(context);
    if (!a)
        return std::nullopt;
    const double inset = operation.aroundSpace;
    const double width = a->visible.width() - 2 * inset;
    const double height = a->visible.height() - 2 * inset;
    if (!(width > 0) || !(height > 0))
        return std::nullopt;
    const Rect r(a->visible.x() + inset, a->top + inset, width, height);
    if (!r.isFinite())
        return std::nullopt;
    return r;
}

void QuickActionPerformer::writeDirect(std::optional<Point> position, std::optional<Size> size)
{
    if (position && !isFinite(*position))
        position.reset();
    if (size && (!isFinite(*size) || std::floor(size->width) < 1 || std::floor(size->height) < 1))
        size.reset();
    if (!position && !size)
        return;
    if (!manager_.canOperate())
        return;
    // The focused window now, which may no longer be the run's.
    const std::optional<WindowElement> window = access_.focusedWindow();
    if (!window)
        return;
    const std::optional<WindowId> id = access_.windowId(*window);
    LayoutListener& tracker = manager_.layoutListener();
    tracker.recordBefore(*window, id);
    if (position)
        access_.setPosition(*window, *position);
    if (size)
        access_.setSize(*window, *size);
    tracker.recordAfter(*window, id);
}

void QuickActionPerformer::maximizeWithMargin(const Operation& operation, ActionContext& context)
{
    // Also with no margin: the visible frame written as it is.
    if (const std::optional<Rect> r = insetMaximizeFrame(operation, context)) {
        writeDirect(r->origin, r->size);
        return;
    }
    manager_.perform(OperationType::Maximize, &context);
}

void QuickActionPerformer::customFrame(const Operation& operation, const ActionContext& context)
{
    std::string line(rawValue(T::moveAndResizeToFrame));
    line.append(" ").append(rawValue(T::moveToPosition)).append(" ").append(rawValue(T::resizeToSize));
    diag::line(line);

    Operation asPosition = operation;
    asPosition.type = T::moveToPosition;
    const std::optional<Point> p = targetPosition(asPosition, context);
    if (!p)
        return;
    Operation asSize = operation;
    asSize.type = T::resizeToSize;
    const std::optional<Size> s = targetSize(asSize, context);
    if (!s)
        return;
    writeDirect(p, s);
}

void QuickActionPerformer::customDisplay(const Operation& operation, ActionContext& context)
{
    const std::vector<Screen> all = access_.screens();
    const auto target = std::find_if(all.begin(), all.end(), [&](const Screen& screen) {
        return screen.localizedName == operation.displayName;
    });
    if (target == all.end())
        return;
    manager_.moveToScreen(*target, &context);
    context.screen = *target;
}

void QuickActionPerformer::pair(const Operation& operation, ActionContext& context)
{
    if (const std::optional<OperationType> layout = mappedLayout(operation.pairCurrentTo))
        manager_.perform(*layout, &context);
    manager_.perform(OperationType::PairLast);
}

} // namespace tilewise
