#include "settings/stored_value_check.hpp"

#include "quickactions/quick_action.hpp"
#include "settings/clip_editor.hpp"
#include "settings/json_array.hpp"
#include "settings/setting_enums.hpp"
#include "settings/storage.hpp"
#include "shortcuts/key_positions.hpp"
#include "shortcuts/keyboard_shortcuts.hpp"

#include <nlohmann/json.hpp>

#include <array>

namespace tilewise {

namespace {

namespace keys = settings_keys;

struct BooleanKey {
    std::string_view key;
    bool byDefault;
};

// Every flag the program reads, with the value it assumes while absent.
constexpr std::array<BooleanKey, 14> booleanKeys{{
    {keys::launchAtLogin, false},
    {keys::showMenubarIcon, true},
    {keys::showClipInMenubar, false},
    {keys::showActionsInMenubar, false},
    {keys::useExactCenter, false},
    {keys::quickFullscreen, false},
    {keys::quickActionEnabled, false},
    {keys::quickActionSearchEnabled, false},
    {keys::quickActionSearchEnabledAlert, false},
    {keys::smartPairMode, true},
    {keys::pairWindowLock, false},
    {keys::threeWayPair, false},
    {keys::firstLaunchPreference, false},
    {keys::setGapMoreThan6, false},
}};

const BooleanKey* findBooleanKey(std::string_view key)
{
    for (const BooleanKey& b : booleanKeys)
        if (b.key == key)
            return &b;
    return nullptr;
}

bool isEnumerationKey(std::string_view key)
{
    return key == keys::smartPairModeSizing || key == keys::quickActionShowScreen;
}

bool enumerationAccepts(std::string_view key, std::string_view raw)
{
    if (key == keys::smartPairModeSizing)
        return smartPairModeSizingFromRaw(raw).has_value();
    return screenOptionFromRaw(raw).has_value();
}

std::string joined(const std::vector<std::string>& values, std::string_view separator)
{
    std::string text;
    for (const std::string& v : values)
        text += (text.empty() ? "" : std::string(separator)) + v;
    return text;
}

std::string clipText(const Clip& c)
{
    return std::to_string(c.numerator) + "/" + std::to_string(c.denominator);
}

constexpr const char* clipRule = "; clips are fractions from above 0 up to 1";
constexpr const char* clipExample = R"([{"numerator":1,"denominator":2}])";
constexpr const char* shortcutExample = R"({"carbonKeyCode":3,"carbonModifiers":6144})";

// One bad action makes the program read the built-in list instead, so
// the first fault found is named with the action's place.
std::optional<std::string> actionListFault(const std::string& key, const std::string& text)
{
    const nlohmann::json list = nlohmann::json::parse(text, nullptr, false);
    if (!list.is_array())
        return key + ": not a JSON array of quick actions";
    for (std::size_t i = 0; i < list.size(); ++i) {
        try {
            (void)list[i].get<QuickAction::Action>();
        } catch (const nlohmann::json::exception& e) {
            std::string why = e.what();
            // The library's own prefix: "[json.exception.type_error.302] ".
            if (const std::size_t end = why.find("] "); why.starts_with("[json.") && end != std::string::npos)
                why.erase(0, end + 2);
            return key + ": action " + std::to_string(i + 1) + ": " + why;
        }
    }
    return std::nullopt;
}

std::optional<std::string> textFault(std::string_view key, const std::string& text)
{
    const std::string k(key);
    switch (storedKind(key)) {
    case StoredKind::clipList: {
        std::optional<std::vector<Clip>> clips = decodeJsonArray<Clip>(text);
        if (!clips)
            return k + ": not a JSON array of clips such as " + clipExample;
        return clipListFault(key, *clips);
    }
    case StoredKind::screenClipList: {
        std::optional<std::vector<ScreenClip>> screens = decodeJsonArray<ScreenClip>(text);
        if (!screens)
            return k + R"(: not a JSON array of screens such as [{"name":"DP-1","horizontal":)" +
                   clipExample + R"(,"vertical":)" + clipExample + "}]";
        return screenClipListFault(key, *screens);
    }
    case StoredKind::stringList:
        if (!decodeJsonArray<std::string>(text))
            return k + R"(: not a JSON array of strings such as ["org.example.App"])";
        return std::nullopt;
    case StoredKind::enumeration:
        if (!enumerationAccepts(key, text))
            return k + ": " + quotedForMessage(text) + " is not one of " +
                   joined(enumerationValues(key), ", ");
        return std::nullopt;
    case StoredKind::shortcut: {
        std::optional<KeyboardShortcuts::Shortcut> s = KeyboardShortcuts::Shortcut::fromJson(text);
        if (!s)
            return k + ": not a shortcut such as " + shortcutExample + "; -bool false means none";
        if (!keyPosition(s->carbonKeyCode))
            return k + ": no key has the key code " + std::to_string(s->carbonKeyCode);
        // Grabbing a bare key would take it from every program.
        if (!KeyboardShortcuts::isUsable(*s))
            return k + ": a shortcut needs Control (4096), Alt (2048) or Super (256) unless its key is a "
                       "function key";
        return std::nullopt;
    }
    case StoredKind::actionList:
        return actionListFault(k, text);
    case StoredKind::boolean:
        return k + " is a boolean: use -bool true|false";
    case StoredKind::unknown:
        break;
    }
    return std::nullopt;
}

std::optional<std::string> boolFault(std::string_view key, bool value)
{
    const std::string k(key);
    switch (storedKind(key)) {
    case StoredKind::unknown:
    case StoredKind::boolean:
        return std::nullopt;
    case StoredKind::shortcut:
        // The stored false is the user's removal; true means nothing.
        if (!value)
            return std::nullopt;
        return k + " is a shortcut: use -bool false for none, or -string " + shortcutExample;
    case StoredKind::enumeration:
        return k + " is text: use -string " + joined(enumerationValues(key), "|");
    case StoredKind::clipList:
    case StoredKind::screenClipList:
    case StoredKind::stringList:
    case StoredKind::actionList:
        break;
    }
    return k + " is text: use -string TEXT";
}

} // namespace

StoredKind storedKind(std::string_view key)
{
    if (findBooleanKey(key))
        return StoredKind::boolean;
    if (key == keys::clipHorizontal || key == keys::clipVertical)
        return StoredKind::clipList;
    if (key == keys::separateScreenConfiguration)
        return StoredKind::screenClipList;
    if (key == keys::excludes)
        return StoredKind::stringList;
    if (key == settings_keys::quickActions)
        return StoredKind::actionList;
    if (isEnumerationKey(key))
        return StoredKind::enumeration;
    if (key.starts_with(KeyboardShortcuts::keyPrefix) && key != KeyboardShortcuts::shortcutByNameDidChange)
        return StoredKind::shortcut;
    return StoredKind::unknown;
}

std::optional<std::string> storedValueFault(std::string_view key, const DefaultsValue& value)
{
    if (const bool* b = std::get_if<bool>(&value))
        return boolFault(key, *b);
    return textFault(key, std::get<std::string>(value));
}

std::optional<std::string> clipFault(const Clip& c)
{
    // The engine divides by the denominator and sizes windows by the value:
    // anything outside (0, 1] makes no window or one beyond the screen.
    if (c.denominator == 0)
        return "clip " + clipText(c) + " has a denominator of 0" + clipRule;
    if (c.numerator <= 0 || c.denominator < 0)
        return "clip " + clipText(c) + " needs a numerator and a denominator above 0" + clipRule;
    if (c.numerator > c.denominator)
        return "clip " + clipText(c) + " is larger than the screen" + clipRule;
    return std::nullopt;
}

std::optional<std::string> clipListFault(std::string_view what, const std::vector<Clip>& clips)
{
    if (clips.empty())
        return std::string(what) +
               ": the list is empty, so its shortcuts would do nothing; give at least one clip";
    for (const Clip& c : clips)
        if (std::optional<std::string> fault = clipFault(c))
            return std::string(what) + ": " + *fault;
    return std::nullopt;
}

std::optional<std::string> screenClipListFault(std::string_view key, const std::vector<ScreenClip>& screens)
{
    for (const ScreenClip& s : screens) {
        const std::string where = std::string(key) + ": screen " + quotedForMessage(s.name);
        if (std::optional<std::string> fault = clipListFault(where + ", horizontal", s.horizontal))
            return fault;
        if (std::optional<std::string> fault = clipListFault(where + ", vertical", s.vertical))
            return fault;
    }
    return std::nullopt;
}

std::vector<std::string> enumerationValues(std::string_view key)
{
    if (key == keys::smartPairModeSizing)
        return {std::string(rawValue(SmartPairModeSizing::maximize)),
                std::string(rawValue(SmartPairModeSizing::matchTheFirst))};
    if (key == keys::quickActionShowScreen)
        return {std::string(rawValue(ScreenOption::mouseScreen)),
                std::string(rawValue(ScreenOption::activeScreen)),
                std::string(rawValue(ScreenOption::primaryScreen))};
    return {};
}

std::optional<DefaultsValue> builtInDefault(std::string_view key)
{
    if (const BooleanKey* b = findBooleanKey(key))
        return DefaultsValue(b->byDefault);
    if (key == keys::clipHorizontal)
        return DefaultsValue(encodeJsonArray(defaultHorizontalClips()));
    if (key == keys::clipVertical)
        return DefaultsValue(encodeJsonArray(defaultVerticalClips()));
    if (key == keys::separateScreenConfiguration)
        return DefaultsValue(encodeJsonArray(std::vector<ScreenClip>{}));
    if (key == keys::excludes)
        return DefaultsValue(encodeJsonArray(defaultExcludes()));
    if (key == settings_keys::quickActions)
        return DefaultsValue(encodeQuickActions(QuickAction::defaultActions()));
    // An absent or unknown value reads as these (Storage's start).
    if (key == keys::smartPairModeSizing)
        return DefaultsValue(std::string(rawValue(SmartPairModeSizing::maximize)));
    if (key == keys::quickActionShowScreen)
        return DefaultsValue(std::string(rawValue(ScreenOption::activeScreen)));
    return std::nullopt;
}

std::string quotedForMessage(std::string_view text)
{
    // A whole pasted file is no help in a one-line message.
    constexpr std::size_t longest = 60;
    std::string shown(text.substr(0, longest));
    std::string quoted = nlohmann::json(shown).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    if (text.size() > longest)
        quoted.insert(quoted.size() - 1, "...");
    return quoted;
}

} // namespace tilewise
