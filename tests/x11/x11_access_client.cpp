#include "x11_access_client.hpp"

#include <xcb/xcb_icccm.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <unistd.h>

namespace tilewise::x11test {

std::unique_ptr<TestClient> TestClient::connect()
{
    auto x = X11Connection::open(nullptr, nullptr);
    if (!x)
        return nullptr;
    auto client = std::unique_ptr<TestClient>(new TestClient());
    client->x_ = std::move(x);
    // Root properties and the restacking of frames are what the waits watch.
    client->x_->selectInput(client->x_->root(),
                            XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY);
    return client;
}

TestClient::~TestClient()
{
    for (xcb_window_t w : windows_)
        xcb_destroy_window(xcb(), w);
    x_->sync();
}

xcb_atom_t TestClient::atom(const std::string& name)
{
    auto r = x_->reply<xcb_intern_atom_reply_t>(
        xcb_intern_atom(xcb(), 0, std::uint16_t(name.size()), name.c_str()));
    return r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
}

bool TestClient::waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                          std::chrono::steady_clock::now());
        if (left.count() <= 0 || !x_->waitForEvent([](const xcb_generic_event_t&) { return true; }, left))
            return condition();
        // Nothing here reads the events; drop them so that they do not pile up.
        while (x_->nextEvent()) {
        }
    }
    return true;
}

