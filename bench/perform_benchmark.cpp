// What a layout operation costs on a real X server with a window manager,
// next to the cheapest way to move a window there: one configure request and
// the ConfigureNotify it brings. Measured three ways: the engine in this
// process, the running tilewise from a hot key press (XTest) until the
// window manager moves the window, and a whole tilewisectl process, one-shot
// and through the running tilewise over the session bus. Needs DISPLAY, an
// EWMH window manager and TILEWISE_TESTCLIENT; bench/run provides them, and
// the session bus where scripts/xsession starts one.
#include "layout/layout_listener.hpp"
#include "layout/layout_manager.hpp"
#include "layout/operation_type.hpp"
#include "platform/memory/manual_run_loop.hpp"
#include "platform/x11/x11_connection.hpp"
#include "platform/x11/x11_window_access.hpp"
#include "settings/memory_defaults_store.hpp"

#include <benchmark/benchmark.h>
#include <xcb/xcb.h>
#include <xcb/xcb_icccm.h>
#include <xcb/xtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

extern char** environ;

namespace tilewise {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::chrono::milliseconds kEventTimeout{3000};
constexpr std::uint32_t kDockHeight = 25;
// Where each timed operation starts (outer frame, window space): clear of the
// edges and of every operation's result, so that each one really moves or
// resizes the window.
const Rect kStartFrame{200, 200, 600, 400};
// The baseline alternates between two client geometries of different sizes:
// a resize always brings a real ConfigureNotify, whatever the window manager
// does about synthetic ones.
const Rect kBaselineFrames[2] = {Rect{200, 200, 600, 400}, Rect{240, 230, 560, 380}};

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// A top-level window as the server has it: position in the root, size
// without the X border.
struct XGeometry {
    std::int16_t x = 0, y = 0;
    std::uint16_t width = 0, height = 0;
    bool operator==(const XGeometry&) const = default;
};

std::string describe(const XGeometry& g)
{
    return std::to_string(g.width) + "x" + std::to_string(g.height) + "+" + std::to_string(g.x) + "+" +
           std::to_string(g.y);
}

// The benchmark's own application: plain xcb on a connection of its own,
// as any other program on the display would be.
class BenchClient {
public:
    static std::unique_ptr<BenchClient> connect(std::string* error)
    {
        std::unique_ptr<BenchClient> c(new BenchClient);
        c->conn_ = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(c->conn_)) {
            *error = "cannot open the display for the client window";
            return nullptr;
        }
        c->root_ = xcb_setup_roots_iterator(xcb_get_setup(c->conn_)).data->root;
        c->internAtoms();
        std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(c->conn_, c->root_, XCB_CW_EVENT_MASK, &mask);
        return c;
    }
    ~BenchClient()
    {
        if (conn_)
            xcb_disconnect(conn_);
    }

    // A window that names its process and class (the engine acts only on a
    // window whose application it can identify); none unless the window
    // manager takes it on.
    std::optional<xcb_window_t> createWindow(const Rect& client)
    {
        xcb_window_t w = create(client, "TilewiseBench");
        xcb_size_hints_t hints{};
        // A user-specified position keeps the window manager's placement out of it.
        xcb_icccm_size_hints_set_position(&hints, 1, int(client.x()), int(client.y()));
        xcb_icccm_size_hints_set_size(&hints, 1, int(client.width()), int(client.height()));
        xcb_icccm_set_wm_normal_hints(conn_, w, &hints);
        xcb_map_window(conn_, w);
        xcb_flush(conn_);
        if (!waitForProperty(w, atoms_.frameExtents, [](const auto& v) { return v.size() == 4; }))
            return std::nullopt;
        return w;
    }

