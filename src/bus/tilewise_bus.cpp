#include "bus/tilewise_bus.hpp"

#include "bus/bus_names.hpp"
#include "platform/diagnostics.hpp"
#include "platform/event_loop.hpp"
#include "settings/stored_value_check.hpp"

#include <systemd/sd-bus.h>

#include <time.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

namespace tilewise {

namespace {

// Messages handled per readiness: a burst of calls leaves room for the X
// events between its parts.
constexpr int messagesPerTurn = 32;

std::string errnoText(int negativeErrno)
{
    return std::strerror(-negativeErrno);
}

std::uint64_t monotonicUsec()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::uint64_t(ts.tv_sec) * 1000000u + std::uint64_t(ts.tv_nsec) / 1000u;
}

} // namespace

struct TilewiseBusService::State {
    State(EventLoop& l, BusHandlers h) : loop(l), handlers(std::move(h)) {}
    ~State()
    {
        detach();
        // Closes without flushing: flushing waits for the peer.
        if (bus)
            sd_bus_close_unref(bus);
    }

    void process();
    void postProcess();
    void rearm();
    void lost(int r);
    void detach();

    EventLoop& loop;
    BusHandlers handlers;
    std::string name;
    sd_bus* bus = nullptr;
    int fd = -1;
    bool attached = false;
    RunLoop::TimerId timer = 0;
    std::uint64_t timerDue = UINT64_MAX;
    bool processPosted = false;
    std::weak_ptr<State> self;
};

void TilewiseBusService::State::process()
{
    if (!attached)
        return;
    for (int i = 0; i < messagesPerTurn; ++i) {
        const int r = sd_bus_process(bus, nullptr);
        if (r < 0) {
            lost(r);
            return;
        }
        if (r == 0) {
            rearm();
            return;
        }
    }
    // What is left may already be read from the socket, where poll cannot
    // see it.
    postProcess();
    rearm();
}

void TilewiseBusService::State::postProcess()
{
    if (processPosted)
        return;
    processPosted = true;
    loop.post([weak = self] {
        if (std::shared_ptr<State> s = weak.lock()) {
            s->processPosted = false;
            s->process();
        }
    });
}

// After every turn: a reply queued by anyone needs POLLOUT while the socket
// is full, and a pending exchange its timeout. Neither costs a system call.
void TilewiseBusService::State::rearm()
{
    if (!attached)
        return;
    const int events = sd_bus_get_events(bus);
    if (events < 0) {
        lost(events);
        return;
    }
    loop.setFdEvents(fd, static_cast<short>(events));
    std::uint64_t due = UINT64_MAX;
    if (sd_bus_get_timeout(bus, &due) < 0)
        due = UINT64_MAX;
    if (due == timerDue)
        return;
    if (timer)
        loop.cancelTimer(timer);
    timer = 0;
    timerDue = due;
    if (due == UINT64_MAX)
        return;
    const std::uint64_t now = monotonicUsec();
    const auto ms = std::chrono::milliseconds(due > now ? (due - now + 999) / 1000 : 0);
    timer = loop.addTimer(ms, false, [weak = self] {
        if (std::shared_ptr<State> s = weak.lock()) {
            s->timer = 0;
            s->timerDue = UINT64_MAX;
            s->process();
        }
    });
}

void TilewiseBusService::State::lost(int r)
{
    diag::problem("lost the session bus (" + errnoText(r) + "): tilewisectl no longer reaches this Tilewise");
    detach();
}

void TilewiseBusService::State::detach()
{
    if (!attached)
        return;
    attached = false;
    loop.unwatchFd(fd);
    if (timer)
        loop.cancelTimer(timer);
    timer = 0;
}

