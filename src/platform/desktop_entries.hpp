// Installed applications, from their desktop entries: the files under
// applications/ of $XDG_DATA_HOME and of each folder of $XDG_DATA_DIRS, the
// first found winning.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tilewise {

// The folders entries live in, in order of precedence, without a trailing
// slash; relative folders are left out.
std::vector<std::string> desktopEntryFolders();

// The file of the entry with desktop-file id `id` ("org.example.Editor", with
// or without ".desktop"; "kde4-editor" may be kde4/editor.desktop); none when
// no folder has it.
std::optional<std::string> desktopEntryPath(const std::string& id);

// What the [Desktop Entry] group of one file says.
struct DesktopEntry {
    // In the language of the messages' locale where the entry has it.
    std::optional<std::string> name;
    // An icon name of the theme, or an absolute path.
    std::optional<std::string> icon;
};

// None when the file cannot be read or has no [Desktop Entry] group.
std::optional<DesktopEntry> readDesktopEntry(const std::string& path);

// The Name of the entry with desktop-file id `id`; none when no entry is
// found or it has no Name.
std::optional<std::string> desktopEntryName(const std::string& id);

} // namespace tilewise
