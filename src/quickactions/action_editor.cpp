#include "quickactions/action_editor.hpp"

#include "platform/alerts.hpp"
#include "platform/run_loop.hpp"
#include "quickactions/shortcuts_slot_manager.hpp"
#include "settings/defaults_store.hpp"
#include "settings/notification_center.hpp"
#include "settings/stored_value_check.hpp"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <utility>

namespace tilewise {

namespace {

using T = QuickAction::OperationType;

// The elements at `from` move to before the element that was at `to`, the
// others keeping their order.
template <typename E>
void moveElements(std::vector<E>& list, const std::vector<std::size_t>& from, std::size_t to)
{
    std::vector<bool> moving(list.size(), false);
    for (std::size_t i : from)
        if (i < list.size())
            moving[i] = true;
    std::vector<E> moved, kept;
    std::size_t insertAt = 0;
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (moving[i]) {
            moved.push_back(std::move(list[i]));
        } else {
            if (i < to)
                ++insertAt;
            kept.push_back(std::move(list[i]));
        }
    }
    kept.insert(kept.begin() + std::ptrdiff_t(insertAt), std::make_move_iterator(moved.begin()),
                std::make_move_iterator(moved.end()));
    list = std::move(kept);
}

template <typename E> void eraseRows(std::vector<E>& list, const std::vector<std::size_t>& positions)
{
    std::vector<bool> doomed(list.size(), false);
    for (std::size_t i : positions)
        if (i < list.size())
            doomed[i] = true;
    std::size_t i = 0;
    std::erase_if(list, [&](const E&) { return doomed[i++]; });
}

} // namespace

ActionEditor::ActionEditor(DefaultsStore& store, ShortcutsSlotManager& slots, Alerts& alerts,
                           RunLoop& runLoop, NotificationCenter& notifications)
    : store_(store), slots_(slots), alerts_(alerts), runLoop_(runLoop), notifications_(notifications)
{
}

std::vector<ActionEditor::Action> ActionEditor::actions() const
{
    return quickActions(store_);
}

bool ActionEditor::save(const std::vector<Action>& list)
{
    if (storeQuickActions(store_, list))
        return true;
    if (std::optional<std::string> fault = storedActionsFault(store_))
        alerts_.showNotice("The actions were not changed: the stored list does not read (" + *fault +
                           "). Mend it, or remove it with 'tilewisectl defaults delete TilewiseQuickActions'.");
    else
        alerts_.showNotice("The actions were not changed: the settings could not be written.");
    return false;
}

template <typename Edit> bool ActionEditor::editAction(const std::string& id, Edit edit)
{
    std::vector<Action> list = actions();
    auto it = std::find_if(list.begin(), list.end(), [&](const Action& a) { return a.id == id; });
    if (it == list.end())
        return false;
    edit(*it);
    return save(list);
}

std::string ActionEditor::addAction()
{
    std::vector<Action> list = actions();
    list.push_back(QuickAction::newAction());
    std::string id = list.back().id;
    if (!save(list))
        return {};
    // By then the new row is shown and observes the notification.
    NotificationCenter* center = &notifications_;
    runLoop_.addTimer(std::chrono::milliseconds(editDelayMs), false, [center, id] {
        center->post(notification_names::editAction, {{notification_keys::actionId, id}});
    });
    return id;
}

bool ActionEditor::deleteActions(const std::vector<std::string>& ids)
{
    for (const std::string& id : ids)
        selected.erase(id);
    return slots_.deleteActions(ids);
}

bool ActionEditor::deleteSelected()
{
    return deleteActions(std::vector<std::string>(selected.begin(), selected.end()));
}

bool ActionEditor::deleteRows(const std::vector<std::size_t>& positions)
{
    const std::vector<Action> list = actions();
    std::vector<std::string> ids;
    for (std::size_t i : positions)
        if (i < list.size())
            ids.push_back(list[i].id);
    return deleteActions(ids);
}

bool ActionEditor::moveActions(const std::vector<std::size_t>& from, std::size_t to)
{
    std::vector<Action> list = actions();
    moveElements(list, from, to);
    return save(list);
}

