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

std::optional<std::string> applicationIdOf(const XProperty& gtkId, const XProperty& kdeFile,
                                           const XProperty& bamfFile, const XProperty& wmClass)
{
    std::string gtk = trimmed(gtkId.text());
    std::string kde = desktopFileId(kdeFile.text());
    std::string bamf = desktopFileId(bamfFile.text());
    std::string cls = wmClassClass(wmClass);
    for (const std::string* id : {&gtk, &kde, &bamf, &cls}) {
        if (!id->empty())
            return *id;
    }
    return std::nullopt;
}

} // namespace tilewise
