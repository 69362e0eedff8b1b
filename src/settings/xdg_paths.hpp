// Where per-user configuration lives, by the XDG base directory rules.
#pragma once

#include <cstdlib>
#include <filesystem>

namespace tilewise {

// $XDG_CONFIG_HOME, or ~/.config when it is unset or not absolute.
inline std::filesystem::path xdgConfigHome()
{
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/')
        return xdg;
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home && *home ? home : ".") / ".config";
}

} // namespace tilewise
