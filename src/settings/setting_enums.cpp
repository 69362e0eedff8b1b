#include "settings/setting_enums.hpp"

#include <array>
#include <utility>

namespace tilewise {

namespace {

template <typename E, std::size_t N>
std::optional<E> fromRaw(const std::array<std::pair<E, std::string_view>, N>& table, std::string_view raw)
{
    for (const auto& [value, name] : table) {
        if (name == raw)
            return value;
    }
    return std::nullopt;
}

template <typename E, std::size_t N>
std::string_view toRaw(const std::array<std::pair<E, std::string_view>, N>& table, E v)
{
    for (const auto& [value, name] : table) {
        if (value == v)
            return name;
    }
    return {};
}

constexpr std::array<std::pair<SmartPairModeSizing, std::string_view>, 2> sizingNames{{
    {SmartPairModeSizing::maximize, "maximize"},
    {SmartPairModeSizing::matchTheFirst, "matchTheFirst"},
}};

constexpr std::array<std::pair<ScreenOption, std::string_view>, 3> screenNames{{
    {ScreenOption::mouseScreen, "mouseScreen"},
    {ScreenOption::activeScreen, "activeScreen"},
    {ScreenOption::primaryScreen, "primaryScreen"},
}};

constexpr std::array<std::pair<SettingTab, std::string_view>, 7> tabNames{{
    {SettingTab::general, "general"},
    {SettingTab::clip, "clip"},
    {SettingTab::shortcuts, "shortcuts"},
    {SettingTab::actions, "actions"},
    {SettingTab::exclude, "exclude"},
    {SettingTab::experimental, "experimental"},
    {SettingTab::about, "about"},
}};

} // namespace

std::string_view rawValue(SmartPairModeSizing v)
{
    return toRaw(sizingNames, v);
}
std::string_view rawValue(ScreenOption v)
{
    return toRaw(screenNames, v);
}
std::string_view rawValue(SettingTab v)
{
    return toRaw(tabNames, v);
}

std::optional<SmartPairModeSizing> smartPairModeSizingFromRaw(std::string_view raw)
{
    return fromRaw(sizingNames, raw);
}
std::optional<ScreenOption> screenOptionFromRaw(std::string_view raw)
{
    return fromRaw(screenNames, raw);
}
std::optional<SettingTab> settingTabFromRaw(std::string_view raw)
{
    return fromRaw(tabNames, raw);
}

} // namespace tilewise
