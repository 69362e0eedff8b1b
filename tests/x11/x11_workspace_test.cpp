// X11Workspace against a real window manager, with two test-client
// processes: what the layout code hears of their activation, focus, moves
// and end, handed on at later turns of a run loop fed by the connection.
#include "platform/x11/x11_workspace.hpp"

#include "ctl_harness.hpp"
#include "platform/poll_run_loop.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <unistd.h>

namespace tilewise {
namespace {

using testing::Display;
using testing::TestClientProcess;
using Event = std::pair<xcb_window_t, WindowNotification>;

class X11WorkspaceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "needs an X server with a window manager in DISPLAY";
        ASSERT_TRUE(display_.ok());
        x_ = X11Connection::open(nullptr, nullptr);
        ASSERT_TRUE(x_);
        view_ = std::make_unique<X11View>(*x_);
        view_->setFollowing(true);
        // As the program does: events are read when the descriptor wakes
        // and after each turn.
        auto drain = [this] {
            while (x_->nextEvent()) {
            }
        };
        loop_.watchFd(x_->fd(), drain);
        loop_.addTurnHook(drain);
    }

    bool pumpUntil(const std::function<bool()>& done)
    {
        const auto deadline = std::chrono::steady_clock::now() + testing::kWait;
        while (!done()) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return false;
            loop_.runOnce(left);
        }
        return true;
    }

    // Whatever the connection has been told by now is handed on.
    void settle()
    {
        display_.client().x().sync();
        x_->sync();
        for (int turn = 0; turn < 3; ++turn)
            loop_.runOnce(std::chrono::milliseconds(0));
    }

    Pid pidOf(xcb_window_t w)
    {
        auto pid = display_.client().cardinals(w, x_->ewmh()._NET_WM_PID);
        return pid.empty() ? 0 : Pid(pid[0]);
    }

    Display display_;
    std::unique_ptr<X11Connection> x_;
    std::unique_ptr<X11View> view_;
    PollRunLoop loop_;
};

