#include "settings/launch_at_login.hpp"

#include "platform/diagnostics.hpp"
#include "settings/atomic_file.hpp"
#include "settings/xdg_paths.hpp"

#include <cstdlib>
#include <fstream>

namespace tilewise {

namespace fs = std::filesystem;

std::string quoteDesktopExecArgument(std::string_view argument)
{
    std::string quoted = "\"";
    for (char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        // Field codes start with %; a literal one is written twice.
        if (c == '%')
            quoted += '%';
        quoted += c;
    }
    quoted += '"';

    // The string-value escapes apply before the quoting rules are read.
    std::string value;
    for (char c : quoted) {
        switch (c) {
        case '\\':
            value += "\\\\";
            break;
        case '\n':
            value += "\\n";
            break;
        case '\t':
            value += "\\t";
            break;
        case '\r':
            value += "\\r";
            break;
        default:
            value += c;
        }
    }
    return value;
}

LaunchAtLogin::LaunchAtLogin(fs::path autostartDirectory, fs::path executable)
    : directory_(std::move(autostartDirectory)), executable_(std::move(executable))
{
}

fs::path LaunchAtLogin::defaultAutostartDirectory()
{
    return xdgConfigHome() / "autostart";
}

fs::path LaunchAtLogin::runningExecutable()
{
    std::error_code ec;
    fs::path p = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : p;
}

std::unique_ptr<LaunchAtLogin> LaunchAtLogin::fromEnvironment()
{
    return std::make_unique<LaunchAtLogin>(defaultAutostartDirectory(), runningExecutable());
}

std::string LaunchAtLogin::execValue() const
{
    return quoteDesktopExecArgument(executable_.string());
}

std::string LaunchAtLogin::desktopEntry() const
{
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Tilewise\n"
           "Comment=Keyboard-driven window layout\n"
           "Exec=" +
           execValue() +
           "\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

namespace {

std::string trim(const std::string& s)
{
    std::size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos)
        return {};
    std::size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

} // namespace

bool LaunchAtLogin::isEnabled() const
{
    std::ifstream in(entryPath());
    if (!in)
        return false;
    bool inMainGroup = false;
    bool startsUs = false;
    std::string line;
    while (std::getline(in, line)) {
        line = trim(line);
        if (line.empty() || line[0] == '#')
            continue;
        if (line[0] == '[') {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        std::size_t eq = line.find('=');
        if (!inMainGroup || eq == std::string::npos)
            continue;
        std::string key = trim(line.substr(0, eq));
        std::string value = trim(line.substr(eq + 1));
        // Session managers skip entries switched off these ways.
        if ((key == "Hidden" && value == "true") || (key == "X-GNOME-Autostart-enabled" && value == "false"))
            return false;
        if (key == "Exec")
            startsUs = value == execValue();
    }
    return startsUs;
}

bool LaunchAtLogin::writeEntry(std::string& reason)
{
    if (executable_.empty() || !executable_.is_absolute()) {
        reason = "the path of the tilewise binary is unknown";
        return false;
    }
    std::error_code ec;
    fs::create_directories(directory_, ec);
    if (ec) {
        reason = ec.message();
        return false;
    }
    // Replaced in one step, so a session starting meanwhile never reads a
    // torn entry.
    if (std::optional<std::string> failure = writeFileAtomically(entryPath(), desktopEntry())) {
        reason = *failure;
        return false;
    }
    return true;
}

bool LaunchAtLogin::removeEntry(std::string& reason)
{
    std::error_code ec;
    fs::remove(entryPath(), ec);
    if (ec) {
        reason = ec.message();
        return false;
    }
    return true;
}

void LaunchAtLogin::setEnabled(bool enabled)
{
    for (const auto& o : willChange_)
        o();
    std::string reason;
    bool ok = enabled ? writeEntry(reason) : removeEntry(reason);
    if (!ok)
        diag::problem(std::string("Failed to ") + (enabled ? "enable" : "disable") +
                      " launch at login: " + reason);
    for (const auto& o : valueObservers_)
        o(enabled);
}

void LaunchAtLogin::addWillChangeObserver(std::function<void()> observer)
{
    willChange_.push_back(std::move(observer));
}

void LaunchAtLogin::addValueObserver(std::function<void(bool)> observer)
{
    valueObservers_.push_back(std::move(observer));
}

} // namespace tilewise
