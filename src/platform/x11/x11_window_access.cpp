#include "platform/x11/x11_window_access.hpp"

#include <xcb/randr.h>
#include <xcb/xcb_icccm.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <unordered_set>

namespace tilewise {

namespace {

// X11 coordinates are 16-bit; anything beyond would wrap on the wire.
constexpr double kCoordMin = -32768;
constexpr double kCoordMax = 32767;
// How long to wait for a window manager's configure notification when it
// cannot be asked for a round trip.
constexpr std::chrono::milliseconds kConfigureNotifyWait{200};
// How long the first round trip through a window manager may take before we
// conclude that it does not answer for windows it does not manage.
constexpr std::chrono::milliseconds kProbeDetectionWait{100};

std::optional<xcb_window_t> windowOf(const WindowElement& w)
{
    if (w.handle == 0 || w.handle > UINT32_MAX)
        return std::nullopt;
    return xcb_window_t(w.handle);
}

bool contains(std::span<const std::uint32_t> atoms, xcb_atom_t a)
{
    return std::find(atoms.begin(), atoms.end(), a) != atoms.end();
}

// Requests for where a window is and what surrounds it, sent together.
struct GeometryRequest {
    xcb_get_geometry_cookie_t geometry;
    xcb_translate_coordinates_cookie_t origin;
    xcb_get_property_cookie_t wmExtents;
    xcb_get_property_cookie_t gtkExtents;
};

struct ClientGeometry {
    Rect client; // root coordinates, X border included
    FrameExtents wm;
    FrameExtents gtk;

