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
    Child lonely({TILEWISE_PATH}, e);
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

} // namespace
} // namespace tilewise
