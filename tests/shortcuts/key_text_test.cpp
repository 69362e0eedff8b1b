// This test verifies the fixed key tables and the fall-back from the current
// layout to the ASCII-capable one.
#include "platform/memory/memory_keyboard_layout.hpp"
#include "shortcuts/key_text.hpp"

#include <gtest/gtest.h>

namespace tilewise {
namespace {

using Source = KeyboardLayout::Source;

TEST(KeyTextTest, DisplayTableGivesSpaceAndTheFunctionKeyCharacters)
{
    MemoryKeyboardLayout layout;
    EXPECT_EQ(keyDisplayText(Key::space, layout), " ");
    EXPECT_EQ(keyDisplayText(122, layout), "\xEF\x9C\x84"); // F1, U+F704
    EXPECT_EQ(keyDisplayText(96, layout), "\xEF\x9C\x88");  // F5, U+F708
    EXPECT_EQ(keyDisplayText(90, layout), "\xEF\x9C\x97");  // F20, U+F717
    // Not in the table and no layout data: no text.
    EXPECT_EQ(keyDisplayText(Key::f, layout), std::nullopt);
    EXPECT_EQ(keyDisplayText(Key::leftArrow, layout), std::nullopt);
}

TEST(KeyTextTest, DisplayTextUsesTheAsciiCapableLayout)
{
    MemoryKeyboardLayout layout;
    layout.loadUs();
    layout.set(Source::Current, Key::f, "а");
    EXPECT_EQ(keyDisplayText(Key::f, layout), "f");
    layout.loadDvorak();
    EXPECT_EQ(keyDisplayText(Key::f, layout), "u");
    EXPECT_EQ(keyDisplayText(Key::c, layout), "j");
    layout.set(Source::AsciiCapable, Key::p, "");
    EXPECT_EQ(keyDisplayText(Key::p, layout), std::nullopt);
}

TEST(KeyTextTest, CapitalizedRaisesTheFirstLetterOfEachWord)
{
    EXPECT_EQ(capitalized("f"), "F");
    EXPECT_EQ(capitalized("page down"), "Page Down");
    EXPECT_EQ(capitalized("ä"), "ä");
    EXPECT_EQ(capitalized("[ x"), "[ X");
    EXPECT_EQ(capitalized(""), "");
}

TEST(KeyTextTest, MenuTableCoversItsThirtyNineKeys)
{
    MemoryKeyboardLayout layout;
    const std::pair<int, const char*> samples[] = {
        {36, "↩"}, {49, "Space"}, {102, "英数"}, {114, "?⃝"}, {123, "←"}, {122, "F1"}, {96, "F5"}, {90, "F20"},
    };
    for (auto [code, text] : samples)
        EXPECT_EQ(menuKeyText(code, 0, layout), text) << code;
    int covered = 0;
    for (int code = 0; code < 128; ++code)
        covered += menuKeyText(code, 0, layout).has_value();
    EXPECT_EQ(covered, 39);
}

TEST(KeyTextTest, MenuTextTriesTheCurrentLayoutThenTheAsciiCapableOne)
{
    MemoryKeyboardLayout layout;
    layout.set(Source::AsciiCapable, Key::f, "f");
    layout.set(Source::AsciiCapable, Key::f, "F", KeyboardLayout::shiftState);
    layout.set(Source::Current, Key::f, "а");
    layout.set(Source::Current, Key::c, "");
    layout.set(Source::AsciiCapable, Key::c, "c");
    layout.set(Source::Current, Key::p, "π", KeyboardLayout::optionState);
    layout.set(Source::Current, Key::p, "∏", KeyboardLayout::shiftState | KeyboardLayout::optionState);

    EXPECT_EQ(menuKeyText(Key::f, 0, layout), "а");
    EXPECT_EQ(menuKeyText(Key::f, 512, layout), "F");
    EXPECT_EQ(menuKeyText(Key::c, 0, layout), "c");
    // Control and Command do not change the text.
    EXPECT_EQ(menuKeyText(Key::p, 2048 | 4096 | 256, layout), "π");
    EXPECT_EQ(menuKeyText(Key::p, 2048 | 512, layout), "∏");
    EXPECT_EQ(menuKeyText(Key::p, 0, layout), std::nullopt);
}

} // namespace
} // namespace tilewise
