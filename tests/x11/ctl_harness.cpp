#include "ctl_harness.hpp"

// xcb's XKB header names a field `explicit`, a keyword in C++.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <sstream>

extern char** environ;

namespace tilewise::testing {

namespace {

using Clock = std::chrono::steady_clock;

int remainingMs(Clock::time_point deadline)
{
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Waits until `fd` is readable and appends what it has to `buffer`; false at
// the deadline or the end of the stream.
bool readMore(int fd, std::string& buffer, Clock::time_point deadline)
{
    pollfd pfd{fd, POLLIN, 0};
    int ms = remainingMs(deadline);
    if (fd < 0 || ms == 0 || poll(&pfd, 1, ms) <= 0)
        return false;
    alignas(inotify_event) char buf[4096];
    ssize_t n = read(fd, buf, sizeof buf);
    if (n > 0)
        buffer.append(buf, static_cast<std::size_t>(n));
    return n > 0;
}

std::vector<std::string> environmentWith(const std::vector<std::string>& changes)
{
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        env.emplace_back(*e);
    for (const std::string& change : changes) {
        std::string name = change.substr(0, change.find('='));
        std::erase_if(env, [&](const std::string& e) { return e.rfind(name + "=", 0) == 0; });
        if (change.find('=') != std::string::npos)
            env.push_back(change);
    }
    return env;
}

// Spawns with pipes for stdin (optional), stdout and stderr.
pid_t spawn(const std::vector<std::string>& argv, const std::vector<std::string>& envChanges, int* in,
            int* out, int* err)
{
    int inPipe[2] = {-1, -1}, outPipe[2], errPipe[2];
    if ((in && pipe2(inPipe, O_CLOEXEC) != 0) || pipe2(outPipe, O_CLOEXEC) != 0 ||
        pipe2(errPipe, O_CLOEXEC) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (in)
        posix_spawn_file_actions_adddup2(&actions, inPipe[0], 0);
    else
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);

    std::vector<std::string> env = environmentWith(envChanges);
    std::vector<char*> cargv, cenv;
    for (const std::string& a : argv)
        cargv.push_back(const_cast<char*>(a.c_str()));
    cargv.push_back(nullptr);
    for (const std::string& e : env)
        cenv.push_back(const_cast<char*>(e.c_str()));
    cenv.push_back(nullptr);

    pid_t pid = -1;
    int rc = posix_spawnp(&pid, cargv[0], &actions, nullptr, cargv.data(), cenv.data());
    posix_spawn_file_actions_destroy(&actions);
    close(outPipe[1]);
    close(errPipe[1]);
    if (in) {
        close(inPipe[0]);
        *in = inPipe[1];
    }
    *out = outPipe[0];
    *err = errPipe[0];
    return rc == 0 ? pid : -1;
}

} // namespace

RunResult run(const std::vector<std::string>& argv, const std::vector<std::string>& env,
              std::chrono::milliseconds timeout)
{
    RunResult result;
    int out = -1, err = -1;
    pid_t pid = spawn(argv, env, nullptr, &out, &err);
    if (pid < 0)
        return result;
    auto deadline = Clock::now() + timeout;
    pollfd fds[2] = {{out, POLLIN, 0}, {err, POLLIN, 0}};
    int open = 2;
    while (open > 0) {
        int ms = remainingMs(deadline);
        if (ms == 0 || poll(fds, 2, ms) <= 0)
            break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !fds[i].revents)
                continue;
            char buf[4096];
            ssize_t n = read(fds[i].fd, buf, sizeof buf);
            if (n <= 0) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            } else {
                (i == 0 ? result.out : result.err).append(buf, static_cast<std::size_t>(n));
            }
        }
    }
    if (open > 0)
        kill(pid, SIGKILL); // over time: the test fails on the exit code
    for (pollfd& f : fds)
        if (f.fd >= 0)
            close(f.fd);
    int status = 0;
    waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

