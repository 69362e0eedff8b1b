// A stand-in application for the integration tests and the demo: it maps
// docks and plain windows with the hints a test asks for, says "ready" with
// their ids, and lives until its standard input closes or it is killed.
//
//   tilewise-testclient [--dock top:H[:X0:X1]] [--window X,Y,W,H] [--min W,H]
//                       [--min-outer W,H] [--max W,H] [--title T] [--class C] [--keys] ...
//
// --min, --min-outer, --max, --title and --class apply to the window before
// them; --max equal to --min makes a window of fixed size.
// --keys prints "key KEYCODE STATE" for every key press that reaches one of
// the windows, so that a test can see which keys were not taken on the way.
// --min-outer sets the minimum so that the outer frame (decorations
// included) cannot be smaller than W x H.
//
//   tilewise-testclient --wait-wm SECONDS
//
// waits until a window manager takes on new windows, then exits 0 (1 on
// timeout).
#include <xcb/xcb.h>
#include <xcb/xcb_icccm.h>

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Spec {
    bool dock = false;
    int strutTop = 0;
    int strutX0 = -1, strutX1 = -1;
    int x = 100, y = 100, w = 400, h = 300;
    int minW = 0, minH = 0;
    int minOuterW = 0, minOuterH = 0;
    int maxW = 0, maxH = 0;
    std::string title = "tilewise test window";
    std::string klass = "TilewiseTest";
    xcb_window_t id = 0;
    bool mapped = false;
    bool extentsKnown = false;
};

xcb_connection_t* conn;

xcb_atom_t atom(const char* name)
{
    auto cookie = xcb_intern_atom(conn, 0, static_cast<uint16_t>(std::strlen(name)), name);
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&free)> r(xcb_intern_atom_reply(conn, cookie, nullptr), free);
    return r ? r->atom : xcb_atom_t{XCB_ATOM_NONE};
}

bool parseInts(const char* text, int* out, int count)
{
    std::string s(text);
    for (char& c : s)
        if (c == ',' || c == ':')
            c = ' ';
    char* p = s.data();
    for (int i = 0; i < count; ++i) {
        char* end;
        long v = std::strtol(p, &end, 10);
        if (end == p)
            return false;
        out[i] = static_cast<int>(v);
        p = end;
    }
    return true;
}

void setMinSize(const Spec& s, int w, int h)
{
    xcb_size_hints_t hints{};
    xcb_icccm_size_hints_set_position(&hints, 1, s.x, s.y);
    xcb_icccm_size_hints_set_size(&hints, 1, s.w, s.h);
    if (w > 0 || h > 0)
        xcb_icccm_size_hints_set_min_size(&hints, w, h);
    if (s.maxW > 0 && s.maxH > 0)
        xcb_icccm_size_hints_set_max_size(&hints, s.maxW, s.maxH);
    xcb_icccm_set_wm_normal_hints(conn, s.id, &hints);
}

std::vector<uint32_t> frameExtents(xcb_window_t w, xcb_atom_t extentsAtom)
{
    auto cookie = xcb_get_property(conn, 0, w, extentsAtom, XCB_ATOM_CARDINAL, 0, 4);
    std::unique_ptr<xcb_get_property_reply_t, decltype(&free)> r(xcb_get_property_reply(conn, cookie, nullptr), free);
    if (!r || xcb_get_property_value_length(r.get()) != 16)
        return {};
    auto* v = static_cast<uint32_t*>(xcb_get_property_value(r.get()));
    return {v[0], v[1], v[2], v[3]};
}

xcb_generic_event_t* waitEvent(std::chrono::steady_clock::time_point deadline)
{
    for (;;) {
        if (xcb_generic_event_t* ev = xcb_poll_for_event(conn))
            return ev;
        if (xcb_connection_has_error(conn))
            return nullptr;
        auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return nullptr;
        pollfd pfd{xcb_get_file_descriptor(conn), POLLIN, 0};
        poll(&pfd, 1, static_cast<int>(left.count()));
    }
}

