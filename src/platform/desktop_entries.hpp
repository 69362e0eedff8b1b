// Installed applications' names, from their desktop entries: the files
// under applications/ of $XDG_DATA_HOME and of each folder of
// $XDG_DATA_DIRS, the first found winning.
#pragma once

#include <optional>
#include <string>

namespace tilewise {

// The Name of the entry with desktop-file id `id` ("org.example.Editor", with
// or without ".desktop"), in the language of the messages' locale where the
// entry has it; none when no entry is found or it has no Name.
std::optional<std::string> desktopEntryName(const std::string& id);

} // namespace tilewise
