#include "platform/x11/x11_connection.hpp"

#include "platform/diagnostics.hpp"

#include <xcb/randr.h>
// xcb's XKB header names a field `explicit`, a keyword in C++.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#include <xcb/xcbext.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <poll.h>

namespace tilewise {

std::span<const std::uint32_t> XProperty::cardinals() const
{
    if (!reply_ || reply_->format != 32)
        return {};
    auto* data = static_cast<const std::uint32_t*>(xcb_get_property_value(reply_.get()));
    return {data, std::size_t(xcb_get_property_value_length(reply_.get())) / 4};
}

std::string XProperty::text() const
{
    if (!reply_)
        return {};
    auto* data = static_cast<const char*>(xcb_get_property_value(reply_.get()));
    return std::string(data, std::size_t(xcb_get_property_value_length(reply_.get())));
}

namespace {

const char* coreRequestName(std::uint8_t major)
{
    switch (major) {
    case XCB_CREATE_WINDOW:
        return "CreateWindow";
    case XCB_CHANGE_WINDOW_ATTRIBUTES:
        return "ChangeWindowAttributes";
    case XCB_GET_WINDOW_ATTRIBUTES:
        return "GetWindowAttributes";
    case XCB_DESTROY_WINDOW:
        return "DestroyWindow";
    case XCB_MAP_WINDOW:
        return "MapWindow";
    case XCB_CONFIGURE_WINDOW:
        return "ConfigureWindow";
    case XCB_GET_GEOMETRY:
        return "GetGeometry";
    case XCB_QUERY_TREE:
        return "QueryTree";
    case XCB_INTERN_ATOM:
        return "InternAtom";
    case XCB_GET_ATOM_NAME:
        return "GetAtomName";
    case XCB_CHANGE_PROPERTY:
        return "ChangeProperty";
    case XCB_DELETE_PROPERTY:
        return "DeleteProperty";
    case XCB_GET_PROPERTY:
        return "GetProperty";
    case XCB_SEND_EVENT:
        return "SendEvent";
    case XCB_QUERY_POINTER:
        return "QueryPointer";
    case XCB_TRANSLATE_COORDINATES:
        return "TranslateCoordinates";
    case XCB_GET_INPUT_FOCUS:
        return "GetInputFocus";
    default:
        return nullptr;
    }
}

const char* errorName(std::uint8_t code)
{
    static const char* const names[] = {
        "Success",   "BadRequest", "BadValue",    "BadWindow",   "BadPixmap", "BadAtom",
        "BadCursor", "BadFont",    "BadMatch",    "BadDrawable", "BadAccess", "BadAlloc",
        "BadColor",  "BadGC",      "BadIDChoice", "BadName",     "BadLength", "BadImplementation"};
    return code < sizeof names / sizeof names[0] ? names[code] : "extension error";
}

// Windows vanish between two requests all the time: these errors, each of
// a request made on another application's window, are a failed read or an
// ignored write, not something to tell anyone about. Any other error is.
struct ExpectedError {
    std::uint8_t request;
    std::uint8_t error;
};
constexpr ExpectedError kWindowMayHaveVanished[] = {
    {XCB_GET_PROPERTY, XCB_WINDOW},             // reads
    {XCB_GET_WINDOW_ATTRIBUTES, XCB_WINDOW},    //
    {XCB_GET_GEOMETRY, XCB_DRAWABLE},           //
    {XCB_TRANSLATE_COORDINATES, XCB_WINDOW},    //
    {XCB_QUERY_TREE, XCB_WINDOW},               //
    {XCB_CHANGE_WINDOW_ATTRIBUTES, XCB_WINDOW}, // selecting its events
    {XCB_CONFIGURE_WINDOW, XCB_WINDOW},         // writes
};

bool isExpected(const xcb_generic_error_t& e, std::uint8_t randrMajorOpcode)
{
    // A server whose RandR predates monitors.
    if (randrMajorOpcode && e.major_code == randrMajorOpcode && e.minor_code == XCB_RANDR_GET_MONITORS)
        return true;
    return std::any_of(
        std::begin(kWindowMayHaveVanished), std::end(kWindowMayHaveVanished),
        [&](const ExpectedError& x) { return x.request == e.major_code && x.error == e.error_code; });
}

} // namespace

std::unique_ptr<X11Connection> X11Connection::open(const char* displayName, std::string* error)
{
    auto fail = [&](const std::string& why) -> std::unique_ptr<X11Connection> {
        if (error)
            *error = why;
        return nullptr;
    };

    std::unique_ptr<X11Connection> c(new X11Connection());
    c->conn_ = xcb_connect(displayName, &c->screenNumber_);
    if (xcb_connection_has_error(c->conn_)) {
        const char* name = displayName ? displayName : std::getenv("DISPLAY");
        return fail(std::string("cannot open display ") + (name ? name : "(none)"));
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c->conn_));
    for (int i = 0; i < c->screenNumber_ && it.rem; ++i)
        xcb_screen_next(&it);
    if (!it.rem)
        return fail("the display has no screen " + std::to_string(c->screenNumber_));
    c->screen_ = it.data;