xcb_window_t windowProperty(xcb_window_t w, xcb_atom_t prop)
{
    auto cookie = xcb_get_property(conn, 0, w, prop, XCB_ATOM_WINDOW, 0, 1);
    std::unique_ptr<xcb_get_property_reply_t, decltype(&free)> r(xcb_get_property_reply(conn, cookie, nullptr), free);
    if (!r || xcb_get_property_value_length(r.get()) != 4)
        return XCB_NONE;
    return *static_cast<xcb_window_t*>(xcb_get_property_value(r.get()));
}

int waitForWindowManager(int seconds)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(conn)).data;
    xcb_atom_t check = atom("_NET_SUPPORTING_WM_CHECK");
    xcb_atom_t extents = atom("_NET_FRAME_EXTENTS");

    uint32_t rootMask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(conn, screen->root, XCB_CW_EVENT_MASK, &rootMask);
    while (windowProperty(screen->root, check) == XCB_NONE) {
        xcb_generic_event_t* ev = waitEvent(deadline);
        if (!ev)
            return 1;
        free(ev);
    }

    // Ready means a window mapped now is taken on (reparented into a frame,
    // or given frame extents). A window manager may publish its check window
    // before it manages anything, and may lose what arrives while it starts
    // up, so a probe that is not taken soon is replaced by a fresh one.
    for (;;) {
        xcb_window_t probe = xcb_generate_id(conn);
        uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(conn, XCB_COPY_FROM_PARENT, probe, screen->root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_EVENT_MASK, &mask);
        xcb_map_window(conn, probe);
        xcb_flush(conn);
        auto retry = std::min(deadline, std::chrono::steady_clock::now() + std::chrono::milliseconds(500));
        bool taken = false;
        while (!taken) {
            xcb_generic_event_t* ev = waitEvent(retry);
            if (!ev)
                break;
            uint8_t type = ev->response_type & 0x7f;
            taken = (type == XCB_REPARENT_NOTIFY &&
                     reinterpret_cast<xcb_reparent_notify_event_t*>(ev)->window == probe) ||
                    (type == XCB_PROPERTY_NOTIFY &&
                     reinterpret_cast<xcb_property_notify_event_t*>(ev)->window == probe &&
                     reinterpret_cast<xcb_property_notify_event_t*>(ev)->atom == extents);
            free(ev);
        }
        if (taken) {
            // Withdraw it and let the window manager let go of it before it
            // goes: one that meets a vanished window mid-way may lose the
            // next window it is given.
            xcb_unmap_window(conn, probe);
            xcb_flush(conn);
            auto release = std::min(deadline, std::chrono::steady_clock::now() + std::chrono::milliseconds(500));
            bool released = false;
            while (!released) {
                xcb_generic_event_t* ev = waitEvent(release);
                if (!ev)
                    break;
                released = (ev->response_type & 0x7f) == XCB_REPARENT_NOTIFY &&
                           reinterpret_cast<xcb_reparent_notify_event_t*>(ev)->window == probe &&
                           reinterpret_cast<xcb_reparent_notify_event_t*>(ev)->parent == screen->root;
                free(ev);
            }
        }
        xcb_destroy_window(conn, probe);
        free(xcb_get_input_focus_reply(conn, xcb_get_input_focus(conn), nullptr));
        if (taken)
            return 0;
        if (std::chrono::steady_clock::now() >= deadline || xcb_connection_has_error(conn))
            return 1;
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::string(argv[1]) == "--wait-wm") {
        conn = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(conn)) {
            std::fprintf(stderr, "testclient: cannot open display\n");
            return 1;
        }
        int rc = waitForWindowManager(std::atoi(argv[2]));
        xcb_disconnect(conn);
        return rc;
    }

    std::vector<Spec> specs;
    bool keys = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
        int n[4];
        if (a == "--dock" && v) {
            Spec s;
            s.dock = true;
            std::string t(v);
            if (t.rfind("top:", 0) != 0) {
                std::fprintf(stderr, "testclient: only top docks: %s\n", v);
                return 2;
            }
            int parts[3] = {0, -1, -1};
            int got = std::sscanf(t.c_str() + 4, "%d:%d:%d", &parts[0], &parts[1], &parts[2]);
            if (got < 1) {
                std::fprintf(stderr, "testclient: bad dock %s\n", v);
                return 2;
            }
            s.strutTop = parts[0];
            if (got == 3) {
                s.strutX0 = parts[1];
                s.strutX1 = parts[2];
            }
            s.title = "tilewise test dock";
            specs.push_back(s);
            ++i;
        } else if (a == "--keys") {
            keys = true;
        } else if (a == "--window" && v && parseInts(v, n, 4)) {
            Spec s;
            s.x = n[0], s.y = n[1], s.w = n[2], s.h = n[3];
            specs.push_back(s);
            ++i;
        } else if ((a == "--min" || a == "--min-outer") && v && parseInts(v, n, 2) && !specs.empty()) {
            if (a == "--min")
                specs.back().minW = n[0], specs.back().minH = n[1];
            else
                specs.back().minOuterW = n[0], specs.back().minOuterH = n[1];
            ++i;
        } else if (a == "--max" && v && parseInts(v, n, 2) && !specs.empty()) {
            specs.back().maxW = n[0], specs.back().maxH = n[1];
            ++i;
        } else if (a == "--title" && v && !specs.empty()) {
            specs.back().title = v;
            ++i;
        } else if (a == "--class" && v && !specs.empty()) {
            specs.back().klass = v;
            ++i;
        } else {
            std::fprintf(stderr, "testclient: bad argument %s\n", a.c_str());
            return 2;
        }
    }

    conn = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(conn)) {
        std::fprintf(stderr, "testclient: cannot open display\n");
        return 1;
    }
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(conn)).data;
    xcb_atom_t wmPid = atom("_NET_WM_PID");
    xcb_atom_t wmType = atom("_NET_WM_WINDOW_TYPE");
    xcb_atom_t typeDock = atom("_NET_WM_WINDOW_TYPE_DOCK");
    xcb_atom_t strut = atom("_NET_WM_STRUT");
    xcb_atom_t strutPartial = atom("_NET_WM_STRUT_PARTIAL");
    xcb_atom_t extentsAtom = atom("_NET_FRAME_EXTENTS");
    xcb_atom_t wmName = atom("_NET_WM_NAME");
    xcb_atom_t utf8 = atom("UTF8_STRING");
    uint32_t pid = static_cast<uint32_t>(getpid());

    for (Spec& s : specs) {
        s.id = xcb_generate_id(conn);
        uint32_t mask = XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK;
        uint32_t values[2] = {s.dock ? 0x303040u : 0xd0d8e8u,
                              XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE |
                                  XCB_EVENT_MASK_EXPOSURE | (keys ? uint32_t{XCB_EVENT_MASK_KEY_PRESS} : 0u)};
        if (s.dock) {
            s.x = s.strutX0 >= 0 ? s.strutX0 : 0;
            s.y = 0;
            s.w = s.strutX1 >= 0 ? s.strutX1 - s.strutX0 + 1 : screen->width_in_pixels;
            s.h = s.strutTop;
        }
        xcb_create_window(conn, XCB_COPY_FROM_PARENT, s.id, screen->root, static_cast<int16_t>(s.x),
                          static_cast<int16_t>(s.y), static_cast<uint16_t>(s.w), static_cast<uint16_t>(s.h), 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, mask, values);
        xcb_change_property(conn, XCB_PROP_MODE_REPLACE, s.id, wmPid, XCB_ATOM_CARDINAL, 32, 1, &pid);
        xcb_change_property(conn, XCB_PROP_MODE_REPLACE, s.id, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                            static_cast<uint32_t>(s.title.size()), s.title.data());
        xcb_change_property(conn, XCB_PROP_MODE_REPLACE, s.id, wmName, utf8, 8,
                            static_cast<uint32_t>(s.title.size()), s.title.data());
        std::string cls = "tilewise-testclient";
        cls.push_back('\0');
        cls += s.klass;
        cls.push_back('\0');
        xcb_change_property(conn, XCB_PROP_MODE_REPLACE, s.id, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                            static_cast<uint32_t>(cls.size()), cls.data());
        if (s.dock) {
            xcb_change_property(conn, XCB_PROP_MODE_REPLACE, s.id, wmType, XCB_ATOM_ATOM, 32, 1, &typeDock);
            uint32_t x1 = static_cast<uint32_t>(s.x + s.w - 1);
            uint32_t partial[12] = {0, 0, static_cast<uint32_t>(s.strutTop), 0, 0, 0, 0, 0,
                                    static_cast<uint32_t>(s.x), x1, 0, 0};
            xcb_change_property(conn, XCB_PROP_MODE_REPLACE, s.id, strutPartial, XCB_ATOM_CARDINAL, 32, 12,
                                partial);
            xcb_change_property(conn, XCB_PROP_MODE_REPLACE, s.id, strut, XCB_ATOM_CARDINAL, 32, 4, partial);
        }
        // A user-specified position, or the window manager places it itself
        // (a dock in the middle of the screen, for one).
        setMinSize(s, s.minW, s.minH);
        xcb_map_window(conn, s.id);
    }
    xcb_flush(conn);

    // Ready once every window is mapped and, for managed ones, the window
    // manager has published its frame extents (it has taken the window on).
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    auto allReady = [&] {
        for (const Spec& s : specs)
            if (!s.mapped || (!s.dock && !s.extentsKnown))
                return false;
        return true;
    };
    auto applyOuterMin = [&](Spec& s) {
        if (s.minOuterW <= 0 && s.minOuterH <= 0)
            return;
        std::vector<uint32_t> e = frameExtents(s.id, extentsAtom);
        int l = e.empty() ? 0 : static_cast<int>(e[0]), r = e.empty() ? 0 : static_cast<int>(e[1]);
        int t = e.empty() ? 0 : static_cast<int>(e[2]), b = e.empty() ? 0 : static_cast<int>(e[3]);
        setMinSize(s, s.minOuterW > 0 ? s.minOuterW - l - r : 0, s.minOuterH > 0 ? s.minOuterH - t - b : 0);
        xcb_flush(conn);
    };
    for (Spec& s : specs) {
        if (!frameExtents(s.id, extentsAtom).empty() && !s.extentsKnown) {
            s.extentsKnown = true;
        }
    }
    while (!allReady()) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        xcb_generic_event_t* ev = xcb_poll_for_event(conn);
        if (!ev) {
            pollfd pfd{xcb_get_file_descriptor(conn), POLLIN, 0};
            poll(&pfd, 1, static_cast<int>(left.count()));
            continue;
        }
        uint8_t type = ev->response_type & 0x7f;
        for (Spec& s : specs) {
            if (type == XCB_MAP_NOTIFY && reinterpret_cast<xcb_map_notify_event_t*>(ev)->window == s.id)
                s.mapped = true;
            if (type == XCB_PROPERTY_NOTIFY) {
                auto* pe = reinterpret_cast<xcb_property_notify_event_t*>(ev);
                if (pe->window == s.id && pe->atom == extentsAtom)
                    s.extentsKnown = true;
            }
        }
        free(ev);
    }
    for (Spec& s : specs) {
        if (!s.dock)
            applyOuterMin(s);
    }
    // One round trip so every request above has reached the server.
    free(xcb_get_input_focus_reply(conn, xcb_get_input_focus(conn), nullptr));

    for (const Spec& s : specs)
        std::printf("%s 0x%08x %u\n", s.dock ? "dock" : "window", s.id, s.id);
    std::printf("ready\n");
    std::fflush(stdout);

    // Serve events until stdin closes (the test or demo is done with us).
    int xfd = xcb_get_file_descriptor(conn);
    for (;;) {
        while (xcb_generic_event_t* ev = xcb_poll_for_event(conn)) {
            if ((ev->response_type & 0x7f) == XCB_KEY_PRESS) {
                auto* key = reinterpret_cast<xcb_key_press_event_t*>(ev);
                std::printf("key %u %u\n", key->detail, key->state);
                std::fflush(stdout);
            }
            free(ev);
        }
        if (xcb_connection_has_error(conn))
            return 0;
        pollfd pfds[2] = {{xfd, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        if (poll(pfds, 2, -1) < 0)
            continue;
        if (pfds[1].revents) {
            char buf[64];
            if (read(STDIN_FILENO, buf, sizeof buf) <= 0)
                break;
        }
    }
    xcb_disconnect(conn);
    return 0;
}
