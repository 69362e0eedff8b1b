// What a layout operation costs on a real X server with a window manager,
// next to the cheapest way to move a window there: one configure request and
// the ConfigureNotify it brings. Needs DISPLAY and an EWMH window manager;
// bench/run provides both.
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

#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

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

  private:
    struct Atoms {
        xcb_atom_t wmPid, windowType, typeDock, strut, strutPartial, activeWindow, workarea, frameExtents;
    };

    BenchClient() = default;

    void internAtoms()
    {
        const char* names[] = {"_NET_WM_PID",   "_NET_WM_WINDOW_TYPE",   "_NET_WM_WINDOW_TYPE_DOCK",
                               "_NET_WM_STRUT", "_NET_WM_STRUT_PARTIAL", "_NET_ACTIVE_WINDOW",
                               "_NET_WORKAREA", "_NET_FRAME_EXTENTS"};
        xcb_atom_t* slots[] = {&atoms_.wmPid,    &atoms_.windowType,   &atoms_.typeDock,
                               &atoms_.strut,    &atoms_.strutPartial, &atoms_.activeWindow,
                               &atoms_.workarea, &atoms_.frameExtents};
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
        s->listener = std::make_unique<LayoutListener>(*s->access);
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
    bool reset()
    {
        access->setFrame(element(), kStartFrame);
        while (x->nextEvent()) {
        }
        client->drain();
        return access->readFrame(element()) == kStartFrame;
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

// One operation from the starting frame. Only perform (and the deferred work
// it leaves, none for these operations) is timed, and counted in the CPU
// column; the reset is not. Every iteration checks that the window really
// left the starting frame, so that an operation that gave up early cannot
// pass for a fast one.
void benchmarkPerform(benchmark::State& state, Session& s, OperationType op)
{
    std::uint64_t roundTrips = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (!s.reset()) {
            state.SkipWithError("the window did not go back to the starting frame");
            break;
        }
        state.ResumeTiming();
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
        if (!moved) {
            state.SkipWithError("the operation left the window where it was");
            break;
        }
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
        if (!answered) {
            state.SkipWithError("no ConfigureNotify for the configure request");
            break;
        }
        state.SetIterationTime(seconds(end - start));
    }
    state.counters["round_trips"] =
        benchmark::Counter(double(roundTrips), benchmark::Counter::kAvgIterations);
}

constexpr const char* kBaselineName = "baseline/configure_request";

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
        std::snprintf(line, sizeof line, "  %-28s %12s %12s %12s\n", "", "time", "x baseline", "round trips");
        out << line;
        for (const Median& m : medians_) {
            std::string ratio = "-";
            if (baseline_ && *baseline_ > 0) {
                char r[32];
                std::snprintf(r, sizeof r, "%.1f", m.time / *baseline_);
                ratio = r;
            }
            std::snprintf(line, sizeof line, "  %-28s %9.3f %-2s %12s %12.1f\n", m.name.c_str(), m.time,
                          benchmark::GetTimeUnitString(m.unit), ratio.c_str(), m.roundTrips);
            out << line;
        }
    }

  private:
    struct Median {
        std::string name;
        double time;
        benchmark::TimeUnit unit;
        double roundTrips;
    };
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

    MedianReporter reporter(isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_Color
                                                  : benchmark::ConsoleReporter::OO_None);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
