#include "platform/desktop_entries.hpp"

#include <cstdlib>
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

// Where entries live, in order of precedence; relative folders are ignored.
std::vector<std::string> applicationFolders()
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
        if (root.starts_with('/'))
            folders.push_back(root.append("/applications/"));
    }
    return folders;
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

// The best Name of the [Desktop Entry] group; none when the file is not there.
std::optional<std::optional<std::string>> nameIn(const std::string& path,
                                                 const std::vector<std::string>& keys)
{
    std::ifstream in(path);
    if (!in)
        return std::nullopt;
    std::optional<std::string> best;
    std::size_t bestRank = keys.size();
    bool inEntry = false;
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with('[')) {
            inEntry = line.starts_with("[Desktop Entry]");
            continue;
        }
        const std::size_t eq = line.find('=');
        if (!inEntry || eq == std::string::npos)
            continue;
        std::string_view key(line.data(), eq);
        while (key.ends_with(' '))
            key.remove_suffix(1);
        for (std::size_t rank = 0; rank < bestRank; ++rank) {
            if (key == keys[rank]) {
                std::string_view value(line);
                value.remove_prefix(eq + 1);
                while (value.starts_with(' '))
                    value.remove_prefix(1);
                best = unescaped(value);
                bestRank = rank;
                break;
            }
        }
    }
    return std::optional<std::string>(best && !best->empty() ? best : std::nullopt);
}

} // namespace

std::optional<std::string> desktopEntryName(const std::string& id)
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
    const std::vector<std::string> keys = nameKeys();
    for (const std::string& folder : applicationFolders()) {
        for (const std::string& r : relative) {
            if (std::optional<std::optional<std::string>> name = nameIn(folder + r, keys))
                return *name;
        }
    }
    return std::nullopt;
}

} // namespace tilewise
