// What the running program tells tilewisectl about its shortcuts: which ones
// it does not hold now, and why. A small file beside its lock, replaced
// whole whenever the answer changes.
#pragma once

#include "shortcuts/keyboard_shortcuts.hpp"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tilewise {

// Name to reason ("taken by another program").
using ShortcutRefusals = std::map<std::string, std::string>;

std::string encodeShortcutStatus(long pid, const std::vector<KeyboardShortcuts::Refusal>& refusals);

// The refusals published in the file at `path`; none when no running
// program published them (no file, not ours, or its process is gone).
std::optional<ShortcutRefusals> readShortcutStatus(const std::string& path);

// Keeps the file at `path` up to date with `shortcuts` and removes it when
// destroyed.
class ShortcutStatusFile {
public:
    ShortcutStatusFile(std::string path, KeyboardShortcuts& shortcuts);
    ~ShortcutStatusFile();
    ShortcutStatusFile(const ShortcutStatusFile&) = delete;
    ShortcutStatusFile& operator=(const ShortcutStatusFile&) = delete;

    // Writes the file when its text would change.
    void update();

private:
    std::string path_;
    KeyboardShortcuts& shortcuts_;
    std::string written_;
};

} // namespace tilewise