    Rect outer() const { return outerFrameFromClient(client, wm, gtk); }
    // The frame the window manager draws, without the client's shadows
    // taken off: what its configure arithmetic works with.
    Rect wmFrame() const { return outerFrameFromClient(client, wm, FrameExtents{}); }
};

GeometryRequest requestGeometry(X11Connection& x, xcb_window_t w)
{
    return GeometryRequest{
        xcb_get_geometry(x.xcb(), w),
        xcb_translate_coordinates(x.xcb(), w, x.root(), 0, 0),
        x.requestProperty(w, x.ewmh()._NET_FRAME_EXTENTS, 4),
        x.requestProperty(w, x.atoms().gtkFrameExtents, 4),
    };
}

// Every reply is collected, even after a failure, so none is left behind.
std::optional<ClientGeometry> collectGeometry(X11Connection& x, const GeometryRequest& r)
{
    auto geometry = x.reply<xcb_get_geometry_reply_t>(r.geometry);
    auto origin = x.reply<xcb_translate_coordinates_reply_t>(r.origin);
    XProperty wm = x.property(r.wmExtents);
    XProperty gtk = x.property(r.gtkExtents);
    if (!geometry || !origin)
        return std::nullopt;
    double bw = geometry->border_width;
    ClientGeometry g;
    // TranslateCoordinates gives the origin inside the border, and in root
    // coordinates, whereas GetGeometry is relative to the window manager's frame.
    g.client =
        Rect(origin->dst_x - bw, origin->dst_y - bw, geometry->width + 2 * bw, geometry->height + 2 * bw);
    g.wm = FrameExtents::fromProperty(wm.cardinals());
    g.gtk = FrameExtents::fromProperty(gtk.cardinals());
    return g;
}

struct MonitorRequest {
    std::optional<xcb_randr_get_monitors_cookie_t> monitors;
    xcb_get_geometry_cookie_t rootGeometry;
};

MonitorRequest requestMonitors(X11Connection& x)
{
    MonitorRequest r;
    // Asked at each use: `xrandr --setmonitor` changes monitors without an event.
    if (x.hasMonitors())
        r.monitors = xcb_randr_get_monitors(x.xcb(), x.root(), 1);
    r.rootGeometry = xcb_get_geometry(x.xcb(), x.root());
    return r;
}

struct RootInfo {
    std::vector<std::pair<xcb_atom_t, Rect>> monitors; // primary first
    Size root;
};

RootInfo collectMonitors(X11Connection& x, const MonitorRequest& r)
{
    RootInfo info;
    XPtr<xcb_randr_get_monitors_reply_t> reply;
    if (r.monitors)
        reply = x.reply<xcb_randr_get_monitors_reply_t>(*r.monitors);
    auto rootGeometry = x.reply<xcb_get_geometry_reply_t>(r.rootGeometry);
    if (rootGeometry)
        info.root = Size{double(rootGeometry->width), double(rootGeometry->height)};
    if (reply) {
        for (auto it = xcb_randr_get_monitors_monitors_iterator(reply.get()); it.rem;
             xcb_randr_monitor_info_next(&it)) {
            const xcb_randr_monitor_info_t& m = *it.data;
            if (m.width == 0 || m.height == 0)
                continue;
            std::pair<xcb_atom_t, Rect> entry{m.name, Rect(m.x, m.y, m.width, m.height)};
            if (m.primary)
                info.monitors.insert(info.monitors.begin(), entry);
            else
                info.monitors.push_back(entry);
        }
    }
    if (info.monitors.empty())
        info.monitors.emplace_back(XCB_ATOM_NONE, Rect(Point{0, 0}, info.root));
    return info;
}

std::string trimmed(std::string s)
{
    while (!s.empty() && (s.back() == '\n' || s.back() == '\0' || s.back() == ' '))
        s.pop_back();
    return s;
}

// WM_CLASS is "instance\0class\0".
std::string wmClassClass(const XProperty& p)
{
    std::string v = p.text();
    std::size_t nul = v.find('\0');
    if (nul == std::string::npos)
        return {};
    return trimmed(v.substr(nul + 1));
}

const std::string& localHostName()
{
    static const std::string name = [] {
        char buf[HOST_NAME_MAX + 1] = {};
        if (gethostname(buf, sizeof buf - 1) != 0)
            return std::string();
        return std::string(buf);
    }();
    return name;
}

std::optional<std::string> processNameOf(Pid pid, const XProperty& machine, const XProperty& wmClass)
{
    std::string host = trimmed(machine.text());
    if (pid > 0 && (host.empty() || host == localHostName())) {
        // The executable's name in full; the kernel cuts comm to 15 bytes.
        std::error_code ec;
        std::filesystem::path exe = std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/exe", ec);
        std::string full = ec ? std::string() : exe.filename().string();
        if (full.ends_with(" (deleted)"))
            full.erase(full.size() - 10);
        if (!full.empty())
            return full;
        std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
        std::string name;
        if (comm && std::getline(comm, name) && !name.empty())
            return name;
    }
    std::string cls = wmClassClass(wmClass);
    if (!cls.empty())
        return cls;
    return std::nullopt;
}

// "/usr/share/applications/org.example.Editor.desktop" -> "org.example.Editor".
std::string desktopFileId(std::string value)
{
    value = trimmed(std::move(value));
    if (std::size_t slash = value.rfind('/'); slash != std::string::npos)
        value = value.substr(slash + 1);
    const std::string suffix = ".desktop";
    if (value.size() > suffix.size() && value.ends_with(suffix))
        value.resize(value.size() - suffix.size());
    return value;
}

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

struct X11WindowAccess::ClientState {
    ClientGeometry geometry;
    std::vector<xcb_atom_t> state;
    Gravity gravity = Gravity::NorthWest;
};

X11WindowAccess::X11WindowAccess(X11Connection& connection) : x_(connection)
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
    if (!window)
        return std::nullopt;
    auto reply = x_.reply<xcb_get_property_reply_t>(x_.requestProperty(*window, x_.ewmh()._NET_WM_PID, 1));
    if (!reply)
        return std::nullopt; // the window is gone
    XProperty pid(std::move(reply));
    // A live window that does not name its process gets 0, as in windowList(),
    // so that it can still be matched there.
    return pid.cardinals().empty() ? Pid(0) : Pid(pid.cardinals()[0]);
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
    auto rootTreeCookie = xcb_query_tree(x_.xcb(), x_.root());
    MonitorRequest monitorRequest = requestMonitors(x_);
    XProperty stacking = x_.property(stackingCookie);
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
    std::vector<Request> requests;
    auto ids = stacking.cardinals();
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
    xcb_ewmh_connection_t& e = x_.ewmh();
    MonitorRequest monitorRequest = requestMonitors(x_);
    auto clientsCookie = x_.requestProperty(x_.root(), e._NET_CLIENT_LIST, UINT32_MAX / 4);
    auto workareaCookie = x_.requestProperty(x_.root(), e._NET_WORKAREA, UINT32_MAX / 4);
    auto desktopCookie = x_.requestProperty(x_.root(), e._NET_CURRENT_DESKTOP, 1);
    auto treeCookie = xcb_query_tree(x_.xcb(), x_.root());