    // A full-width panel along the top edge; true once the window manager
    // has taken its strut off the work area.
    bool createTopDock()
    {
        xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(conn_)).data;
        xcb_window_t w = create(Rect(0, 0, screen->width_in_pixels, kDockHeight), "TilewiseBenchDock");
        xcb_change_property(conn_, XCB_PROP_MODE_REPLACE, w, atoms_.windowType, XCB_ATOM_ATOM, 32, 1,
                            &atoms_.typeDock);
        std::uint32_t strut[12] = {0, 0, kDockHeight, 0, 0, 0, 0, 0, 0, screen->width_in_pixels - 1u, 0, 0};
        xcb_change_property(conn_, XCB_PROP_MODE_REPLACE, w, atoms_.strutPartial, XCB_ATOM_CARDINAL, 32, 12,
                            strut);
        xcb_change_property(conn_, XCB_PROP_MODE_REPLACE, w, atoms_.strut, XCB_ATOM_CARDINAL, 32, 4, strut);
        xcb_map_window(conn_, w);
        xcb_flush(conn_);
        // The first desktop's work area: x, y, width, height.
        return waitForProperty(root_, atoms_.workarea,
                               [](const auto& v) { return v.size() >= 4 && v[1] == kDockHeight; });
    }

    // Asks the window manager to focus the window, as a pager would, and
    // waits until the root says it is active.
    bool activate(xcb_window_t w)
    {
        xcb_client_message_event_t msg{};
        msg.response_type = XCB_CLIENT_MESSAGE;
        msg.format = 32;
        msg.window = w;
        msg.type = atoms_.activeWindow;
        msg.data.data32[0] = 2; // source: a pager, which focus-stealing prevention lets through
        msg.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(conn_, 0, root_,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&msg));
        xcb_flush(conn_);
        return waitForProperty(root_, atoms_.activeWindow,
                               [w](const auto& v) { return !v.empty() && v[0] == w; });
    }

    // The bare request an application makes to move and resize itself.
    void configure(xcb_window_t w, const Rect& client)
    {
        const std::uint32_t values[4] = {std::uint32_t(std::int32_t(client.x())),
                                         std::uint32_t(std::int32_t(client.y())),
                                         std::uint32_t(client.width()), std::uint32_t(client.height())};
        xcb_configure_window(conn_, w,
                             XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH |
                                 XCB_CONFIG_WINDOW_HEIGHT,
                             values);
        xcb_flush(conn_);
    }

    // The first ConfigureNotify, real or synthetic, that shows the size.
    bool waitForConfigure(xcb_window_t w, const Size& size)
    {
        return waitForEvent(
            [w, size](const xcb_generic_event_t& ev) {
                if ((ev.response_type & 0x7f) != XCB_CONFIGURE_NOTIFY)
                    return false;
                auto& c = reinterpret_cast<const xcb_configure_notify_event_t&>(ev);
                return c.window == w && c.width == size.width && c.height == size.height;
            },
            Clock::now() + kEventTimeout);
    }

    // Events the window got while the engine worked on it are of no interest.
    void drain()
    {
        while (xcb_generic_event_t* ev = xcb_poll_for_event(conn_))
            std::free(ev);
    }

    // Until the running tilewise announces itself on the root: its grabs
    // went out before, on the same connection, so they are in place.
    bool waitForTilewise()
    {
        return waitForProperty(root_, atoms_.running, [](const auto& v) { return !v.empty(); });
    }

    bool hasXTest() { return xcb_get_extension_data(conn_, &xcb_test_id)->present; }

    // The key that types each keysym without a modifier; 0 for none.
    std::vector<xcb_keycode_t> keycodes(const std::vector<xcb_keysym_t>& syms)
    {
        const xcb_setup_t* setup = xcb_get_setup(conn_);
        const int first = setup->min_keycode, count = setup->max_keycode - first + 1;
        xcb_get_keyboard_mapping_reply_t* r = xcb_get_keyboard_mapping_reply(
            conn_, xcb_get_keyboard_mapping(conn_, xcb_keycode_t(first), std::uint8_t(count)), nullptr);
        std::vector<xcb_keycode_t> out(syms.size(), 0);
        if (r && r->keysyms_per_keycode > 0) {
            const xcb_keysym_t* table = xcb_get_keyboard_mapping_keysyms(r);
            const int length = xcb_get_keyboard_mapping_keysyms_length(r);
            for (std::size_t i = 0; i < syms.size(); ++i)
                for (int k = 0; k < count && !out[i]; ++k)
                    if (k * r->keysyms_per_keycode < length && table[k * r->keysyms_per_keycode] == syms[i])
                        out[i] = xcb_keycode_t(first + k);
        }
        std::free(r);
        return out;
    }

    // A key going down or up as if typed; sent at the next flush.
    void fakeKey(xcb_keycode_t key, bool press)
    {
        xcb_test_fake_input(conn_, press ? XCB_KEY_PRESS : XCB_KEY_RELEASE, key, XCB_CURRENT_TIME,
                            XCB_WINDOW_NONE, 0, 0, 0);
    }

    void flush() { xcb_flush(conn_); }

    // The window's ancestor that is a child of the root: the window
    // manager's frame of a client window.
    xcb_window_t topLevel(xcb_window_t w)
    {
        for (;;) {
            xcb_query_tree_reply_t* r = xcb_query_tree_reply(conn_, xcb_query_tree(conn_, w), nullptr);
            const xcb_window_t parent = r ? r->parent : xcb_window_t(XCB_WINDOW_NONE);
            std::free(r);
            if (parent == XCB_WINDOW_NONE || parent == root_)
                return w;
            w = parent;
        }
    }

    // Another program's window: its moves and resizes come here too.
    void watchStructure(xcb_window_t w)
    {
        const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_change_window_attributes(conn_, w, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(conn_);
    }

    std::optional<XGeometry> geometry(xcb_window_t w)
    {
        xcb_get_geometry_reply_t* r = xcb_get_geometry_reply(conn_, xcb_get_geometry(conn_, w), nullptr);
        std::optional<XGeometry> g;
        if (r)
            g = XGeometry{r->x, r->y, r->width, r->height};
        std::free(r);
        return g;
    }

    // The ConfigureNotify that puts the top-level window `w` at `g`.
    bool waitForGeometry(xcb_window_t w, const XGeometry& g)
    {
        return waitForEvent(
            [w, g](const xcb_generic_event_t& ev) {
                if ((ev.response_type & 0x7f) != XCB_CONFIGURE_NOTIFY)
                    return false;
                auto& c = reinterpret_cast<const xcb_configure_notify_event_t&>(ev);
                return c.window == w && XGeometry{c.x, c.y, c.width, c.height} == g;
            },
            Clock::now() + kEventTimeout);
    }

    // The geometry of the top-level window `w` once it is no longer
    // `before`; none if it stays.
    std::optional<XGeometry> waitForChange(xcb_window_t w, const XGeometry& before)
    {
        const Clock::time_point deadline = Clock::now() + kEventTimeout;
        for (;;) {
            std::optional<XGeometry> now = geometry(w);
            if (!now || *now != before)
                return now;
            const bool configured = waitForEvent(
                [w](const xcb_generic_event_t& ev) {
                    return (ev.response_type & 0x7f) == XCB_CONFIGURE_NOTIFY &&
                           reinterpret_cast<const xcb_configure_notify_event_t&>(ev).window == w;
                },
                deadline);
            if (!configured)
                return std::nullopt;
        }
    }

private:
    struct Atoms {
        xcb_atom_t wmPid, windowType, typeDock, strut, strutPartial, activeWindow, workarea, frameExtents,
            running;
    };

    BenchClient() = default;

    void internAtoms()
    {
        const char* names[] = {"_NET_WM_PID",   "_NET_WM_WINDOW_TYPE",   "_NET_WM_WINDOW_TYPE_DOCK",
                               "_NET_WM_STRUT", "_NET_WM_STRUT_PARTIAL", "_NET_ACTIVE_WINDOW",
                               "_NET_WORKAREA", "_NET_FRAME_EXTENTS",    "_TILEWISE_RUNNING"};
        xcb_atom_t* slots[] = {&atoms_.wmPid,    &atoms_.windowType,   &atoms_.typeDock,
                               &atoms_.strut,    &atoms_.strutPartial, &atoms_.activeWindow,
                               &atoms_.workarea, &atoms_.frameExtents, &atoms_.running};
        xcb_intern_atom_cookie_t cookies[std::size(names)];
        for (std::size_t i = 0; i < std::size(names); ++i)
            cookies[i] = xcb_intern_atom(conn_, 0, std::uint16_t(std::strlen(names[i])), names[i]);
        for (std::size_t i = 0; i < std::size(names); ++i) {
            xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(conn_, cookies[i], nullptr);
            *slots[i] = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
            std::free(r);
        }
    }

    xcb_window_t create(const Rect& r, const std::string& wmClass)
    {
        xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(conn_)).data;
        xcb_window_t w = xcb_generate_id(conn_);
        std::uint32_t values[2] = {screen->white_pixel,
                                   XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE};
        xcb_create_window(conn_, XCB_COPY_FROM_PARENT, w, root_, std::int16_t(r.x()), std::int16_t(r.y()),
                          std::uint16_t(r.width()), std::uint16_t(r.height()), 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                          XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
        std::uint32_t pid = std::uint32_t(getpid());
        xcb_change_property(conn_, XCB_PROP_MODE_REPLACE, w, atoms_.wmPid, XCB_ATOM_CARDINAL, 32, 1, &pid);
        std::string cls = "tilewise-bench";
        cls.push_back('\0');
        cls += wmClass;
        cls.push_back('\0');
        xcb_change_property(conn_, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                            std::uint32_t(cls.size()), cls.data());
        xcb_change_property(conn_, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                            std::uint32_t(wmClass.size()), wmClass.data());
        return w;
    }

    std::vector<std::uint32_t> cardinals(xcb_window_t w, xcb_atom_t property)
    {
        xcb_get_property_reply_t* r = xcb_get_property_reply(
            conn_, xcb_get_property(conn_, 0, w, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 64), nullptr);
        std::vector<std::uint32_t> out;
        if (r && r->format == 32) {
            auto* v = static_cast<const std::uint32_t*>(xcb_get_property_value(r));
            out.assign(v, v + xcb_get_property_value_length(r) / 4);
        }
        std::free(r);
        return out;
    }

    // Read again at each change of the property: a change that came before
    // the read is not missed, one that comes after wakes the wait.
    bool waitForProperty(xcb_window_t w, xcb_atom_t property,
                         const std::function<bool(const std::vector<std::uint32_t>&)>& satisfied)
    {
        const Clock::time_point deadline = Clock::now() + kEventTimeout;
        while (!satisfied(cardinals(w, property))) {
            bool changed = waitForEvent(
                [w, property](const xcb_generic_event_t& ev) {
                    if ((ev.response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
                        return false;
                    auto& p = reinterpret_cast<const xcb_property_notify_event_t&>(ev);
                    return p.window == w && p.atom == property;
                },
                deadline);
            if (!changed)
                return false;
        }
        return true;
    }

    // Bounded: false when the deadline passes or the connection breaks.
    bool waitForEvent(const std::function<bool(const xcb_generic_event_t&)>& match,
                      Clock::time_point deadline)
    {
        for (;;) {
            while (xcb_generic_event_t* ev = xcb_poll_for_event(conn_)) {
                bool matched = match(*ev);
                std::free(ev);
                if (matched)
                    return true;
            }
            if (xcb_connection_has_error(conn_))
                return false;
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0)
                return false;
            pollfd pfd{xcb_get_file_descriptor(conn_), POLLIN, 0};
            poll(&pfd, 1, int(left.count()) + 1);
        }
    }

    xcb_connection_t* conn_ = nullptr;
    xcb_window_t root_ = XCB_WINDOW_NONE;
    Atoms atoms_{};
};

// The engine wired as tilewisectl wires it, and the window it works on.
struct Session {
    std::unique_ptr<X11Connection> x;
    std::unique_ptr<X11WindowAccess> access;
    MemoryDefaultsStore store;
    ManualRunLoop loop;
    std::unique_ptr<LayoutListener> listener;
    std::unique_ptr<LayoutManager> manager;
    std::unique_ptr<BenchClient> client;
    xcb_window_t window = XCB_WINDOW_NONE;

    static std::unique_ptr<Session> open(std::string* error)
    {
        const char* display = std::getenv("DISPLAY");
        if (!display || !*display) {
            *error = "DISPLAY is not set (run it through bench/run)";
            return nullptr;
        }
        auto s = std::make_unique<Session>();
        s->x = X11Connection::open(display, error);
        if (!s->x)
            return nullptr;
        if (!s->x->windowManagerRunning()) {
            *error = "no EWMH window manager is running";
            return nullptr;
        }
        s->access = std::make_unique<X11WindowAccess>(*s->x);
        // As the running program has it: kept current from events, the
        // monitors read once per operation.
        s->access->followEvents();
        s->listener = std::make_unique<LayoutListener>(*s->access, s->store);
        s->manager = std::make_unique<LayoutManager>(*s->access, s->store, s->loop, *s->listener);
        s->client = BenchClient::connect(error);
        if (!s->client)
            return nullptr;
        if (!s->client->createTopDock()) {
            *error = "the window manager did not take the dock's strut off the work area";
            return nullptr;
        }
        std::optional<xcb_window_t> w = s->client->createWindow(kBaselineFrames[0]);
        if (!w) {
            *error = "the window manager did not take the client window on";
            return nullptr;
        }
        s->window = *w;
        if (!s->client->activate(s->window)) {
            *error = "the window manager did not activate the client window";
            return nullptr;
        }
        return s;
    }

    WindowElement element() const { return WindowElement{window}; }

    // Untimed: puts the window back where every operation starts, and
    // clears what the last one left queued on both connections.
    bool reset() { return reset(window); }
    bool reset(xcb_window_t w)
    {
        access->setFrame(WindowElement{w}, kStartFrame);
        while (x->nextEvent()) {
        }
        client->drain();
        return access->readFrame(WindowElement{w}) == kStartFrame;
    }

    std::string windowManagerName()
    {
        XProperty check = x->property(x->requestProperty(x->root(), x->ewmh()._NET_SUPPORTING_WM_CHECK, 1));
        if (check.cardinals().empty())
            return "unknown";
        std::string name =
            x->property(x->requestProperty(check.cardinals()[0], x->ewmh()._NET_WM_NAME, 64)).text();
        return name.empty() ? "unknown" : name;
    }
};

std::string join(std::initializer_list<std::string_view> parts)
{
    std::string out;
    for (std::string_view p : parts)
        out.append(p);
    return out;
}

// Lines a child process writes to a pipe, read with a deadline.
class LineReader {
public:
    LineReader() = default;
    explicit LineReader(int fd) : fd_(fd) {}
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;
    ~LineReader()
    {
        if (fd_ >= 0)
            close(fd_);
    }

    // The next whole line; none at the end of the stream or the deadline.
    std::optional<std::string> next(Clock::time_point deadline)
    {
        for (;;) {
            if (const std::size_t nl = buffer_.find('\n'); nl != std::string::npos) {
                std::string line = buffer_.substr(0, nl);
                buffer_.erase(0, nl + 1);
                return line;
            }
            if (!fill(deadline))
                return std::nullopt;
        }
    }

    // Reads to the end of the stream; false if the deadline comes first.
    bool toEnd(Clock::time_point deadline)
    {
        while (fill(deadline)) {
        }
        return ended_;
    }

    // What was read and not yet taken as lines.
    const std::string& unread() const { return buffer_; }

private:
    // False at the end of the stream or the deadline.
    bool fill(Clock::time_point deadline)
    {
        if (fd_ < 0 || ended_)
            return false;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() < 0)
            return false;
        pollfd pfd{fd_, POLLIN, 0};
        const int ready = poll(&pfd, 1, int(left.count()) + 1);
        if (ready < 0)
            return errno == EINTR;
        if (ready == 0)
            return false;
        char chunk[4096];
        const ssize_t got = read(fd_, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            return true;
        if (got <= 0) {
            ended_ = true;
            return false;
        }
        buffer_.append(chunk, std::size_t(got));
        return true;
    }

    int fd_ = -1;
    std::string buffer_;
    bool ended_ = false;
};

constexpr std::chrono::seconds kProcessTimeout{10};

// Our environment with `overrides` ("NAME=value") in place of what it has.
std::vector<std::string> environment(const std::vector<std::string>& overrides)
{
    std::vector<std::string> out;
    for (char** e = environ; *e; ++e) {
        const std::string_view entry(*e);
        const std::string_view name = entry.substr(0, entry.find('=') + 1);
        if (std::none_of(overrides.begin(), overrides.end(),
                         [name](const std::string& o) { return o.starts_with(name); }))
            out.emplace_back(entry);
    }
    out.insert(out.end(), overrides.begin(), overrides.end());
    return out;
}

// A program with pipes to the standard streams asked for; standard input
// and output otherwise from /dev/null, standard error ours.
class Process {
public:
    struct Streams {
        bool in = false, out = false, err = false;
    };

    static std::unique_ptr<Process> start(const std::vector<std::string>& args,
                                          const std::vector<std::string>& env, Streams streams,
                                          std::string* error)
    {
        std::unique_ptr<Process> p(new Process);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        int in[2] = {-1, -1}, out[2] = {-1, -1}, err[2] = {-1, -1};
        bool piped = (!streams.in || pipe2(in, O_CLOEXEC) == 0) &&
                     (!streams.out || pipe2(out, O_CLOEXEC) == 0) &&
                     (!streams.err || pipe2(err, O_CLOEXEC) == 0);
        if (streams.in)
            posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
        else
            posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        if (streams.out)
            posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        else
            posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        if (streams.err)
            posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
        std::vector<char*> argv, envp;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        for (const std::string& e : env)
            envp.push_back(const_cast<char*>(e.c_str()));
        envp.push_back(nullptr);
        const int spawned =
            piped ? posix_spawn(&p->pid_, args[0].c_str(), &actions, nullptr, argv.data(), envp.data())
                  : errno;
        posix_spawn_file_actions_destroy(&actions);
        for (int fd : {in[0], out[1], err[1]})
            if (fd >= 0)
                close(fd);
        p->in_ = in[1];
        p->out_ = std::make_unique<LineReader>(out[0]);
        p->err_ = std::make_unique<LineReader>(err[0]);
        if (spawned != 0) {
            p->pid_ = -1;
            *error = "cannot start " + args[0] + ": " + std::strerror(spawned);
            return nullptr;
        }
        return p;
    }

    ~Process()
    {
        closeInput();
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }

    LineReader& out() { return *out_; }
    LineReader& err() { return *err_; }
    void signal(int sig) { kill(pid_, sig); }
    void closeInput()
    {
        if (in_ >= 0)
            close(in_);
        in_ = -1;
    }

    // The exit status once the program has closed `stream` (it does at its
    // exit); killed if it has not within the timeout.
    int wait(LineReader& stream, std::chrono::milliseconds timeout = kProcessTimeout)
    {
        if (!stream.toEnd(Clock::now() + timeout))
            kill(pid_, SIGKILL);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

private:
    Process() = default;

    pid_t pid_ = -1;
    int in_ = -1;
    std::unique_ptr<LineReader> out_, err_;
};

// The number in a line "PREFIX N round trips".
std::optional<int> roundTripsIn(const std::string& line, const std::string& prefix)
{
    if (!line.starts_with(prefix) || !line.ends_with(" round trips"))
        return std::nullopt;
    const std::string digits = line.substr(prefix.size(), line.size() - prefix.size() - 12);
    if (digits.empty() ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return std::stoi(digits);
}

// Round trips seen per press or per run, by what was done.
struct Tally {
    std::uint64_t count = 0, sum = 0;
    int min = 0, max = 0;

    void add(int n)
    {
        min = count ? std::min(min, n) : n;
        max = count ? std::max(max, n) : n;
        ++count;
        sum += std::uint64_t(n);
    }
};

// A hot key of the running tilewise. An operation without a default
// shortcut gets Control-Alt and a letter, stored before tilewise starts.
struct HotKey {
    OperationType op;
    xcb_keysym_t key;
    const char* shortcutName = nullptr;
    int carbonKeyCode = 0;
    xcb_keycode_t code = 0;
};

// Two operations pressed in turn whose frames differ, so that every press
// moves the window; the modifiers stay down across presses, as when a user
// presses again.
struct HotKeyPair {
    HotKey first, second;
    std::vector<xcb_keysym_t> modifiers;
    std::vector<xcb_keycode_t> modifierCodes;
    // The frame after the first key's press and after the second's.
    XGeometry frames[2];

    std::string name() const
    {
        std::string n(caseName(first.op));
        n.append("+").append(caseName(second.op));
        return n;
    }
};

constexpr xcb_keysym_t kControlL = 0xffe3, kAltL = 0xffe9, kSuperL = 0xffeb, kLeft = 0xff51, kRight = 0xff53;
// Carbon modifiers of Control-Alt.
constexpr int kCarbonControlAlt = 4096 | 2048;

// tilewise running with its own settings and runtime folders, counting the
// round trips of each press, and the test client's window it works on.
class Resident {
public:
    static std::unique_ptr<Resident> start(BenchClient& client, std::vector<HotKeyPair>& pairs,
                                           std::string* error)
    {
        const char* testclient = std::getenv("TILEWISE_TESTCLIENT");
        if (!testclient || !*testclient) {
            *error = "TILEWISE_TESTCLIENT is not set (run it through bench/run)";
            return nullptr;
        }
        if (!client.hasXTest()) {
            *error = "the X server has no XTEST extension to press keys with";
            return nullptr;
        }
        std::unique_ptr<Resident> r(new Resident(client));
        char folder[] = "/tmp/tilewise-bench.XXXXXX";
        if (!mkdtemp(folder)) {
            *error = "cannot make a settings folder";
            return nullptr;
        }
        r->home_ = folder;

        for (HotKeyPair& pair : pairs) {
            for (HotKey* key : {&pair.first, &pair.second}) {
                key->code = client.keycodes({key->key}).front();
                if (!key->shortcutName)
                    continue;
                std::string shortcut = R"({"carbonKeyCode":)";
                shortcut.append(std::to_string(key->carbonKeyCode))
                    .append(R"(,"carbonModifiers":)")
                    .append(std::to_string(kCarbonControlAlt))
                    .append("}");
                std::string name = "KeyboardShortcuts_";
                name.append(key->shortcutName);
                std::string output;
                if (r->tilewisectl({"defaults", "write", name, "-string", shortcut}, &output) != 0) {
                    *error = "tilewisectl defaults write " + name + " failed: " + output;
                    return nullptr;
                }
            }
            pair.modifierCodes = client.keycodes(pair.modifiers);
            const bool typed = pair.first.code && pair.second.code &&
                               std::find(pair.modifierCodes.begin(), pair.modifierCodes.end(), 0) ==
                                   pair.modifierCodes.end();
            if (!typed) {
                *error = "the keyboard has no key for a shortcut of " + pair.name();
                return nullptr;
            }
        }

        std::vector<std::string> args = {testclient, "--window", "200,200,600,400"};
        r->testClient_ = Process::start(args, environment({}), {.in = true, .out = true}, error);
        if (!r->testClient_)
            return nullptr;
        const Clock::time_point deadline = Clock::now() + kProcessTimeout;
        while (std::optional<std::string> line = r->testClient_->out().next(deadline)) {
            unsigned id = 0;
            if (std::sscanf(line->c_str(), "window 0x%*x %u", &id) == 1)
                r->window = id;
            if (*line == "ready")
                break;
        }
        if (r->window == XCB_WINDOW_NONE) {
            *error = "the test client showed no window";
            return nullptr;
        }
        r->frame = client.topLevel(r->window);
        client.watchStructure(r->frame);

        // The first key the XTest device types makes the server announce a
        // keyboard change, which tilewise answers by reading the keymap
        // again: that happens before it is up, not during a timed press.
        client.fakeKey(pairs.front().modifierCodes.front(), true);
        client.fakeKey(pairs.front().modifierCodes.front(), false);
        client.geometry(r->window);

        std::vector<std::string> env = r->env();
        env.push_back("TILEWISE_COUNT_ROUND_TRIPS=1");
        r->tilewise_ = Process::start({TILEWISE_PATH, "--headless"}, environment(env), {.err = true}, error);
        if (!r->tilewise_)
            return nullptr;
        if (!client.waitForTilewise()) {
            *error = "tilewise did not come up";
            return nullptr;
        }
        return r;
    }

    ~Resident()
    {
        if (tilewise_) {
            tilewise_->signal(SIGTERM);
            tilewise_->wait(tilewise_->err());
        }
        if (testClient_) {
            testClient_->closeInput();
            testClient_->wait(testClient_->out());
        }
        if (!home_.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(home_, ignored);
        }
    }

    std::vector<std::string> env() const
    {
        std::string config = "XDG_CONFIG_HOME=", runtime = "XDG_RUNTIME_DIR=";
        config.append(home_).append("/config");
        runtime.append(home_);
        return {config, runtime};
    }

    // Runs tilewisectl to its end with these folders' settings: its exit
    // status and standard error.
    int tilewisectl(const std::vector<std::string>& args, std::string* err,
                    const std::vector<std::string>& extraEnv = {})
    {
        std::vector<std::string> argv = {TILEWISECTL_PATH};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<std::string> env = this->env();
        env.insert(env.end(), extraEnv.begin(), extraEnv.end());
        std::unique_ptr<Process> p = Process::start(argv, environment(env), {.err = true}, err);
        if (!p)
            return -1;
        const int status = p->wait(p->err());
        *err = p->err().unread();
        return status;
    }

    void hold(const HotKeyPair& pair, bool down)
    {
        for (xcb_keycode_t code : pair.modifierCodes)
            client_.fakeKey(code, down);
        client_.flush();
    }

    // One press of the key, its modifiers held; sent at once.
    void press(const HotKey& key)
    {
        client_.fakeKey(key.code, true);
        client_.fakeKey(key.code, false);
        client_.flush();
    }

    // The round trips tilewise reports for the next press it handles; other
    // lines it writes are passed on.
    std::optional<int> roundTrips(const std::string& prefix = "tilewise: hot key: ")
    {
        const Clock::time_point deadline = Clock::now() + kEventTimeout;
        while (std::optional<std::string> line = tilewise_->err().next(deadline)) {
            if (std::optional<int> n = roundTripsIn(*line, prefix))
                return n;
            std::cerr << *line << "\n";
        }
        return std::nullopt;
    }

    // A press whose effect is not timed: done once tilewise has handled it.
    bool pressAndWait(const HotKey& key)
    {
        press(key);
        return roundTrips().has_value();
    }

    xcb_window_t window = XCB_WINDOW_NONE;
    xcb_window_t frame = XCB_WINDOW_NONE;
    // By what was counted: "hot key LeftHalf", "tilewisectl perform LeftHalf".
    std::map<std::string, Tally> tallies;

private:
    explicit Resident(BenchClient& client) : client_(client) {}

    BenchClient& client_;
    std::string home_;
    std::unique_ptr<Process> testClient_, tilewise_;
};

// The pair's modifiers held down while it lives.
class HeldModifiers {
public:
    HeldModifiers(Resident& r, const HotKeyPair& pair) : r_(r), pair_(pair) { r_.hold(pair_, true); }
    ~HeldModifiers() { r_.hold(pair_, false); }
    HeldModifiers(const HeldModifiers&) = delete;
    HeldModifiers& operator=(const HeldModifiers&) = delete;

private:
    Resident& r_;
    const HotKeyPair& pair_;
};

// A press whose result is not timed: the frame it leads to; none, with the
// reason, when tilewise does not report the press or the window stays.
std::optional<XGeometry> pressAndSee(BenchClient& client, Resident& r, const HotKey& key, std::string* error)
{
    const std::optional<XGeometry> before = client.geometry(r.frame);
    if (!before || !r.pressAndWait(key)) {
        *error = join({"tilewise did not report a press of the hot key of ", caseName(key.op)});
        return std::nullopt;
    }
    std::optional<XGeometry> after = client.waitForChange(r.frame, *before);
    if (!after)
        *error = join({"the hot key of ", caseName(key.op), " left the window at ", describe(*before)});
    return after;
}

// Learns where each key of the pair puts the window, pressed in turn as the
// benchmark will, and checks that the turns repeat. From wherever the window
// is, the second key's press makes the first one's frame the next.
bool learnFrames(BenchClient& client, Resident& r, HotKeyPair& pair, std::string* error)
{
    if (!client.activate(r.window)) {
        *error = "the window manager did not activate the test client's window";
        return false;
    }
    HeldModifiers held(r, pair);
    if (!r.pressAndWait(pair.second)) {
        *error = join({"tilewise did not report a press of the hot key of ", caseName(pair.second.op)});
        return false;
    }
    for (int i = 0; i < 4; ++i) {
        const std::optional<XGeometry> after =
            pressAndSee(client, r, i % 2 ? pair.second : pair.first, error);
        if (!after)
            return false;
        if (i < 2) {
            pair.frames[i] = *after;
        } else if (*after != pair.frames[i % 2]) {
            *error = join({"the hot keys of ", pair.name(), " do not take turns between two frames"});
            return false;
        }
    }
    return true;
}

// A benchmark that cannot go on ends the whole run: its partial repetitions
// would make no figure.
struct BenchmarkFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

[[noreturn]] void fail(const std::string& why)
{
    throw BenchmarkFailure(why);
}

// One operation from the starting frame. Only perform (and the deferred work
// it leaves, none for these operations) is timed, and counted in the CPU
// column; the reset is not. Every iteration checks that the window really
// left the starting frame, so that an operation that gave up early cannot
// pass for a fast one.
void benchmarkPerform(benchmark::State& state, Session& s, OperationType op)
{
    // The hot key benchmarks focus the test client's window.
    if (!s.client->activate(s.window))
        fail("the window manager did not activate the client window");
    std::uint64_t roundTrips = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (!s.reset())
            fail("the window did not go back to the starting frame");
        state.ResumeTiming();
        s.access->newOperation();
        const std::uint64_t before = s.x->roundTrips();
        const Clock::time_point start = Clock::now();
        s.manager->perform(op);
        s.loop.runPending();
        const Clock::time_point end = Clock::now();
        roundTrips += s.x->roundTrips() - before;
        state.SetIterationTime(seconds(end - start));
        state.PauseTiming();
        const bool moved = s.access->readFrame(s.element()) != kStartFrame;
        state.ResumeTiming();
        if (!moved)
            fail("the operation left the window where it was");
    }
    state.counters["round_trips"] =
        benchmark::Counter(double(roundTrips), benchmark::Counter::kAvgIterations);
}

// One configure request of the client's own window, until its
// ConfigureNotify comes back: a single round trip through the window manager.
void benchmarkConfigureRequest(benchmark::State& state, Session& s)
{
    s.client->drain();
    std::size_t next = 1;
    std::uint64_t roundTrips = 0;
    for (auto _ : state) {
        const Rect& frame = kBaselineFrames[next];
        next ^= 1;
        const Clock::time_point start = Clock::now();
        s.client->configure(s.window, frame);
        const bool answered = s.client->waitForConfigure(s.window, frame.size);
        const Clock::time_point end = Clock::now();
        ++roundTrips;
        if (!answered)
            fail("no ConfigureNotify for the configure request");
        state.SetIterationTime(seconds(end - start));
    }
    state.counters["round_trips"] =
        benchmark::Counter(double(roundTrips), benchmark::Counter::kAvgIterations);
}

// One hot key press, sent with XTest, until the ConfigureNotify of the
// window's frame shows where the window manager put it: the running
// tilewise's whole path, from its key event to the window manager's answer.
// The pair's keys take turns, so every press moves the window.
void benchmarkHotKeys(benchmark::State& state, BenchClient& client, Resident& r, const HotKeyPair& pair)
{
    if (!client.activate(r.window))
        fail("the window manager did not activate the test client's window");
    HeldModifiers held(r, pair);
    // The turns go on from either of the pair's frames; from anywhere else,
    // after the second key the first one's frame comes next, as when the
    // frames were learned.
    const std::optional<XGeometry> at = client.geometry(r.frame);
    std::size_t next = at == pair.frames[0] ? 1 : 0;
    std::string error;
    if (at != pair.frames[0] && at != pair.frames[1] && !pressAndSee(client, r, pair.second, &error))
        fail(error);
    client.drain();
    const std::string names[2] = {join({"hot key ", caseName(pair.first.op)}),
                                  join({"hot key ", caseName(pair.second.op)})};
    std::uint64_t roundTrips = 0;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        r.press(next ? pair.second : pair.first);
        const bool configured = client.waitForGeometry(r.frame, pair.frames[next]);
        const Clock::time_point end = Clock::now();
        const std::optional<int> trips = configured ? r.roundTrips() : std::nullopt;
        if (!trips) {
            const std::optional<XGeometry> now = client.geometry(r.frame);
            fail(configured ? std::string("tilewise did not report the press")
                            : join({"no ConfigureNotify put the frame at ", describe(pair.frames[next]),
                                    " after ", caseName((next ? pair.second : pair.first).op), " (it is at ",
                                    now ? describe(*now) : "?", ")"}));
        }
        r.tallies[names[next]].add(*trips);
        roundTrips += std::uint64_t(*trips);
        state.SetIterationTime(seconds(end - start));
        next ^= 1;
    }
    state.counters["round_trips"] =
        benchmark::Counter(double(roundTrips), benchmark::Counter::kAvgIterations);
}

// A whole `tilewisectl perform LeftHalf`, from its start to its exit, on the
// test client's window put back at the starting frame each time: one-shot
// (no session bus to reach the running tilewise), or through the running
// tilewise, which then counts the round trips.
void benchmarkCtl(benchmark::State& state, Session& s, Resident& r, bool viaBus)
{
    if (!s.client->activate(r.window))
        fail("the window manager did not activate the test client's window");
    const std::string tally = viaBus ? "tilewisectl perform LeftHalf (bus)" : "tilewisectl perform LeftHalf";
    std::vector<std::string> env = {"TILEWISE_COUNT_ROUND_TRIPS=1"};
    if (!viaBus)
        env.push_back("DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent");
    std::uint64_t roundTrips = 0;
    for (auto _ : state) {
        if (!s.reset(r.window))
            fail("the test client's window did not go back to the starting frame");
        std::string err;
        const Clock::time_point start = Clock::now();
        const int status = r.tilewisectl({"perform", "LeftHalf"}, &err, env);
        const Clock::time_point end = Clock::now();
        std::optional<int> trips;
        if (viaBus) {
            trips = r.roundTrips("tilewise: bus perform: ");
        } else {
            for (std::size_t at = 0; at < err.size() && !trips;) {
                const std::size_t nl = std::min(err.find('\n', at), err.size());
                trips = roundTripsIn(err.substr(at, nl - at), "tilewisectl: ");
                at = nl + 1;
            }
        }
        if (status != 0 || !trips)
            fail(join({tally, " failed: ", err}));
        if (s.access->readFrame(WindowElement{r.window}) == kStartFrame)
            fail(tally + " left the window where it was");
        r.tallies[tally].add(*trips);
        roundTrips += std::uint64_t(*trips);
        state.SetIterationTime(seconds(end - start));
    }
    state.counters["round_trips"] =
        benchmark::Counter(double(roundTrips), benchmark::Counter::kAvgIterations);
}

constexpr const char* kBaselineName = "baseline/configure_request";
constexpr const char* kHotKeyName = "hot_key/LeftHalf+RightHalf";
constexpr const char* kOneShotName = "tilewisectl/perform_LeftHalf";
constexpr const char* kBusName = "tilewisectl/perform_LeftHalf_via_bus";

// The console table, with each median's ratio to the baseline's median as a
// counter, and a summary of the medians at the end.
class MedianReporter : public benchmark::ConsoleReporter {
public:
    using ConsoleReporter::ConsoleReporter;

    void ReportRuns(const std::vector<Run>& runs) override
    {
        std::vector<Run> shown = runs;
        for (Run& run : shown) {
            if (run.error_occurred || run.aggregate_name != "median")
                continue;
            const double time = run.GetAdjustedRealTime();
            const bool isBaseline = run.run_name.function_name == kBaselineName;
            if (isBaseline)
                baseline_ = time;
            if (baseline_ && *baseline_ > 0)
                run.counters["vs_baseline"] = benchmark::Counter(time / *baseline_);
            const auto trips = run.counters.find("round_trips");
            medians_.push_back(Median{run.run_name.function_name, time, run.time_unit,
                                      trips == run.counters.end() ? 0.0 : double(trips->second)});
        }
        ConsoleReporter::ReportRuns(shown);
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        std::ostream& out = GetOutputStream();
        out << "\nMedians\n";
        char line[160];
        std::snprintf(line, sizeof line, "  %-36s %12s %12s %12s\n", "", "time", "x baseline", "round trips");
        out << line;
        for (const Median& m : medians_) {
            std::string ratio = "-";
            if (baseline_ && *baseline_ > 0) {
                char r[32];
                std::snprintf(r, sizeof r, "%.1f", m.time / *baseline_);
                ratio = r;
            }
            std::snprintf(line, sizeof line, "  %-36s %9.3f %-2s %12s %12.1f\n", m.name.c_str(), m.time,
                          benchmark::GetTimeUnitString(m.unit), ratio.c_str(), m.roundTrips);
            out << line;
        }
    }

    struct Median {
        std::string name;
        double time;
        benchmark::TimeUnit unit;
        double roundTrips;
    };

    const Median* median(const std::string& name) const
    {
        for (const Median& m : medians_)
            if (m.name == name)
                return &m;
        return nullptr;
    }
    std::optional<double> baseline() const { return baseline_; }

private:
    std::optional<double> baseline_;
    std::vector<Median> medians_;
};

// Shows what each operation does from the starting frame, and makes the
// platform's first write (which learns how the window manager answers) before
// anything is timed.
bool describeOperations(Session& s, const std::vector<OperationType>& ops)
{
    for (OperationType op : ops) {
        if (!s.reset())
            return false;
        s.manager->perform(op);
        s.loop.runPending();
        std::optional<Rect> after = s.access->readFrame(s.element());
        if (!after)
            return false;
        benchmark::AddCustomContext(std::string(caseName(op)),
                                    describe(kStartFrame) + " -> " + describe(*after));
    }
    return true;
}

// Round trips as tilewise and tilewisectl counted them, then each figure
// next to its target: plain lines to quote.
void printRoundTripsAndTargets(std::ostream& out, const Resident& r, const MedianReporter& reporter)
{
    char line[160];
    out << "\nRound trips (TILEWISE_COUNT_ROUND_TRIPS)\n";
    std::snprintf(line, sizeof line, "  %-36s %8s %8s %6s %6s\n", "", "counted", "mean", "min", "max");
    out << line;
    for (const auto& [name, t] : r.tallies) {
        std::snprintf(line, sizeof line, "  %-36s %8llu %8.2f %6d %6d\n", name.c_str(),
                      static_cast<unsigned long long>(t.count),
                      t.count ? double(t.sum) / double(t.count) : 0.0, t.min, t.max);
        out << line;
    }

    auto trips = [&r](const std::string& name) {
        const auto t = r.tallies.find(name);
        if (t == r.tallies.end() || t->second.count == 0)
            return std::string("-");
        char text[48];
        if (t->second.min == t->second.max)
            std::snprintf(text, sizeof text, "%d", t->second.min);
        else
            std::snprintf(text, sizeof text, "%.2f (%d-%d)", double(t->second.sum) / double(t->second.count),
                          t->second.min, t->second.max);
        return std::string(text);
    };
    std::string ratio = "-", wall = "-";
    const MedianReporter::Median* hotKey = reporter.median(kHotKeyName);
    if (hotKey && reporter.baseline() && *reporter.baseline() > 0) {
        char text[32];
        std::snprintf(text, sizeof text, "%.2f", hotKey->time / *reporter.baseline());
        ratio = text;
    }
    if (const MedianReporter::Median* oneShot = reporter.median(kOneShotName)) {
        char text[32];
        std::snprintf(text, sizeof text, "%.3f %s", oneShot->time,
                      benchmark::GetTimeUnitString(oneShot->unit));
        wall = text;
    }
    std::string busWall = "-";
    if (const MedianReporter::Median* viaBus = reporter.median(kBusName)) {
        char text[32];
        std::snprintf(text, sizeof text, "%.3f %s", viaBus->time, benchmark::GetTimeUnitString(viaBus->unit));
        busWall = text;
    }
    const std::pair<std::string, std::pair<std::string, const char*>> rows[] = {
        {"hot key press, x baseline (LeftHalf+RightHalf)", {ratio, "<= 2"}},
        {"round trips per press, hot key LeftHalf", {trips("hot key LeftHalf"), "<= 3"}},
        {"round trips per press, hot key Left", {trips("hot key Left"), "<= 3"}},
        {"round trips per press, hot key MoveRightward", {trips("hot key MoveRightward"), "<= 3"}},
        {"round trips, tilewisectl perform LeftHalf", {trips("tilewisectl perform LeftHalf"), "<= 6"}},
        {"wall time, tilewisectl perform LeftHalf", {wall, "-"}},
        {"round trips, tilewisectl perform LeftHalf (bus)",
         {trips("tilewisectl perform LeftHalf (bus)"), "<= 3"}},
        {"wall time, tilewisectl perform LeftHalf (bus)", {busWall, "-"}},
    };
    out << "\nTargets\n";
    std::snprintf(line, sizeof line, "  %-48s %14s %8s\n", "", "measured", "target");
    out << line;
    for (const auto& [figure, value] : rows) {
        std::snprintf(line, sizeof line, "  %-48s %14s %8s\n", figure.c_str(), value.first.c_str(),
                      value.second);
        out << line;
    }
}

} // namespace
} // namespace tilewise

