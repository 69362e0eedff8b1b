#include "settings/file_defaults_store.hpp"

#include "platform/diagnostics.hpp"
#include "settings/atomic_file.hpp"
#include "settings/xdg_paths.hpp"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <set>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace tilewise {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr std::uint32_t watchMask = IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE | IN_DELETE |
                                    IN_MODIFY | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
// An editor writing in place pauses between its writes; text that has not
// changed for this long is taken as what the user meant to save.
constexpr auto quietPeriod = std::chrono::milliseconds(200);
// A file still changing after this is left alone until it settles.
constexpr auto settleLimit = std::chrono::seconds(3);

class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd& operator=(Fd&& other) noexcept
    {
        if (this != &other) {
            reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { reset(); }

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    void reset()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
};

// Calls `onEvent(event, name)` for every queued event, without blocking.
template <typename F> void drainEvents(int fd, F&& onEvent)
{
    alignas(inotify_event) char buffer[8192];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            std::string_view name = event->len > 0 ? std::string_view(event->name) : std::string_view();
            onEvent(*event, name);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
}

struct FileText {
    bool exists = false;
    int error = 0;
    std::string text;
};

FileText readWhole(const fs::path& path)
{
    FileText result;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        // No file can exist where a folder on the way is missing or a file.
        if (errno != ENOENT && errno != ENOTDIR)
            result.error = errno;
        return result;
    }
    result.exists = true;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_size > 0)
        result.text.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            result.error = errno;
        if (n <= 0)
            break;
        result.text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return result;
}

// Waits until nothing has touched `name` in `dir` for the quiet period;
// false when `deadline` came first.
bool waitUntilQuiet(const fs::path& dir, const std::string& name, Clock::time_point deadline)
{
    Fd fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (!fd || ::inotify_add_watch(fd.get(), dir.c_str(), watchMask) < 0) {
        // Nothing to listen to: a plain pause is the best guess.
        ::poll(nullptr, 0, static_cast<int>(quietPeriod.count()));
        return true;
    }
    Clock::time_point lastTouch = Clock::now();
    for (;;) {
        const Clock::time_point now = Clock::now();
        if (now - lastTouch >= quietPeriod)
            return true;
        if (now >= deadline)
            return false;
        const Clock::time_point until = std::min(lastTouch + quietPeriod, deadline);
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(until - now).count() + 1;
        pollfd ready{fd.get(), POLLIN, 0};
        if (::poll(&ready, 1, static_cast<int>(wait)) <= 0)
            continue;
        bool touched = false;
        drainEvents(fd.get(), [&](const inotify_event& event, std::string_view eventName) {
            if (eventName == name || (event.mask & (IN_Q_OVERFLOW | IN_DELETE_SELF | IN_MOVE_SELF)))
                touched = true;
        });
        if (touched)
            lastTouch = Clock::now();
    }
}

// Whether some process holds the file open for writing: the kernel grants
// no read lease then. Where leases are not to be had (another owner, a
// network file system) the quiet period alone decides.
bool openForWriting(const fs::path& path)
{
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd)
        return false;
    if (::fcntl(fd.get(), F_SETLEASE, F_RDLCK) == 0) {
        ::fcntl(fd.get(), F_SETLEASE, F_UNLCK);
        return false;
    }
    return errno == EAGAIN;
}

// Never replaces `to`.
int renameNoReplace(const fs::path& from, const fs::path& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return -1;
    // A file system without the flag: check, then rename.
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0) {
        errno = EEXIST;
        return -1;
    }
    return ::rename(from.c_str(), to.c_str());
}

std::string localStamp()
{
    std::time_t now = std::time(nullptr);
    std::tm parts{};
    ::localtime_r(&now, &parts);
    char text[32] = "";
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &parts);
    return text;
}

const char* kindOf(const nlohmann::json& value)
{
    if (value.is_number())
        return "a number";
    if (value.is_array())
        return "an array";
    if (value.is_object())
        return "an object";
    if (value.is_null())
        return "null";
    return "a value of another type";
}

// The key as written, or JSON-quoted when it would break the report's line.
std::string printableKey(const std::string& key)
{
    bool plain = !key.empty() && std::none_of(key.begin(), key.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
    });
    if (plain)
        return key;
    return nlohmann::json(key).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