namespace {

// ctest runs each test in a process of its own: the folder goes when the
// process exits, or one would be left in /tmp per test.
struct ScratchFolder {
    std::string path;
    ScratchFolder()
    {
        char tmpl[] = "/tmp/tilewise-ctl-config.XXXXXX";
        if (const char* made = mkdtemp(tmpl))
            path = made;
    }
    ~ScratchFolder()
    {
        if (path.empty())
            return;
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

} // namespace

const std::string& configHome()
{
    // The tests' own settings, never the user's.
    static const ScratchFolder folder;
    static const std::string dir = folder.path.empty() ? std::string("/tmp") : folder.path;
    return dir;
}

RunResult tilewisectl(const std::vector<std::string>& args, const std::vector<std::string>& env)
{
    std::vector<std::string> argv{TILEWISECTL_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> withConfig{"XDG_CONFIG_HOME=" + configHome()};
    withConfig.insert(withConfig.end(), env.begin(), env.end());
    return run(argv, withConfig);
}

Rect primaryVisibleFrame()
{
    RunResult r = tilewisectl({"screens"});
    std::istringstream in(r.out);
    std::string name, word;
    double fx, fy, fw, fh, vx, vy, vw, vh;
    char c;
    in >> name >> word >> c >> fx >> c >> fy >> c >> fw >> c >> fh >> c >> word >> c >> vx >> c >> vy >> c >>
        vw >> c >> vh;
    return Rect(vx, fh - (vy + vh), vw, vh);
}

Child::Child(const std::vector<std::string>& argv, const std::vector<std::string>& env)
{
    pid_ = spawn(argv, env, &stdinFd_, &stdoutFd_, &stderrFd_);
}

Child::~Child()
{
    if (stdinFd_ >= 0)
        close(stdinFd_); // the test client ends when its input closes
    if (stdoutFd_ >= 0)
        close(stdoutFd_);
    if (stderrFd_ >= 0)
        close(stderrFd_);
    if (pid_ > 0) {
        // Closing its input already ends the test client; others need a signal.
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
}

int Child::terminate()
{
    if (pid_ <= 0)
        return -1;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::optional<std::string> Child::readLine(std::chrono::milliseconds timeout)
{
    return readLineFrom(stdoutFd_, buffer_, timeout);
}

std::optional<std::string> Child::readErrorLine(std::chrono::milliseconds timeout)
{
    return readLineFrom(stderrFd_, errorBuffer_, timeout);
}

std::optional<std::string> Child::readLineFrom(int fd, std::string& buffer, std::chrono::milliseconds timeout)
{
    auto deadline = Clock::now() + timeout;
    for (;;) {
        std::size_t nl = buffer.find('\n');
        if (nl != std::string::npos) {
            std::string line = buffer.substr(0, nl);
            buffer.erase(0, nl + 1);
            return line;
        }
        if (!readMore(fd, buffer, deadline))
            return std::nullopt;
    }
}

TestClientProcess::TestClientProcess(const std::vector<std::string>& args)
    : child_([&] {
          std::vector<std::string> argv{TILEWISE_TESTCLIENT_PATH};
          argv.insert(argv.end(), args.begin(), args.end());
          return argv;
      }())
{
    while (std::optional<std::string> line = child_.readLine()) {
        if (*line == "ready") {
            ready_ = true;
            break;
        }
        if (line->rfind("window ", 0) == 0)
            windows_.push_back(static_cast<xcb_window_t>(std::strtoul(line->c_str() + 7, nullptr, 16)));
    }
}

bool TestClientProcess::receivesKey(std::uint8_t keycode, std::uint16_t modifiers,
                                    std::chrono::milliseconds timeout)
{
    constexpr unsigned chordBits =
        XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;
    auto deadline = Clock::now() + timeout;
    while (std::optional<std::string> line =
               child_.readLine(std::chrono::milliseconds(remainingMs(deadline)))) {
        unsigned code = 0, state = 0;
        if (std::sscanf(line->c_str(), "key %u %u", &code, &state) == 2 && code == keycode &&
            (state & chordBits) == modifiers)
            return true;
    }
    return false;
}

FolderWatch::FolderWatch(const std::string& folder) : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
{
    if (fd_ >= 0 && inotify_add_watch(fd_, folder.c_str(), IN_ALL_EVENTS) < 0) {
        close(fd_);
        fd_ = -1;
    }
}

FolderWatch::~FolderWatch()
{
    if (fd_ >= 0)
        close(fd_);
}

bool FolderWatch::next(std::chrono::milliseconds timeout, std::string* name, std::uint32_t* mask)
{
    auto deadline = Clock::now() + timeout;
    // The kernel hands out whole events only.
    while (buffer_.size() < sizeof(inotify_event))
        if (!readMore(fd_, buffer_, deadline))
            return false;
    inotify_event e;
    std::memcpy(&e, buffer_.data(), sizeof e);
    *name = std::string(buffer_.data() + sizeof e, strnlen(buffer_.data() + sizeof e, e.len));
    *mask = e.mask;
    buffer_.erase(0, sizeof e + e.len);
    return true;
}

bool FolderWatch::waitFor(const std::string& name, std::uint32_t mask, std::chrono::milliseconds timeout)
{
    auto deadline = Clock::now() + timeout;
    std::string n;
    std::uint32_t m = 0;
    while (next(std::chrono::milliseconds(remainingMs(deadline)), &n, &m))
        if (n == name && (m & mask))
            return true;
    return false;
}

bool FolderWatch::waitForAny(std::chrono::milliseconds timeout)
{
    std::string n;
    std::uint32_t m = 0;
    if (!next(timeout, &n, &m))
        return false;
    while (next(std::chrono::milliseconds(0), &n, &m)) {
    }
    return true;
}

Display::Display() : client_(x11test::TestClient::connect())
{
    // Windows of other processes may go at any moment: a read of one that
    // did is simply empty.
    if (client_)
        client_->x().setErrorReporter([](const std::string&) {});
}

Display::~Display() = default;

bool Display::ok() const
{
    return client_ && client_->x().ok();
}

std::optional<Rect> Display::outerFrame(xcb_window_t client)
{
    std::optional<Rect> r = client_->clientRootGeometry(client);
    std::vector<std::uint32_t> e = client_->cardinals(client, client_->x().ewmh()._NET_FRAME_EXTENTS);
    if (!r || e.size() != 4)
        return r;
    return Rect(r->x() - e[0], r->y() - e[2], r->width() + e[0] + e[1], r->height() + e[2] + e[3]);
}

std::optional<Rect> Display::waitForFrameWhile(xcb_window_t client,
                                               const std::function<bool(const std::optional<Rect>&)>& waiting,
                                               std::chrono::milliseconds timeout)
{
    // Moves arrive as ConfigureNotify (of the client, or of its frame through
    // the synthetic one the window manager sends), extents as PropertyNotify.
    client_->x().selectInput(client, XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE);
    std::optional<Rect> frame;
    client_->waitUntil([&] { return !waiting(frame = outerFrame(client)); }, timeout);
    return frame;
}

std::optional<Rect> Display::waitForFrame(xcb_window_t client, const Rect& expected,
                                          std::chrono::milliseconds timeout)
{
    return waitForFrameWhile(
        client, [&](const std::optional<Rect>& f) { return f != expected; }, timeout);
}

std::optional<Rect> Display::waitForFrameChange(xcb_window_t client, const Rect& from,
                                                std::chrono::milliseconds timeout)
{
    return waitForFrameWhile(
        client, [&](const std::optional<Rect>& f) { return f == from; }, timeout);
}

xcb_window_t Display::activeWindow()
{
    std::vector<std::uint32_t> v = client_->rootCardinals(client_->x().ewmh()._NET_ACTIVE_WINDOW);
    return v.empty() ? xcb_window_t(XCB_WINDOW_NONE) : v[0];
}

bool Display::activate(xcb_window_t client, std::chrono::milliseconds timeout)
{
    return client_->activate(client, timeout);
}

std::vector<xcb_window_t> Display::stackingFrontToBack(const std::vector<xcb_window_t>& clients)
{
    X11Connection& x = client_->x();
    auto tree = x.reply<xcb_query_tree_reply_t>(xcb_query_tree(x.xcb(), x.root()));
    std::vector<xcb_window_t> bottomToTop;
    if (tree)
        bottomToTop.assign(xcb_query_tree_children(tree.get()),
                           xcb_query_tree_children(tree.get()) + xcb_query_tree_children_length(tree.get()));
    std::vector<std::pair<long, xcb_window_t>> ranked;
    for (xcb_window_t client : clients)
        ranked.emplace_back(std::find(bottomToTop.begin(), bottomToTop.end(), client_->topLevel(client)) -
                                bottomToTop.begin(),
                            client);
    std::stable_sort(ranked.begin(), ranked.end(), [](auto& a, auto& b) { return a.first > b.first; });
    std::vector<xcb_window_t> result;
    for (auto& [rank, client] : ranked)
        result.push_back(client);
    return result;
}

bool Display::waitForRootProperty(const char* name, bool present, std::chrono::milliseconds timeout)
{
    X11Connection& x = client_->x();
    xcb_atom_t a = client_->atom(name);
    return client_->waitUntil(
        [&] { return x.property(x.requestProperty(x.root(), a, 1)).exists() == present; }, timeout);
}

bool Display::grabKey(std::uint8_t keycode, std::uint16_t modifiers)
{
    X11Connection& x = client_->x();
    xcb_void_cookie_t c[] = {xcb_grab_key_checked(x.xcb(), 1, x.root(), modifiers, keycode,
                                                  XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC)};
    return !x.check(c)[0];
}

std::uint16_t Display::modifierState()
{
    X11Connection& x = client_->x();
    auto r = x.reply<xcb_query_pointer_reply_t>(xcb_query_pointer(x.xcb(), x.root()));
    return r ? r->mask : 0;
}

void Display::unlockModifiers()
{
    X11Connection& x = client_->x();
    x.xkbFirstEvent(); // enables XKB on this connection
    xcb_xkb_latch_lock_state(x.xcb(), XCB_XKB_ID_USE_CORE_KBD, 0xff, 0, 1, XCB_XKB_GROUP_1, 0xff, 0, 0);
    // A round trip: the next test starts with the locks off.
    x.sync();
}

std::uint8_t Display::keycodeOf(const char* keyName)
{
    // xmodmap's table is the server's: no keysym headers needed here.
    RunResult r =
        run({"sh", "-c", std::string("xmodmap -pke | awk '$4 == \"") + keyName + "\" { print $2; exit }'"});
    return static_cast<std::uint8_t>(std::atoi(r.out.c_str()));
}

KeymapRestore::~KeymapRestore()
{
    Display().unlockModifiers();
    run({"xmodmap", "-e", "remove mod3 = Scroll_Lock"});
    run({"setxkbmap", "-rules", "evdev", "-model", "pc105", "-layout", "us", "-variant", "", "-option", ""});
}

std::string firstOutputName()
{
    // " 0: +screen 1440/381x900/238+0+0  screen": the output is the last word.
    std::string out = run({"xrandr", "--listmonitors"}).out;
    std::size_t line = out.find(" 0: ");
    if (line == std::string::npos)
        return {};
    std::string first = out.substr(line, out.find('\n', line) - line);
    return first.substr(first.find_last_of(' ') + 1);
}

bool MonitorOverride::add(const std::string& name, const std::string& geometry, const std::string& output)
{
    names_.push_back(name[0] == '*' ? name.substr(1) : name);
    return run({"xrandr", "--setmonitor", name, geometry, output}).exitCode == 0;
}

MonitorOverride::~MonitorOverride()
{
    for (auto n = names_.rbegin(); n != names_.rend(); ++n)
        run({"xrandr", "--delmonitor", *n});
}

} // namespace tilewise::testing