bool ActionEditor::rename(const std::string& id, const std::string& name)
{
    return editAction(id, [&](Action& a) { a.name = name; });
}

bool ActionEditor::setKey(const std::string& id, std::int64_t key)
{
    return editAction(id, [&](Action& a) { a.key = key; });
}

bool ActionEditor::setShortcutEnabled(const std::string& id, bool enabled)
{
    const ShortcutsSlotManager::SwitchResult result = slots_.setShortcutEnabled(id, enabled);
    if (!result.error.empty())
        alerts_.showNotice(result.error);
    return result.error.empty() && enabled;
}

bool ActionEditor::appendOperation(const std::string& actionId, OperationType type)
{
    return editAction(actionId, [&](Action& a) { a.operations.push_back(QuickAction::newOperation(type)); });
}

bool ActionEditor::updateOperation(const std::string& actionId, const Operation& operation)
{
    bool found = false;
    const bool stored = editAction(actionId, [&](Action& a) {
        for (Operation& op : a.operations)
            if (op.id == operation.id) {
                op = operation;
                found = true;
            }
    });
    return stored && found;
}

bool ActionEditor::removeOperations(const std::string& actionId, const std::set<std::string>& operationIds)
{
    return editAction(actionId, [&](Action& a) {
        std::erase_if(a.operations, [&](const Operation& op) { return operationIds.count(op.id) != 0; });
    });
}

bool ActionEditor::removeOperationRows(const std::string& actionId, const std::vector<std::size_t>& positions)
{
    return editAction(actionId, [&](Action& a) { eraseRows(a.operations, positions); });
}

bool ActionEditor::moveOperations(const std::string& actionId, const std::vector<std::size_t>& from,
                                  std::size_t to)
{
    return editAction(actionId, [&](Action& a) { moveElements(a.operations, from, to); });
}

std::string ActionEditor::addNamedAction(const std::string& name)
{
    std::vector<Action> list = actions();
    list.push_back(QuickAction::newAction());
    list.back().name = name;
    return save(list) ? list.back().id : std::string();
}

bool ActionEditor::moveAction(const std::string& id, std::size_t position)
{
    std::vector<Action> list = actions();
    const auto it = std::find_if(list.begin(), list.end(), [&](const Action& a) { return a.id == id; });
    if (it == list.end())
        return false;
    const auto from = std::size_t(it - list.begin());
    // Before the row that was at `to`: further down, that row is one past.
    moveElements(list, {from}, position > from ? position + 1 : position);
    return save(list);
}

bool ActionEditor::appendOperations(const std::string& actionId, const std::vector<Operation>& operations)
{
    return editAction(actionId, [&](Action& a) {
        a.operations.insert(a.operations.end(), operations.begin(), operations.end());
    });
}

namespace {

// The library's own prefix: "[json.exception.type_error.302] ".
std::string withoutLibraryPrefix(std::string why)
{
    if (const std::size_t end = why.find("] "); why.starts_with("[json.") && end != std::string::npos)
        why.erase(0, end + 2);
    return why;
}

} // namespace

std::optional<std::vector<QuickAction::Operation>> operationsFromJson(std::string_view text, std::string& error)
{
    nlohmann::json given;
    try {
        given = nlohmann::json::parse(text);
    } catch (const nlohmann::json::exception& e) {
        error = "not JSON: " + withoutLibraryPrefix(e.what());
        return std::nullopt;
    }
    if (given.is_object())
        given = nlohmann::json::array({std::move(given)});
    if (!given.is_array()) {
        error = "give one operation as a JSON object, or an array of them";
        return std::nullopt;
    }
    std::vector<QuickAction::Operation> operations;
    for (std::size_t i = 0; i < given.size(); ++i) {
        const nlohmann::json& j = given[i];
        const std::string where = "operation " + std::to_string(i + 1) + ": ";
        if (!j.is_object()) {
            error = where + "not a JSON object";
            return std::nullopt;
        }
        try {
            operations.push_back(j.get<QuickAction::Operation>());
        } catch (const nlohmann::json::exception& e) {
            error = where + withoutLibraryPrefix(e.what());
            // A clip's reader names only its own member.
            for (const char* clip : {"positionClipX", "positionClipY", "sizeClipX", "sizeClipY"}) {
                try {
                    if (j.contains(clip))
                        (void)j[clip].get<Clip>();
                } catch (const nlohmann::json::exception&) {
                    error = where + clip + ": " + withoutLibraryPrefix(e.what());
                    break;
                }
            }
            return std::nullopt;
        }
    }
    return operations;
}