nlohmann::json toJson(const DefaultsValue& value)
{
    if (const bool* b = std::get_if<bool>(&value))
        return nlohmann::json(*b);
    return nlohmann::json(std::get<std::string>(value));
}

// Whether a value is written out as it is (no bytes replaced).
bool validText(const std::optional<DefaultsValue>& value)
{
    const std::string* text = value ? std::get_if<std::string>(&*value) : nullptr;
    if (!text)
        return true;
    try {
        (void)nlohmann::json(*text).dump();
        return true;
    } catch (const nlohmann::json::exception&) {
        return false;
    }
}

void classify(ParsedDefaults& parsed)
{
    for (auto it = parsed.members.begin(); it != parsed.members.end(); ++it) {
        if (it->is_boolean())
            parsed.values.emplace(it.key(), it->get<bool>());
        else if (it->is_string())
            parsed.values.emplace(it.key(), it->get<std::string>());
        else
            parsed.ignoredKeys.push_back(it.key());
    }
}

// The deepest nesting of brackets outside strings, as the parser will see it
// up to its first error; stops counting once past the limit.
int nestingDepth(std::string_view text)
{
    int depth = 0;
    int deepest = 0;
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            deepest = std::max(deepest, ++depth);
            if (deepest > maxDefaultsDepth)
                return deepest;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return deepest;
}

} // namespace

std::optional<ParsedDefaults> parseDefaultsText(std::string_view text, std::string* why)
{
    auto refuse = [why](std::string reason) {
        if (why)
            *why = std::move(reason);
        return std::nullopt;
    };
    // Checked before parsing: the parser's values are freed and printed
    // recursively, so a hostile depth must never be built.
    if (nestingDepth(text) > maxDefaultsDepth)
        return refuse("nested deeper than " + std::to_string(maxDefaultsDepth) + " levels");
    ParsedDefaults parsed;
    try {
        parsed.members = nlohmann::json::parse(text.begin(), text.end());
    } catch (const nlohmann::json::exception& e) {
        std::string message = e.what();
        // "[json.exception.parse_error.101] parse error at line 1, ...": the
        // bracketed tag means nothing to the user.
        if (std::size_t end = message.find("] "); message.rfind('[', 0) == 0 && end != std::string::npos)
            message.erase(0, end + 2);
        return refuse(message);
    }
    if (!parsed.members.is_object())
        return refuse("not a JSON object");
    classify(parsed);
    return parsed;
}

std::string serializeDefaults(const nlohmann::json& members)
{
    constexpr auto replace = nlohmann::json::error_handler_t::replace;
    std::string out = "{\n";
    bool first = true;
    if (members.is_object()) {
        for (auto it = members.begin(); it != members.end(); ++it) {
            out += first ? "\t" : ",\n\t";
            first = false;
            out += nlohmann::json(it.key()).dump(-1, ' ', false, replace);
            out += ": ";
            out += it->dump(-1, ' ', false, replace);
        }
    }
    out += first ? "}\n" : "\n}\n";
    return out;
}

struct FileDefaultsStore::Impl {
    enum class DiskState {
        Absent,
        Good,
        Unreadable,
        // Unparsable and still changing: someone is writing it.
        Unsettled,
        // Unparsable for good, and it cannot be moved aside.
        Stuck,
    };
    struct DiskRead {
        DiskState state = DiskState::Absent;
        int error = 0;
        ParsedDefaults parsed;
        // Good, and the very bytes last read or written: `members` holds
        // them already, and `parsed` is left empty.
        bool unchanged = false;
    };
    enum class Aside { Moved, Changed, Failed };

    fs::path directory;
    fs::path path;
    fs::path lockPath;

    // The file's content as last read or written, as text and decoded. A
    // large file is parsed again only when its bytes changed.
    std::optional<std::string> lastText;
    nlohmann::json members = nlohmann::json::object();
    std::map<std::string, DefaultsValue> diskValues;
    // This process's changes not yet in the file: an open batch, or writes
    // that failed. Absent values are removals.
    std::map<std::string, std::optional<DefaultsValue>> pending;
    // What reads serve: the file's values with the pending changes on top.
    std::map<std::string, DefaultsValue> view;
    // What the change observers were last told about.
    std::map<std::string, DefaultsValue> reported;
    // Keys changed in memory since then; after a read of the file every key
    // may have changed. Kept so that a write costs its key, not the file.
    std::set<std::string> touched;
    bool everyKeyTouched = false;
    bool readable = true;
    int batchDepth = 0;
    // Bytes found unparsable for good: met again, they need no second wait.
    std::optional<std::string> stuckText;