namespace {

using State = TilewiseBusService::State;

// The handlers are C++ called from C: nothing may be thrown through it.
int failed(sd_bus_error* error, const char* what)
{
    return sd_bus_error_setf(error, SD_BUS_ERROR_FAILED, "%s", what);
}

int onPerform(sd_bus_message* m, void* userdata, sd_bus_error* error)
{
    State& s = *static_cast<State*>(userdata);
    const char* name = nullptr;
    if (int r = sd_bus_message_read(m, "s", &name); r < 0)
        return r;
    const std::optional<OperationType> op = operationFromName(name);
    if (!op)
        return sd_bus_error_setf(error, bus::unknownOperationError,
                                 "unknown operation %s (see 'tilewisectl operations')",
                                 quotedForMessage(name).c_str());
    if (!s.handlers.perform)
        return failed(error, "this Tilewise does not perform operations");
    BusPerformResult result;
    try {
        result = s.handlers.perform(*op);
    } catch (const std::exception& e) {
        return failed(error, e.what());
    } catch (...) {
        return failed(error, "the operation failed");
    }
    if (result == BusPerformResult::NoFocusedWindow)
        return sd_bus_error_set(error, bus::noFocusedWindowError, "no focused window: nothing to lay out");
    return sd_bus_reply_method_return(m, "");
}

int onHistory(sd_bus_message* m, void* userdata, sd_bus_error* error)
{
    State& s = *static_cast<State*>(userdata);
    if (!s.handlers.history)
        return failed(error, "this Tilewise keeps no window history");
    std::string json;
    try {
        json = s.handlers.history();
    } catch (const std::exception& e) {
        return failed(error, e.what());
    } catch (...) {
        return failed(error, "the window history cannot be read");
    }
    return sd_bus_reply_method_return(m, "s", json.c_str());
}

int onRunAction(sd_bus_message* m, void* userdata, sd_bus_error* error)
{
    State& s = *static_cast<State*>(userdata);
    const char* id = nullptr;
    if (int r = sd_bus_message_read(m, "s", &id); r < 0)
        return r;
    if (!s.handlers.runAction)
        return failed(error, "this Tilewise does not run quick actions");
    // Answered when the run is over, which takes turns of the loop; the
    // service may be gone by then.
    sd_bus_message* call = sd_bus_message_ref(m);
    auto finished = [weak = s.self, call, answered = std::make_shared<bool>(false)] {
        if (*answered)
            return;
        *answered = true;
        if (std::shared_ptr<State> state = weak.lock(); state && state->attached) {
            sd_bus_reply_method_return(call, "");
            state->postProcess();
        }
        sd_bus_message_unref(call);
    };
    BusRunResult result;
    try {
        result = s.handlers.runAction(id, finished);
    } catch (const std::exception& e) {
        sd_bus_message_unref(call);
        return failed(error, e.what());
    } catch (...) {
        sd_bus_message_unref(call);
        return failed(error, "the quick action failed");
    }
    if (result == BusRunResult::Started)
        return 1;
    sd_bus_message_unref(call);
    if (result == BusRunResult::NoFocusedWindow)
        return sd_bus_error_set(error, bus::noFocusedWindowError, "no focused window: nothing to lay out");
    return sd_bus_error_setf(error, bus::unknownActionError, "no quick action has the id %s",
                             quotedForMessage(id).c_str());
}

int onListActions(sd_bus_message* m, void* userdata, sd_bus_error* error)
{
    State& s = *static_cast<State*>(userdata);
    if (!s.handlers.listActions)
        return failed(error, "this Tilewise has no quick actions");
    std::string json;
    try {
        json = s.handlers.listActions();
    } catch (const std::exception& e) {
        return failed(error, e.what());
    } catch (...) {
        return failed(error, "the quick actions cannot be read");
    }
    return sd_bus_reply_method_return(m, "s", json.c_str());
}

int onShowSettings(sd_bus_message* m, void* userdata, sd_bus_error* error)
{
    State& s = *static_cast<State*>(userdata);
    const char* page = nullptr;
    if (int r = sd_bus_message_read(m, "s", &page); r < 0)
        return r;
    if (!s.handlers.showSettings)
        return failed(error, "this Tilewise runs without windows (--headless)");
    bool shown = false;
    try {
        shown = s.handlers.showSettings(page);
    } catch (const std::exception& e) {
        return failed(error, e.what());
    } catch (...) {
        return failed(error, "the settings window cannot be opened");
    }
    if (!shown)
        return sd_bus_error_setf(error, bus::unknownPageError,
                                 "no settings page is named %s (general, clip, shortcuts, actions, exclude, "
                                 "experimental, about)",
                                 quotedForMessage(page).c_str());
    return sd_bus_reply_method_return(m, "");
}

int onEditAction(sd_bus_message* m, void* userdata, sd_bus_error* error)
{
    State& s = *static_cast<State*>(userdata);
    const char* id = nullptr;
    if (int r = sd_bus_message_read(m, "s", &id); r < 0)
        return r;
    if (!s.handlers.editAction)
        return failed(error, "this Tilewise runs without windows (--headless)");
    bool shown = false;
    try {
        shown = s.handlers.editAction(id);
    } catch (const std::exception& e) {
        return failed(error, e.what());
    } catch (...) {
        return failed(error, "the action editor cannot be opened");
    }
    if (!shown)
        return sd_bus_error_setf(error, bus::unknownActionError, "no quick action has the id %s",
                                 quotedForMessage(id).c_str());
    return sd_bus_reply_method_return(m, "");
}

// The edits: the handler's result as the reply, or as a named error.
template <typename Call> int answerEdit(sd_bus_message* m, sd_bus_error* error, bool bound, bool withId, Call call)
{
    if (!bound)
        return failed(error, "this Tilewise does not edit quick actions");
    BusEditResult result;
    try {
        result = call();
    } catch (const std::exception& e) {
        return failed(error, e.what());
    } catch (...) {
        return failed(error, "the quick actions could not be edited");
    }
    const char* name = nullptr;
    switch (result.status) {
    case BusEditResult::Status::Done:
        return withId ? sd_bus_reply_method_return(m, "s", result.id.c_str()) : sd_bus_reply_method_return(m, "");
    case BusEditResult::Status::UnknownAction:
        name = bus::unknownActionError;
        break;
    case BusEditResult::Status::InvalidOperations:
        name = bus::invalidOperationsError;
        break;
    case BusEditResult::Status::InvalidPosition:
        name = bus::invalidPositionError;
        break;
    case BusEditResult::Status::Failed:
        name = SD_BUS_ERROR_FAILED;
        break;
    }
    return sd_bus_error_setf(error, name, "%s", result.message.c_str());
}

int onAddAction(sd_bus_message* m, void* userdata, sd_bus_error* error)
{
    State& s = *static_cast<State*>(userdata);
    const char* name = nullptr;
    if (int r = sd_bus_message_read(m, "s", &name); r < 0)
        return r;
    return answerEdit(m, error, bool(s.handlers.addAction), true, [&] { return s.handlers.addAction(name); });
}

int onRenameAction(sd_bus_message* m, void* userdata, sd_bus_error* error)
{
    State& s = *static_cast<State*>(userdata);
    const char* id = nullptr;
    const char* name = nullptr;
    if (int r = sd_bus_message_read(m, "ss", &id, &name); r < 0)
        return r;
    return answerEdit(m, error, bool(s.handlers.renameAction), false,
                      [&] { return s.handlers.renameAction(id, name); });
}

int onDeleteActions(sd_bus_message* m, void* userdata, sd_bus_error* error)
{
    State& s = *static_cast<State*>(userdata);
    char** strv = nullptr;
    if (int r = sd_bus_message_read_strv(m, &strv); r < 0)
        return r;
    std::vector<std::string> ids;
    for (char** p = strv; p && *p; ++p) {
        ids.emplace_back(*p);
        std::free(*p);
    }
    std::free(strv);
    return answerEdit(m, error, bool(s.handlers.deleteActions), false,
                      [&] { return s.handlers.deleteActions(ids); });
}

int onMoveAction(sd_bus_message* m, void* userdata, sd_bus_error* error)
{
    State& s = *static_cast<State*>(userdata);
    const char* id = nullptr;
    std::uint32_t position = 0;
    if (int r = sd_bus_message_read(m, "su", &id, &position); r < 0)
        return r;
    return answerEdit(m, error, bool(s.handlers.moveAction), false,
                      [&] { return s.handlers.moveAction(id, position); });
}

int onAppendOperations(sd_bus_message* m, void* userdata, sd_bus_error* error)
{
    State& s = *static_cast<State*>(userdata);
    const char* id = nullptr;
    const char* json = nullptr;
    if (int r = sd_bus_message_read(m, "ss", &id, &json); r < 0)
        return r;
    return answerEdit(m, error, bool(s.handlers.appendOperations), false,
                      [&] { return s.handlers.appendOperations(id, json); });
}

// A new method is a row here and a handler in BusHandlers.
const sd_bus_vtable tilewiseVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD_WITH_ARGS("Perform", SD_BUS_ARGS("s", operation), SD_BUS_NO_RESULT, onPerform,
                            SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_ARGS("History", SD_BUS_NO_ARGS, SD_BUS_RESULT("s", json), onHistory,
                            SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_ARGS("RunAction", SD_BUS_ARGS("s", id), SD_BUS_NO_RESULT, onRunAction,
                            SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_ARGS("ListActions", SD_BUS_NO_ARGS, SD_BUS_RESULT("s", json), onListActions,
                            SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_ARGS("ShowSettings", SD_BUS_ARGS("s", page), SD_BUS_NO_RESULT, onShowSettings,
                            SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_ARGS("EditAction", SD_BUS_ARGS("s", id), SD_BUS_NO_RESULT, onEditAction,
                            SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_ARGS("AddAction", SD_BUS_ARGS("s", name), SD_BUS_RESULT("s", id), onAddAction,
                            SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_ARGS("RenameAction", SD_BUS_ARGS("s", id, "s", name), SD_BUS_NO_RESULT, onRenameAction,
                            SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_ARGS("DeleteActions", SD_BUS_ARGS("as", ids), SD_BUS_NO_RESULT, onDeleteActions,
                            SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_ARGS("MoveAction", SD_BUS_ARGS("s", id, "u", position), SD_BUS_NO_RESULT, onMoveAction,
                            SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_ARGS("AppendOperations", SD_BUS_ARGS("s", id, "s", json), SD_BUS_NO_RESULT,
                            onAppendOperations, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_VTABLE_END,
};

} // namespace

std::unique_ptr<TilewiseBusService> TilewiseBusService::open(const std::string& display, BusHandlers handlers,
                                                             EventLoop& loop, std::string& error)
{
    auto state = std::make_shared<State>(loop, std::move(handlers));
    state->self = state;
    state->name = bus::busNameForDisplay(display);
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    const char* runtimeDir = std::getenv("XDG_RUNTIME_DIR");
    if ((!address || !*address) && (!runtimeDir || !*runtimeDir)) {
        error = "no session bus (DBUS_SESSION_BUS_ADDRESS is not set)";
        return nullptr;
    }
    int r = sd_bus_open_user_with_description(&state->bus, "tilewise");
    if (r < 0) {
        error = "cannot connect to the session bus (" + errnoText(r) + ")";
        return nullptr;
    }
    r = sd_bus_add_object_vtable(state->bus, nullptr, bus::objectPath, bus::interfaceName, tilewiseVtable,
                                 state.get());
    if (r >= 0)
        r = sd_bus_request_name(state->bus, state->name.c_str(), 0);
    if (r == -EEXIST) {
        error = "the session bus name " + state->name + " is taken (by another Tilewise on display " +
                display + "?)";
        return nullptr;
    }
    if (r < 0) {
        error = "cannot take the session bus name " + state->name + " (" + errnoText(r) + ")";
        return nullptr;
    }
    state->fd = sd_bus_get_fd(state->bus);
    if (state->fd < 0) {
        error = "cannot use the session bus (" + errnoText(state->fd) + ")";
        return nullptr;
    }
    state->attached = true;
    loop.watchFd(state->fd, [weak = state->self] {
        if (std::shared_ptr<State> s = weak.lock())
            s->process();
    });
    loop.addTurnHook([weak = state->self] {
        if (std::shared_ptr<State> s = weak.lock())
            s->rearm();
    });
    // Calls that came while the name was asked for are read already.
    state->postProcess();
    state->rearm();
    return std::unique_ptr<TilewiseBusService>(new TilewiseBusService(std::move(state)));
}

TilewiseBusService::~TilewiseBusService()
{
    state_->detach();
}

const std::string& TilewiseBusService::busName() const
{
    return state_->name;
}

} // namespace tilewise