std::optional<std::string> storedActionsFault(const DefaultsStore& store)
{
    const std::optional<DefaultsValue> stored = store.value(settings_keys::quickActions);
    if (!stored)
        return std::nullopt;
    return storedValueFault(settings_keys::quickActions, *stored);
}

OperationEditorKind operationEditorKind(QuickAction::OperationType type)
{
    const std::string_view raw = rawValue(type);
    if (raw.starts_with("moveAndResize"))
        return OperationEditorKind::moveAndResize;
    if (raw.starts_with("move"))
        return OperationEditorKind::move;
    if (raw.starts_with("resize"))
        return OperationEditorKind::resize;
    if (raw.starts_with("display"))
        return OperationEditorKind::display;
    return OperationEditorKind::pair;
}

std::string_view operationEditorLabel(QuickAction::OperationType type)
{
    switch (operationEditorKind(type)) {
    case OperationEditorKind::moveAndResize:
        return "Move&Resize to";
    case OperationEditorKind::move:
        return type == T::moveByDistance ? "Move by" : "Move to";
    case OperationEditorKind::resize:
        return "Resize to";
    case OperationEditorKind::display:
        return "Display to";
    case OperationEditorKind::pair:
        break;
    }
    return "Quick Pair";
}

namespace {

const OperationMenu& fractionGroups()
{
    static const OperationMenu groups = {
        {"Maximize", {{T::moveAndResizeToMaximize}}},
        {"Halves",
         {{T::moveAndResizeToTopHalf, T::moveAndResizeToBottomHalf, T::moveAndResizeToLeftHalf,
           T::moveAndResizeToRightHalf}}},
        {"Quarters",
         {{T::moveAndResizeToTopLeftQuarter, T::moveAndResizeToTopRightQuarter,
           T::moveAndResizeToBottomLeftQuarter, T::moveAndResizeToBottomRightQuarter}}},
        {"Thirds",
         {{T::moveAndResizeToTopThird, T::moveAndResizeToBottomThird, T::moveAndResizeToLeftThird,
           T::moveAndResizeToRightThird},
          {T::moveAndResizeToTopTwoThirds, T::moveAndResizeToBottomTwoThirds, T::moveAndResizeToLeftTwoThirds,
           T::moveAndResizeToRightTwoThirds},
          {T::moveAndResizeToHorizontalCenterThird, T::moveAndResizeToVerticalCenterThird}}},
        {"Fourths",
         {{T::moveAndResizeToTopFourth, T::moveAndResizeToBottomFourth, T::moveAndResizeToLeftFourth,
           T::moveAndResizeToRightFourth},
          {T::moveAndResizeToTopThreeFourths, T::moveAndResizeToBottomThreeFourths,
           T::moveAndResizeToLeftThreeFourths, T::moveAndResizeToRightThreeFourths}}},
        {"Fifths",
         {{T::moveAndResizeToTopFifth, T::moveAndResizeToBottomFifth, T::moveAndResizeToLeftFifth,
           T::moveAndResizeToRightFifth},
          {T::moveAndResizeToTopTwoFifths, T::moveAndResizeToBottomTwoFifths, T::moveAndResizeToLeftTwoFifths,
           T::moveAndResizeToRightTwoFifths},
          {T::moveAndResizeToTopThreeFifths, T::moveAndResizeToBottomThreeFifths,
           T::moveAndResizeToLeftThreeFifths, T::moveAndResizeToRightThreeFifths},
          {T::moveAndResizeToTopFourFifths, T::moveAndResizeToBottomFourFifths,
           T::moveAndResizeToLeftFourFifths, T::moveAndResizeToRightFourFifths}}},
        {"Sixths",
         {{T::moveAndResizeToTopSixth, T::moveAndResizeToBottomSixth, T::moveAndResizeToLeftSixth,
           T::moveAndResizeToRightSixth},
          {T::moveAndResizeToTopFiveSixths, T::moveAndResizeToBottomFiveSixths,
           T::moveAndResizeToLeftFiveSixths, T::moveAndResizeToRightFiveSixths}}},
    };
    return groups;
}

OperationMenuGroup customLayoutGroup()
{
    return {"Custom Layout", {{T::moveAndResizeToFrame}}};
}

} // namespace

