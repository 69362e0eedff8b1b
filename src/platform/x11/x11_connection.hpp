// The program's one connection to the X server: atoms, replies with X errors
// sorted into expected and unexpected, a round-trip counter, and the events
// that arrive while some request waits, kept in order for the run loop.
#pragma once

#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

namespace tilewise {

struct XFree {
    void operator()(void* p) const { std::free(p); }
};
template <class T> using XPtr = std::unique_ptr<T, XFree>;
using XEvent = XPtr<xcb_generic_event_t>;

// A GetProperty reply and typed views of its value.
class XProperty {
public:
    XProperty() = default;
    explicit XProperty(XPtr<xcb_get_property_reply_t> reply) : reply_(std::move(reply)) {}

    bool exists() const { return reply_ && reply_->type != XCB_ATOM_NONE; }
    xcb_atom_t type() const { return reply_ ? reply_->type : xcb_atom_t(XCB_ATOM_NONE); }
    // The value as 32-bit items (CARDINAL, WINDOW, ATOM); empty for other formats.
    std::span<const std::uint32_t> cardinals() const;
    // The value as bytes (STRING, UTF8_STRING), whatever its format.
    std::string text() const;
    xcb_get_property_reply_t* raw() const { return reply_.get(); }

private:
    XPtr<xcb_get_property_reply_t> reply_;
};

class X11Connection {
public:
    // Atoms that xcb-ewmh does not intern.
    struct Atoms {
        xcb_atom_t gtkFrameExtents = XCB_ATOM_NONE;
        xcb_atom_t gtkApplicationId = XCB_ATOM_NONE;
        xcb_atom_t kdeDesktopFile = XCB_ATOM_NONE;
        xcb_atom_t bamfDesktopFile = XCB_ATOM_NONE;
        xcb_atom_t wmState = XCB_ATOM_NONE;
    };

    // None (and the reason in `error`) when the display cannot be opened or
    // lacks what the program needs.
    static std::unique_ptr<X11Connection> open(const char* displayName, std::string* error);
    ~X11Connection();
    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    xcb_connection_t* xcb() const { return conn_; }
    xcb_window_t root() const { return screen_->root; }
    xcb_screen_t* screen() const { return screen_; }
    int screenNumber() const { return screenNumber_; }
    xcb_ewmh_connection_t& ewmh() { return ewmh_; }
    const xcb_ewmh_connection_t& ewmhAtoms() const { return ewmh_; }
    const Atoms& atoms() const { return atoms_; }
    // Whether the server has RandR; monitors are asked for where it does (a
    // server older than 1.5 answers with an error, taken as none).
    bool hasMonitors() const { return hasMonitors_; }
    // The first event code of the XKB extension, which is set up for this
    // connection on the first call; none when the server lacks XKB 1.0.
    std::optional<std::uint8_t> xkbFirstEvent();
    // False once the connection broke (server gone).
    bool ok() const { return xcb_connection_has_error(conn_) == 0; }
    // For the run loop to watch.
    int fd() const { return xcb_get_file_descriptor(conn_); }

    // Round trips to the server: waits for a reply, a sync or an event.
    // Requests sent together cost one, however many replies they bring.
    std::uint64_t roundTrips() const { return roundTrips_; }

    // Awaits the reply of a request that has one. An error that the request
    // expects (one about a window that may have vanished, by a table of
    // requests and errors) gives none, silently; any other error gives none
    // and is reported with the request's name.
    template <class Reply, class Cookie> XPtr<Reply> reply(Cookie cookie)
    {
        return XPtr<Reply>(static_cast<Reply*>(awaitReply(cookie.sequence)));
    }
    XProperty property(xcb_get_property_cookie_t cookie)
    {
        return XProperty(reply<xcb_get_property_reply_t>(cookie));
    }
    xcb_get_property_cookie_t requestProperty(xcb_window_t window, xcb_atom_t property,
                                              std::uint32_t maxItems = 1024);
    // The errors of checked requests without replies, in order (none where
    // the request succeeded), in one round trip however many there are. They
    // are not reported: the caller knows which ones it expects.
    std::vector<XPtr<xcb_generic_error_t>> check(std::span<const xcb_void_cookie_t> cookies);
    // Waits until the server has handled every request sent so far.
    void sync();
    void flush() { xcb_flush(conn_); }

