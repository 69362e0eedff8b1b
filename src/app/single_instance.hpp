// One Tilewise per user and display: a second start must not grab the same
// hot keys and fight over the same windows.
#pragma once

#include <memory>
#include <optional>
#include <string>

namespace tilewise {

class SingleInstance {
public:
    // Holds the lock for `display` in `directory` until destroyed; none when
    // another process holds it. `error` tells why when the lock file itself
    // cannot be made.
    static std::unique_ptr<SingleInstance> acquire(const std::string& directory, const std::string& display,
                                                   std::string* error = nullptr);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    const std::string& path() const { return path_; }

    // $XDG_RUNTIME_DIR, else a private directory under /tmp for this user.
    static std::string defaultDirectory();
    // ":0", ":0.0" and "unix:0" are one display; the file name keeps only
    // characters that are safe in a path.
    static std::string lockName(const std::string& display);

private:
    SingleInstance(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    int fd_;
    std::string path_;
};

} // namespace tilewise