    RootInfo rootInfo = collectMonitors(x_, monitorRequest);
    XProperty clients = x_.property(clientsCookie);
    XProperty workarea = x_.property(workareaCookie);
    XProperty desktop = x_.property(desktopCookie);
    auto tree = x_.reply<xcb_query_tree_reply_t>(treeCookie);

    // The struts of the mapped managed windows, and their frames.
    struct ClientRequest {
        xcb_window_t window;
        xcb_get_window_attributes_cookie_t attributes;
        xcb_get_property_cookie_t partial, full;
        GeometryRequest geometry;
    };
    std::vector<ClientRequest> requests;
    for (xcb_window_t w : clients.cardinals()) {
        requests.push_back(ClientRequest{w, xcb_get_window_attributes(x_.xcb(), w),
                                         x_.requestProperty(w, e._NET_WM_STRUT_PARTIAL, 12),
                                         x_.requestProperty(w, e._NET_WM_STRUT, 4), requestGeometry(x_, w)});
    }
    std::vector<xcb_atom_t> names;
    for (auto& m : rootInfo.monitors)
        names.push_back(m.first);
    std::vector<std::string> monitorNames = x_.atomNames(names);

    DesktopReservations reservations;
    reservations.root = rootInfo.root;
    std::unordered_set<xcb_window_t> clientIds;
    std::vector<Rect> clientFrames;
    for (const ClientRequest& r : requests) {
        auto attributes = x_.reply<xcb_get_window_attributes_reply_t>(r.attributes);
        XProperty partial = x_.property(r.partial);
        XProperty full = x_.property(r.full);
        std::optional<ClientGeometry> geometry = collectGeometry(x_, r.geometry);
        clientIds.insert(r.window);
        if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE || !geometry)
            continue;
        clientFrames.push_back(geometry->wmFrame());
        // The partial form wins where both are set, as the window manager reads it.
        std::optional<Strut> strut = Strut::fromPartial(partial.cardinals());
        if (!strut)
            strut = Strut::fromFull(full.cardinals(), rootInfo.root);
        if (strut)
            reservations.struts.push_back(StrutOwner{*strut, geometry->wmFrame()});
    }
    std::uint32_t currentDesktop = desktop.cardinals().empty() ? 0 : desktop.cardinals()[0];
    reservations.workarea = workareaOfDesktop(workarea.cardinals(), currentDesktop);

