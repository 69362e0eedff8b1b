// Replacing a file so that readers and crashes see either the old or the new
// content, never a torn one.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace tilewise {

// Writes `content` to a temporary file in the same directory, flushes it to
// disk and renames it over `path`. Returns the reason on failure; the old
// file is then untouched and no temporary file is left behind.
std::optional<std::string> writeFileAtomically(const std::filesystem::path& path, const std::string& content);

} // namespace tilewise
