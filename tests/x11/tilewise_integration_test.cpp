// This test verifies the resident program end to end: it grabs its default
// shortcuts on a real server, a key press (xdotool) moves the focused window,
// settings written meanwhile are read at the next press, a second start on
// the same display is refused, parallel writers lose nothing, and an idle
// program sleeps.
#include "tilewise_session.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <poll.h>

namespace tilewise {
namespace {

using namespace tilewise::testing;

using TilewiseIntegrationTest = TilewiseSessionTest;

TEST_F(TilewiseIntegrationTest, DefaultShortcutsCycleMaximizeAndFollowTheSettings)
{
    xcb_window_t w = newWindow();
    std::optional<Rect> start = display.outerFrame(w);
    ASSERT_TRUE(start);
    startTilewise();

    for (double width : {720.0, 480.0, 360.0, 720.0}) {
        press("ctrl+alt+Left");
        Rect expected(0, start->y(), width, start->height());
        EXPECT_EQ(display.waitForFrame(w, expected), expected);
    }
    const Rect visible = primaryVisibleFrame();
    press("ctrl+alt+f");
    EXPECT_EQ(display.waitForFrame(w, visible), visible);

    // A setting written by another process is read at the next press.
    RunResult written = tilewisectl(
        {"defaults", "write", "TilewiseClipHorizontal", "-string", R"([{"numerator":2,"denominator":3}])"},
        env());
    ASSERT_EQ(written.exitCode, 0) << written.err;
    press("ctrl+alt+Left");
    Rect twoThirds(0, visible.y(), 960, visible.height());
    EXPECT_EQ(display.waitForFrame(w, twoThirds), twoThirds);
}

TEST_F(TilewiseIntegrationTest, SecondStartOnTheSameDisplayIsRefusedWhateverItsSpelling)
{
    startTilewise();
    const std::string display = std::getenv("DISPLAY");
    const std::string number = display.substr(display.find(':') + 1);
    for (const std::string& spelling : {display, ":0" + number, display + ".0", "unix" + display}) {
        std::vector<std::string> e = env();
        e.push_back("DISPLAY=" + spelling);
        RunResult second = run({TILEWISE_PATH}, e);
        EXPECT_EQ(second.exitCode, 1) << spelling;
        EXPECT_NE(second.err.find("already running"), std::string::npos) << spelling << ": " << second.err;
    }
}

TEST_F(TilewiseIntegrationTest, ParallelWritersWhileItRunsLoseNoKey)
{
    startTilewise();
    const int perWriter = 150;
    std::string script;
    for (const char* prefix : {"A", "B"})
        script += std::string("(for i in $(seq ") + std::to_string(perWriter) +
                  "); do \"$0\" defaults write Parallel" + prefix + "$i -bool true || exit 1; done) & " +
                  prefix + "=$!; ";
    script += "wait $A && wait $B";
    std::vector<std::string> e = env();
    RunResult writers = run({"bash", "-c", script, TILEWISECTL_PATH}, e, std::chrono::seconds(120));
    ASSERT_EQ(writers.exitCode, 0) << writers.err;
    RunResult all = tilewisectl({"defaults", "read"}, e);
    ASSERT_EQ(all.exitCode, 0) << all.err;
    int keys = 0;
    std::istringstream lines(all.out);
    for (std::string line; std::getline(lines, line);)
        keys += line.rfind("Parallel", 0) == 0 && line.ends_with(" = true");
    EXPECT_EQ(keys, 2 * perWriter);
}

TEST_F(TilewiseIntegrationTest, LosingTheXServerIsOneLineAndExitStatusOne)
{
    // A server of the test's own, so that it can go away under tilewise.
    Child xvfb({"sh", "-c", "exec Xvfb -displayfd 1 -nolisten tcp -screen 0 640x480x24 2>/dev/null"});
    std::optional<std::string> number = xvfb.readLine();
    ASSERT_TRUE(number);
    std::vector<std::string> e = env();
    e.push_back("DISPLAY=:" + *number);
    // xprop -spy prints the root's properties at each change: up means
    // announced.
    Child spy({"stdbuf", "-oL", "xprop", "-root", "-spy"}, e);
    Child lonely({TILEWISE_PATH, "--headless"}, e);
    bool up = false;
    while (std::optional<std::string> line = spy.readLine())
        if ((up = line->rfind("_TILEWISE_RUNNING(CARDINAL)", 0) == 0))
            break;
    ASSERT_TRUE(up);

    xvfb.terminate();
    std::vector<std::string> lines;
    while (std::optional<std::string> line = lonely.readErrorLine())
        if (line->find("no EWMH window manager") == std::string::npos)
            lines.push_back(*line);
    EXPECT_EQ(lines,
              std::vector<std::string>{"tilewise: the connection to display :" + *number + " was lost"});
    EXPECT_EQ(lonely.terminate(), 1);
}

// Context switches of a process: each one is a wakeup.
long contextSwitches(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    long total = 0;
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("voluntary_ctxt_switches:", 0) == 0 ||
            line.rfind("nonvoluntary_ctxt_switches:", 0) == 0)
            total += std::stol(line.substr(line.find(':') + 1));
    }
    return total;
}