    Fd inotify;
    bool fdTaken = false;
    int dirWd = -1;
    int parentWd = -1;
    int targetWd = -1;
    fs::path watchedTargetDir;
    std::string targetName = FileDefaultsStore::fileName;

    void start(const fs::path& dir, const fs::path& file)
    {
        directory = dir;
        path = file;
        lockPath = directory / (std::string(FileDefaultsStore::fileName) + ".lock");
        inotify = Fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
        reload();
        reported = view;
        everyKeyTouched = false;
    }

    // --- Watching -------------------------------------------------------

    fs::path folder() const { return directory.has_filename() ? directory : directory.parent_path(); }

    void release(int& wd)
    {
        const int held = wd;
        wd = -1;
        if (held >= 0 && held != dirWd && held != parentWd && held != targetWd)
            ::inotify_rm_watch(inotify.get(), held);
    }

    // Watches the folder, or its parent until the folder exists, and the
    // folder of the final target when a symbolic link leads elsewhere. The
    // watch comes before the read it guards, so no change falls between.
    void arm()
    {
        if (!inotify)
            return;
        if (dirWd < 0) {
            dirWd = ::inotify_add_watch(inotify.get(), folder().c_str(), watchMask);
            if (dirWd >= 0) {
                release(parentWd);
            } else if (parentWd < 0) {
                fs::path parent = folder().parent_path();
                parentWd =
                    ::inotify_add_watch(inotify.get(), parent.empty() ? "." : parent.c_str(), watchMask);
            }
        }
        fs::path target = finalTarget(path).value_or(path);
        targetName = target.filename().string();
        fs::path targetDir = target.parent_path();
        if (targetDir != watchedTargetDir) {
            release(targetWd);
            if (targetDir != directory)
                targetWd = ::inotify_add_watch(inotify.get(), targetDir.c_str(), watchMask);
            watchedTargetDir = targetDir;
        }
    }

    bool watching() const { return inotify && (dirWd >= 0 || parentWd >= 0); }