    // The next event for the run loop: first those kept while waiting, then
    // those pending on the connection. Errors never come out here: they are
    // handled as described at reply(). After any call into this connection,
    // events may be queued without the fd becoming readable, so the run loop
    // drains this after each turn, not only when the fd fires.
    std::optional<XEvent> nextEvent();
    bool hasQueuedEvents() const { return !queue_.empty(); }
    // Whether an event waits, here or among those xcb read from the socket
    // while waiting for a reply (which leaves the descriptor quiet).
    bool hasPendingEvents();

    // Sees every event as it is read from the server, before it is queued
    // (a cache kept current by events must not wait for the run loop).
    // Observers must not wait for the server. Returns a token for removal.
    int addEventObserver(std::function<void(const xcb_generic_event_t&)> observer);
    void removeEventObserver(int token);

    // Marks the present moment in the event stream, for waitForEvent().
    std::uint64_t eventMark();

    // Waits until an event satisfying `match` arrives, at most `timeout`.
    // With `since`, events already queued after that mark count too, so
    // that an answer that came in while waiting for something else is not
    // missed. Every event read meanwhile, the matching one included, stays
    // queued for nextEvent() in arrival order. False on timeout or a broken
    // connection.
    bool waitForEvent(const std::function<bool(const xcb_generic_event_t&)>& match,
                      std::chrono::milliseconds timeout, std::optional<std::uint64_t> since = std::nullopt);

    // Adds to the events this connection selects on a window, keeping what
    // was selected before (several parts of the program share the connection).
    void selectInput(xcb_window_t window, std::uint32_t mask);
    // Forgets what was selected on a window that is gone.
    void forgetWindow(xcb_window_t window) { selected_.erase(window); }

    // Requests to the window manager, defined with the others in x11_ewmh.cpp.

    // An EWMH window manager is running: the root's _NET_SUPPORTING_WM_CHECK
    // names a window whose own property names itself.
    bool windowManagerRunning();
    // The atoms of the root's _NET_SUPPORTED, read now (the window manager
    // may have been replaced since the last call).
    std::vector<xcb_atom_t> supportedAtoms();

    // A round trip through the window manager: asks it for the frame extents
    // of a window of ours and waits for its answer. When this returns true,
    // the window manager has handled every message sent to it before, and the
    // server has applied what it asked for. False when the window manager does
    // not answer within `timeout` (some advertise the message and ignore it
    // for windows they do not manage).
    bool windowManagerBarrier(std::chrono::milliseconds timeout);

    // The names of atoms, from a cache: an atom keeps its name for the life of
    // the server. Unknown atoms are asked for together.
    std::vector<std::string> atomNames(std::span<const xcb_atom_t> atoms);
    // Asks for the names not known yet, to be collected by atomNames(), so
    // that they travel with other requests.
    void prefetchAtomNames(std::span<const xcb_atom_t> atoms);

    // Reports an X error unless its request expects it; also for errors
    // that come as events.
    void handleError(const xcb_generic_error_t& error);
    // Where unexpected X errors go; by default one line on standard error.
    void setErrorReporter(std::function<void(const std::string&)> reporter)
    {
        reporter_ = std::move(reporter);
    }

private:
    X11Connection() = default;
    void* awaitReply(unsigned int sequence);
    // Reads one event from the connection without blocking; errors are
    // handled and skipped.
    XEvent pollConnection();
    bool isInternal(const xcb_generic_event_t& event) const;
    xcb_window_t probeWindow();

    xcb_connection_t* conn_ = nullptr;
    xcb_screen_t* screen_ = nullptr;
    int screenNumber_ = 0;
    xcb_ewmh_connection_t ewmh_{};
    bool ewmhReady_ = false;
    Atoms atoms_;
    bool hasMonitors_ = false;
    std::optional<std::optional<std::uint8_t>> xkbFirstEvent_;
    std::uint8_t randrMajorOpcode_ = 0;
    std::uint64_t roundTrips_ = 0;
    unsigned int coveredThrough_ = 0;
    std::deque<XEvent> queue_;
    // How many events were ever queued: the mark of the next one.
    std::uint64_t queuedTotal_ = 0;
    std::unordered_map<xcb_window_t, std::uint32_t> selected_;
    std::unordered_map<xcb_atom_t, std::string> atomNames_;
    std::unordered_map<xcb_atom_t, xcb_get_atom_name_cookie_t> pendingNames_;
    xcb_window_t probe_ = XCB_WINDOW_NONE;
    std::function<void(const std::string&)> reporter_;
    std::vector<std::pair<int, std::function<void(const xcb_generic_event_t&)>>> observers_;
    int nextObserver_ = 1;
};

} // namespace tilewise