TEST_F(TilewiseIntegrationTest, IdleProgramDoesNotWakeUp)
{
    startTilewise();
    // Let the start-up's own answers arrive first: a round trip through the
    // server means everything it sent before is delivered.
    ASSERT_TRUE(display.waitForRootProperty("_TILEWISE_RUNNING"));
    const long before = contextSwitches(tilewise->pid());
    // Nothing happens on the desktop for two seconds: a timer or a polling
    // loop would show up here as tens of wakeups.
    poll(nullptr, 0, 2000);
    EXPECT_LE(contextSwitches(tilewise->pid()) - before, 1);
}

TEST_F(TilewiseIntegrationTest, MalformedSettingsFileIsKeptAsideAndDefaultsServe)
{
    std::filesystem::create_directories(home + "/config/tilewise");
    std::ofstream(home + "/config/tilewise/defaults.json") << "{ this is not json";
    startTilewise();
    std::optional<std::string> line = tilewise->readErrorLine();
    ASSERT_TRUE(line);
    EXPECT_NE(line->find("defaults.json"), std::string::npos) << *line;

    // How it is kept aside is file_defaults_store_test.cpp's.
    xcb_window_t w = newWindow();
    const Rect visible = primaryVisibleFrame();
    press("ctrl+alt+f");
    EXPECT_EQ(display.waitForFrame(w, visible), visible);
}

TEST_F(TilewiseIntegrationTest, AutostartEntryFollowsTheSetting)
{
    const std::string entry = home + "/config/autostart/tilewise.desktop";
    ASSERT_EQ(tilewisectl({"defaults", "write", "TilewiseLaunchAtLogin", "-bool", "true"}, env()).exitCode,
              0);
    startTilewise();
    EXPECT_TRUE(std::filesystem::exists(entry));
    std::ifstream in(entry);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find(std::string("Exec=\"") + TILEWISE_PATH + "\""), std::string::npos) << text;
    EXPECT_EQ(tilewise->terminate(), 0);
    ASSERT_TRUE(display.waitForRootProperty("_TILEWISE_RUNNING", false));

    ASSERT_EQ(tilewisectl({"defaults", "write", "TilewiseLaunchAtLogin", "-bool", "false"}, env()).exitCode,
              0);
    startTilewise();
    EXPECT_FALSE(std::filesystem::exists(entry));
}

