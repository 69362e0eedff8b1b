#include "app/settings_pages.hpp"

#include "app/web_addresses.hpp"
#include "quickactions/shortcuts_slot_manager.hpp"
#include "settings/storage.hpp"

#include <algorithm>

namespace tilewise {
namespace {

struct CatalogueRow {
    std::string_view label;
    std::string_view name;
    std::string_view help = {};
};

struct CatalogueSection {
    std::string_view title;
    std::vector<CatalogueRow> rows;
};

constexpr std::string_view threeWayPairName = "pair43";

const std::vector<CatalogueSection>& catalogueSections()
{
    static const std::vector<CatalogueSection> sections{
        {"Clip", {{"Up", "clipUp"}, {"Down", "clipDown"}, {"Left", "clipLeft"}, {"Right", "clipRight"}}},
        {"Move",
         {{"Upward", "moveUp"},
          {"Downward", "moveDown"},
          {"Leftward", "moveLeft"},
          {"Rightward", "moveRight"}}},
        {"Display", {{"Previous Screen", "moveToPreviousScreen"}, {"Next Screen", "moveToNextScreen"}}},
        {"Space", {{"Previous Space", "moveToPreviousSpace"}, {"Next Space", "moveToNextSpace"}}},
        {"Other",
         {{"Maximize", "maxmize"},
          {"Center", "center"},
          {"Pair", "pair", "Pair the current window with the last one"},
          {"Three-way Pair", threeWayPairName, "Pair the current window with the last two"},
          {"Restore", "restore"}}},
    };
    return sections;
}

} // namespace

const std::array<SettingPage, 7>& settingPages()
{
    static constexpr std::array<SettingPage, 7> pages{{
        {SettingTab::general, "gear", "General"},
        {SettingTab::clip, "square.dashed.inset.filled", "Clips"},
        {SettingTab::shortcuts, "command.square", "Shortcuts"},
        {SettingTab::actions, "bolt.ring.closed", "Actions"},
        {SettingTab::exclude, "hand.raised.slash", "Exclude"},
        {SettingTab::experimental, "lightbulb.min", "Advanced"},
        {SettingTab::about, "info.circle", "About"},
    }};
    return pages;
}

bool switchValue(const Storage& storage, SettingSwitch field)
{
    switch (field) {
    case SettingSwitch::launchAtLogin:
        return storage.launchAtLogin();
    case SettingSwitch::showMenubarIcon:
        return storage.showMenubarIcon();
    case SettingSwitch::showClipInMenubar:
        return storage.showClipInMenubar();
    case SettingSwitch::useExactCenter:
        return storage.useExactCenter();
    case SettingSwitch::quickFullscreen:
        return storage.quickFullscreen();
    case SettingSwitch::smartPairMode:
        return storage.smartPairMode();
    case SettingSwitch::pairWindowLock:
        return storage.pairWindowLock();
    case SettingSwitch::threeWayPair:
        return storage.threeWayPair();
    }
    return false;
}

void setSwitch(Storage& storage, SettingSwitch field, bool value)
{
    switch (field) {
    case SettingSwitch::launchAtLogin:
        return storage.setLaunchAtLogin(value);
    case SettingSwitch::showMenubarIcon:
        return storage.setShowMenubarIcon(value);
    case SettingSwitch::showClipInMenubar:
        return storage.setShowClipInMenubar(value);
    case SettingSwitch::useExactCenter:
        return storage.setUseExactCenter(value);
    case SettingSwitch::quickFullscreen:
        return storage.setQuickFullscreen(value);
    case SettingSwitch::smartPairMode:
        return storage.setSmartPairMode(value);
    case SettingSwitch::pairWindowLock:
        return storage.setPairWindowLock(value);
    case SettingSwitch::threeWayPair:
        return storage.setThreeWayPair(value);
    }
}

std::string versionLine(const std::optional<std::string>& version, const std::optional<std::string>& build)
{
    std::string line = "Current version ";
    return line.append(version.value_or("$VERSION"))
        .append(" (")
        .append(build.value_or("$BUILD_NO"))
        .append(")");
}

GeneralPage generalPage(const std::optional<std::string>& version, const std::optional<std::string>& build)
{
    return GeneralPage{
        {
            {"Launch at login", {}, SettingSwitch::launchAtLogin},
            {"Show Menubar Icon", "You can still open Tilewise window by Spotlight or Launchpad",
             SettingSwitch::showMenubarIcon},
            {"Clip from Menubar", "Show clip operations in menubar", SettingSwitch::showClipInMenubar},
        },
        {
            {"Review", "Review Tilewise", web::reviewPage()},
            {"Update", "View Releases", web::releasesPage()},
        },
        versionLine(version, build),
    };
}

std::vector<ShortcutSection> shortcutSections(const Storage& storage,
                                              const std::vector<QuickAction::Action>& actions,
                                              const ShortcutsSlotManager& slots)
{
    std::vector<ShortcutSection> out;
    for (const CatalogueSection& section : catalogueSections()) {
        ShortcutSection& shown =
            out.emplace_back(ShortcutSection{section.title, {}, section.title == "Other"});
        for (const CatalogueRow& row : section.rows)
            if (row.name != threeWayPairName || storage.threeWayPair())
                shown.rows.push_back({std::string(row.label), std::string(row.name), row.help});
    }
    // The section follows the switches, not the slots: an action switched
    // on without a slot shows an empty section rather than none.
    if (std::ranges::any_of(actions, &QuickAction::Action::shortcutEnabled)) {
        ShortcutSection& shown = out.emplace_back(ShortcutSection{"Actions", {}, false});
        for (const QuickAction::Action& action : actions)
            if (const KeyboardShortcuts::Name* slot =
                    action.shortcutEnabled ? slots.slotName(action.shortcutSlot) : nullptr)
                shown.rows.push_back({action.name, slot->rawValue, {}});
    }
    return out;
}

const std::array<SizingChoice, 2>& sizingChoices()
{
    static constexpr std::array<SizingChoice, 2> choices{{
        {"Maximize", SmartPairModeSizing::maximize},
        {"Match the 1st window", SmartPairModeSizing::matchTheFirst},
    }};
    return choices;
}

const std::array<std::string_view, 2>& sizingHelp()
{
    static constexpr std::array<std::string_view, 2> help{
        "The size of the 2nd window on corresponding direction since there is not enough information for "
        "Tilewise "
        "to decide the size for it.",
        "«Maximize» means the 2nd window will expand its size, while «Match the 1st window» means Tilewise "
        "will "
        "match the size of the 2nd window with the 1st one.",
    };
    return help;
}

std::string feedbackProblemsText()
{
    std::string text = "Found a problem? Please tell us what happened by e-mail: ";
    return text.append(web::feedbackEmail());
}

AdvancedModeContent advancedMode(AdvancedMode mode)
{
    if (mode == AdvancedMode::advanced)
        return AdvancedModeContent{
            "Advanced",
            {},
            {},
            {
                {"Quick maximize", "Double tap Fn key to maximize the frontmost window",
                 SettingSwitch::quickFullscreen},
                {"Smart Pair Mode",
                 "If enabled, only two edges of the 1st window need to be adjacent to the screen edges for "
                 "pair mode "
                 "to work.",
                 SettingSwitch::smartPairMode},
            },
            true,
        };
    return AdvancedModeContent{
        "Experimental",
        "These functionalities are not stable, and may not work in some scenarios",
        feedbackProblemsText(),
        {
            {"Pair Window Lock",
             "Resize window automatically when its paired window resizes. This only works with two-way pair.",
             SettingSwitch::pairWindowLock},
            {"Three-way Pair", "You can now set shortcut in Shortcuts section.", SettingSwitch::threeWayPair},
        },
        false,
    };
}

AboutPage aboutPage(const std::optional<std::string>& version)
{
    AboutPage page;
    page.version = version.value_or("$VERSION");
    page.rights = "© 2026 The Tilewise authors";
    page.links = {
        {"Website", web::website()},
        {"Privacy", web::privacyPage()},
        {"Feedback", web::feedbackAddress()},
        {"Share", web::sharePage()},
    };
    page.components = {
        {"Qt 6", "https://www.qt.io"},
        {"nlohmann-json", "https://github.com/nlohmann/json"},
        {"libxcb", "https://xcb.freedesktop.org"},
        {"sd-bus of systemd", "https://systemd.io"},
    };
    return page;
}

} // namespace tilewise