bool TestClient::expectRootPropertyChange(const std::function<void()>& action, xcb_atom_t property)
{
    xcb_window_t root = x_->root();
    std::uint64_t mark = x_->eventMark();
    action();
    return x_->waitForEvent(
        [root, property](const xcb_generic_event_t& e) {
            if ((e.response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
                return false;
            auto& p = reinterpret_cast<const xcb_property_notify_event_t&>(e);
            return p.window == root && p.atom == property;
        },
        kEventTimeout, mark);
}

bool TestClient::isViewable(xcb_window_t window)
{
    auto a = x_->reply<xcb_get_window_attributes_reply_t>(xcb_get_window_attributes(xcb(), window));
    return a && a->map_state == XCB_MAP_STATE_VIEWABLE;
}

std::vector<std::pair<Rect, double>> TestClient::topLevelsWithin(const Rect& area)
{
    std::vector<std::pair<Rect, double>> found;
    auto tree = x_->reply<xcb_query_tree_reply_t>(xcb_query_tree(xcb(), x_->root()));
    if (!tree)
        return found;
    xcb_window_t* children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
        if (!isViewable(children[i]))
            continue;
        auto g = x_->reply<xcb_get_geometry_reply_t>(xcb_get_geometry(xcb(), children[i]));
        if (!g)
            continue;
        Rect r(g->x, g->y, g->width + 2.0 * g->border_width, g->height + 2.0 * g->border_width);
        if (r.minX() >= area.minX() && r.maxX() <= area.maxX() && r.minY() >= area.minY() &&
            r.maxY() <= area.maxY())
            found.emplace_back(r, g->border_width);
    }
    return found;
}

bool TestClient::stackedAbove(xcb_window_t top, xcb_window_t other)
{
    auto tree = x_->reply<xcb_query_tree_reply_t>(xcb_query_tree(xcb(), x_->root()));
    if (!tree)
        return false;
    xcb_window_t* children = xcb_query_tree_children(tree.get());
    xcb_window_t* end = children + xcb_query_tree_children_length(tree.get());
    auto t = std::find(children, end, topLevel(top));
    auto o = std::find(children, end, topLevel(other));
    return t != end && o != end && t > o; // bottom to top
}

bool TestClient::isManaged(xcb_window_t window)
{
    auto clients = rootCardinals(x_->ewmh()._NET_CLIENT_LIST);
    return std::find(clients.begin(), clients.end(), window) != clients.end();
}

xcb_window_t TestClient::createMapped(const WindowOptions& o)
{
    xcb_ewmh_connection_t& e = x_->ewmh();
    xcb_window_t w = xcb_generate_id(xcb());
    std::uint32_t values[] = {XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE};
    xcb_create_window(xcb(), XCB_COPY_FROM_PARENT, w, x_->root(), std::int16_t(o.geometry.x()),
                      std::int16_t(o.geometry.y()), std::uint16_t(o.geometry.width()),
                      std::uint16_t(o.geometry.height()), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, values);
    windows_.push_back(w);

    xcb_size_hints_t hints{};
    // A program-given position, so that the window manager keeps it.
    xcb_icccm_size_hints_set_position(&hints, 0, std::int32_t(o.geometry.x()), std::int32_t(o.geometry.y()));
    xcb_icccm_size_hints_set_size(&hints, 0, std::int32_t(o.geometry.width()),
                                  std::int32_t(o.geometry.height()));
    if (o.minSize)
        xcb_icccm_size_hints_set_min_size(&hints, std::int32_t(o.minSize->width),
                                          std::int32_t(o.minSize->height));
    if (o.resizeIncrement) {
        xcb_icccm_size_hints_set_base_size(&hints, 0, 0);
        xcb_icccm_size_hints_set_resize_inc(&hints, std::int32_t(o.resizeIncrement->width),
                                            std::int32_t(o.resizeIncrement->height));
    }
    xcb_icccm_set_wm_normal_hints(xcb(), w, &hints);
    std::string wmClass = o.wmClass + '\0' + o.wmClass + "-Class" + '\0';
    xcb_icccm_set_wm_class(xcb(), w, std::uint32_t(wmClass.size()), wmClass.data());
    xcb_icccm_set_wm_name(xcb(), w, XCB_ATOM_STRING, 8, std::uint32_t(o.wmClass.size()), o.wmClass.data());
    if (o.setPid)
        xcb_ewmh_set_wm_pid(&e, w, std::uint32_t(getpid()));
    if (o.gtkApplicationId)
        xcb_change_property(xcb(), XCB_PROP_MODE_REPLACE, w, atom("_GTK_APPLICATION_ID"), e.UTF8_STRING, 8,
                            std::uint32_t(o.gtkApplicationId->size()), o.gtkApplicationId->data());
    if (o.dock) {
        xcb_atom_t type = e._NET_WM_WINDOW_TYPE_DOCK;
        xcb_ewmh_set_wm_window_type(&e, w, 1, &type);
    }
    if (o.strutPartial.size() == 12) {
        xcb_change_property(xcb(), XCB_PROP_MODE_REPLACE, w, e._NET_WM_STRUT_PARTIAL, XCB_ATOM_CARDINAL, 32,
                            12, o.strutPartial.data());
        xcb_change_property(xcb(), XCB_PROP_MODE_REPLACE, w, e._NET_WM_STRUT, XCB_ATOM_CARDINAL, 32, 4,
                            o.strutPartial.data());
    }

    xcb_atom_t workareaAtom = e._NET_WORKAREA;
    std::vector<std::uint32_t> workareaBefore = rootCardinals(workareaAtom);
    xcb_map_window(xcb(), w);
    bool ready = waitUntil([&] {
        if (!isViewable(w))
            return false;
        // A dock is done with once its strut is in the work area; a normal
        // window once it is listed and has its frame.
        if (o.dock)
            return rootCardinals(workareaAtom) != workareaBefore;
        return isManaged(w) && !cardinals(w, e._NET_FRAME_EXTENTS).empty();
    });
    return ready ? w : xcb_window_t(XCB_WINDOW_NONE);
}

void TestClient::destroy(xcb_window_t window)
{
    xcb_destroy_window(xcb(), window);
    std::erase(windows_, window);
    x_->forgetWindow(window);
    waitUntil([&] { return !isManaged(window); });
}

void TestClient::sendToWindowManager(xcb_window_t window, xcb_atom_t type, std::vector<std::uint32_t> data)
{
    xcb_client_message_event_t msg{};
    msg.response_type = XCB_CLIENT_MESSAGE;
    msg.format = 32;
    msg.window = window;
    msg.type = type;
    for (std::size_t i = 0; i < data.size() && i < 5; ++i)
        msg.data.data32[i] = data[i];
    xcb_send_event(xcb(), 0, x_->root(),
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&msg));
    x_->flush();
}

