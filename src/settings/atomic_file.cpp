#include "settings/atomic_file.hpp"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tilewise {

namespace fs = std::filesystem;

namespace {

std::string errnoText(const std::string& step)
{
    return step + ": " + std::strerror(errno);
}

// A name no other writer picks: the process id and a per-process counter,
// salted with the clock for a process id reused after a crash.
std::string uniqueSuffix()
{
    static unsigned counter = 0;
    auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    char text[64];
    std::snprintf(text, sizeof text, "%ld-%u-%llx", static_cast<long>(::getpid()), ++counter,
                  static_cast<unsigned long long>(now) & 0xffffffULL);
    return text;
}

void removeTemporaries(const fs::path& dir, const std::string& prefix)
{
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->path().filename().string().rfind(prefix, 0) == 0) {
            std::error_code ignored;
            fs::remove(it->path(), ignored);
        }
    }
}

} // namespace

std::optional<fs::path> finalTarget(const fs::path& path, std::string* why)
{
    fs::path p = path;
    // The kernel's own limit on links followed in one lookup.
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return p;
        std::error_code ec;
        fs::path next = fs::read_symlink(p, ec);
        if (ec) {
            if (why)
                *why = "cannot read the link " + p.string() + ": " + ec.message();
            return std::nullopt;
        }
        p = next.is_absolute() ? next : p.parent_path() / next;
    }
    if (why)
        *why = "too many levels of symbolic links";
    return std::nullopt;
}

std::optional<std::string> writeFileAtomically(const fs::path& path, const std::string& content,
                                               bool removeLeftovers)
{
    std::string why;
    std::optional<fs::path> target = finalTarget(path, &why);
    if (!target)
        return why;
    // rename() is atomic only within one file system: the temporary lives
    // beside the file it replaces, under a dot-name readers never open.
    fs::path dir = target->parent_path();
    if (dir.empty())
        dir = ".";
    std::string prefix = ".";
    prefix += target->filename().string();
    prefix += ".tmp-";
    if (removeLeftovers)
        removeTemporaries(dir, prefix);

    struct stat old {};
    const bool exists = ::stat(target->c_str(), &old) == 0;
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = (dir / (prefix + uniqueSuffix())).string();
        // A new file gets 0666 less the umask from the kernel itself.
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, exists ? 0600 : 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0)
        return errnoText("cannot create a temporary file in " + dir.string());

    auto fail = [&](const char* step) {
        std::string reason = errnoText(step);
        ::close(fd);
        ::unlink(temp.c_str());
        return reason;
    };

    if (exists) {
        // Root editing another user's file must not hand it over to root;
        // when that fails the content still matters more than the owner.
        if (::geteuid() == 0 && (old.st_uid != ::geteuid() || old.st_gid != ::getegid())) {
            if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
            }
        }
        if (::fchmod(fd, old.st_mode & 07777) != 0)
            return fail("chmod");
    }
    const char* data = content.data();
    std::size_t left = content.size();
    while (left > 0) {
        ssize_t n = ::write(fd, data, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return fail("write");
        }
        data += n;
        left -= static_cast<std::size_t>(n);
    }
    // Without the flush a crash after the rename could leave an empty file
    // under the real name on some file systems.
    if (::fsync(fd) != 0)
        return fail("fsync");
    if (::close(fd) != 0) {
        std::string reason = errnoText("close");
        ::unlink(temp.c_str());
        return reason;
    }
    if (::rename(temp.c_str(), target->c_str()) != 0) {
        std::string reason = errnoText("rename");
        ::unlink(temp.c_str());
        return reason;
    }
    // Make the rename itself durable; a failure here leaves a complete file.
    int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return std::nullopt;
}

} // namespace tilewise