    // One round trip for all of it: the atoms and the extension's presence.
    xcb_prefetch_extension_data(c->conn_, &xcb_randr_id);
    xcb_intern_atom_cookie_t* ewmhCookies = xcb_ewmh_init_atoms(c->conn_, &c->ewmh_);
    const char* names[] = {"_GTK_FRAME_EXTENTS", "_GTK_APPLICATION_ID", "_KDE_NET_WM_DESKTOP_FILE",
                           "_BAMF_DESKTOP_FILE", "WM_STATE"};
    xcb_atom_t* targets[] = {&c->atoms_.gtkFrameExtents, &c->atoms_.gtkApplicationId,
                             &c->atoms_.kdeDesktopFile, &c->atoms_.bamfDesktopFile, &c->atoms_.wmState};
    xcb_intern_atom_cookie_t cookies[std::size(names)];
    for (std::size_t i = 0; i < std::size(names); ++i)
        cookies[i] = xcb_intern_atom(c->conn_, 0, std::uint16_t(std::strlen(names[i])), names[i]);
    bool interned = true;
    for (std::size_t i = 0; i < std::size(names); ++i) {
        auto r = c->reply<xcb_intern_atom_reply_t>(cookies[i]);
        interned = interned && r;
        if (r)
            *targets[i] = r->atom;
    }
    // Collected after the others, so that its wait is theirs too.
    if (!xcb_ewmh_init_atoms_replies(&c->ewmh_, ewmhCookies, nullptr))
        return fail("cannot intern the EWMH atoms");
    c->ewmhReady_ = true;
    if (!interned)
        return fail("cannot intern the frame extents and application atoms");

    const xcb_query_extension_reply_t* randr = xcb_get_extension_data(c->conn_, &xcb_randr_id);
    if (randr && randr->present) {
        c->randrMajorOpcode_ = randr->major_opcode;
        // Monitors are asked for with the first reads, without waiting for
        // the version here: a server older than 1.5 answers that request
        // with an error, which then means no monitors.
        xcb_discard_reply(c->conn_, xcb_randr_query_version(c->conn_, 1, 5).sequence);
        c->hasMonitors_ = true;
    }
    return c;
}

X11Connection::~X11Connection()
{
    if (conn_ && probe_ != XCB_WINDOW_NONE && ok())
        xcb_destroy_window(conn_, probe_);
    if (ewmhReady_)
        xcb_ewmh_connection_wipe(&ewmh_);
    if (conn_)
        xcb_disconnect(conn_);
}

