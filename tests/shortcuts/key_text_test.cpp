// Key tables, and a key's text: the current group if Latin, else a Latin group, else the US legend;
// key combinations as text.
#include "platform/memory/memory_keyboard_layout.hpp"
#include "shortcuts/key_combination.hpp"
#include "shortcuts/key_positions.hpp"
#include "shortcuts/key_text.hpp"

#include <gtest/gtest.h>

#include <set>
#include <tuple>

namespace tilewise {
namespace {

TEST(KeyTextTest, DisplayTextFallsBackFromTheCurrentGroupToLatinGroupsToTheLegend)
{
    MemoryKeyboardLayout layout;
    // No layout data at all: the fixed table, then the US legend; no key at
    // all: nothing.
    const std::pair<int, std::optional<std::string>> fixed[] = {{Key::space, " "},
                                                                {122, "\xEF\x9C\x84"} /* F1, U+F704 */,
                                                                {90, "\xEF\x9C\x97"} /* F20, U+F717 */,
                                                                {Key::f, "f"},
                                                                {Key::leftArrow, "←"},
                                                                {Key::returnKey, "↩"},
                                                                {999, std::nullopt}};
    for (const auto& [code, text] : fixed)
        EXPECT_EQ(keyDisplayText(code, layout), text) << code;
    EXPECT_TRUE(isFunctionKey(90));
    EXPECT_FALSE(isFunctionKey(Key::f));

    // Russian alone: Cyrillic is not what keyboards print beside Latin, so
    // the legend; an arrow the layout gives stays an arrow.
    layout.set(0, 0, "ф");
    layout.set(0, Key::f, "а");
    layout.set(0, Key::leftArrow, "←");
    EXPECT_EQ(keyDisplayText(Key::f, layout), "f");
    EXPECT_EQ(keyDisplayText(Key::leftArrow, layout), "←");

    // Russian current with Dvorak as a second group: Dvorak's letters.
    layout.loadDvorak(1);
    EXPECT_EQ(keyDisplayText(Key::f, layout), "u");
    // A dead key gives nothing printable, nor does a control character.
    MemoryKeyboardLayout french;
    french.loadUs();
    french.set(0, Key::leftBracket, "");
    french.set(0, Key::returnKey, "\r");
    EXPECT_EQ(keyDisplayText(Key::leftBracket, french), "[");
    EXPECT_EQ(keyDisplayText(Key::returnKey, french), "↩");
}

TEST(KeyTextTest, CapitalizedRaisesTheFirstLetterOfEachWordInEveryScript)
{
    // Bytes that are no UTF-8 pass through unchanged.
    const std::pair<const char*, const char*> cases[] = {{"f", "F"},
                                                         {"page down", "Page Down"},
                                                         {"ü", "Ü"},
                                                         {"я", "Я"},
                                                         {"ß", "ß"},
                                                         {"[ x", "[ X"},
                                                         {"", ""},
                                                         {"\xC3", "\xC3"},
                                                         {"\xFF"
                                                          "a",
                                                          "\xFF"
                                                          "a"}};
    for (auto [text, expected] : cases)
        EXPECT_EQ(capitalized(text), expected) << text;
}

TEST(KeyTextTest, MenuTextComesFromItsTableOfThirtyNineKeysThenTheCurrentGroupThenTheLatinOnes)
{
    MemoryKeyboardLayout layout;
    layout.set(0, 0, "ф");
    const std::pair<int, const char*> samples[] = {{36, "↩"},  {49, "Space"}, {102, "英数"}, {114, "?⃝"},
                                                   {123, "←"}, {122, "F1"},   {96, "F5"},    {90, "F20"}};
    for (auto [code, text] : samples)
        EXPECT_EQ(menuKeyText(code, 0, layout), text) << code;
    // Every other known key falls to its legend.
    int covered = 0;
    for (int code = 0; code < 128; ++code)
        covered += menuKeyText(code, 0, layout).has_value();
    EXPECT_EQ(covered, int(keyPositions().size()));

    MemoryKeyboardLayout groups;
    groups.loadUs(0);
    groups.set(1, 0, "ф");
    groups.set(1, Key::f, "а");
    groups.set(1, Key::c, "");
    groups.set(1, Key::p, "π", KeyboardLayout::optionState);
    groups.set(1, Key::p, "∏", KeyboardLayout::shiftState | KeyboardLayout::optionState);
    groups.setCurrentGroup(1);

    // Control and Command do not change the text.
    const std::tuple<int, int, const char*> cases[] = {
        {Key::f, 0, "а"},          {Key::f, 512, "F"}, {Key::c, 0, "c"}, {Key::p, 2048 | 4096 | 256, "π"},
        {Key::p, 2048 | 512, "∏"}, {Key::p, 0, "p"}};
    for (auto [code, modifiers, text] : cases)
        EXPECT_EQ(menuKeyText(code, modifiers, groups), text) << code << " " << modifiers;
}

TEST(KeyTextTest, KeyPositionsAreOneToOne)
{
    std::set<int> codes, evdev;
    std::set<std::string_view> names;
    for (const KeyPosition& p : keyPositions()) {
        EXPECT_TRUE(codes.insert(p.keyCode).second) << p.keyCode;
        EXPECT_TRUE(names.insert(p.xkbName).second) << p.xkbName;
        EXPECT_TRUE(evdev.insert(p.evdevCode).second) << p.evdevCode;
        EXPECT_EQ(keyPositionByXkbName(p.xkbName), keyPosition(p.keyCode));
    }
    EXPECT_EQ(keyPosition(63), nullptr) << "Fn has no key of its own on X";
    EXPECT_EQ(keyPosition(-1), nullptr);
}

struct CombinationLayouts {
    MemoryKeyboardLayout us, dvorak, russian, twice;
    CombinationLayouts()
    {
        us.loadUs();
        us.set(0, 83, "1"); // KP_1 with Num Lock: the digit row still names '1'
        dvorak.loadDvorak();
        // Russian current, US second: Latin text still names the keys.
        russian.set(0, 0, "ф");
        russian.set(0, Key::f, "а");
        russian.loadUs(1);
        // Two keys type 'o': the second can only be named by its position.
        twice.loadDvorak();
        twice.set(0, 31, "o");
    }
};

TEST(KeyTextTest, KeyCombinationTextParsesBackToTheSameKeyOnEveryLayout)
{
    const CombinationLayouts l;
    constexpr int ctrl = 4096, alt = 2048, shift = 512, super = 256;
    for (const MemoryKeyboardLayout* layout : {&l.us, &l.dvorak, &l.russian, &l.twice})
        for (const KeyPosition& p : keyPositions())
            for (int modifiers : {alt, ctrl | alt | shift | super}) {
                const KeyboardShortcuts::Shortcut shortcut(p.keyCode, modifiers);
                std::string error;
                const std::string text = keyCombinationText(shortcut, *layout);
                EXPECT_EQ(parseKeyCombination(text, *layout, error), shortcut) << text << ": " << error;
            }
    // clang-format off
    const std::tuple<const MemoryKeyboardLayout*, int, int, const char*> written[] = {
        {&l.us, 18, super | shift | alt | ctrl, "ctrl+alt+shift+super+1"}, {&l.us, 10, ctrl, "ctrl+<"},
        {&l.us, 0, ctrl | alt, "ctrl+alt+a"}, {&l.us, 69, ctrl, "ctrl+KP_Add"},
        {&l.us, 116, alt, "alt+Page_Up"}, {&l.dvorak, 1, ctrl | alt, "ctrl+alt+o"},
        {&l.russian, Key::f, super, "super+f"}, {&l.twice, 31, ctrl, "ctrl+<AD09>"}};
    // clang-format on
    for (auto [layout, code, modifiers, text] : written)
        EXPECT_EQ(keyCombinationText({code, modifiers}, *layout), text);
}

TEST(KeyTextTest, KeyCombinationParsingAcceptsWordsInAnyCaseAndRefusesWithAReason)
{
    const CombinationLayouts l;
    // clang-format off
    const std::tuple<const MemoryKeyboardLayout*, const char*, int, int> accepted[] = {
        {&l.us, "ctrl+alt+shift+1", 18, 4096 | 2048 | 512}, {&l.us, "super+Left", 123, 256},
        {&l.us, "Control+Option+Return", 36, 6144}, {&l.us, "F5", 96, 0}, {&l.us, "ctrl+KP_1", 83, 4096},
        {&l.us, " CTRL + Alt+ctrl + A ", 0, 6144}, {&l.us, "cmd+opt+page_down", 121, 2304},
        {&l.us, "win+meta+plus", 69, 256}, {&l.us, "ctrl+<ad09>", 31, 4096},
        {&l.dvorak, "ctrl+alt+o", 1, 6144}, {&l.russian, "ctrl+alt+a", 0, 6144},
        {&l.russian, "ctrl+alt+А", Key::f, 6144}};
    const std::pair<const char*, const char*> refused[] = {
        {" ", "no key combination given"}, {"ctrl++a", "write 'plus'"}, {"ctrl+", "empty key name"},
        {"ctl+a", "unknown modifier 'ctl' in 'ctl+a'"}, {"ctrl+a+b", "more than one key"},
        {"a+ctrl", "the key comes last"}, {"ctrl+alt", "no key in 'ctrl+alt'"}, {"ctrl+Foo", "unknown key"},
        {"ctrl+é", "types 'é'"}, {"ctrl+!", "without Shift: write 'ctrl+shift+1'"},
        {"shift+a", "'shift+a' needs ctrl, alt or super"}, {"Left", "take the key from every program"}};
    // clang-format on
    for (auto [layout, text, code, modifiers] : accepted) {
        std::string error;
        EXPECT_EQ(parseKeyCombination(text, *layout, error), KeyboardShortcuts::Shortcut(code, modifiers))
            << text << ": " << error;
    }
    for (auto [text, reason] : refused) {
        std::string error;
        EXPECT_EQ(parseKeyCombination(text, l.us, error), std::nullopt) << text;
        EXPECT_NE(error.find(reason), std::string::npos) << text << ": " << error;
        EXPECT_EQ(error.find('\n'), std::string::npos);
    }
}

} // namespace
} // namespace tilewise
