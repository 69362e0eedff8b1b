#include "platform/x11/x11_process_info.hpp"

#include <climits>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace tilewise {

namespace {

std::string trimmed(std::string s)
{
    while (!s.empty() && (s.back() == '\n' || s.back() == '\0' || s.back() == ' '))
        s.pop_back();
    return s;
}

// WM_CLASS is "instance\0class\0".
std::string wmClassClass(const XProperty& p)
{
    std::string v = p.text();
    std::size_t nul = v.find('\0');
    if (nul == std::string::npos)
        return {};
    return trimmed(v.substr(nul + 1));
}

const std::string& localHostName()
{
    static const std::string name = [] {
        char buf[HOST_NAME_MAX + 1] = {};
        if (gethostname(buf, sizeof buf - 1) != 0)
            return std::string();
        return std::string(buf);
    }();
    return name;
}

// "/usr/share/applications/org.example.Editor.desktop" -> "org.example.Editor".
std::string desktopFileId(std::string value)
{
    value = trimmed(std::move(value));
    if (std::size_t slash = value.rfind('/'); slash != std::string::npos)
        value = value.substr(slash + 1);
    const std::string suffix = ".desktop";
    if (value.size() > suffix.size() && value.ends_with(suffix))
        value.resize(value.size() - suffix.size());
    return value;
}

} // namespace

std::optional<std::string> processNameOf(Pid pid, const XProperty& machine, const XProperty& wmClass)
{
    std::string host = trimmed(machine.text());
    if (pid > 0 && (host.empty() || host == localHostName())) {
        // The executable's name in full; the kernel cuts comm to 15 bytes.
        std::error_code ec;
        std::filesystem::path exe =
            std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/exe", ec);
        std::string full = ec ? std::string() : exe.filename().string();
        if (full.ends_with(" (deleted)"))
            full.erase(full.size() - 10);
        if (!full.empty())
            return full;
        std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
        std::string name;
        if (comm && std::getline(comm, name) && !name.empty())
            return name;
    }
    std::string cls = wmClassClass(wmClass);
    if (!cls.empty())
        return cls;
    return std::nullopt;
}

std::optional<Pid> readProcessId(X11Connection& x, xcb_window_t window)
{
    auto reply = x.reply<xcb_get_property_reply_t>(x.requestProperty(window, x.ewmh()._NET_WM_PID, 1));
    if (!reply)
        return std::nullopt; // the window is gone
    XProperty pid(std::move(reply));
    // A live window that does not name its process gets 0, as in the window
    // list, so that it can still be matched there.
    return pid.cardinals().empty() ? Pid(0) : Pid(pid.cardinals()[0]);
}

std::optional<std::string> readApplicationId(X11Connection& x, xcb_window_t window)
{
    const X11Connection::Atoms& a = x.atoms();
    auto gtkCookie = x.requestProperty(window, a.gtkApplicationId, 256);
    auto kdeCookie = x.requestProperty(window, a.kdeDesktopFile, 256);
    auto bamfCookie = x.requestProperty(window, a.bamfDesktopFile, 256);
    auto classCookie = x.requestProperty(window, XCB_ATOM_WM_CLASS, 256);
    std::string gtk = trimmed(x.property(gtkCookie).text());
    std::string kde = desktopFileId(x.property(kdeCookie).text());
    std::string bamf = desktopFileId(x.property(bamfCookie).text());
    std::string cls = wmClassClass(x.property(classCookie));
    // The desktop-file id where the window names one, else its class.
    for (const std::string* id : {&gtk, &kde, &bamf, &cls}) {
        if (!id->empty())
            return *id;
    }
    return std::nullopt;
}

} // namespace tilewise
