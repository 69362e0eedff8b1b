// Replacing a file so that readers and crashes see either the old or the new
// content, never a torn one.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace tilewise {

// The file a path finally names once every symbolic link on the way is
// followed (relative targets resolved against the link's own folder). The
// final file need not exist. Fails (with the reason in `why`) on a loop.
std::optional<std::filesystem::path> finalTarget(const std::filesystem::path& path,
                                                 std::string* why = nullptr);

// Writes `content` to a temporary file beside the final target of `path`,
// flushes it to disk and renames it over that target, so a symbolic link
// stays a link. An existing file keeps its mode (and its owner when run as
// root); a new one follows the umask. Returns the reason on failure; the old
// file is then untouched and no temporary file of this call is left behind.
//
// `removeLeftovers`: also delete the temporaries that killed writers left
// beside the target. Only a caller that excludes every other writer (by a
// lock they all take) may ask for it.
std::optional<std::string> writeFileAtomically(const std::filesystem::path& path, const std::string& content,
                                               bool removeLeftovers = false);

} // namespace tilewise