    // Only where the window manager draws a panel of its own is it worth
    // looking at the windows that belong to no client.
    if (tree && workareaHasOwnPanel(reservations)) {
        struct ChildRequest {
            xcb_window_t window;
            xcb_get_window_attributes_cookie_t attributes;
            xcb_get_geometry_cookie_t geometry;
        };
        std::vector<ChildRequest> children;
        xcb_window_t* ids = xcb_query_tree_children(tree.get());
        for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
            if (!clientIds.contains(ids[i]))
                children.push_back(ChildRequest{ids[i], xcb_get_window_attributes(x_.xcb(), ids[i]),
                                                xcb_get_geometry(x_.xcb(), ids[i])});
        }
        for (const ChildRequest& c : children) {
            auto attributes = x_.reply<xcb_get_window_attributes_reply_t>(c.attributes);
            auto geometry = x_.reply<xcb_get_geometry_reply_t>(c.geometry);
            if (!attributes || !geometry || attributes->map_state != XCB_MAP_STATE_VIEWABLE ||
                attributes->_class == XCB_WINDOW_CLASS_INPUT_ONLY)
                continue;
            double bw = geometry->border_width;
            Rect r(geometry->x, geometry->y, geometry->width + 2 * bw, geometry->height + 2 * bw);
            // A window manager's frame around a client is not a panel.
            if (std::find(clientFrames.begin(), clientFrames.end(), r) != clientFrames.end())
                continue;
            reservations.unmanaged.push_back(UnmanagedWindow{r, bw});
        }
    }

    CoordinateSpaces spaces(rootInfo.monitors.front().second);
    std::vector<Screen> out;
    for (std::size_t i = 0; i < rootInfo.monitors.size(); ++i) {
        const auto& [name, rect] = rootInfo.monitors[i];
        Screen s;
        // The name atom stays the same for the same monitor across queries.
        s.id = name != XCB_ATOM_NONE ? name : x_.root();
        s.frame = spaces.rootToScreen(rect);
        s.visibleFrame = spaces.rootToScreen(visibleArea(rect, reservations));
        s.localizedName = monitorNames[i];
        out.push_back(std::move(s));
    }
    return out;
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
    if (!window)
        return std::nullopt;
    const X11Connection::Atoms& a = x_.atoms();
    auto gtkCookie = x_.requestProperty(*window, a.gtkApplicationId, 256);
    auto kdeCookie = x_.requestProperty(*window, a.kdeDesktopFile, 256);
    auto bamfCookie = x_.requestProperty(*window, a.bamfDesktopFile, 256);
    auto classCookie = x_.requestProperty(*window, XCB_ATOM_WM_CLASS, 256);
    std::string gtk = trimmed(x_.property(gtkCookie).text());
    std::string kde = desktopFileId(x_.property(kdeCookie).text());
    std::string bamf = desktopFileId(x_.property(bamfCookie).text());
    std::string cls = wmClassClass(x_.property(classCookie));
    // The desktop-file id where the window names one, else its class.
    for (const std::string* id : {&gtk, &kde, &bamf, &cls}) {
        if (!id->empty())
            return *id;
    }
    return std::nullopt;
}

void X11WindowAccess::writePosition(const WindowElement& w, Point p)
{
    write(w, p, std::nullopt);
}

void X11WindowAccess::writeSize(const WindowElement& w, Size s)
{
    write(w, std::nullopt, s);
}

std::optional<X11WindowAccess::ClientState> X11WindowAccess::readClient(xcb_window_t window)
{
    GeometryRequest g = requestGeometry(x_, window);
    auto stateCookie = x_.requestProperty(window, x_.ewmh()._NET_WM_STATE, 32);
    auto hintsCookie = xcb_icccm_get_wm_normal_hints(x_.xcb(), window);
    std::optional<ClientGeometry> geometry = collectGeometry(x_, g);
    XProperty state = x_.property(stateCookie);
    XProperty hints = x_.property(hintsCookie);
    if (!geometry)
        return std::nullopt;
    ClientState s;
    s.geometry = *geometry;
    s.state.assign(state.cardinals().begin(), state.cardinals().end());
    xcb_size_hints_t sizeHints{};
    if (hints.raw() && xcb_icccm_get_wm_size_hints_from_reply(&sizeHints, hints.raw()) &&
        (sizeHints.flags & XCB_ICCCM_SIZE_HINT_P_WIN_GRAVITY))
        s.gravity = gravityFromHint(int(sizeHints.win_gravity));
    return s;
}

