// Drives the real programs for the integration tests: tilewisectl, the test
// client, xterm and xrandr, as child processes on the display in $DISPLAY,
// and reads window frames back over a connection of the test's own.
#pragma once

#include "platform/geometry.hpp"
#include "x11_access_client.hpp"

#include <xcb/xcb.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tilewise::testing {

inline constexpr std::chrono::milliseconds kWait{3000};

struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs a program to its end (bounded by `timeout`) and collects its output.
// `env` entries ("NAME=value", or "NAME" to unset) change the environment.
RunResult run(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
              std::chrono::milliseconds timeout = std::chrono::milliseconds(10000));
// tilewisectl with a settings directory of the tests' own (configHome()).
RunResult tilewisectl(const std::vector<std::string>& args, const std::vector<std::string>& env = {});
const std::string& configHome();
// The first screen's visible frame in window space, as tilewisectl reports
// it: window managers with a panel of their own take more than the dock.
Rect primaryVisibleFrame();

// A child that runs until the test is done with it.
class Child {
public:
    Child(const std::vector<std::string>& argv, const std::vector<std::string>& env = {});
    // Sends SIGTERM and waits for the exit status; -1 when killed otherwise.
    int terminate();
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // The next line of standard output, or none at the deadline or its end.
    std::optional<std::string> readLine(std::chrono::milliseconds timeout = kWait);
    // The same for standard error.
    std::optional<std::string> readErrorLine(std::chrono::milliseconds timeout = kWait);
    pid_t pid() const { return pid_; }

private:
    static std::optional<std::string> readLineFrom(int fd, std::string& buffer,
                                                   std::chrono::milliseconds timeout);

    pid_t pid_ = -1;
    int stdinFd_ = -1;
    int stdoutFd_ = -1;
    int stderrFd_ = -1;
    std::string buffer_;
    std::string errorBuffer_;
};

// tilewise-testclient with the given arguments, alive until destroyed.
class TestClientProcess {
public:
    explicit TestClientProcess(const std::vector<std::string>& args);
    bool ready() const { return ready_; }
    // Window ids in the order of the --window arguments.
    const std::vector<xcb_window_t>& windows() const { return windows_; }
    // With --keys: waits until a press of `keycode` reaches one of the
    // windows with exactly `modifiers` of Shift, Control, Mod1 and Mod4 (lock
    // bits aside); presses of other keys on the way are passed over.
    bool receivesKey(std::uint8_t keycode, std::uint16_t modifiers,
                     std::chrono::milliseconds timeout = kWait);

private:
    Child child_;
    bool ready_ = false;
    std::vector<xcb_window_t> windows_;
};

// Events of one folder (inotify) from the moment the watch is made.
class FolderWatch {
public:
    explicit FolderWatch(const std::string& folder);
    ~FolderWatch();
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;
    // Consumes events up to and including one about `name` with any of the
    // `mask` bits; false when none comes in time.
    bool waitFor(const std::string& name, std::uint32_t mask, std::chrono::milliseconds timeout = kWait);
    // Waits for any event and consumes all that are queued; false when none
    // comes in time.
    bool waitForAny(std::chrono::milliseconds timeout = kWait);

private:
    bool next(std::chrono::milliseconds timeout, std::string* name, std::uint32_t* mask);

    int fd_ = -1;
    std::string buffer_;
};

// The test's own view of the display.
class Display {
public:
    Display();
    ~Display();
    Display(const Display&) = delete;
    Display& operator=(const Display&) = delete;
    bool ok() const;

    // The outer frame (decorations included) in root coordinates, read
    // independently of the code under test.
    std::optional<Rect> outerFrame(xcb_window_t client);
    // Waits until the outer frame equals `expected` or the time is up, and
    // returns the last frame seen.
    std::optional<Rect> waitForFrame(xcb_window_t client, const Rect& expected,
                                     std::chrono::milliseconds timeout = kWait);
    // Waits until the outer frame is other than `from`, and returns it.
    std::optional<Rect> waitForFrameChange(xcb_window_t client, const Rect& from,
                                           std::chrono::milliseconds timeout = kWait);
    // Asks the window manager to focus the window and waits until it has.
    bool activate(xcb_window_t client, std::chrono::milliseconds timeout = kWait);
    xcb_window_t activeWindow();
    // Grabs a key combination on the root for this connection (as another
    // program would); false when the server refuses. Held until the
    // connection closes.
    bool grabKey(std::uint8_t keycode, std::uint16_t modifiers);
    std::uint8_t keycodeOf(const char* keyName);
    // The modifier bits in effect now, locked ones included.
    std::uint16_t modifierState();
    // Unlocks every locked modifier (XKB), whatever key locked it.
    void unlockModifiers();
    // Waits until the root's property `name` exists (or, with `present`
    // false, is gone).
    bool waitForRootProperty(const char* name, bool present = true,
                             std::chrono::milliseconds timeout = kWait);
    // The given client windows ordered by the server's stacking of their
    // top-level frames, front first (some window managers leave
    // _NET_CLIENT_LIST_STACKING stale when a window is raised).
    std::vector<xcb_window_t> stackingFrontToBack(const std::vector<xcb_window_t>& clients);

    // The connection underneath, for reads of the test's own.
    x11test::TestClient& client() { return *client_; }

private:
    std::optional<Rect> waitForFrameWhile(xcb_window_t client,
                                          const std::function<bool(const std::optional<Rect>&)>& waiting,
                                          std::chrono::milliseconds timeout);

    std::unique_ptr<x11test::TestClient> client_;
};

// Puts the session's keymap, modifier map and locks back when it goes,
// however the test ends: the tests share one display.
class KeymapRestore {
public:
    KeymapRestore() = default;
    ~KeymapRestore();
    KeymapRestore(const KeymapRestore&) = delete;
    KeymapRestore& operator=(const KeymapRestore&) = delete;
};

// User-defined monitors (xrandr --setmonitor) in place of the automatic one
// while it lives.
class MonitorOverride {
public:
    MonitorOverride() = default;
    ~MonitorOverride();
    MonitorOverride(const MonitorOverride&) = delete;
    MonitorOverride& operator=(const MonitorOverride&) = delete;
    // `name` with a leading '*' is made the primary; `output` may be "none".
    bool add(const std::string& name, const std::string& geometry, const std::string& output);

private:
    std::vector<std::string> names_;
};

// The output of the first monitor xrandr lists.
std::string firstOutputName();

} // namespace tilewise::testing
