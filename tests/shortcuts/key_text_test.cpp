// This test verifies the fixed key tables and where a key's text comes from:
// the current group when it is Latin, else the first Latin group that gives
// the key a character, else the key's US legend.
#include "platform/memory/memory_keyboard_layout.hpp"
#include "shortcuts/key_positions.hpp"
#include "shortcuts/key_text.hpp"

#include <gtest/gtest.h>

#include <set>

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
    EXPECT_EQ(capitalized("f"), "F");
    EXPECT_EQ(capitalized("page down"), "Page Down");
    EXPECT_EQ(capitalized("ü"), "Ü");
    EXPECT_EQ(capitalized("я"), "Я");
    EXPECT_EQ(capitalized("ß"), "ß");
    EXPECT_EQ(capitalized("[ x"), "[ X");
    EXPECT_EQ(capitalized(""), "");
    // Bytes that are no UTF-8 pass through unchanged.
    EXPECT_EQ(capitalized("\xC3"), "\xC3");
    EXPECT_EQ(capitalized("\xFF" "a"), "\xFF" "a");
}

TEST(KeyTextTest, MenuTableCoversItsThirtyNineKeys)
{
    MemoryKeyboardLayout layout;
    layout.set(0, 0, "ф");
    const std::pair<int, const char*> samples[] = {
        {36, "↩"}, {49, "Space"}, {102, "英数"}, {114, "?⃝"}, {123, "←"}, {122, "F1"}, {96, "F5"}, {90, "F20"},
    };
    for (auto [code, text] : samples)
        EXPECT_EQ(menuKeyText(code, 0, layout), text) << code;
    // Every other known key falls to its legend.
    int covered = 0;
    for (int code = 0; code < 128; ++code)
        covered += menuKeyText(code, 0, layout).has_value();
    EXPECT_EQ(covered, int(keyPositions().size()));
}

TEST(KeyTextTest, MenuTextTriesTheCurrentGroupThenTheLatinOnes)
{
    MemoryKeyboardLayout layout;
    layout.loadUs(0);
    layout.set(1, 0, "ф");
    layout.set(1, Key::f, "а");
    layout.set(1, Key::c, "");
    layout.set(1, Key::p, "π", KeyboardLayout::optionState);
    layout.set(1, Key::p, "∏", KeyboardLayout::shiftState | KeyboardLayout::optionState);
    layout.setCurrentGroup(1);

    EXPECT_EQ(menuKeyText(Key::f, 0, layout), "а");
    EXPECT_EQ(menuKeyText(Key::f, 512, layout), "F");
    EXPECT_EQ(menuKeyText(Key::c, 0, layout), "c");
    // Control and Command do not change the text.
    EXPECT_EQ(menuKeyText(Key::p, 2048 | 4096 | 256, layout), "π");
    EXPECT_EQ(menuKeyText(Key::p, 2048 | 512, layout), "∏");
    EXPECT_EQ(menuKeyText(Key::p, 0, layout), "p");
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