TEST_F(X11WorkspaceTest, ProcessesAreActivatedObservedAndTerminated)
{
    // A's name comes from a desktop entry of its class; B has none.
    const std::filesystem::path data =
        std::filesystem::temp_directory_path() /
        std::string("tilewise-workspace-test.").append(std::to_string(getpid()));
    std::filesystem::create_directories(data / "applications");
    struct Remove {
        std::filesystem::path path;
        ~Remove() { std::filesystem::remove_all(path); }
    } cleanup{data};
    std::ofstream(data / "applications" / "TilewiseWsA.desktop")
        << "[Desktop Entry]\nName[xx]=Other\nName=Workspace Alpha\n[Desktop Action New]\nName=New\n";
    ASSERT_EQ(setenv("XDG_DATA_HOME", data.c_str(), 1), 0);
    ASSERT_EQ(setenv("LANG", "en_US.UTF-8", 1), 0);

    TestClientProcess a({"--window", "100,100,300,200", "--class", "TilewiseWsA", "--window",
                         "500,100,300,200", "--class", "TilewiseWsA"});
    auto b = std::make_unique<TestClientProcess>(
        std::vector<std::string>{"--window", "200,400,300,200", "--class", "TilewiseWsB"});
    ASSERT_TRUE(a.ready() && b->ready());
    ASSERT_EQ(a.windows().size(), 2u);
    const xcb_window_t a1 = a.windows()[0], a2 = a.windows()[1], b1 = b->windows()[0];
    const Pid pidA = pidOf(a1), pidB = pidOf(b1);
    ASSERT_TRUE(pidA > 0 && pidB > 0 && pidA != pidB);
    ASSERT_TRUE(display_.activate(b1));

    // B is active at the start: followed from its next activation on.
    X11Workspace workspace(*x_, *view_, loop_);
    std::vector<std::optional<RunningApplication>> activated, terminated;
    std::vector<WindowId> destroyed;
    workspace.onApplicationActivated([&](const auto& app) { activated.push_back(app); });
    workspace.onApplicationTerminated([&](const auto& app) { terminated.push_back(app); });
    workspace.onWindowDestroyed([&](WindowId w) { destroyed.push_back(w); });
    std::map<Pid, std::vector<Event>> events;
    std::map<Pid, std::unique_ptr<WindowObserver>> observers;
    for (Pid pid : {pidA, pidB}) {
        observers[pid] =
            workspace.createObserver(pid, [&events, pid](const WindowElement& w, WindowNotification n) {
                events[pid].emplace_back(xcb_window_t(w.handle), n);
            });
        ASSERT_TRUE(observers[pid]);
        for (WindowNotification n : {WindowNotification::FocusedWindowChanged,
                                     WindowNotification::WindowResized, WindowNotification::WindowMoved})
            EXPECT_TRUE(observers[pid]->addNotification(n));
        observers[pid]->start();
    }
    EXPECT_FALSE(workspace.createObserver(0, {}));

    ASSERT_TRUE(display_.activate(a1));
    ASSERT_TRUE(pumpUntil([&] { return !activated.empty(); })) << "no activation";
    ASSERT_TRUE(activated[0]);
    EXPECT_EQ(activated[0]->processIdentifier, pidA);
    EXPECT_EQ(activated[0]->bundleIdentifier, "TilewiseWsA");
    EXPECT_EQ(activated[0]->localizedName, "Workspace Alpha");

    // Within A: its observer hears it, nobody is activated.
    ASSERT_TRUE(display_.activate(a2));
    ASSERT_TRUE(pumpUntil([&] { return !events[pidA].empty(); })) << "no focus change";
    settle();
    EXPECT_EQ(events[pidA], (std::vector<Event>{{a2, WindowNotification::FocusedWindowChanged}}));
    EXPECT_EQ(activated.size(), 1u);
    events.clear();

    // B moved, then resized, by another program; the events tell all.
    X11Connection& other = display_.client().x();
    const std::uint64_t before = x_->roundTrips();
    const std::uint32_t to[] = {260, 420};
    xcb_configure_window(other.xcb(), b1, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, to);
    other.flush();
    ASSERT_TRUE(pumpUntil([&] { return !events[pidB].empty(); })) << "no move";
    // A client deeper inside its frame than one level is read again: the
    // frame's event does not tell where it went.
    auto tree = other.reply<xcb_query_tree_reply_t>(xcb_query_tree(other.xcb(), b1));
    ASSERT_TRUE(tree);
    const bool nested = tree->parent != display_.client().topLevel(b1);
    EXPECT_EQ(x_->roundTrips(), before + nested) << "a move the events told was read again";
    settle();
    EXPECT_EQ(events[pidB], (std::vector<Event>{{b1, WindowNotification::WindowMoved}}));
    EXPECT_TRUE(events[pidA].empty());
    events.clear();
    const std::uint32_t size[] = {340, 230};
    xcb_configure_window(other.xcb(), b1, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, size);
    other.flush();
    ASSERT_TRUE(pumpUntil([&] { return !events[pidB].empty(); })) << "no resize";
    settle();
    EXPECT_EQ(events[pidB].back(), Event(b1, WindowNotification::WindowResized));
    events.clear();

    // The window manager's word again, unchanged: nothing to tell.
    const std::optional<Rect> at = display_.client().clientRootGeometry(b1);
    ASSERT_TRUE(at);
    xcb_configure_notify_event_t same{};
    same.response_type = XCB_CONFIGURE_NOTIFY;
    same.event = same.window = b1;
    same.x = std::int16_t(at->x()), same.y = std::int16_t(at->y());
    same.width = std::uint16_t(at->width()), same.height = std::uint16_t(at->height());
    xcb_send_event(other.xcb(), 0, b1, XCB_EVENT_MASK_STRUCTURE_NOTIFY, reinterpret_cast<const char*>(&same));
    settle();
    EXPECT_TRUE(events[pidB].empty());

    // B ends: one termination with what it was, one destroyed window.
    b.reset();
    ASSERT_TRUE(pumpUntil([&] { return !terminated.empty() && !destroyed.empty(); })) << "no end of B";
    settle();
    ASSERT_EQ(terminated.size(), 1u);
    EXPECT_EQ(terminated[0]->processIdentifier, pidB);
    EXPECT_EQ(terminated[0]->bundleIdentifier, "TilewiseWsB");
    EXPECT_EQ(terminated[0]->localizedName, "TilewiseWsB");
    EXPECT_EQ(destroyed, std::vector<WindowId>{b1});
    EXPECT_EQ(activated.size(), 1u);

    // A process that comes next may get B's ids: it is a new application.
    TestClientProcess c({"--window", "600,500,200,200"});
    ASSERT_TRUE(c.ready() && display_.activate(c.windows()[0]));
    ASSERT_TRUE(pumpUntil([&] { return activated.size() == 2; })) << "no activation of a new process";
    EXPECT_EQ(activated[1]->processIdentifier, pidOf(c.windows()[0]));
}

} // namespace
} // namespace tilewise
