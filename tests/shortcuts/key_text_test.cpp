// Key tables, and a key's text: the current group if Latin, else a Latin group, else the US legend.
#include "platform/memory/memory_keyboard_layout.hpp"
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
    const std::pair<int, std::optional<std::string>> fixed[] = {
        {Key::space, " "}, {122, "\xEF\x9C\x84"} /* F1, U+F704 */, {90, "\xEF\x9C\x97"} /* F20, U+F717 */,
        {Key::f, "f"},     {Key::leftArrow, "←"},                   {Key::returnKey, "↩"},
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
    const std::pair<const char*, const char*> cases[] = {
        {"f", "F"}, {"page down", "Page Down"}, {"ü", "Ü"}, {"я", "Я"},          {"ß", "ß"},
        {"[ x", "[ X"}, {"", ""},                {"\xC3", "\xC3"}, {"\xFF" "a", "\xFF" "a"}};
    for (auto [text, expected] : cases)
        EXPECT_EQ(capitalized(text), expected) << text;
}

TEST(KeyTextTest, MenuTextComesFromItsTableOfThirtyNineKeysThenTheCurrentGroupThenTheLatinOnes)
{
    MemoryKeyboardLayout layout;
    layout.set(0, 0, "ф");
    const std::pair<int, const char*> samples[] = {{36, "↩"},   {49, "Space"}, {102, "英数"}, {114, "?⃝"},
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
    const std::tuple<int, int, const char*> cases[] = {{Key::f, 0, "а"},   {Key::f, 512, "F"},
                                                       {Key::c, 0, "c"},   {Key::p, 2048 | 4096 | 256, "π"},
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

} // namespace
} // namespace tilewise
