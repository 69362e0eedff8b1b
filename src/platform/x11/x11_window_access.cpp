#include "platform/x11/x11_window_access.hpp"

#include "platform/x11/x11_process_info.hpp"
#include "platform/x11/x11_screens.hpp"
#include "platform/x11/x11_window_reads.hpp"

#include <xcb/xcb_icccm.h>

#include <algorithm>
#include <cstdint>
#include <span>
#include <unordered_map>

namespace tilewise {

namespace {

// See the levels in the header.
std::int32_t levelOf(const xcb_ewmh_connection_t& e, std::span<const std::uint32_t> states,
                     std::span<const std::uint32_t> types)
{
    if (contains(states, e._NET_WM_STATE_FULLSCREEN))
        return X11WindowAccess::kLevelFullscreen;
    if (contains(states, e._NET_WM_STATE_ABOVE) || contains(types, e._NET_WM_WINDOW_TYPE_UTILITY) ||
        contains(types, e._NET_WM_WINDOW_TYPE_TOOLBAR))
        return X11WindowAccess::kLevelAbove;
    if (contains(states, e._NET_WM_STATE_BELOW))
        return X11WindowAccess::kLevelBelow;
    return X11WindowAccess::kLevelNormal;
}

struct ListEntry {
    WindowInfo info;
    xcb_window_t ancestor; // walks up to the top-level window
};

// Some window managers leave _NET_CLIENT_LIST_STACKING in mapping order when
// windows are raised; the server's stacking of the top-level frames is the
// truth. Walks each client up to its frame, one level per batch, and sorts
// front to back; the order of the list stands where the server cannot tell.
void orderByServerStacking(X11Connection& x, const xcb_query_tree_reply_t& rootTree,
                           std::vector<ListEntry>& entries)
{
    std::span<const xcb_window_t> top(xcb_query_tree_children(&rootTree),
                                      std::size_t(xcb_query_tree_children_length(&rootTree)));
    std::unordered_map<xcb_window_t, long> rank; // bottom to top
    for (std::size_t i = 0; i < top.size(); ++i)
        rank[top[i]] = long(i);
    // A window that vanished meanwhile, or a frame newer than the root's
    // list, has no rank and goes last.
    rank[XCB_WINDOW_NONE] = -1;
    for (int depth = 0; depth < 8; ++depth) {
        std::vector<std::pair<ListEntry*, xcb_query_tree_cookie_t>> climbing;
        for (ListEntry& entry : entries) {
            if (!rank.contains(entry.ancestor))
                climbing.emplace_back(&entry, xcb_query_tree(x.xcb(), entry.ancestor));
        }
        if (climbing.empty())
            break;
        for (auto& [entry, cookie] : climbing) {
            auto tree = x.reply<xcb_query_tree_reply_t>(cookie);
            entry->ancestor =
                (tree && tree->parent != tree->root) ? tree->parent : xcb_window_t(XCB_WINDOW_NONE);
        }
    }
    auto rankOf = [&](const ListEntry& entry) {
        auto it = rank.find(entry.ancestor);
        return it == rank.end() ? -1 : it->second;
    };
    std::stable_sort(entries.begin(), entries.end(),
                     [&](const ListEntry& a, const ListEntry& b) { return rankOf(a) > rankOf(b); });
}

} // namespace

X11WindowAccess::X11WindowAccess(X11Connection& connection)
    : x_(connection), view_(connection), writer_(connection, view_)
{
}

std::optional<Rect> X11WindowAccess::outerFrame(xcb_window_t window)
{
    const X11View::Window* w = view_.window(window);
    if (!w)
        return std::nullopt;
    const ClientGeometry g = w->geometry(x_);
    return view_.root().monitors.spaces().rootToWindow(g.outer());
}

std::optional<Rect> X11WindowAccess::readFrame(const WindowElement& w)
{
    view_.beginRead();
    auto window = windowOf(w);
    return window ? outerFrame(*window) : std::nullopt;
}

Point X11WindowAccess::position(const WindowElement& w)
{
    std::optional<Rect> f = readFrame(w);
    return f ? f->origin : Point{};
}

Size X11WindowAccess::size(const WindowElement& w)
{
    std::optional<Rect> f = readFrame(w);
    return f ? f->size : Size{};
}

Rect X11WindowAccess::frame(const WindowElement& w)
{
    std::optional<Rect> f = readFrame(w);
    return f ? *f : Rect{};
}

std::optional<Pid> X11WindowAccess::processId(const WindowElement& w)
{
    view_.beginRead();
    auto window = windowOf(w);
    const X11View::Window* v = window ? view_.window(*window) : nullptr;
    if (!v)
        return std::nullopt; // gone
    // A live window that does not name its process gets 0, as in the window
    // list, so that it can still be matched there.
    auto pid = v->property(x_.ewmh()._NET_WM_PID).cardinals();
    return pid.empty() ? Pid(0) : Pid(pid[0]);
}

std::optional<WindowId> X11WindowAccess::windowId(const WindowElement& w)
{
    // Handles are the clients' own ids: the window list holds a window
    // under its id where it holds it at all.
    view_.beginRead();
    auto window = windowOf(w);
    if (!window)
        return std::nullopt;
    const X11View::Root& root = view_.root();
    const X11View::Window* v = view_.window(*window);
    if (!v || !v->viewable || !contains(root.clients, *window))
        return std::nullopt;
    auto type = v->property(x_.ewmh()._NET_WM_WINDOW_TYPE).cardinals();
    if (contains(type, x_.ewmh()._NET_WM_WINDOW_TYPE_DOCK) ||
        contains(type, x_.ewmh()._NET_WM_WINDOW_TYPE_DESKTOP))
        return std::nullopt;
    return WindowId(*window);
}

std::optional<xcb_window_t> X11WindowAccess::activeClient()
{
    const X11View::Root& root = view_.root();
    // A stale value, or a window the window manager does not manage, is no focus.
    if (root.active == XCB_WINDOW_NONE || !contains(root.clients, root.active))
        return std::nullopt;
    return root.active;
}

std::optional<WindowElement> X11WindowAccess::focusedWindow()
{
    view_.beginRead();
    std::optional<xcb_window_t> window = activeClient();
    const X11View::Window* v = window ? view_.window(*window) : nullptr;
    if (!v)
        return std::nullopt;
    auto type = v->property(x_.ewmh()._NET_WM_WINDOW_TYPE).cardinals();
    // The desktop and the panels take focus on some window managers; they are
    // not windows the user lays out.
    if (contains(type, x_.ewmh()._NET_WM_WINDOW_TYPE_DESKTOP) ||
        contains(type, x_.ewmh()._NET_WM_WINDOW_TYPE_DOCK))
        return std::nullopt;
    return WindowElement{*window};
}

std::vector<WindowInfo> X11WindowAccess::windowList()
{
    xcb_ewmh_connection_t& e = x_.ewmh();
    auto stackingCookie = x_.requestProperty(x_.root(), e._NET_CLIENT_LIST_STACKING, UINT32_MAX / 4);
    auto clientsCookie = x_.requestProperty(x_.root(), e._NET_CLIENT_LIST, UINT32_MAX / 4);
    auto rootTreeCookie = xcb_query_tree(x_.xcb(), x_.root());
    MonitorRequest monitorRequest = requestMonitors(x_);
    XProperty stacking = x_.property(stackingCookie);
    XProperty clients = x_.property(clientsCookie);
    auto rootTree = x_.reply<xcb_query_tree_reply_t>(rootTreeCookie);
    RootInfo rootInfo = collectMonitors(x_, monitorRequest);
    CoordinateSpaces spaces(rootInfo.monitors.front().second);

    struct Request {
        xcb_window_t window;
        xcb_get_window_attributes_cookie_t attributes;
        xcb_query_tree_cookie_t tree;
        GeometryRequest geometry;
        xcb_get_property_cookie_t type, state, pid, wmClass, machine;
    };
    // _NET_CLIENT_LIST_STACKING is bottom to top; the list is front to back.
    // A window manager that publishes no stacking list (or only once
    // something is restacked) still has its clients in the plain list, in
    // mapping order, which the server's stacking below puts right.
    std::vector<Request> requests;
    auto ids = stacking.exists() ? stacking.cardinals() : clients.cardinals();
    for (auto it = ids.rbegin(); it != ids.rend(); ++it) {
        xcb_window_t w = *it;
        requests.push_back(Request{
            w, xcb_get_window_attributes(x_.xcb(), w), xcb_query_tree(x_.xcb(), w), requestGeometry(x_, w),
            x_.requestProperty(w, e._NET_WM_WINDOW_TYPE, 32), x_.requestProperty(w, e._NET_WM_STATE, 32),
            x_.requestProperty(w, e._NET_WM_PID, 1), x_.requestProperty(w, XCB_ATOM_WM_CLASS, 256),
            x_.requestProperty(w, XCB_ATOM_WM_CLIENT_MACHINE, 256)});
    }

    std::vector<ListEntry> entries;
    for (const Request& r : requests) {
        auto attributes = x_.reply<xcb_get_window_attributes_reply_t>(r.attributes);
        auto tree = x_.reply<xcb_query_tree_reply_t>(r.tree);
        std::optional<ClientGeometry> geometry = collectGeometry(x_, r.geometry);
        XProperty type = x_.property(r.type);
        XProperty state = x_.property(r.state);
        XProperty pid = x_.property(r.pid);
        XProperty wmClass = x_.property(r.wmClass);
        XProperty machine = x_.property(r.machine);
        // Minimised windows and those on other desktops are unmapped: like
        // off-screen windows they are not in the list and have no id.
        if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE || !geometry || !tree)
            continue;
        if (contains(type.cardinals(), e._NET_WM_WINDOW_TYPE_DOCK) ||
            contains(type.cardinals(), e._NET_WM_WINDOW_TYPE_DESKTOP))
            continue;

        WindowInfo info;
        info.id = r.window;
        info.level = levelOf(e, state.cardinals(), type.cardinals());
        info.frame = spaces.rootToWindow(geometry->outer());
        info.pid = pid.cardinals().empty() ? 0 : Pid(pid.cardinals()[0]);
        info.processName = processNameOf(info.pid, machine, wmClass);
        entries.push_back(ListEntry{std::move(info), tree->parent == tree->root ? r.window : tree->parent});
    }

