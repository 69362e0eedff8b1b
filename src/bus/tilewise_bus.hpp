// The running Tilewise on the session bus: tilewisectl and scripts ask it to
// lay out the focused window and read its window history, so that one
// history serves the shortcuts, the command line and scripts.
//
//   name       org.tilewise.Tilewise.<display encoded> (bus/bus_names.hpp)
//   object     /org/tilewise/Tilewise
//   interface  org.tilewise.Tilewise1
//     Perform(s operation) -> ()   an operation name as tilewisectl lists it
//     History() -> (s json)        the window history as JSON text
//     RunAction(s id) -> ()        runs a quick action on the focused window;
//                                  answered once its last step has run
//     ListActions() -> (s json)    the quick actions, as stored
//     ShowSettings(s page) -> ()   opens the settings window at a page
//                                  (general, clip, shortcuts, actions,
//                                  exclude, experimental, about; "" keeps
//                                  the page it shows)
//     EditAction(s id) -> ()       opens the actions page and the editor
//                                  of that action
//   The quick actions, edited as the actions page edits them, by id:
//     AddAction(s name) -> (s id)  appends an action of that name
//     RenameAction(s id, s name) -> ()
//     DeleteActions(as ids) -> ()  resets their slots' keys first; one
//                                  unknown id and none is deleted
//     MoveAction(s id, u position) -> ()
//                                  to that place of the list, 1 the top
//     AppendOperations(s id, s json) -> ()
//                                  one operation or a JSON array of them,
//                                  each in the stored form, read as the
//                                  stored list is read
//
// Errors: org.tilewise.Tilewise1.Error.UnknownOperation,
// org.tilewise.Tilewise1.Error.UnknownAction,
// org.tilewise.Tilewise1.Error.NoFocusedWindow,
// org.tilewise.Tilewise1.Error.UnknownPage,
// org.tilewise.Tilewise1.Error.InvalidOperations (naming the operation and
// its member), org.tilewise.Tilewise1.Error.InvalidPosition; a stored list
// that does not read, or one that cannot be saved, fails the edits with
// org.freedesktop.DBus.Error.Failed and is left as it is. Arguments of the
// wrong type are refused by the bus library
// (org.freedesktop.DBus.Error.InvalidArgs).
//
// The connection is driven by the program's run loop and never waits on the
// bus once open: a caller that does not read its replies cannot hold up the
// program. Idle, it asks for no wakeups.
#pragma once

#include "layout/operation_type.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tilewise {

class ActionEditor;
class DefaultsStore;
class EventLoop;

enum class BusPerformResult { Done, NoFocusedWindow };
enum class BusRunResult { Started, UnknownAction, NoFocusedWindow };

// How an edit of the quick actions ended.
struct BusEditResult {
    enum class Status { Done, UnknownAction, InvalidOperations, InvalidPosition, Failed };
    Status status = Status::Done;
    std::string message; // why, one line, unless Done
    std::string id;      // the new action's, of AddAction
};

// What the service answers with; it holds no engine of its own. A handler
// left empty, or one that throws, makes its method fail with
// org.freedesktop.DBus.Error.Failed; the next call is answered as usual.
struct BusHandlers {
    std::function<BusPerformResult(OperationType)> perform;
    // {"currentWindowId": N|null, "lastWindowId": N|null, "currentLayout":
    // [x,y,w,h]|null, "last1Layout": ..., "last2layout": ..., "pairs":
    // [[a,b],...], "windows": [{"windowId": N, "pid": P}], "layoutRecords":
    // [{"windowId": N, "frame": [..]|null, "originalFrame": [..]|null}]}
    std::function<std::string()> history;
    // Started means `finished` will be called once, when the run is over;
    // the call is answered then.
    std::function<BusRunResult(const std::string& id, std::function<void()> finished)> runAction;
    // A JSON array of the actions in their stored form.
    std::function<std::string()> listActions;
    // False for a page there is none of. Left empty by a program without
    // windows.
    std::function<bool(const std::string& page)> showSettings;
    // Opens the editor of an action; false for an unknown id. Left empty
    // by a program without windows.
    std::function<bool(const std::string& id)> editAction;
    // The edits of the quick actions (bindActionEditing); `json` as given.
    std::function<BusEditResult(const std::string& name)> addAction;
    std::function<BusEditResult(const std::string& id, const std::string& name)> renameAction;
    std::function<BusEditResult(const std::vector<std::string>& ids)> deleteActions;
    std::function<BusEditResult(const std::string& id, std::uint32_t position)> moveAction;
    std::function<BusEditResult(const std::string& id, const std::string& json)> appendOperations;
};

// The edit handlers over the editor of the actions page, with the checks
// tilewisectl makes: ids must be known, positions in the list, operations
// as the stored list reads them. `editor` edits `store`; both outlive
// the handlers.
void bindActionEditing(BusHandlers& handlers, ActionEditor& editor, const DefaultsStore& store);

class TilewiseBusService {
public:
    // Connects to the session bus and takes the name of `display`. None,
    // with `error` one line saying why, when there is no session bus or the
    // name is taken (another Tilewise runs on the display). The only call
    // that waits on the bus: for the name, while the program starts.
    static std::unique_ptr<TilewiseBusService> open(const std::string& display, BusHandlers handlers,
                                                    EventLoop& loop, std::string& error);
    ~TilewiseBusService();
    TilewiseBusService(const TilewiseBusService&) = delete;
    TilewiseBusService& operator=(const TilewiseBusService&) = delete;

    const std::string& busName() const;

    struct State;

private:
    explicit TilewiseBusService(std::shared_ptr<State> state) : state_(std::move(state)) {}
    // Shared with the loop's callbacks, which may outlive the service.
    std::shared_ptr<State> state_;
};

} // namespace tilewise