bool X11WindowAccess::leaveMaximizedOrFullscreen(xcb_window_t window, const ClientState& state)
{
    xcb_ewmh_connection_t& e = x_.ewmh();
    bool maximized = contains(state.state, e._NET_WM_STATE_MAXIMIZED_VERT) ||
                     contains(state.state, e._NET_WM_STATE_MAXIMIZED_HORZ);
    bool fullscreen = contains(state.state, e._NET_WM_STATE_FULLSCREEN);
    if (maximized)
        xcb_ewmh_request_change_wm_state(&e, x_.screenNumber(), window, XCB_EWMH_WM_STATE_REMOVE,
                                         e._NET_WM_STATE_MAXIMIZED_VERT, e._NET_WM_STATE_MAXIMIZED_HORZ,
                                         XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER);
    if (fullscreen)
        xcb_ewmh_request_change_wm_state(&e, x_.screenNumber(), window, XCB_EWMH_WM_STATE_REMOVE,
                                         e._NET_WM_STATE_FULLSCREEN, XCB_ATOM_NONE,
                                         XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER);
    return maximized || fullscreen;
}

void X11WindowAccess::waitForWindowManager(xcb_window_t window, xcb_window_t wmCheck, bool canProbe,
                                           std::uint64_t mark,
                                           const std::function<bool(const Rect&)>& answers)
{
    if (canProbe) {
        auto known = probeAnswered_.find(wmCheck);
        if (known == probeAnswered_.end() || known->second) {
            // A window manager that answers does so at once; finding out
            // that one does not should not cost the whole write timeout.
            bool answered = x_.windowManagerBarrier(
                known == probeAnswered_.end() ? std::min(writeTimeout_, kProbeDetectionWait) : writeTimeout_);
            if (known == probeAnswered_.end())
                probeAnswered_[wmCheck] = answered;
            if (answered)
                return;
        }
    }
    // Otherwise the synthetic ConfigureNotify that a window manager sends
    // after it configured a client is the sign. Several may be under way
    // for earlier work on the same window, so only one that shows what was
    // asked for ends the wait early; a refusal ends it at the short bound.
    x_.waitForEvent(
        [window, &answers](const xcb_generic_event_t& ev) {
            if (ev.response_type != (XCB_CONFIGURE_NOTIFY | 0x80))
                return false;
            auto& c = reinterpret_cast<const xcb_configure_notify_event_t&>(ev);
            return c.window == window &&
                   answers(Rect(c.x, c.y, c.width + 2.0 * c.border_width, c.height + 2.0 * c.border_width));
        },
        std::min(writeTimeout_, kConfigureNotifyWait), mark);
    x_.sync();
}

