// Starting tilewise at login, carried out as a per-user XDG autostart entry.
// The entry itself is the truth; the flag the user set lives in the
// defaults store and is written by Storage.
#pragma once

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tilewise {

class LaunchAtLogin {
public:
    static constexpr const char* entryFileName = "tilewise.desktop";

    // `autostartDirectory` holds the entry; `executable` is the absolute
    // path the entry starts. Failures are reported as problems.
    LaunchAtLogin(std::filesystem::path autostartDirectory, std::filesystem::path executable);

    // $XDG_CONFIG_HOME/autostart, or ~/.config/autostart.
    static std::filesystem::path defaultAutostartDirectory();
    // The running binary, resolved through /proc/self/exe.
    static std::filesystem::path runningExecutable();
    static std::unique_ptr<LaunchAtLogin> fromEnvironment();

    // True when the entry exists, starts this binary and is not hidden or
    // switched off. A missing or unreadable entry reads as disabled.
    bool isEnabled() const;
    // Writes (again, when it exists) or removes the entry. A failure is
    // reported in one line and nothing else happens: the caller's setting
    // stays as the user chose, and the next start tries again.
    void setEnabled(bool enabled);

    // Told before each set, and with the value after it.
    void addWillChangeObserver(std::function<void()> observer);
    void addValueObserver(std::function<void(bool)> observer);

    std::filesystem::path entryPath() const { return directory_ / entryFileName; }
    std::string desktopEntry() const;
    // The value of the entry's Exec key.
    std::string execValue() const;

private:
    bool writeEntry(std::string& reason);
    bool removeEntry(std::string& reason);

    std::filesystem::path directory_;
    std::filesystem::path executable_;
    std::vector<std::function<void()>> willChange_;
    std::vector<std::function<void(bool)>> valueObservers_;
};

// One Exec argument as a desktop file holds it: in double quotes with ",
// `, $ and \ escaped, % doubled, and then the escapes of string values
// applied, so a literal backslash ends up as four.
std::string quoteDesktopExecArgument(std::string_view argument);

} // namespace tilewise