int main(int argc, char** argv)
{
    using namespace tilewise;

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 2;

    std::string error;
    std::unique_ptr<Session> session = Session::open(&error);
    if (!session) {
        std::cerr << "tilewise_perform_benchmark: " << error << "\n";
        return 1;
    }

    const std::vector<OperationType> ops = {OperationType::LeftHalf, OperationType::Left,
                                            OperationType::MoveRightward};
    if (!describeOperations(*session, ops)) {
        std::cerr << "tilewise_perform_benchmark: the client window could not be laid out\n";
        return 1;
    }
    benchmark::AddCustomContext("window manager", session->windowManagerName());

    // LeftHalf and RightHalf have no default shortcut: Control-Alt-J and K.
    std::vector<HotKeyPair> pairs = {
        {{OperationType::LeftHalf, 'j', "clipLeftHalf", 38},
         {OperationType::RightHalf, 'k', "clipRightHalf", 40},
         {kControlL, kAltL},
         {},
         {}},
        {{OperationType::Left, kLeft}, {OperationType::Right, kRight}, {kControlL, kAltL}, {}, {}},
        {{OperationType::MoveRightward, kRight},
         {OperationType::MoveLeftward, kLeft},
         {kControlL, kAltL, kSuperL},
         {},
         {}},
    };
    std::unique_ptr<Resident> resident = Resident::start(*session->client, pairs, &error);
    if (!resident) {
        std::cerr << "tilewise_perform_benchmark: " << error << "\n";
        return 1;
    }
    for (HotKeyPair& pair : pairs) {
        if (!learnFrames(*session->client, *resident, pair, &error)) {
            std::cerr << "tilewise_perform_benchmark: " << error << "\n";
            return 1;
        }
        benchmark::AddCustomContext(join({"hot keys ", pair.name()}),
                                    join({describe(pair.frames[0]), " <-> ", describe(pair.frames[1])}));
    }

    // Repetitions with the median of their means: one slow turn of the
    // window manager moves a mean, not the median.
    auto configure = [](benchmark::internal::Benchmark* b) {
        b->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->MinTime(0.2)
            ->Repetitions(9)
            ->ReportAggregatesOnly(true);
    };
    configure(benchmark::RegisterBenchmark(
        kBaselineName, [&session](benchmark::State& state) { benchmarkConfigureRequest(state, *session); }));
    for (OperationType op : ops) {
        const std::string name = "perform/" + std::string(caseName(op));
        configure(benchmark::RegisterBenchmark(name.c_str(), [&session, op](benchmark::State& state) {
            benchmarkPerform(state, *session, op);
        }));
    }
    for (const HotKeyPair& pair : pairs) {
        const std::string name = join({"hot_key/", pair.name()});
        configure(
            benchmark::RegisterBenchmark(name.c_str(), [&session, &resident, &pair](benchmark::State& state) {
                benchmarkHotKeys(state, *session->client, *resident, pair);
            }));
    }
    configure(benchmark::RegisterBenchmark(kOneShotName, [&session, &resident](benchmark::State& state) {
        benchmarkCtl(state, *session, *resident, false);
    }));
    if (std::getenv("DBUS_SESSION_BUS_ADDRESS"))
        configure(benchmark::RegisterBenchmark(kBusName, [&session, &resident](benchmark::State& state) {
            benchmarkCtl(state, *session, *resident, true);
        }));

    MedianReporter reporter(isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_Color
                                                  : benchmark::ConsoleReporter::OO_None);
    try {
        benchmark::RunSpecifiedBenchmarks(&reporter);
    } catch (const BenchmarkFailure& failure) {
        std::cerr << "tilewise_perform_benchmark: " << failure.what() << "\n";
        return 1;
    }
    printRoundTripsAndTargets(reporter.GetOutputStream(), *resident, reporter);
    benchmark::Shutdown();
    return 0;
}