    // Reads the queued events; true when the file may have changed.
    bool drain()
    {
        bool relevant = false;
        bool rearm = false;
        const std::string folderName = folder().filename().string();
        drainEvents(inotify.get(), [&](const inotify_event& event, std::string_view name) {
            if (event.mask & IN_Q_OVERFLOW)
                relevant = true;
            if (event.wd == dirWd && (event.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)))
                rearm = true;
            if (event.wd == parentWd && name == folderName)
                rearm = true;
            if (name == FileDefaultsStore::fileName || name == targetName)
                relevant = true;
        });
        if (rearm) {
            release(dirWd);
            release(parentWd);
            release(targetWd);
            watchedTargetDir.clear();
            arm();
        }
        return relevant || rearm;
    }

    // Before a read by a store whose descriptor nobody listens to.
    void refresh()
    {
        if (fdTaken)
            return;
        if (!watching() || drain())
            reload();
    }

    // --- Reading --------------------------------------------------------

    void reportUnreadable(int error)
    {
        const std::string reason = std::strerror(error);
        diag::problemOnce("defaults-read:" + path.string() + ":" + reason,
                          "cannot read " + path.string() + ": " + reason +
                              "; settings are kept in memory and the file is left as it is");
    }

    bool writeFailed(const std::string& reason)
    {
        diag::problemOnce("defaults-write:" + path.string() + ":" + reason,
                          "cannot write " + path.string() + ": " + reason + "; settings are kept in memory");
        return false;
    }

    static DiskRead good(ParsedDefaults parsed)
    {
        DiskRead read;
        read.state = DiskState::Good;
        read.parsed = std::move(parsed);
        return read;
    }
    static DiskRead with(DiskState state, int error = 0)
    {
        DiskRead read;
        read.state = state;
        read.error = error;
        return read;
    }

    // The file as it stands, an unparsable one moved aside once it is
    // certain nobody is still writing it. `locked`: the caller holds the
    // writers' lock.
    DiskRead readDisk(bool locked)
    {
        for (int round = 0; round < 4; ++round) {
            FileText first = readWhole(path);
            if (first.error)
                return with(DiskState::Unreadable, first.error);
            if (!first.exists)
                return with(DiskState::Absent);
            if (lastText && first.text == *lastText) {
                DiskRead same = with(DiskState::Good);
                same.unchanged = true;
                return same;
            }
            std::string why;
            if (std::optional<ParsedDefaults> parsed = parseDefaultsText(first.text, &why)) {
                lastText = std::move(first.text);
                return good(std::move(*parsed));
            }

            // An editor writing in place shows half its text for a moment:
            // only text that stays the same over a quiet period is final.
            const fs::path target = finalTarget(path).value_or(path);
            std::string seen = std::move(first.text);
            bool settled = stuckText && *stuckText == seen;
            const Clock::time_point deadline = Clock::now() + settleLimit;
            while (!settled) {
                const bool quiet = waitUntilQuiet(target.parent_path(), target.filename().string(), deadline);
                FileText again = readWhole(path);
                if (again.error)
                    return with(DiskState::Unreadable, again.error);
                if (!again.exists)
                    return with(DiskState::Absent);
                if (again.text == seen) {
                    // An editor that paused mid-save still has the file open.
                    if (!openForWriting(target)) {
                        settled = true;
                        break;
                    }
                    if (Clock::now() >= deadline)
                        return with(DiskState::Unsettled);
                    continue;
                }
                if (std::optional<ParsedDefaults> parsed = parseDefaultsText(again.text, &why)) {
                    lastText = std::move(again.text);
                    return good(std::move(*parsed));
                }
                seen = std::move(again.text);
                if (!quiet)
                    return with(DiskState::Unsettled);
            }

            // Our own writers wait for the lock instead of racing the move.
            Fd lock;
            if (!locked)
                lock = takeLock(nullptr);
            switch (moveAside(target, seen, why)) {
            case Aside::Moved:
                stuckText.reset();
                continue;
            case Aside::Changed:
                continue;
            case Aside::Failed:
                stuckText = std::move(seen);
                return with(DiskState::Stuck);
            }
        }
        return with(DiskState::Unsettled);
    }

    Aside moveAside(const fs::path& target, const std::string& confirmed, const std::string& why)
    {
        FileText before = readWhole(target);
        if (before.error || !before.exists || before.text != confirmed)
            return Aside::Changed;
        const std::string stamp = localStamp();
        fs::path aside;
        int error = EEXIST;
        // Never over an earlier bad file kept in the same second.
        for (int n = 0; n < 1000 && error == EEXIST; ++n) {
            aside = target;
            aside += ".bad-" + stamp;
            if (n > 0) {
                aside += "-";
                aside += std::to_string(n);
            }
            error = renameNoReplace(target, aside) == 0 ? 0 : errno;
        }
        if (error) {
            diag::problemOnce("defaults-stuck:" + target.string() + ":" + std::strerror(error),
                              target.string() + " cannot be parsed (" + why +
                                  ") and cannot be moved aside: " + std::strerror(error) +
                                  "; it is left as it is and settings are kept in memory");
            return Aside::Failed;
        }
        FileText moved = readWhole(aside);
        if (moved.error || !moved.exists || moved.text != confirmed) {
            // Written between the check and the move: it was not final after
            // all. Put it back unless a new file has taken its place.
            if (renameNoReplace(aside, target) != 0)
                diag::problem(target.string() +
                              " changed while it was being moved aside; what was moved is kept as " +
                              aside.string());
            return Aside::Changed;
        }
        diag::problem(target.string() + " cannot be parsed (" + why + "); it is kept as " + aside.string() +
                      " and the settings start from their defaults");
        return Aside::Moved;
    }

    void adopt(ParsedDefaults parsed)
    {
        for (const std::string& key : parsed.ignoredKeys) {
            diag::problemOnce("defaults-type:" + key,
                              printableKey(key) + " holds " + kindOf(parsed.members.at(key)) +
                                  "; only booleans and strings are settings, so it is ignored");
        }
        members = std::move(parsed.members);
        diskValues = std::move(parsed.values);
        readable = true;
        stuckText.reset();
        rebuildView();
        everyKeyTouched = true;
    }

    // A change of this process, seen by reads at once.
    void change(const std::string& key, std::optional<DefaultsValue> value)
    {
        if (value)
            view.insert_or_assign(key, *value);
        else
            view.erase(key);
        pending.insert_or_assign(key, std::move(value));
        touched.insert(key);
    }

    void reload()
    {
        arm();
        DiskRead read = readDisk(false);
        switch (read.state) {
        case DiskState::Absent:
            lastText.reset();
            adopt(ParsedDefaults{});
            break;
        case DiskState::Good:
            if (read.unchanged)
                readable = true;
            else
                adopt(std::move(read.parsed));
            break;
        case DiskState::Unreadable:
            readable = false;
            reportUnreadable(read.error);
            break;
        case DiskState::Unsettled:
        case DiskState::Stuck:
            // The previous values stand until the file can be read whole.
            readable = true;
            break;
        }
    }

    // --- Writing --------------------------------------------------------

    void rebuildView()
    {
        view = diskValues;
        for (const auto& [key, value] : pending) {
            if (value)
                view.insert_or_assign(key, *value);
            else
                view.erase(key);
        }
    }

    bool holdsPending(const nlohmann::json& onDisk) const
    {
        return std::all_of(pending.begin(), pending.end(), [&](const auto& change) {
            auto it = onDisk.find(change.first);
            if (!change.second)
                return it == onDisk.end();
            return it != onDisk.end() && *it == toJson(*change.second);
        });
    }

    // An exclusive lock shared by every writer of this file; released when
    // the descriptor closes, also when its process is killed.
    Fd takeLock(std::string* why)
    {
        Fd fd(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
        // Someone else's lock file still locks when opened for reading.
        if (!fd && (errno == EACCES || errno == EROFS))
            fd = Fd(::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC));
        if (!fd) {
            if (why)
                *why = "cannot open the lock file " + lockPath.string() + ": " + std::strerror(errno);
            return fd;
        }
        while (::flock(fd.get(), LOCK_EX) != 0) {
            if (errno != EINTR) {
                if (why)
                    *why = "cannot lock " + lockPath.string() + ": " + std::strerror(errno);
                return Fd();
            }
        }
        return fd;
    }

    // Puts the pending changes into the file: under the lock, on top of the
    // file as it stands then, so every other key keeps what is on disk.
    bool commit()
    {
        if (pending.empty())
            return true;
        // Setting what the file already holds (every start of the program)
        // takes no lock and writes nothing.
        FileText now = readWhole(path);
        if (now.error) {
            readable = false;
            reportUnreadable(now.error);
            return false;
        }
        if (lastText && now.exists && now.text == *lastText) {
            if (holdsPending(members)) {
                pending.clear();
                return true;
            }
        } else {
            std::optional<ParsedDefaults> current;
            if (now.exists)
                current = parseDefaultsText(now.text);
            else
                current.emplace();
            if (current && holdsPending(current->members)) {
                pending.clear();
                if (now.exists)
                    lastText = std::move(now.text);
                else
                    lastText.reset();
                adopt(std::move(*current));
                return true;
            }
        }

        std::error_code ec;
        fs::create_directories(directory, ec);
        if (ec)
            return writeFailed(ec.message());
        arm();
        std::string why;
        Fd lock = takeLock(&why);
        if (!lock)
            return writeFailed(why);
        DiskRead read = readDisk(true);
        switch (read.state) {
        case DiskState::Unreadable:
            readable = false;
            reportUnreadable(read.error);
            return false;
        case DiskState::Unsettled:
            diag::problemOnce("defaults-busy:" + path.string(),
                              path.string() +
                                  " is being written by another program; settings are kept in memory "
                                  "and the file is left as it is");
            return false;
        case DiskState::Stuck:
            // Already reported by the move that failed.
            return false;
        case DiskState::Absent:
        case DiskState::Good:
            break;
        }
        if (read.state == DiskState::Absent)
            lastText.reset();
        const nlohmann::json& onDisk = read.unchanged ? members : read.parsed.members;
        if (holdsPending(onDisk)) {
            pending.clear();
            if (!read.unchanged)
                adopt(std::move(read.parsed));
            return true;
        }
        nlohmann::json next = onDisk;
        for (const auto& [key, value] : pending) {
            if (value)
                next[key] = toJson(*value);
            else
                next.erase(key);
        }
        std::string text = serializeDefaults(next);
        if (std::optional<std::string> failure = writeFileAtomically(path, text, true)) {
            if (!read.unchanged)
                adopt(std::move(read.parsed));
            return writeFailed(*failure);
        }
        // As the next reader will see it: parsed again only when a value had
        // bytes that are not UTF-8 and were replaced on the way out.
        std::optional<ParsedDefaults> written;
        if (std::all_of(pending.begin(), pending.end(),
                        [](const auto& change) { return validText(change.second); })) {
            written.emplace();
            written->members = std::move(next);
            classify(*written);
        } else {
            written = parseDefaultsText(text);
        }
        pending.clear();
        if (written) {
            lastText = std::move(text);
            adopt(std::move(*written));
        }
        return true;
    }

    // The keys whose values changed since the observers were last told.
    std::vector<std::string> takeUnreported()
    {
        std::set<std::string> keys;
        auto compare = [&](const std::string& key) {
            auto now = view.find(key);
            auto before = reported.find(key);
            const bool same = now == view.end() ? before == reported.end()
                                                : before != reported.end() && before->second == now->second;
            if (same)
                return;
            keys.insert(key);
            if (now == view.end())
                reported.erase(before);
            else
                reported.insert_or_assign(key, now->second);
        };
        if (everyKeyTouched) {
            for (const auto& entry : view)
                compare(entry.first);
            std::vector<std::string> gone;
            for (const auto& entry : reported)
                if (!view.contains(entry.first))
                    gone.push_back(entry.first);
            for (const std::string& key : gone)
                compare(key);
        } else {
            for (const std::string& key : touched)
                compare(key);
        }
        touched.clear();
        everyKeyTouched = false;
        return {keys.begin(), keys.end()};
    }
};

