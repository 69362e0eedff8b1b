// The enumerations of the settings, stored as their case names.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tilewise {

// How the second window of a pair is sized.
enum class SmartPairModeSizing { maximize, matchTheFirst };

// On which screen the quick action panel opens.
enum class ScreenOption { mouseScreen, activeScreen, primaryScreen };

// The pages of the settings window.
enum class SettingTab { general, clip, shortcuts, actions, exclude, experimental, about };

std::string_view rawValue(SmartPairModeSizing v);
std::string_view rawValue(ScreenOption v);
std::string_view rawValue(SettingTab v);

// Exact, case-sensitive matches of the raw values; anything else is none,
// and the caller picks the default.
std::optional<SmartPairModeSizing> smartPairModeSizingFromRaw(std::string_view raw);
std::optional<ScreenOption> screenOptionFromRaw(std::string_view raw);
std::optional<SettingTab> settingTabFromRaw(std::string_view raw);

} // namespace tilewise
