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

X11WindowAccess::X11WindowAccess(X11Connection& connection) : x_(connection), writer_(connection)
{
}

std::optional<Rect> X11WindowAccess::readFrame(const WindowElement& w)
{
    auto window = windowOf(w);
    if (!window)
        return std::nullopt;
    GeometryRequest g = requestGeometry(x_, *window);
    MonitorRequest m = requestMonitors(x_);
    std::optional<ClientGeometry> geometry = collectGeometry(x_, g);
    RootInfo info = collectMonitors(x_, m);
    if (!geometry)
        return std::nullopt;
    return CoordinateSpaces(info.monitors.front().second).rootToWindow(geometry->outer());
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
    auto window = windowOf(w);
    return window ? readProcessId(x_, *window) : std::nullopt;
}

std::optional<xcb_window_t> X11WindowAccess::activeClient()
{
    auto activeCookie = x_.requestProperty(x_.root(), x_.ewmh()._NET_ACTIVE_WINDOW, 1);
    auto clientsCookie = x_.requestProperty(x_.root(), x_.ewmh()._NET_CLIENT_LIST, UINT32_MAX / 4);
    XProperty active = x_.property(activeCookie);
    XProperty clients = x_.property(clientsCookie);
    if (active.cardinals().empty() || active.cardinals()[0] == XCB_WINDOW_NONE)
        return std::nullopt;
    xcb_window_t window = active.cardinals()[0];
    // A stale value, or a window the window manager does not manage, is no focus.
    if (!contains(clients.cardinals(), window))
        return std::nullopt;
    return window;
}

std::optional<WindowElement> X11WindowAccess::focusedWindow()
{
    std::optional<xcb_window_t> window = activeClient();
    if (!window)
        return std::nullopt;
    XProperty type = x_.property(x_.requestProperty(*window, x_.ewmh()._NET_WM_WINDOW_TYPE, 32));
    // The desktop and the panels take focus on some window managers; they are
    // not windows the user lays out.
    if (contains(type.cardinals(), x_.ewmh()._NET_WM_WINDOW_TYPE_DESKTOP) ||
        contains(type.cardinals(), x_.ewmh()._NET_WM_WINDOW_TYPE_DOCK))
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
    return readScreens(x_);
}

std::optional<Screen> X11WindowAccess::mainScreen()
{
    std::vector<Screen> all = screens();
    if (all.empty())
        return std::nullopt;
    std::optional<WindowElement> focused = focusedWindow();
    std::optional<Rect> frame = focused ? readFrame(*focused) : std::nullopt;
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
    auto pointerCookie = xcb_query_pointer(x_.xcb(), x_.root());
    MonitorRequest m = requestMonitors(x_);
    auto pointer = x_.reply<xcb_query_pointer_reply_t>(pointerCookie);
    RootInfo info = collectMonitors(x_, m);
    if (!pointer)
        return Point{};
    return CoordinateSpaces(info.monitors.front().second)
        .rootToScreen(Point{double(pointer->root_x), double(pointer->root_y)});
}

bool X11WindowAccess::isProcessTrusted()
{
    return x_.ok() && x_.windowManagerRunning();
}

std::optional<std::string> X11WindowAccess::frontmostBundleIdentifier()
{
    std::optional<xcb_window_t> window = activeClient();
    return window ? readApplicationId(x_, *window) : std::nullopt;
}

SizeLimits X11WindowAccess::sizeLimits(const WindowElement& w)
{
    auto window = windowOf(w);
    if (!window)
        return {};
    GeometryRequest g = requestGeometry(x_, *window);
    auto hintsCookie = xcb_icccm_get_wm_normal_hints(x_.xcb(), *window);
    std::optional<ClientGeometry> geometry = collectGeometry(x_, g);
    XProperty hints = x_.property(hintsCookie);
    xcb_size_hints_t h{};
    if (!geometry || !hints.raw() || !xcb_icccm_get_wm_size_hints_from_reply(&h, hints.raw()))
        return {};
    // The hints are about the client inside its X border; the frame adds
    // the border and the decorations and takes off client-side shadows.
    const ClientGeometry& c = *geometry;
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
