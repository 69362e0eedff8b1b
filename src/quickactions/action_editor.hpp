// The model of the actions page and its editor sheet: the rows of the stored
// actions, adding, deleting, moving and renaming them, switching their
// shortcuts, setting their menu keys, and the operations of each. Every
// change is written to the stored list at once; there is no save or cancel.
// Also the option menus the operation editors offer.
#pragma once

#include "quickactions/quick_action.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace tilewise {

class Alerts;
class DefaultsStore;
class NotificationCenter;
class RunLoop;
class ShortcutsSlotManager;

class ActionEditor {
public:
    using Action = QuickAction::Action;
    using Operation = QuickAction::Operation;
    using OperationType = QuickAction::OperationType;

    // A new row opens its editor this long after it was added.
    static constexpr std::int64_t editDelayMs = 100;
    static constexpr std::string_view noActionsText = "Click + to add actions";
    static constexpr std::string_view noOperationsText = "Click + to add operations";

    ActionEditor(DefaultsStore& store, ShortcutsSlotManager& slots, Alerts& alerts, RunLoop& runLoop,
                 NotificationCenter& notifications);

    // The rows, in stored order, read afresh.
    std::vector<Action> actions() const;

    // Appends "New Action" and posts "editAction" with its id 0.1 s later.
    // Returns the new id; empty when the list could not be saved.
    std::string addAction();
    // Resets the slots of the actions with these ids, then removes them.
    // False when the list could not be saved.
    bool deleteActions(const std::vector<std::string>& ids);
    // The remove button and Delete: the selected actions; the selection is
    // emptied.
    bool deleteSelected();
    // Deleting rows through the list itself; positions out of range are
    // skipped.
    bool deleteRows(const std::vector<std::size_t>& positions);
    // The actions at `from` move to before the row that was at `to` (the
    // row count for the end), the others keeping their order.
    bool moveActions(const std::vector<std::size_t>& from, std::size_t to);
    bool rename(const std::string& id, const std::string& name);
    // The menu key from the recorder; -1 clears it.
    bool setKey(const std::string& id, std::int64_t key);
    // Lends or gives back a slot; "No shortcuts left" is shown as an alert
    // and the switch stays off. Returns whether the switch is on afterwards.
    bool setShortcutEnabled(const std::string& id, bool enabled);

    // The operations of one action, in the order they run.
    bool appendOperation(const std::string& actionId, OperationType type);
    // An operation's editor wrote its fields; matched by operation id.
    bool updateOperation(const std::string& actionId, const Operation& operation);
    bool removeOperations(const std::string& actionId, const std::set<std::string>& operationIds);
    bool removeOperationRows(const std::string& actionId, const std::vector<std::size_t>& positions);
    bool moveOperations(const std::string& actionId, const std::vector<std::size_t>& from, std::size_t to);

    // The edits tilewisectl and the bus make, which open no editor.
    // A new action with this name; the new id, empty when not saved.
    std::string addNamedAction(const std::string& name);
    // The action goes to `position` (0 is the top; past the end is the
    // end), the others keeping their order. False for an unknown id too.
    bool moveAction(const std::string& id, std::size_t position);
    // Operations as read by operationsFromJson, after the action's own.
    bool appendOperations(const std::string& actionId, const std::vector<Operation>& operations);

    // Row selection of the page, by action id.
    std::set<std::string> selected;

private:
    // Tells the user when the list could not be stored.
    bool save(const std::vector<Action>& list);
    template <typename Edit> bool editAction(const std::string& id, Edit edit);

    DefaultsStore& store_;
    ShortcutsSlotManager& slots_;
    Alerts& alerts_;
    RunLoop& runLoop_;
    NotificationCenter& notifications_;
};

// Menus of operation types. A group with a single type is a plain item; the
// others open a submenu whose rows are separated.
struct OperationMenuGroup {
    std::string_view label;
    std::vector<std::vector<QuickAction::OperationType>> rows;
};
using OperationMenu = std::vector<OperationMenuGroup>;

// Which editor an operation's type opens.
enum class OperationEditorKind : std::uint8_t { moveAndResize, move, resize, display, pair };
OperationEditorKind operationEditorKind(QuickAction::OperationType type);
// The editor's leading label: "Move&Resize to", "Move to", "Move by", ...
std::string_view operationEditorLabel(QuickAction::OperationType type);

// The add menu of the editor sheet.
const OperationMenu& addOperationMenu();
// The type menu of the move-and-resize editor.
const OperationMenu& moveAndResizeTypeMenu();
// The type menu of the resize editor: one unnamed group of rows.
const OperationMenu& resizeTypeMenu();
// "Set current window to" of the pair editor.
const OperationMenu& pairLayoutMenu();
// The type menus of the move and display editors, in menu order.
const std::vector<QuickAction::OperationType>& moveTypeMenu();
const std::vector<QuickAction::OperationType>& displayTypeMenu();

// Operations in their stored form, as tilewisectl and the bus take them:
// one JSON object or an array of them, each read by the reader of the
// stored list, so that what is appended reads back. None, with `error` one
// line naming the operation and its member, when one would not read.
std::optional<std::vector<QuickAction::Operation>> operationsFromJson(std::string_view text, std::string& error);

// Why the stored list does not read, when it is stored and does not. The
// program then shows the built-in actions; an edit from tilewisectl or the
// bus would write them over the user's text, so it is refused instead.
std::optional<std::string> storedActionsFault(const DefaultsStore& store);

std::string_view cornerLabel(QuickAction::CornerTypes corner);
std::string_view edgeLabel(QuickAction::EdgeTypes edge);

} // namespace tilewise