FileDefaultsStore::FileDefaultsStore(fs::path directory)
    : impl_(std::make_unique<Impl>()), directory_(std::move(directory)), path_(directory_ / fileName)
{
    impl_->start(directory_, path_);
}

FileDefaultsStore::~FileDefaultsStore()
{
    // A batch left open, or a write that failed: one last try.
    impl_->commit();
}

fs::path FileDefaultsStore::defaultDirectory()
{
    return xdgConfigHome() / "tilewise";
}

std::unique_ptr<FileDefaultsStore> FileDefaultsStore::fromEnvironment()
{
    return std::make_unique<FileDefaultsStore>(defaultDirectory());
}

std::optional<DefaultsValue> FileDefaultsStore::value(const std::string& key) const
{
    impl_->refresh();
    auto it = impl_->view.find(key);
    if (it == impl_->view.end())
        return std::nullopt;
    return it->second;
}

std::map<std::string, DefaultsValue> FileDefaultsStore::allValues() const
{
    impl_->refresh();
    return impl_->view;
}

bool FileDefaultsStore::readable() const
{
    impl_->refresh();
    return impl_->readable;
}

bool FileDefaultsStore::set(const std::string& key, const DefaultsValue& value)
{
    impl_->change(key, value);
    const bool committed = impl_->batchDepth > 0 || impl_->commit();
    notifyChanged(impl_->takeUnreported());
    return committed;
}

bool FileDefaultsStore::remove(const std::string& key)
{
    impl_->change(key, std::nullopt);
    const bool committed = impl_->batchDepth > 0 || impl_->commit();
    notifyChanged(impl_->takeUnreported());
    return committed;
}

void FileDefaultsStore::beginBatch()
{
    ++impl_->batchDepth;
}

bool FileDefaultsStore::endBatch()
{
    if (impl_->batchDepth == 0 || --impl_->batchDepth > 0)
        return true;
    const bool committed = impl_->commit();
    notifyChanged(impl_->takeUnreported());
    return committed;
}

int FileDefaultsStore::changeFd()
{
    if (!impl_->inotify)
        return -1;
    impl_->fdTaken = true;
    return impl_->inotify.get();
}

void FileDefaultsStore::handleChanges()
{
    if (!impl_->watching() || impl_->drain())
        impl_->reload();
    notifyChanged(impl_->takeUnreported());
}

} // namespace tilewise
