#include "platform/application_catalog.hpp"

#include "platform/desktop_entries.hpp"

#include <filesystem>

namespace tilewise {

std::optional<InstalledApplication> DesktopEntryCatalog::find(const std::string& identifier) const
{
    std::optional<std::string> path = desktopEntryPath(identifier);
    if (!path)
        return std::nullopt;
    std::optional<DesktopEntry> entry = readDesktopEntry(*path);
    if (!entry)
        return std::nullopt;
    return InstalledApplication{entry->name.value_or(""), entry->icon.value_or(""), *path};
}

std::optional<std::string> DesktopEntryCatalog::readEntry(const std::string& path) const
{
    namespace fs = std::filesystem;
    constexpr std::string_view suffix = ".desktop";
    std::error_code ec;
    const fs::path file = fs::absolute(path, ec).lexically_normal();
    const std::string name = file.filename().string();
    if (ec || name.size() <= suffix.size() || !name.ends_with(suffix) || !fs::is_regular_file(file, ec) ||
        !readDesktopEntry(file.string()))
        return std::nullopt;
    // Inside an applications folder the id keeps the subfolders, joined by
    // dashes (applications/kde4/editor.desktop is "kde4-editor"); anywhere
    // else it is the file's name.
    std::string id = name.substr(0, name.size() - suffix.size());
    for (const std::string& folder : applicationFolders()) {
        const fs::path relative = file.lexically_relative(fs::path(folder).lexically_normal());
        if (relative.empty() || *relative.begin() == "..")
            continue;
        std::string joined = relative.string();
        joined.resize(joined.size() - suffix.size());
        for (char& c : joined)
            if (c == '/')
                c = '-';
        id = joined;
        break;
    }
    return id;
}

std::vector<std::string> DesktopEntryCatalog::applicationFolders() const
{
    return desktopEntryFolders();
}

} // namespace tilewise