std::optional<std::uint8_t> X11Connection::xkbFirstEvent()
{
    if (xkbFirstEvent_)
        return *xkbFirstEvent_;
    xkbFirstEvent_.emplace();
    const xcb_query_extension_reply_t* xkb = xcb_get_extension_data(conn_, &xcb_xkb_id);
    if (!xkb || !xkb->present)
        return std::nullopt;
    auto r = reply<xcb_xkb_use_extension_reply_t>(
        xcb_xkb_use_extension(conn_, XCB_XKB_MAJOR_VERSION, XCB_XKB_MINOR_VERSION));
    if (r && r->supported)
        *xkbFirstEvent_ = xkb->first_event;
    return *xkbFirstEvent_;
}

void* X11Connection::awaitReply(unsigned int sequence)
{
    // Every request sent so far travels with this wait, and one round trip
    // brings all their replies: waits for those later are not counted again.
    // A NoOperation marks how far the batch reaches.
    xcb_generic_error_t* error = nullptr;
    void* result = nullptr;
    // One already read (a request sent ahead of its use) costs no wait.
    if (!xcb_poll_for_reply(conn_, sequence, &result, &error)) {
        if (std::int32_t(sequence - coveredThrough_) > 0) {
            ++roundTrips_;
            coveredThrough_ = xcb_no_operation(conn_).sequence;
        }
        result = xcb_wait_for_reply(conn_, sequence, &error);
    }
    if (error) {
        handleError(*error);
        std::free(error);
        std::free(result);
        return nullptr;
    }
    return result;
}

xcb_get_property_cookie_t X11Connection::requestProperty(xcb_window_t window, xcb_atom_t property,
                                                         std::uint32_t maxItems)
{
    return xcb_get_property(conn_, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, maxItems);
}

std::vector<XPtr<xcb_generic_error_t>> X11Connection::check(std::span<const xcb_void_cookie_t> cookies)
{
    std::vector<XPtr<xcb_generic_error_t>> errors(cookies.size());
    if (cookies.empty())
        return errors;
    // The first check sends a sync behind everything sent so far and waits
    // for it; the others find their answers already read.
    if (std::int32_t(cookies.back().sequence - coveredThrough_) > 0) {
        ++roundTrips_;
        coveredThrough_ = xcb_no_operation(conn_).sequence;
    }
    for (std::size_t i = 0; i < cookies.size(); ++i)
        errors[i].reset(xcb_request_check(conn_, cookies[i]));
    return errors;
}

void X11Connection::sync()
{
    reply<xcb_get_input_focus_reply_t>(xcb_get_input_focus(conn_));
}

void X11Connection::handleError(const xcb_generic_error_t& error)
{
    if (isExpected(error, randrMajorOpcode_))
        return;
    std::string request;
    if (const char* core = coreRequestName(error.major_code))
        request = core;
    else if (randrMajorOpcode_ && error.major_code == randrMajorOpcode_)
        request = "RandR request " + std::to_string(error.minor_code);
    else
        request = "request " + std::to_string(error.major_code) + "." + std::to_string(error.minor_code);
    std::string line = std::string("X error ") + errorName(error.error_code) + " in " + request;
    if (reporter_)
        reporter_(line);
    else
        diag::problem(line);
}

XEvent X11Connection::pollConnection()
{
    while (xcb_generic_event_t* raw = xcb_poll_for_event(conn_)) {
        XEvent event(raw);
        if (event->response_type == 0) {
            handleError(*reinterpret_cast<const xcb_generic_error_t*>(event.get()));
            continue;
        }
        // What was selected on a window dies with it.
        if ((event->response_type & 0x7f) == XCB_DESTROY_NOTIFY)
            selected_.erase(reinterpret_cast<const xcb_destroy_notify_event_t*>(event.get())->window);
        for (const auto& [token, observer] : observers_)
            observer(*event);
        return event;
    }
    return nullptr;
}

