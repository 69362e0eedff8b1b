#include "app/single_instance.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cctype>
#include <cstring>

namespace tilewise {

std::string SingleInstance::lockName(const std::string& display)
{
    std::string d = display;
    if (d.rfind("unix:", 0) == 0)
        d = d.substr(4);
    // The screen number after the display number does not make another
    // display.
    if (std::size_t colon = d.rfind(':'); colon != std::string::npos) {
        if (std::size_t dot = d.find('.', colon); dot != std::string::npos)
            d.erase(dot);
    }
    std::string safe;
    for (char c : d)
        safe += (std::isalnum(static_cast<unsigned char>(c)) || c == '-') ? c : '_';
    return "tilewise-" + safe + ".lock";
}

std::string SingleInstance::defaultDirectory()
{
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime)
        return runtime;
    std::string dir = "/tmp/tilewise-" + std::to_string(getuid());
    mkdir(dir.c_str(), 0700);
    return dir;
}

std::unique_ptr<SingleInstance> SingleInstance::acquire(const std::string& directory, const std::string& display,
                                                        std::string* error)
{
    std::string path = directory + "/" + lockName(display);
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (error)
            *error = "cannot open " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    // The kernel drops the lock with the process, however it ends.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (error)
            *error = errno == EWOULDBLOCK ? std::string() : "cannot lock " + path + ": " + std::strerror(errno);
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