// The history the running program keeps serves its shortcuts and
// tilewisectl alike: a pair beside the window focused before, Restore back
// to the frame before the engine's layouts (not over a user's drag), and a
// desktop move that waits until the hot key's modifiers are released.
TEST_F(TilewiseIntegrationTest, PairRestoreAndDesktopsFollowTheFocus)
{
    if (!std::getenv("DBUS_SESSION_BUS_ADDRESS"))
        GTEST_SKIP() << "needs a session bus";
    // Control-Alt-Super-N, for the move to the next desktop.
    ASSERT_EQ(tilewisectl({"defaults", "write", "KeyboardShortcuts_moveToNextSpace", "-string",
                           R"({"carbonKeyCode":45,"carbonModifiers":6400})"},
                          env())
                  .exitCode,
              0);
    xcb_window_t a = newWindow();
    xcb_window_t b = newWindow();
    startTilewise();
    const Rect visible = primaryVisibleFrame();
    const Rect left(visible.x(), visible.y(), visible.width() / 2, visible.height());
    const Rect right(visible.x() + visible.width() / 2, visible.y(), visible.width() / 2, visible.height());

    ASSERT_TRUE(display.activate(a));
    const std::optional<Rect> before = display.outerFrame(a);
    ASSERT_EQ(tilewisectl({"perform", "LeftHalf"}, env()).exitCode, 0);
    EXPECT_EQ(display.waitForFrame(a, left), left);
    ASSERT_TRUE(display.activate(b));
    press("ctrl+alt+p");
    EXPECT_EQ(display.waitForFrame(b, right), right);
    RunResult history = tilewisectl({"history"}, env());
    EXPECT_NE(history.out.find("pair"), std::string::npos) << history.out << history.err;

    ASSERT_TRUE(display.activate(a));
    ASSERT_EQ(tilewisectl({"perform", "RightHalf"}, env()).exitCode, 0);
    EXPECT_EQ(display.waitForFrame(a, right), right);
    ASSERT_EQ(tilewisectl({"perform", "Restore"}, env()).exitCode, 0);
    EXPECT_EQ(display.waitForFrame(a, *before), before);
    // Dragged by the user after a layout: Restore leaves it there.
    ASSERT_EQ(tilewisectl({"perform", "LeftHalf"}, env()).exitCode, 0);
    ASSERT_EQ(display.waitForFrame(a, left), left);
    // Where the window manager puts it is the user's place.
    ASSERT_EQ(
        run({"xdotool", "windowmove", std::to_string(display.client().topLevel(a)), "200", "150"}).exitCode,
        0);
    const std::optional<Rect> dragged = display.waitForFrameChange(a, left);
    ASSERT_TRUE(dragged && *dragged != left);
    ASSERT_EQ(tilewisectl({"perform", "Restore"}, env()).exitCode, 0);
    // The command returns once the operation is done.
    EXPECT_EQ(display.outerFrame(a), dragged);

    x11test::TestClient& x = display.client();
    const xcb_atom_t current = x.atom("_NET_CURRENT_DESKTOP");
    if (x.rootCardinals(x.atom("_NET_NUMBER_OF_DESKTOPS")) < std::vector<std::uint32_t>{2})
        GTEST_SKIP() << "the window manager has a single desktop";
    ASSERT_EQ(x.rootCardinals(current), std::vector<std::uint32_t>{0});
    ASSERT_EQ(run({"xdotool", "keydown", "ctrl+alt+super+n"}).exitCode, 0);
    std::optional<std::string> line;
    while ((line = tilewise->readLine()) && !line->starts_with("SpaceManager: ")) {
    }
    EXPECT_EQ(line, "SpaceManager: Delay execution cause current event has modifiers ");
    EXPECT_EQ(x.rootCardinals(current), std::vector<std::uint32_t>{0});
    ASSERT_EQ(run({"xdotool", "keyup", "n", "keyup", "super", "keyup", "alt", "keyup", "ctrl"}).exitCode, 0);
    EXPECT_TRUE(x.waitUntil([&] { return x.rootCardinals(current) == std::vector<std::uint32_t>{1}; }));
    EXPECT_EQ(x.cardinals(a, x.atom("_NET_WM_DESKTOP")), std::vector<std::uint32_t>{1});
    EXPECT_TRUE(x.waitUntil([&] { return display.activeWindow() == a; }));
}

// A slot bound and lent from the command line runs its quick action on the
// key press; the command line runs one by name through the running program.
TEST_F(TilewiseIntegrationTest, QuickActionsRunFromTheirSlotShortcutAndTheCommandLine)
{
    xcb_window_t w = newWindow();
    startTilewise();
    const Rect visible = primaryVisibleFrame();
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"shortcuts", "set", "Slot0", "ctrl+alt+1"},
          std::vector<std::string>{"actions", "shortcut", "Center Half", "on"}}) {
        RunResult r = tilewisectl(args, env());
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }
    // The program takes the keys once it has seen the settings file change,
    // which no X event tells: press until it has.
    const Rect centerHalf(visible.x() + visible.width() / 4, visible.y(), visible.width() / 2, visible.height());
    std::optional<Rect> frame;
    for (int attempt = 0; attempt < 10 && frame != centerHalf; ++attempt) {
        press("ctrl+alt+1");
        frame = display.waitForFrame(w, centerHalf, std::chrono::milliseconds(500));
    }
    EXPECT_EQ(frame, centerHalf);

    if (!std::getenv("DBUS_SESSION_BUS_ADDRESS"))
        GTEST_SKIP() << "needs a session bus";
    RunResult r = tilewisectl({"actions", "run", "Center Third"}, env());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Rect centerThird(visible.x() + visible.width() / 3, visible.y(), visible.width() / 3, visible.height());
    // The command returns once the run is over.
    EXPECT_EQ(display.outerFrame(w), centerThird);
}

} // namespace
} // namespace tilewise