    if (rootTree)
        orderByServerStacking(x_, *rootTree, entries);

    std::vector<WindowInfo> list;
    list.reserve(entries.size());
    for (ListEntry& entry : entries)
        list.push_back(std::move(entry.info));
    return list;
}

std::vector<Screen> X11WindowAccess::screens()
{
    view_.beginRead();
    return screensOf(x_, view_);
}

std::optional<Screen> X11WindowAccess::mainScreen()
{
    view_.beginRead();
    std::vector<Screen> all = screensOf(x_, view_);
    if (all.empty())
        return std::nullopt;
    std::optional<xcb_window_t> focused = activeClient();
    std::optional<Rect> frame = focused ? outerFrame(*focused) : std::nullopt;
    if (!frame)
        return all.front();
    double maxY = all.front().frame.maxY();
    std::vector<Rect> frames;
    for (const Screen& s : all)
        frames.push_back(toWindowSpace(s.frame, maxY));
    std::optional<std::size_t> best = monitorHoldingMost(frames, *frame);
    return best ? all[*best] : all.front();
}

Point X11WindowAccess::mouseLocation()
{
    view_.beginRead();
    auto pointerCookie = xcb_query_pointer(x_.xcb(), x_.root());
    const CoordinateSpaces spaces = view_.root().monitors.spaces();
    auto pointer = x_.reply<xcb_query_pointer_reply_t>(pointerCookie);
    if (!pointer)
        return Point{};
    return spaces.rootToScreen(Point{double(pointer->root_x), double(pointer->root_y)});
}

