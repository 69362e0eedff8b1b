#include "shortcuts/key_text.hpp"

#include "shortcuts/key_positions.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <vector>

#include <locale.h>
#include <wctype.h>
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

namespace {

// Text a user can read: no control characters, which layouts give for
// Return, Tab or Escape.
bool printable(const std::optional<std::string>& text)
{
    if (!text || text->empty())
        return false;
    return std::none_of(text->begin(), text->end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
}

// A group whose A key types an ASCII letter is one a Latin keyboard prints.
bool asciiCapable(const KeyboardLayout& layout, int group)
{
    std::optional<std::string> a = layout.translate(group, 0, 0);
    return a && a->size() == 1 && std::isalpha(static_cast<unsigned char>((*a)[0]));
}

// The key's character in the first ASCII-capable group that gives one,
// the current group first.
std::optional<std::string> asciiCapableText(int keyCode, int state, const KeyboardLayout& layout)
{
    const int current = layout.currentGroup();
    std::vector<int> order{current};
    for (int g = 0; g < layout.groupCount(); ++g)
        if (g != current)
            order.push_back(g);
    for (int group : order) {
        if (!asciiCapable(layout, group))
            continue;
        std::optional<std::string> text = layout.translate(group, keyCode, state);
        if (printable(text))
            return text;
    }
    return std::nullopt;
}

std::optional<std::string> legend(int keyCode)
{
    if (const KeyPosition* p = keyPosition(keyCode))
        return std::string(p->legend);
    return std::nullopt;
}

// Decodes one UTF-8 sequence at `i`, advancing it; a byte that does not
// start a whole sequence comes back as itself, so nothing is lost.
char32_t decode(const std::string& s, std::size_t& i)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char lead = byte(i);
    const std::size_t extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    if (extra == 0 || i + extra >= s.size()) {
        ++i;
        return lead;
    }
    char32_t cp = lead & (0x3F >> extra);
    for (std::size_t k = 1; k <= extra; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            ++i;
            return lead;
        }
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    i += extra + 1;
    return cp;
}

char32_t upper(char32_t cp)
{
    if (cp < 0x80)
        return (cp >= 'a' && cp <= 'z') ? cp - 'a' + 'A' : cp;
    // The C library knows every script's cases, but only under a UTF-8
    // locale; the program's own locale is left alone.
    static const locale_t utf8Locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(0));
    if (!utf8Locale)
        return cp;
    return static_cast<char32_t>(towupper_l(static_cast<wint_t>(cp), utf8Locale));
}

} // namespace

bool isFunctionKey(int keyCode)
{
    return std::find(functionKeyCodes.begin(), functionKeyCodes.end(), keyCode) != functionKeyCodes.end();
}

std::optional<std::string> keyDisplayText(int keyCode, const KeyboardLayout& layout)
{
    auto it = displayTable().find(keyCode);
    if (it != displayTable().end())
        return it->second;
    if (std::optional<std::string> text = asciiCapableText(keyCode, 0, layout))
        return text;
    return legend(keyCode);
}

std::string capitalized(const std::string& text)
{
    std::string out;
    bool wordStart = true;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t from = i;
        char32_t cp = decode(text, i);
        const bool isSpace = cp == ' ' || cp == '\t' || cp == '\n';
        // A byte that is no UTF-8 came back alone and stays as it is.
        const bool valid = cp < 0x80 || i - from > 1;
        if (wordStart && valid && !isSpace && upper(cp) != cp)
            out += utf8(upper(cp));
        else
            out.append(text, from, i - from);
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
    if (std::optional<std::string> text = layout.translate(layout.currentGroup(), keyCode, state);
        printable(text))
        return text;
    if (std::optional<std::string> text = asciiCapableText(keyCode, state, layout))
        return text;
    return legend(keyCode);
}

} // namespace tilewise