bool TestClient::activate(xcb_window_t window, std::chrono::milliseconds timeout)
{
    xcb_atom_t active = x_->ewmh()._NET_ACTIVE_WINDOW;
    auto isActive = [&] {
        auto v = rootCardinals(active);
        return !v.empty() && v[0] == window;
    };
    // Asked even when the root names it already: the name may be stale, left
    // by a window of an earlier test whose id the server has given out again.
    sendToWindowManager(window, active, {2, XCB_CURRENT_TIME, 0});
    // The property may pass through other values on the way.
    return waitUntil(isActive, timeout);
}

bool TestClient::changeState(xcb_window_t window, bool add, xcb_atom_t first, xcb_atom_t second)
{
    sendToWindowManager(window, x_->ewmh()._NET_WM_STATE, {add ? 1u : 0u, first, second, 2});
    return waitUntil([&] {
        auto state = cardinals(window, x_->ewmh()._NET_WM_STATE);
        return (std::find(state.begin(), state.end(), first) != state.end()) == add;
    });
}

bool TestClient::iconify(xcb_window_t window)
{
    sendToWindowManager(window, atom("WM_CHANGE_STATE"), {XCB_ICCCM_WM_STATE_ICONIC});
    return waitUntil([&] { return !isViewable(window); });
}

bool TestClient::moveToDesktop(xcb_window_t window, std::uint32_t desktop)
{
    sendToWindowManager(window, x_->ewmh()._NET_WM_DESKTOP, {desktop, 2});
    return waitUntil([&] { return !isViewable(window); });
}

std::optional<Rect> TestClient::clientRootGeometry(xcb_window_t window)
{
    auto g = x_->reply<xcb_get_geometry_reply_t>(xcb_get_geometry(xcb(), window));
    auto t = x_->reply<xcb_translate_coordinates_reply_t>(
        xcb_translate_coordinates(xcb(), window, x_->root(), 0, 0));
    if (!g || !t)
        return std::nullopt;
    return Rect(t->dst_x, t->dst_y, g->width, g->height);
}

xcb_window_t TestClient::topLevel(xcb_window_t window)
{
    for (;;) {
        auto tree = x_->reply<xcb_query_tree_reply_t>(xcb_query_tree(xcb(), window));
        if (!tree)
            return XCB_WINDOW_NONE;
        if (tree->parent == tree->root)
            return window;
        window = tree->parent;
    }
}

std::vector<std::uint32_t> TestClient::rootCardinals(xcb_atom_t property)
{
    return cardinals(x_->root(), property);
}

std::vector<std::uint32_t> TestClient::cardinals(xcb_window_t window, xcb_atom_t property)
{
    XProperty p = x_->property(x_->requestProperty(window, property, 1024));
    return std::vector<std::uint32_t>(p.cardinals().begin(), p.cardinals().end());
}

std::string TestClient::windowManagerName()
{
    auto check = rootCardinals(x_->ewmh()._NET_SUPPORTING_WM_CHECK);
    if (check.empty())
        return {};
    XProperty name = x_->property(x_->requestProperty(check[0], x_->ewmh()._NET_WM_NAME, 64));
    return name.text();
}

std::string runCommand(const std::string& command)
{
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return out;
    std::array<char, 4096> buf;
    std::size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0)
        out.append(buf.data(), n);
    if (pclose(p) != 0)
        return {};
    return out;
}

std::optional<Rect> xwininfoFrame(xcb_window_t topLevel)
{
    // Without a window xwininfo would wait for a click.
    if (topLevel == XCB_WINDOW_NONE)
        return std::nullopt;
    std::string out = runCommand("timeout 10 xwininfo -id " + std::to_string(topLevel) + " 2>/dev/null");
    if (out.empty())
        return std::nullopt;
    auto field = [&](const std::string& label) -> std::optional<double> {
        std::size_t at = out.find(label);
        if (at == std::string::npos)
            return std::nullopt;
        return std::stod(out.substr(at + label.size()));
    };
    auto x = field("Absolute upper-left X:");
    auto y = field("Absolute upper-left Y:");
    auto w = field("Width:");
    auto h = field("Height:");
    auto bw = field("Border width:");
    if (!x || !y || !w || !h || !bw)
        return std::nullopt;
    // The absolute position is that of the border's outer corner.
    return Rect(*x, *y, *w + 2 * *bw, *h + 2 * *bw);
}

} // namespace tilewise::x11test
