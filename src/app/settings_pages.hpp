// What the settings window's pages show and which setting each control
// edits, apart from any toolkit. The clips, actions and exclusions pages
// are drawn from their own data.
#pragma once

#include "quickactions/quick_action.hpp"
#include "settings/setting_enums.hpp"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tilewise {

class ShortcutsSlotManager;
class Storage;

struct SettingPage {
    SettingTab tab;
    std::string_view image; // a symbol name
    std::string_view label;
};

// In toolbar order.
const std::array<SettingPage, 7>& settingPages();

// The boolean settings a page switch writes through at once.
enum class SettingSwitch {
    launchAtLogin,
    showMenubarIcon,
    showClipInMenubar,
    useExactCenter,
    quickFullscreen,
    smartPairMode,
    pairWindowLock,
    threeWayPair,
};

bool switchValue(const Storage& storage, SettingSwitch field);
void setSwitch(Storage& storage, SettingSwitch field, bool value);

struct SwitchRow {
    std::string_view label;
    std::string_view note; // empty when none
    SettingSwitch field;
};

struct PageLink {
    std::string_view label;
    std::string address;
};

struct GeneralPage {
    std::vector<SwitchRow> switches;
    // Rows of one button each that opens its address in the browser:
    // `label` is the row's, `button` the button's.
    struct LinkButton {
        std::string_view label;
        std::string_view button;
        std::string address;
    };
    std::vector<LinkButton> buttons;
    // Drawn in gray at 11 points.
    std::string versionLine;
};

// "Current version 1.2 (42)"; a missing part reads "$VERSION" or "$BUILD_NO".
std::string versionLine(const std::optional<std::string>& version, const std::optional<std::string>& build);
GeneralPage generalPage(const std::optional<std::string>& version, const std::optional<std::string>& build);

struct ShortcutRow {
    std::string label;
    std::string name;      // the shortcut name the row records
    std::string_view help; // shown behind `shortcutHelpImage`; empty when none
    friend bool operator==(const ShortcutRow&, const ShortcutRow&) = default;
};

struct ShortcutSection {
    std::string_view title;
    std::vector<ShortcutRow> rows;
    // An options button (`shortcutOptionsImage`) opening a sheet with
    // `exactCenterSwitch`.
    bool hasOptions = false;
};

inline constexpr std::string_view shortcutHelpImage = "info.circle.fill";
inline constexpr std::string_view shortcutOptionsImage = "slider.horizontal.3";
inline constexpr SwitchRow exactCenterSwitch{
    "Use Exact Center", "Place windows at the exact center of the screen", SettingSwitch::useExactCenter};

// "Three-way Pair" only while three-way pairing is on; "Actions" only when
// some action has its shortcut switched on, one row per such action that
// holds a slot, in list order.
std::vector<ShortcutSection> shortcutSections(const Storage& storage,
                                              const std::vector<QuickAction::Action>& actions,
                                              const ShortcutsSlotManager& slots);

enum class AdvancedMode { advanced, experimental };

struct AdvancedModeContent {
    std::string_view title; // the selector's text
    std::string_view warning;
    std::string feedback; // invites problem reports; empty when none
    std::vector<SwitchRow> switches;
    // The sizing choice follows the switches.
    bool hasSizingChoice = false;
};

struct SizingChoice {
    std::string_view label;
    SmartPairModeSizing value;
};

inline constexpr std::string_view sizingLabel = "Smart Pair Mode Sizing";
const std::array<SizingChoice, 2>& sizingChoices();
// The choice's help, one paragraph each.
const std::array<std::string_view, 2>& sizingHelp();

// Starts on `advanced`.
AdvancedModeContent advancedMode(AdvancedMode mode);
std::string feedbackProblemsText();

struct AboutPage {
    std::string_view icon = "AppIconImageSmall";
    std::string_view productName = "Tilewise";
    std::string_view versionLabel = "Version";
    std::string version;
    std::string_view rights;
    std::vector<PageLink> links;
    // The open-source components the program contains, name and address.
    std::vector<PageLink> components;
};

AboutPage aboutPage(const std::optional<std::string>& version);

} // namespace tilewise