const OperationMenu& addOperationMenu()
{
    static const OperationMenu menu = [] {
        OperationMenu m = fractionGroups();
        m.push_back({"Move", {moveTypeMenu()}});
        m.push_back({"Resize",
                     {{T::resizeToMaximize},
                      {T::resizeToHorizontalHalf, T::resizeToHorizontalThird, T::resizeToHorizontalTwoThirds},
                      {T::resizeToVerticalHalf, T::resizeToVerticalThird, T::resizeToVerticalTwoThirds},
                      {T::resizeToSize}}});
        m.push_back({"Display", {displayTypeMenu()}});
        m.push_back({"Pair", {{T::pair}}});
        m.push_back(customLayoutGroup());
        return m;
    }();
    return menu;
}

const OperationMenu& moveAndResizeTypeMenu()
{
    static const OperationMenu menu = [] {
        OperationMenu m = fractionGroups();
        m.push_back(customLayoutGroup());
        return m;
    }();
    return menu;
}

const OperationMenu& resizeTypeMenu()
{
    static const OperationMenu menu = {
        {"",
         {{T::resizeToMaximize},
          {T::resizeToHorizontalMaximize, T::resizeToVerticalMaximize},
          {T::resizeToHorizontalHalf, T::resizeToHorizontalThird, T::resizeToHorizontalTwoThirds},
          {T::resizeToVerticalHalf, T::resizeToVerticalThird, T::resizeToVerticalTwoThirds},
          {T::resizeToSize}}},
    };
    return menu;
}

const OperationMenu& pairLayoutMenu()
{
    // The fraction groups without maximize, quarters and the centre thirds.
    static const OperationMenu menu = [] {
        OperationMenu m;
        for (const OperationMenuGroup& g : fractionGroups()) {
            if (g.label == "Maximize" || g.label == "Quarters")
                continue;
            OperationMenuGroup copy = g;
            std::erase_if(copy.rows, [](const std::vector<T>& row) {
                return row.front() == T::moveAndResizeToHorizontalCenterThird;
            });
            m.push_back(std::move(copy));
        }
        return m;
    }();
    return menu;
}

const std::vector<QuickAction::OperationType>& moveTypeMenu()
{
    static const std::vector<T> menu = {T::moveToCenter, T::moveToCorner, T::moveToEdge, T::moveToPosition,
                                        T::moveByDistance};
    return menu;
}

const std::vector<QuickAction::OperationType>& displayTypeMenu()
{
    static const std::vector<T> menu = {T::displayToNextScreen, T::displayToPreviousScreen,
                                        T::displayToCustom};
    return menu;
}

std::string_view cornerLabel(QuickAction::CornerTypes corner)
{
    using C = QuickAction::CornerTypes;
    switch (corner) {
    case C::topLeft:
        return "Top Left Corner";
    case C::topRight:
        return "Top Right Corner";
    case C::bottomLeft:
        return "Bottom Left Corner";
    case C::bottomRight:
        break;
    }
    return "Bottom Right Corner";
}

std::string_view edgeLabel(QuickAction::EdgeTypes edge)
{
    using E = QuickAction::EdgeTypes;
    switch (edge) {
    case E::top:
        return "Top Edge";
    case E::bottom:
        return "Bottom Edge";
    case E::left:
        return "Left Edge";
    case E::right:
        break;
    }
    return "Right Edge";
}

} // namespace tilewise
