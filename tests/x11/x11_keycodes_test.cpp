// The physical key table: stored key codes reach the X key codes of the same
// positions, both ways, and the modifiers reach their X bits.
#include "platform/x11/x11_hot_keys.hpp"
#include "platform/x11/x11_keycodes.hpp"

#include <gtest/gtest.h>

#include <set>

namespace tilewise {
namespace {

std::optional<int> x(int virtualKeyCode)
{
    auto code = xKeyCodeForVirtualKey(virtualKeyCode);
    return code ? std::optional<int>(*code) : std::nullopt;
}

// The keys the shortcut catalogue names, against the X key codes an evdev
// keyboard has for them.
TEST(X11KeyCodes, NamedKeysReachTheirXKeyCodes)
{
    EXPECT_EQ(x(8), 54);    // C
    EXPECT_EQ(x(3), 41);    // F
    EXPECT_EQ(x(35), 33);   // P
    EXPECT_EQ(x(33), 34);   // [
    EXPECT_EQ(x(30), 35);   // ]
    EXPECT_EQ(x(36), 36);   // Return
    EXPECT_EQ(x(48), 23);   // Tab
    EXPECT_EQ(x(49), 65);   // Space
    EXPECT_EQ(x(51), 22);   // Delete (BackSpace)
    EXPECT_EQ(x(53), 9);    // Escape
    EXPECT_EQ(x(117), 119); // forward delete
    EXPECT_EQ(x(123), 113); // Left
    EXPECT_EQ(x(124), 114); // Right
    EXPECT_EQ(x(125), 116); // Down
    EXPECT_EQ(x(126), 111); // Up
    EXPECT_EQ(x(115), 110); // Home
    EXPECT_EQ(x(119), 115); // End
    EXPECT_EQ(x(116), 112); // Page Up
    EXPECT_EQ(x(121), 117); // Page Down
}

TEST(X11KeyCodes, FunctionKeysInOrder)
{
    const int functionKeys[] = {122, 120, 99,  118, 96,  97,  98, 100, 101, 109,
                                103, 111, 105, 107, 113, 106, 64, 79,  80,  90};
    const int expected[] = {67, 68, 69,  70,  71,  72,  73,  74,  75,  76,
                            95, 96, 191, 192, 193, 194, 195, 196, 197, 198};
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(x(functionKeys[i]), expected[i]) << "F" << i + 1;
}

// The letter and digit rows are contiguous on the keyboard: a swapped pair
// in the table shows here.
TEST(X11KeyCodes, LetterAndDigitRowsFollowThePhysicalRows)
{
    const int qwertyRow[] = {12, 13, 14, 15, 17, 16, 32, 34, 31, 35}; // q w e r t y u i o p
    const int homeRow[] = {0, 1, 2, 3, 5, 4, 38, 40, 37};             // a s d f g h j k l
    const int bottomRow[] = {6, 7, 8, 9, 11, 45, 46};                 // z x c v b n m
    const int digits[] = {18, 19, 20, 21, 23, 22, 26, 28, 25, 29};    // 1 2 ... 9 0
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(x(qwertyRow[i]), 24 + i) << "top row " << i;
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(x(homeRow[i]), 38 + i) << "home row " << i;
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(x(bottomRow[i]), 52 + i) << "bottom row " << i;
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(x(digits[i]), 10 + i) << "digit row " << i;
}

TEST(X11KeyCodes, KeypadDigits)
{
    const int keypad[] = {82, 83, 84, 85, 86, 87, 88, 89, 91, 92}; // 0 to 9
    const int expected[] = {90, 87, 88, 89, 83, 84, 85, 79, 80, 81};
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(x(keypad[i]), expected[i]) << "keypad " << i;
    EXPECT_EQ(x(76), 104); // keypad Enter
}

// No two keys share an X key code, and every key comes back as itself: the
// release of a key must find the same key.
TEST(X11KeyCodes, BothDirectionsAgree)
{
    std::set<int> seen;
    int mapped = 0;
    for (int v = 0; v < 128; ++v) {
        auto code = xKeyCodeForVirtualKey(v);
        if (!code)
            continue;
        ++mapped;
        EXPECT_GE(*code, 8) << v;
        EXPECT_TRUE(seen.insert(*code).second) << "X key code " << int(*code) << " used twice";
        EXPECT_EQ(virtualKeyForXKeyCode(*code), v);
    }
    EXPECT_GE(mapped, 100);
}

TEST(X11KeyCodes, UnknownCodesHaveNoKey)
{
    for (int v : {-1, 52, 63, 128, 1000})
        EXPECT_FALSE(xKeyCodeForVirtualKey(v)) << v;
    for (int code : {0, 8, 255})
        EXPECT_FALSE(virtualKeyForXKeyCode(std::uint8_t(code))) << code;
}

TEST(X11HotKeysModifiers, CarbonMaskToXBits)
{
    EXPECT_EQ(X11HotKeys::xModifiers(4096 | 2048), XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1);
    EXPECT_EQ(X11HotKeys::xModifiers(512 | 256), XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_4);
    EXPECT_EQ(X11HotKeys::xModifiers(4096 | 2048 | 512 | 256),
              XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_4);
    // Caps Lock (1024) and anything else outside the four is not a modifier
    // of a combination.
    EXPECT_EQ(X11HotKeys::xModifiers(1024 | 1 | 128), 0);
}

} // namespace
} // namespace tilewise
