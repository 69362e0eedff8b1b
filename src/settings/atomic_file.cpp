#include "settings/atomic_file.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tilewise {

namespace {

std::string errnoText(const char* step)
{
    return std::string(step) + ": " + std::strerror(errno);
}

} // namespace

std::optional<std::string> writeFileAtomically(const std::filesystem::path& path, const std::string& content)
{
    const std::filesystem::path dir = path.parent_path();
    // A dot-name in the same directory: rename() is atomic only within one
    // file system, and readers never open this name.
    std::string pattern = (dir / ("." + path.filename().string() + ".tmp-XXXXXX")).string();
    int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        return errnoText("create temporary file");

    auto fail = [&](const char* step) {
        std::string reason = errnoText(step);
        ::close(fd);
        ::unlink(pattern.c_str());
        return reason;
    };

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
    if (::fchmod(fd, 0644) != 0)
        return fail("chmod");
    if (::close(fd) != 0) {
        std::string reason = errnoText("close");
        ::unlink(pattern.c_str());
        return reason;
    }
    if (::rename(pattern.c_str(), path.c_str()) != 0) {
        std::string reason = errnoText("rename");
        ::unlink(pattern.c_str());
        return reason;
    }
    // Make the rename itself durable; a failure here leaves a complete file.
    int dirFd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return std::nullopt;
}

} // namespace tilewise
