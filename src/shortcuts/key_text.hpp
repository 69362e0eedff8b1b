// Key codes the program names, and the two ways a key code becomes text: the
// display text of a shortcut and the character of a menu key equivalent.
#pragma once

#include "platform/keyboard_layout.hpp"

#include <optional>
#include <string>

namespace tilewise {

// Virtual key codes of physical key positions (ANSI positions for letters).
struct Key {
    static constexpr int f = 3;
    static constexpr int c = 8;
    static constexpr int rightBracket = 30;
    static constexpr int leftBracket = 33;
    static constexpr int p = 35;
    static constexpr int returnKey = 36;
    static constexpr int tab = 48;
    static constexpr int space = 49;
    static constexpr int deleteKey = 51;
    static constexpr int escape = 53;
    static constexpr int function = 63;
    static constexpr int forwardDelete = 117;
    static constexpr int leftArrow = 123;
    static constexpr int rightArrow = 124;
    static constexpr int downArrow = 125;
    static constexpr int upArrow = 126;
};

// Text of a key in a shortcut's display text: the fixed table (Space and the
// function keys), else the character the key gives in the first
// ASCII-capable group that gives one (the current group first), else its
// legend on a US keyboard. None for a key code no key has.
std::optional<std::string> keyDisplayText(int keyCode, const KeyboardLayout& layout);

// F1 to F20: the keys a shortcut may use without Control, Option or Command.
bool isFunctionKey(int keyCode);

// The first letter of each word upper-cased, in every script.
std::string capitalized(const std::string& text);

// Text of a key for a menu key equivalent: the special table, else the
// current group, else the ASCII-capable ones, else the US legend. Only Shift and Option of
// `carbonModifiers` change the text. None when no source gives text.
std::optional<std::string> menuKeyText(int keyCode, int carbonModifiers, const KeyboardLayout& layout);

// UTF-8 of one code point.
std::string utf8(char32_t codePoint);

} // namespace tilewise
