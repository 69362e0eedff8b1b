#include "platform/x11/x11_workspace.hpp"

#include "platform/desktop_entries.hpp"
#include "platform/x11/x11_process_info.hpp"

#include <algorithm>

namespace tilewise {

X11Workspace::X11Workspace(X11Connection& x, X11View& view, RunLoop& loop) : x_(x), view_(view), loop_(loop)
{
    eventObserver_ = x_.addEventObserver([this](const xcb_generic_event_t& e) { handleEvent(e); });
    // Copied: reading the clients may bring the root up to date again.
    const X11View::Root& root = view_.root();
    const std::vector<xcb_window_t> list = root.clients;
    const xcb_window_t active = root.active;
    syncClients(list);
    // The application active now has not been seen activated: the first
    // focus change, even to another of its own windows, activates it. Else
    // a program started from the terminal the user stays in would never
    // follow that terminal's windows.
    lastActive_ = active;
}

X11Workspace::~X11Workspace()
{
    x_.removeEventObserver(eventObserver_);
}

void X11Workspace::handleEvent(const xcb_generic_event_t& e)
{
    // Only noted here: the connection may be waiting for a reply.
    switch (e.response_type & 0x7f) {
    case XCB_PROPERTY_NOTIFY: {
        const auto& p = reinterpret_cast<const xcb_property_notify_event_t&>(e);
        const xcb_ewmh_connection_t& ewmh = x_.ewmhAtoms();
        if (p.window == x_.root() && (p.atom == ewmh._NET_ACTIVE_WINDOW || p.atom == ewmh._NET_CLIENT_LIST)) {
            rootChanged_ = true;
            schedule();
        }
        return;
    }
    case XCB_CONFIGURE_NOTIFY:
        geometryChanged_ = true;
        schedule();
        return;
    case XCB_DESTROY_NOTIFY: {
        const xcb_window_t w = reinterpret_cast<const xcb_destroy_notify_event_t&>(e).window;
        if (clients_.contains(w) || departed_.contains(w)) {
            destroyedSeen_.push_back(w);
            schedule();
        }
        return;
    }
    default:
        return;
    }
}

void X11Workspace::schedule()
{
    if (posted_)
        return;
    posted_ = true;
    loop_.post([this, alive = std::weak_ptr<bool>(alive_)] {
        if (alive.lock())
            deliver();
    });
}

void X11Workspace::deliver()
{
    posted_ = false;
    const bool rootChanged = std::exchange(rootChanged_, false);
    const bool geometryChanged = std::exchange(geometryChanged_, false);

    // Everything is worked out first, then handed on: the handlers may call
    // into the platform, and may create or drop observers.
    std::vector<xcb_window_t> destroyed;
    for (xcb_window_t w : std::exchange(destroyedSeen_, {})) {
        if (std::find(destroyed.begin(), destroyed.end(), w) == destroyed.end())
            destroyed.push_back(w);
        removeClient(w);
        departed_.erase(w);
    }

    std::optional<RunningApplication> activation;
    std::vector<Change> changes;
    xcb_window_t active = XCB_WINDOW_NONE;
    if (rootChanged) {
        // By membership, not by the list as a whole: a destroyed window's
        // id may come back as another window's.
        const X11View::Root& root = view_.root();
        const std::vector<xcb_window_t> list = root.clients;
        active = root.active;
        syncClients(list);
    }

    std::vector<RunningApplication> terminations;
    for (auto it = applications_.begin(); it != applications_.end();) {
        if (it->second.clients > 0) {
            ++it;
            continue;
        }
        terminations.push_back(it->second.info);
        if (lastActivated_ == it->first) {
            lastActivated_.reset();
            lastActive_ = XCB_WINDOW_NONE;
        }
        it = applications_.erase(it);
    }

    if (auto it = clients_.find(active); rootChanged && it != clients_.end()) {
        const Pid pid = it->second.pid;
        if (pid != lastActivated_) {
            RunningApplication& info = applications_[pid].info;
            // The identifier of the window activated, which may have changed since.
            if (const X11View::Window* v = view_.window(active))
                info = applicationOf(pid, *v);
            activation = info;
            lastActivated_ = pid;
        } else if (active != lastActive_) {
            changes.push_back(Change{pid, active, WindowNotification::FocusedWindowChanged});
        }
        lastActive_ = active;
    }

    if (geometryChanged) {
        for (auto& [w, c] : clients_) {
            const std::optional<Rect> now = frameOf(w, startedObservers(c.pid) > 0);
            if (!now)
                continue;
            if (c.frame && c.frame->origin != now->origin)
                changes.push_back(Change{c.pid, w, WindowNotification::WindowMoved});
            if (c.frame && c.frame->size != now->size)
                changes.push_back(Change{c.pid, w, WindowNotification::WindowResized});
            c.frame = now;
        }
    }

    for (xcb_window_t w : destroyed)
        announceDestroyed(WindowId(w));
    for (const RunningApplication& app : terminations)
        announceTerminated(app);
    if (activation)
        announceActivated(activation);
    for (const Change& c : changes)
        notifyObservers(c.pid, WindowElement{c.window}, c.what);
}

void X11Workspace::syncClients(const std::vector<xcb_window_t>& list)
{
    const std::unordered_set<xcb_window_t> listed(list.begin(), list.end());
    std::vector<xcb_window_t> gone;
    for (const auto& [w, c] : clients_) {
        if (!listed.contains(w))
            gone.push_back(w);
    }
    for (xcb_window_t w : gone) {
        removeClient(w);
        departed_.insert(w);
    }
    // The first read brings all the new ones at once.
    for (xcb_window_t w : list) {
        if (clients_.contains(w))
            continue;
        const X11View::Window* v = view_.window(w);
        if (!v)
            continue; // gone already
        departed_.erase(w);
        const auto pid = v->property(x_.ewmhAtoms()._NET_WM_PID).cardinals();
        const Pid p = pid.empty() ? 0 : Pid(pid[0]);
        clients_[w] = Client{p, v->client};
        auto [app, added] = applications_.try_emplace(p);
        if (added)
            app->second.info = applicationOf(p, *v);
        ++app->second.clients;
    }
}

void X11Workspace::removeClient(xcb_window_t w)
{
    auto it = clients_.find(w);
    if (it == clients_.end())
        return;
    if (auto app = applications_.find(it->second.pid); app != applications_.end())
        --app->second.clients;
    clients_.erase(it);
}

RunningApplication X11Workspace::applicationOf(Pid pid, const X11View::Window& w)
{
    const X11Connection::Atoms& a = x_.atoms();
    const XProperty& wmClass = w.property(XCB_ATOM_WM_CLASS);
    RunningApplication app;
    app.processIdentifier = pid;
    app.bundleIdentifier = applicationIdOf(w.property(a.gtkApplicationId), w.property(a.kdeDesktopFile),
                                           w.property(a.bamfDesktopFile), wmClass);
    if (app.bundleIdentifier) {
        auto [it, added] = entryNames_.try_emplace(*app.bundleIdentifier);
        if (added)
            it->second = desktopEntryName(*app.bundleIdentifier);
        app.localizedName = it->second;
    }
    if (!app.localizedName) {
        const XProperty none;
        app.localizedName = applicationIdOf(none, none, none, wmClass); // the class
    }
    return app;
}

std::optional<Rect> X11Workspace::frameOf(xcb_window_t w, bool observed)
{
    if (const X11View::Window* v = view_.known(w))
        return v->client;
    // Not told by the events: read where someone is listening.
    const X11View::Window* v = observed ? view_.window(w) : nullptr;
    return v ? std::optional<Rect>(v->client) : std::nullopt;
}

} // namespace tilewise