bool X11WindowAccess::isProcessTrusted()
{
    if (!x_.ok())
        return false;
    view_.beginRead();
    // A stale check property from a window manager that died names a
    // window that is gone or no longer points to itself.
    const xcb_window_t check = view_.root().wmCheck;
    const X11View::Window* w = view_.window(check);
    auto self =
        w ? w->property(x_.ewmh()._NET_SUPPORTING_WM_CHECK).cardinals() : std::span<const std::uint32_t>();
    return !self.empty() && self[0] == check;
}

std::optional<std::string> X11WindowAccess::frontmostBundleIdentifier()
{
    view_.beginRead();
    std::optional<xcb_window_t> window = activeClient();
    const X11View::Window* v = window ? view_.window(*window) : nullptr;
    if (!v)
        return std::nullopt;
    const X11Connection::Atoms& a = x_.atoms();
    return applicationIdOf(v->property(a.gtkApplicationId), v->property(a.kdeDesktopFile),
                           v->property(a.bamfDesktopFile), v->property(XCB_ATOM_WM_CLASS));
}

SizeLimits X11WindowAccess::sizeLimits(const WindowElement& w)
{
    view_.beginRead();
    auto window = windowOf(w);
    const X11View::Window* v = window ? view_.window(*window) : nullptr;
    if (!v)
        return {};
    const XProperty& hints = v->property(XCB_ATOM_WM_NORMAL_HINTS);
    xcb_size_hints_t h{};
    if (!hints.raw() || !xcb_icccm_get_wm_size_hints_from_reply(&h, hints.raw()))
        return {};
    // The hints are about the client inside its X border; the frame adds
    // the border and the decorations and takes off client-side shadows.
    const ClientGeometry c = v->geometry(x_);
    auto outer = [&c](std::int32_t width, std::int32_t height) {
        Rect client(0, 0, width + 2 * c.border, height + 2 * c.border);
        return outerFrameFromClient(client, c.wm, c.gtk).size;
    };
    SizeLimits limits;
    // Without a minimum, the base size is the smallest the client takes.
    if (h.flags & XCB_ICCCM_SIZE_HINT_P_MIN_SIZE)
        limits.minimum = outer(h.min_width, h.min_height);
    else if (h.flags & XCB_ICCCM_SIZE_HINT_BASE_SIZE)
        limits.minimum = outer(h.base_width, h.base_height);
    if ((h.flags & XCB_ICCCM_SIZE_HINT_P_MAX_SIZE) && h.max_width > 0 && h.max_height > 0)
        limits.maximum = outer(h.max_width, h.max_height);
    return limits;
}

void X11WindowAccess::writePosition(const WindowElement& w, Point p)
{
    if (auto window = windowOf(w))
        writer_.write(*window, p, std::nullopt);
}

void X11WindowAccess::writeSize(const WindowElement& w, Size s)
{
    if (auto window = windowOf(w))
        writer_.write(*window, std::nullopt, s);
}

void X11WindowAccess::writeFrame(const WindowElement& w, const Rect& r)
{
    if (auto window = windowOf(w))
        writer_.write(*window, r.origin, r.size);
}

} // namespace tilewise
