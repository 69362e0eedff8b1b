#include "shortcuts/key_text.hpp"

#include <array>
#include <map>
#include <utility>

namespace tilewise {

namespace {

// F1 to F20 in order.
constexpr std::array<int, 20> functionKeyCodes = {122, 120, 99,  118, 96,  97,  98, 100, 101, 109,
                                                  103, 111, 105, 107, 113, 106, 64, 79,  80,  90};

// The platform's private-use characters for the function keys start here.
constexpr char32_t firstFunctionKeyCharacter = 0xF704;

constexpr int carbonShift = 512;
constexpr int carbonOption = 2048;

const std::map<int, std::string>& displayTable()
{
    static const std::map<int, std::string> table = [] {
        std::map<int, std::string> t{{Key::space, " "}};
        for (std::size_t i = 0; i < functionKeyCodes.size(); ++i)
            t[functionKeyCodes[i]] = utf8(firstFunctionKeyCharacter + static_cast<char32_t>(i));
        return t;
    }();
    return table;
}

const std::map<int, std::string>& menuTable()
{
    static const std::map<int, std::string> table = [] {
        std::map<int, std::string> t{
            {36, "↩"},     {48, "⇥"},     {49, "Space"}, {51, "⌫"},  {53, "⎋"},  {71, "⌧"},  {76, "⌅"},
            {102, "英数"}, {104, "かな"}, {114, "?⃝"},    {115, "↖"}, {116, "⇞"}, {117, "⌦"}, {119, "↘"},
            {121, "⇟"},    {123, "←"},    {124, "→"},    {125, "↓"}, {126, "↑"},
        };
        // Appended rather than "F" + std::string: GCC 12 reports a false
        // -Wrestrict on that at -O3.
        for (std::size_t i = 0; i < functionKeyCodes.size(); ++i)
            t[functionKeyCodes[i]] = std::string("F").append(std::to_string(i + 1));
        return t;
    }();
    return table;
}

} // namespace

std::string utf8(char32_t cp)
{
    std::string out;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return out;
}

std::optional<std::string> keyDisplayText(int keyCode, const KeyboardLayout& layout)
{
    auto it = displayTable().find(keyCode);
    if (it != displayTable().end())
        return it->second;
    std::optional<std::string> text = layout.translate(KeyboardLayout::Source::AsciiCapable, keyCode, 0);
    if (text && text->empty())
        return std::nullopt;
    return text;
}

std::string capitalized(const std::string& text)
{
    std::string out = text;
    bool wordStart = true;
    for (char& ch : out) {
        bool isSpace = ch == ' ' || ch == '\t' || ch == '\n';
        if (wordStart && ch >= 'a' && ch <= 'z')
            ch = static_cast<char>(ch - 'a' + 'A');
        // A continuation byte of a multi-byte character is still inside the word.
        wordStart = isSpace;
    }
    return out;
}

std::optional<std::string> menuKeyText(int keyCode, int carbonModifiers, const KeyboardLayout& layout)
{
    auto it = menuTable().find(keyCode);
    if (it != menuTable().end())
        return it->second;
    int state = 0;
    if (carbonModifiers & carbonShift)
        state |= KeyboardLayout::shiftState;
    if (carbonModifiers & carbonOption)
        state |= KeyboardLayout::optionState;
    for (auto source : {KeyboardLayout::Source::Current, KeyboardLayout::Source::AsciiCapable}) {
        std::optional<std::string> text = layout.translate(source, keyCode, state);
        if (text && !text->empty())
            return text;
    }
    return std::nullopt;
}

} // namespace tilewise