void X11WindowAccess::write(const WindowElement& w, std::optional<Point> position, std::optional<Size> size)
{
    auto window = windowOf(w);
    if (!window)
        return;
    // A frame computed from a division by zero must not reach the window.
    if ((position && !(std::isfinite(position->x) && std::isfinite(position->y))) ||
        (size && !(std::isfinite(size->width) && std::isfinite(size->height))))
        return;

    // Selected before any request, so that no configure notification of
    // ours can slip by unseen.
    x_.selectInput(*window, XCB_EVENT_MASK_STRUCTURE_NOTIFY);
    // One round trip for all of it: the window's state is read with these.
    MonitorRequest monitorRequest = requestMonitors(x_);
    auto supportedCookie = x_.requestProperty(x_.root(), x_.ewmh()._NET_SUPPORTED, 4096);
    auto checkCookie = x_.requestProperty(x_.root(), x_.ewmh()._NET_SUPPORTING_WM_CHECK, 1);
    std::optional<ClientState> state = readClient(*window);
    RootInfo rootInfo = collectMonitors(x_, monitorRequest);
    XProperty supportedProperty = x_.property(supportedCookie);
    XProperty check = x_.property(checkCookie);
    if (!state)
        return; // gone
    // Read at each write: the window manager may have been replaced.
    auto supported = supportedProperty.cardinals();
    const bool canMoveResize = contains(supported, x_.ewmh()._NET_MOVERESIZE_WINDOW);
    const bool canProbe = contains(supported, x_.ewmh()._NET_REQUEST_FRAME_EXTENTS);
    const xcb_window_t wmCheck =
        check.cardinals().empty() ? xcb_window_t(XCB_WINDOW_NONE) : check.cardinals()[0];
    CoordinateSpaces spaces(rootInfo.monitors.front().second);

    std::uint64_t mark = x_.eventMark();
    if (leaveMaximizedOrFullscreen(*window, *state)) {
        const Rect maximized = state->geometry.client;
        waitForWindowManager(*window, wmCheck, canProbe, mark,
                             [&maximized](const Rect& now) { return now.size != maximized.size; });
        // Leaving the state restores the old frame and may bring the borders back.
        state = readClient(*window);
        if (!state)
            return;
    }

    const ClientGeometry& g = state->geometry;
    Rect target = g.client;
    if (position) {
        Rect outer = g.outer();
        outer.origin = spaces.windowToRoot(*position);
        target.origin = clientFromOuterFrame(outer, g.wm, g.gtk).origin;
    }
    if (size)
        target.size = clientSizeFromOuterSize(*size, g.wm, g.gtk);
    auto coord = [](double v) { return std::int32_t(std::clamp(std::round(v), kCoordMin, kCoordMax)); };
    auto extent = [](double v) { return std::uint32_t(std::clamp(std::round(v), 1.0, kCoordMax)); };

    // What goes on the wire: X coordinates are 16-bit, sizes at least 1.
    const Rect sent(coord(target.x()), coord(target.y()), extent(target.width()), extent(target.height()));

    mark = x_.eventMark();
    if (canMoveResize) {
        // North-west gravity: x, y place the corner of the window manager's
        // frame, width and height are the client's. Every field is flagged
        // and those not asked for carry the current geometry: some window
        // managers fill an unflagged size from their frame, not the client,
        // and the window grows by its title bar at each move.
        Point corner{sent.x() - g.wm.left, sent.y() - g.wm.top};
        std::uint32_t flags = int(Gravity::NorthWest) | (2u << 12) | // source: a pager or similar tool
                              XCB_EWMH_MOVERESIZE_WINDOW_X | XCB_EWMH_MOVERESIZE_WINDOW_Y |
                              XCB_EWMH_MOVERESIZE_WINDOW_WIDTH | XCB_EWMH_MOVERESIZE_WINDOW_HEIGHT;
        xcb_client_message_event_t msg{};
        msg.response_type = XCB_CLIENT_MESSAGE;
        msg.format = 32;
        msg.window = *window;
        msg.type = x_.ewmh()._NET_MOVERESIZE_WINDOW;
        msg.data.data32[0] = flags;
        msg.data.data32[1] = std::uint32_t(coord(corner.x));
        msg.data.data32[2] = std::uint32_t(coord(corner.y));
        msg.data.data32[3] = std::uint32_t(sent.width());
        msg.data.data32[4] = std::uint32_t(sent.height());
        xcb_send_event(x_.xcb(), 0, x_.root(),
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&msg));
    } else {
        // A configure request is placed by the window's own gravity.
        std::uint16_t mask = 0;
        std::uint32_t values[4];
        int n = 0;
        if (position) {
            Point p = configureRequestPosition(sent, g.wm, state->gravity);
            mask |= XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y;
            values[n++] = std::uint32_t(coord(p.x));
            values[n++] = std::uint32_t(coord(p.y));
        }
        if (size) {
            mask |= XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT;
            values[n++] = std::uint32_t(sent.width());
            values[n++] = std::uint32_t(sent.height());
        }
        xcb_configure_window(x_.xcb(), *window, mask, values);
    }
    waitForWindowManager(*window, wmCheck, canProbe, mark, [&](const Rect& now) {
        return (!position || now.origin == sent.origin) && (!size || now.size == sent.size);
    });
}

} // namespace tilewise
