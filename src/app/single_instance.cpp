#include "app/single_instance.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string_view>

namespace tilewise {

namespace {

constexpr std::string_view lockSuffix = ".lock";

bool allDigits(std::string_view s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

std::optional<std::string> canonicalDisplay(std::string_view display)
{
    // The transport ("unix/", "tcp/") does not make another display.
    if (std::size_t slash = display.find('/');
        slash != std::string_view::npos && slash > 0 &&
        std::all_of(display.begin(), display.begin() + slash,
                    [](char c) { return std::isalnum(static_cast<unsigned char>(c)); }))
        display.remove_prefix(slash + 1);
    std::size_t colon = display.rfind(':');
    if (colon == std::string_view::npos)
        return std::nullopt;
    std::string_view host = display.substr(0, colon);
    std::string_view number = display.substr(colon + 1);
    // The screen is part of the display, not another one.
    if (std::size_t dot = number.find('.'); dot != std::string_view::npos) {
        if (!allDigits(number.substr(dot + 1)))
            return std::nullopt;
        number = number.substr(0, dot);
    }
    if (!allDigits(number))
        return std::nullopt;
    number.remove_prefix(std::min(number.find_first_not_of('0'), number.size() - 1));
    // "unix" is the old spelling of the local socket.
    if (host == "unix")
        host = {};
    // Host names and addresses (IPv6 too); nothing that reaches out of the
    // folder.
    if (!std::all_of(host.begin(), host.end(), [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) ||
                   std::string_view(".-_:[]").find(c) != std::string_view::npos;
        }))
        return std::nullopt;
    std::string out(host);
    out.append(":").append(number);
    return out;
}

namespace {

// The lock's file name: "display-1.lock" for the local display 1,
// "display-HOST-1.lock" for display 1 on HOST. None when `display` is not
// [protocol/][host]:number[.screen]; guessing could let two instances share
// a display or keep one out of its own.
std::optional<std::string> lockName(std::string_view display)
{
    std::optional<std::string> canonical = canonicalDisplay(display);
    if (!canonical)
        return std::nullopt;
    const std::size_t colon = canonical->rfind(':');
    std::string name = "display-";
    if (colon > 0)
        name.append(canonical->substr(0, colon)).append("-");
    name.append(canonical->substr(colon + 1)).append(lockSuffix);
    if (name.size() > NAME_MAX)
        return std::nullopt;
    return name;
}

// The private folder at `path`, made when absent, as an open descriptor so
// that what was checked is what the lock is made in. -1 with `error` set
// when it is anything but a folder of ours that no one else can use.
int openPrivateFolder(const std::string& path, const std::string& advice, std::string& error)
{
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        error = "cannot create " + path + ": " + std::strerror(errno);
        return -1;
    }
    int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        int saved = errno;
        struct stat st {};
        if ((saved == ELOOP || saved == ENOTDIR) && lstat(path.c_str(), &st) == 0)
            error = path + (S_ISLNK(st.st_mode) ? " is a symbolic link" : " is not a folder") + advice;
        else
            error = "cannot open " + path + ": " + std::strerror(saved);
        return -1;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        error = "cannot read " + path + ": " + std::strerror(errno);
    } else if (st.st_uid != geteuid()) {
        error = path + " is owned by another user (uid " + std::to_string(st.st_uid) + ")" + advice;
    } else if ((st.st_mode & 077) != 0) {
        char mode[16];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
        error = path + " can be used by other users (mode " + mode + ")" + advice;
    } else {
        return fd;
    }
    close(fd);
    return -1;
}

// The private folder: in the runtime folder, or, when that is unset or not
// absolute (to be ignored then), one of this user's in `fallbackBase`.
std::string privateFolder(const char* runtimeDir, const std::string& fallbackBase)
{
    return runtimeDir && runtimeDir[0] == '/' ? std::string(runtimeDir) + "/tilewise"
                                              : fallbackBase + "/tilewise-" + std::to_string(geteuid());
}

} // namespace

std::string SingleInstance::siblingPath(const std::string& suffix) const
{
    return path_.substr(0, path_.size() - lockSuffix.size()) + suffix;
}

std::optional<std::string> SingleInstance::siblingPathFor(const std::string& display, const char* runtimeDir,
                                                          const std::string& suffix,
                                                          const std::string& fallbackBase)
{
    std::optional<std::string> name = lockName(display);
    if (!name)
        return std::nullopt;
    name->resize(name->size() - lockSuffix.size());
    return privateFolder(runtimeDir, fallbackBase) + "/" + *name + suffix;
}

std::unique_ptr<SingleInstance> SingleInstance::acquire(const std::string& display, const char* runtimeDir,
                                                        std::string& error, const std::string& fallbackBase)
{
    error.clear();
    std::optional<std::string> name = lockName(display);
    if (!name) {
        error = "cannot make sense of the display name '" + display + "'";
        return nullptr;
    }
    const bool runtime = runtimeDir && runtimeDir[0] == '/';
    const std::string folder = privateFolder(runtimeDir, fallbackBase);
    int dirFd =
        openPrivateFolder(folder, runtime ? "; remove it" : "; remove it or set XDG_RUNTIME_DIR", error);
    if (dirFd < 0)
        return nullptr;
    std::string path = folder + "/" + *name;
    int fd = openat(dirFd, name->c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    int saved = errno;
    close(dirFd);
    if (fd < 0) {
        error = saved == ELOOP ? path + " is a symbolic link; remove it"
                               : "cannot open " + path + ": " + std::strerror(saved);
        return nullptr;
    }
    // The kernel drops the lock with the process, however it ends.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK)
            error = "cannot lock " + path + ": " + std::strerror(errno);
        close(fd);
        return nullptr;
    }
    return std::unique_ptr<SingleInstance>(new SingleInstance(fd, std::move(path)));
}

SingleInstance::~SingleInstance()
{
    close(fd_);
}

} // namespace tilewise
