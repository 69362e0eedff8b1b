// One Tilewise per user and display: a second start must not grab the same
// hot keys and fight over the same windows.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tilewise {

// One spelling per display: "HOST:N", or ":N" for a local one, whatever the
// transport, screen, leading zeros or the old "unix" host; none when it is
// not a display name.
std::optional<std::string> canonicalDisplay(std::string_view display);

class SingleInstance {
public:
    // Holds the lock for `display` until destroyed. None when another
    // process holds it (`error` left empty) or when the lock cannot be made
    // (`error` is one line saying why).
    //
    // The lock lives in a private folder: `runtimeDir`/tilewise, or, when
    // `runtimeDir` is unset or not absolute, `fallbackBase`/tilewise-UID.
    // The folder is made 0700 and refused when it exists as anything but a
    // folder of this user's that no one else may use. The names X takes for
    // one display (":1", ":01", ":1.0", "unix:1", "unix/:1") share a lock; a
    // name that is not [host]:number[.screen] is refused.
    static std::unique_ptr<SingleInstance> acquire(const std::string& display, const char* runtimeDir,
                                                   std::string& error,
                                                   const std::string& fallbackBase = "/tmp");
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    const std::string& path() const { return path_; }
    // A file of this instance's beside its lock: "display-1" + `suffix`.
    std::string siblingPath(const std::string& suffix) const;
    // The same path for whoever holds the lock of `display`, worked out
    // without making or checking anything; none for a display name that
    // `acquire` refuses.
    static std::optional<std::string> siblingPathFor(const std::string& display, const char* runtimeDir,
                                                     const std::string& suffix,
                                                     const std::string& fallbackBase = "/tmp");

private:
    SingleInstance(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    int fd_;
    std::string path_;
};

} // namespace tilewise
