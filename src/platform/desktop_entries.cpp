#include "platform/desktop_entries.hpp"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <vector>

namespace tilewise {

namespace {

std::string env(const char* name)
{
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

// The Name keys to look for, best first: "Name[de_AT@euro]" down to "Name"
// for de_AT.UTF-8@euro.
std::vector<std::string> nameKeys()
{
    std::string locale = env("LC_ALL");
    if (locale.empty())
        locale = env("LC_MESSAGES");
    if (locale.empty())
        locale = env("LANG");
    std::string modifier;
    if (std::size_t at = locale.find('@'); at != std::string::npos) {
        modifier = locale.substr(at);
        locale.resize(at);
    }
    if (std::size_t dot = locale.find('.'); dot != std::string::npos)
        locale.resize(dot);
    std::vector<std::string> keys;
    if (!locale.empty() && locale != "C" && locale != "POSIX") {
        const std::string lang = locale.substr(0, locale.find('_'));
        std::vector<std::string> variants;
        if (!modifier.empty())
            variants.push_back(locale + modifier);
        variants.push_back(locale);
        if (!modifier.empty() && lang != locale)
            variants.push_back(lang + modifier);
        if (lang != locale)
            variants.push_back(lang);
        for (const std::string& v : variants) {
            std::string key = "Name[";
            keys.push_back(key.append(v).append("]"));
        }
    }
    keys.emplace_back("Name");
    return keys;
}

std::string unescaped(std::string_view v)
{
    std::string out;
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (v[i] != '\\' || i + 1 == v.size()) {
            out.push_back(v[i]);
            continue;
        }
        switch (v[++i]) {
        case 's':
            out.push_back(' ');
            break;
        case 'n':
            out.push_back('\n');
            break;
        case 't':
            out.push_back('\t');
            break;
        case 'r':
            out.push_back('\r');
            break;
        default:
            out.push_back(v[i]);
        }
    }
    return out;
}

} // namespace

std::vector<std::string> desktopEntryFolders()
{
    std::vector<std::string> roots;
    std::string home = env("XDG_DATA_HOME");
    if (home.empty() && !env("HOME").empty())
        home = env("HOME") + "/.local/share";
    roots.push_back(home);
    std::string dirs = env("XDG_DATA_DIRS");
    if (dirs.empty())
        dirs = "/usr/local/share:/usr/share";
    for (std::size_t start = 0; start <= dirs.size();) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string::npos)
            end = dirs.size();
        roots.push_back(dirs.substr(start, end - start));
        start = end + 1;
    }
    std::vector<std::string> folders;
    for (std::string& root : roots) {
        while (root.size() > 1 && root.ends_with('/'))
            root.pop_back();
        if (root.starts_with('/'))
            folders.push_back(root.append("/applications"));
    }
    return folders;
}

std::optional<std::string> desktopEntryPath(const std::string& id)
{
    std::string file = id;
    if (file.empty() || file.find('/') != std::string::npos)
        return std::nullopt;
    if (!file.ends_with(".desktop"))
        file.append(".desktop");
    // An entry in a subfolder has the folder in its id: "kde4-editor.desktop"
    // may be kde4/editor.desktop.
    std::vector<std::string> relative{file};
    for (std::size_t dash = file.find('-'); dash != std::string::npos; dash = file.find('-', dash + 1)) {
        std::string nested = relative.back();
        nested[dash] = '/';
        relative.push_back(std::move(nested));
    }
    for (const std::string& folder : desktopEntryFolders()) {
        for (const std::string& r : relative) {
            std::string path = folder;
            path.append("/").append(r);
            std::error_code ec;
            if (std::filesystem::is_regular_file(path, ec))
                return path;
        }
    }
    return std::nullopt;
}

std::optional<DesktopEntry> readDesktopEntry(const std::string& path)
{
    std::ifstream in(path);
    if (!in)
        return std::nullopt;
    const std::vector<std::string> keys = nameKeys();
    DesktopEntry entry;
    std::size_t bestRank = keys.size();
    bool inEntry = false;
    bool hasEntry = false;
    auto valueOf = [](const std::string& line, std::size_t eq) {
        std::string_view value(line);
        value.remove_prefix(eq + 1);
        while (value.starts_with(' '))
            value.remove_prefix(1);
        return unescaped(value);
    };
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with('[')) {
            inEntry = line.starts_with("[Desktop Entry]");
            hasEntry = hasEntry || inEntry;
            continue;
        }
        const std::size_t eq = line.find('=');
        if (!inEntry || eq == std::string::npos)
            continue;
        std::string_view key(line.data(), eq);
        while (key.ends_with(' '))
            key.remove_suffix(1);
        if (key == "Icon") {
            entry.icon = valueOf(line, eq);
            continue;
        }
        for (std::size_t rank = 0; rank < bestRank; ++rank) {
            if (key == keys[rank]) {
                entry.name = valueOf(line, eq);
                bestRank = rank;
                break;
            }
        }
    }
    if (in.bad() || !hasEntry)
        return std::nullopt;
    if (entry.name && entry.name->empty())
        entry.name.reset();
    if (entry.icon && entry.icon->empty())
        entry.icon.reset();
    return entry;
}

std::optional<std::string> desktopEntryName(const std::string& id)
{
    std::optional<std::string> path = desktopEntryPath(id);
    std::optional<DesktopEntry> entry = path ? readDesktopEntry(*path) : std::nullopt;
    return entry ? entry->name : std::nullopt;
}

} // namespace tilewise