bool X11Connection::isInternal(const xcb_generic_event_t& event) const
{
    if (probe_ == XCB_WINDOW_NONE || (event.response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
        return false;
    return reinterpret_cast<const xcb_property_notify_event_t&>(event).window == probe_;
}

std::optional<XEvent> X11Connection::nextEvent()
{
    if (!queue_.empty()) {
        XEvent e = std::move(queue_.front());
        queue_.pop_front();
        return e;
    }
    while (XEvent e = pollConnection()) {
        if (!isInternal(*e))
            return e;
    }
    return std::nullopt;
}

bool X11Connection::hasPendingEvents()
{
    if (!queue_.empty())
        return true;
    while (xcb_generic_event_t* raw = xcb_poll_for_queued_event(conn_)) {
        XEvent event(raw);
        if (event->response_type == 0) {
            handleError(*reinterpret_cast<const xcb_generic_error_t*>(event.get()));
            continue;
        }
        for (const auto& [token, observer] : observers_)
            observer(*event);
        if (!isInternal(*event)) {
            queue_.push_back(std::move(event));
            ++queuedTotal_;
            return true;
        }
    }
    return false;
}

std::uint64_t X11Connection::eventMark()
{
    // Events the server has already sent belong before the mark.
    while (XEvent e = pollConnection()) {
        if (!isInternal(*e)) {
            queue_.push_back(std::move(e));
            ++queuedTotal_;
        }
    }
    return queuedTotal_;
}

bool X11Connection::waitForEvent(const std::function<bool(const xcb_generic_event_t&)>& match,
                                 std::chrono::milliseconds timeout, std::optional<std::uint64_t> since)
{
    using Clock = std::chrono::steady_clock;
    if (since) {
        std::uint64_t first = queuedTotal_ - queue_.size();
        for (std::size_t i = 0; i < queue_.size(); ++i) {
            if (first + i >= *since && match(*queue_[i]))
                return true;
        }
    }
    flush();
    const Clock::time_point deadline = Clock::now() + timeout;
    // What the server has sent already costs no wait.
    bool waited = false;
    for (;;) {
        while (XEvent e = pollConnection()) {
            bool matched = match(*e);
            if (!isInternal(*e)) {
                queue_.push_back(std::move(e));
                ++queuedTotal_;
            }
            if (matched)
                return true;
        }
        if (!ok())
            return false;
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return false;
        if (!waited) {
            ++roundTrips_;
            waited = true;
        }
        pollfd p{fd(), POLLIN, 0};
        if (::poll(&p, 1, int(left.count())) < 0 && errno != EINTR)
            return false;
    }
}

int X11Connection::addEventObserver(std::function<void(const xcb_generic_event_t&)> observer)
{
    observers_.emplace_back(nextObserver_, std::move(observer));
    return nextObserver_++;
}

void X11Connection::removeEventObserver(int token)
{
    std::erase_if(observers_, [token](const auto& entry) { return entry.first == token; });
}

void X11Connection::selectInput(xcb_window_t window, std::uint32_t mask)
{
    std::uint32_t& current = selected_[window];
    if ((current & mask) == mask)
        return;
    current |= mask;
    xcb_change_window_attributes(conn_, window, XCB_CW_EVENT_MASK, &current);
}

void X11Connection::prefetchAtomNames(std::span<const xcb_atom_t> atoms)
{
    for (xcb_atom_t a : atoms) {
        if (a != XCB_ATOM_NONE && !atomNames_.contains(a) && !pendingNames_.contains(a))
            pendingNames_.emplace(a, xcb_get_atom_name(conn_, a));
    }
}

std::vector<std::string> X11Connection::atomNames(std::span<const xcb_atom_t> atoms)
{
    prefetchAtomNames(atoms);
    for (xcb_atom_t a : atoms) {
        auto pending = pendingNames_.find(a);
        if (pending == pendingNames_.end())
            continue;
        if (auto r = reply<xcb_get_atom_name_reply_t>(pending->second))
            atomNames_[a] =
                std::string(xcb_get_atom_name_name(r.get()), xcb_get_atom_name_name_length(r.get()));
        pendingNames_.erase(pending);
    }
    std::vector<std::string> names;
    names.reserve(atoms.size());
    for (xcb_atom_t a : atoms) {
        auto it = atomNames_.find(a);
        names.push_back(it != atomNames_.end() ? it->second : std::string());
    }
    return names;
}

} // namespace tilewise
