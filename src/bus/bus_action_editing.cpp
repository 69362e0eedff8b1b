// The bus's edits of the quick actions: the editor of the actions page does
// them, after the checks tilewisectl makes before it does the same.
#include "bus/tilewise_bus.hpp"

#include "quickactions/action_editor.hpp"
#include "settings/stored_value_check.hpp"

#include <algorithm>

namespace tilewise {

namespace {

using Result = BusEditResult;
using Status = BusEditResult::Status;
using Actions = std::vector<QuickAction::Action>;

Result refused(Status status, std::string message)
{
    return Result{status, std::move(message), {}};
}

bool known(const Actions& list, const std::string& id)
{
    return std::any_of(list.begin(), list.end(), [&](const QuickAction::Action& a) { return a.id == id; });
}

Result saved(bool stored)
{
    return stored ? Result{} : refused(Status::Failed, "the quick actions could not be saved");
}

// Runs `edit` on the stored list once it reads and every id is known.
template <typename Edit>
Result checked(ActionEditor& editor, const DefaultsStore& store, const std::vector<std::string>& ids, Edit edit)
{
    // A stored list that does not read shows as the built-in one; an edit
    // would write that over the user's text.
    if (std::optional<std::string> fault = storedActionsFault(store))
        return refused(Status::Failed, "the stored quick actions do not read, so they are left as they are: " +
                                           *fault);
    const Actions list = editor.actions();
    for (const std::string& id : ids)
        if (!known(list, id))
            return refused(Status::UnknownAction, "no quick action has the id " + quotedForMessage(id));
    return edit(list);
}

} // namespace

void bindActionEditing(BusHandlers& handlers, ActionEditor& editor, const DefaultsStore& store)
{
    ActionEditor* e = &editor;
    const DefaultsStore* s = &store;
    handlers.addAction = [e, s](const std::string& name) {
        return checked(*e, *s, {}, [&](const Actions&) {
            Result r;
            r.id = e->addNamedAction(name);
            return r.id.empty() ? saved(false) : r;
        });
    };
    handlers.renameAction = [e, s](const std::string& id, const std::string& name) {
        return checked(*e, *s, {id}, [&](const Actions&) { return saved(e->rename(id, name)); });
    };
    handlers.deleteActions = [e, s](const std::vector<std::string>& ids) {
        return checked(*e, *s, ids, [&](const Actions&) { return saved(e->deleteActions(ids)); });
    };
    handlers.moveAction = [e, s](const std::string& id, std::uint32_t position) {
        return checked(*e, *s, {id}, [&](const Actions& list) {
            if (position < 1 || position > list.size())
                return refused(Status::InvalidPosition, "position " + std::to_string(position) +
                                                            " is not in the list: give 1 to " +
                                                            std::to_string(list.size()));
            return saved(e->moveAction(id, position - 1));
        });
    };
    handlers.appendOperations = [e, s](const std::string& id, const std::string& json) {
        return checked(*e, *s, {id}, [&](const Actions&) {
            std::string error;
            const std::optional<std::vector<QuickAction::Operation>> operations = operationsFromJson(json, error);
            if (!operations)
                return refused(Status::InvalidOperations, error);
            return saved(e->appendOperations(id, *operations));
        });
    };
}

} // namespace tilewise
