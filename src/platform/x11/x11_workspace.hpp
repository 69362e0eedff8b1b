// Workspace on an X server with an EWMH window manager, built on the view's
// events.
//
// An application is a process, by its clients' _NET_WM_PID. It is activated
// when the root's _NET_ACTIVE_WINDOW moves to a client of another process
// than the last one activated (at start, none counts as activated), and
// terminated when its last client leaves
// _NET_CLIENT_LIST. Its observers see the active window move between its
// clients and its clients' moves and resizes (against the frame last seen,
// so that a repeated ConfigureNotify tells nothing).
//
// Events may arrive in the middle of any request (a frame write waiting for
// the window manager, for one), so they are only noted as they come; what
// they changed is worked out and handed on at a later turn of the run loop,
// from the view, which the events have already brought up to date.
#pragma once

#include "platform/run_loop.hpp"
#include "platform/workspace.hpp"
#include "platform/x11/x11_connection.hpp"
#include "platform/x11/x11_view.hpp"

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace tilewise {

class X11Workspace : public ObservingWorkspace {
public:
    // Takes in the clients of the moment; the first change of the active
    // window activates its application. Observers still alive when it goes
    // hear nothing more.
    X11Workspace(X11Connection& x, X11View& view, RunLoop& loop);
    ~X11Workspace() override;
    X11Workspace(const X11Workspace&) = delete;
    X11Workspace& operator=(const X11Workspace&) = delete;

protected:
    // Windows without _NET_WM_PID count as process 0, which is not observed.
    bool canObserve(Pid pid) override { return pid > 0; }

private:
    struct Client {
        Pid pid = 0;
        std::optional<Rect> frame; // as last seen
    };
    struct Application {
        RunningApplication info;
        int clients = 0;
    };
    struct Change {
        Pid pid;
        xcb_window_t window;
        WindowNotification what;
    };

    void handleEvent(const xcb_generic_event_t& e);
    void schedule();
    void deliver();
    // Brings the clients and their processes in line with the root's list.
    void syncClients(const std::vector<xcb_window_t>& list);
    void removeClient(xcb_window_t w);
    RunningApplication applicationOf(Pid pid, const X11View::Window& w);
    std::optional<Rect> frameOf(xcb_window_t w, bool observed);

    X11Connection& x_;
    X11View& view_;
    RunLoop& loop_;
    int eventObserver_ = 0;
    // Dropped with the workspace, so that a posted delivery finds it gone.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    bool posted_ = false;
    bool rootChanged_ = false;
    bool geometryChanged_ = false;
    std::vector<xcb_window_t> destroyedSeen_;

    std::unordered_map<xcb_window_t, Client> clients_;
    // Clients that left the list while they may still be destroyed.
    std::unordered_set<xcb_window_t> departed_;
    std::map<Pid, Application> applications_;
    std::optional<Pid> lastActivated_;
    xcb_window_t lastActive_ = XCB_WINDOW_NONE;
    std::unordered_map<std::string, std::optional<std::string>> entryNames_;
};

} // namespace tilewise
