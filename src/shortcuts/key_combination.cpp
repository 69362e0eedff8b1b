#include "shortcuts/key_combination.hpp"

#include "shortcuts/key_positions.hpp"
#include "shortcuts/key_text.hpp"

#include <algorithm>
#include <functional>
#include <initializer_list>
#include <utility>
#include <vector>

#include <locale.h>
#include <wctype.h>

namespace tilewise {

namespace {

using Shortcut = KeyboardShortcuts::Shortcut;

struct Word {
    std::string_view text;
    int value;
};

constexpr Word modifierWords[] = {
    {"ctrl", KeyboardShortcuts::control},    {"control", KeyboardShortcuts::control},
    {"alt", KeyboardShortcuts::option},      {"option", KeyboardShortcuts::option},
    {"opt", KeyboardShortcuts::option},      {"shift", KeyboardShortcuts::shift},
    {"super", KeyboardShortcuts::command},   {"cmd", KeyboardShortcuts::command},
    {"command", KeyboardShortcuts::command}, {"meta", KeyboardShortcuts::command},
    {"win", KeyboardShortcuts::command},
};

// Modifier words in the order the text is written.
constexpr std::pair<int, std::string_view> modifierOrder[] = {{KeyboardShortcuts::control, "ctrl"},
                                                              {KeyboardShortcuts::option, "alt"},
                                                              {KeyboardShortcuts::shift, "shift"},
                                                              {KeyboardShortcuts::command, "super"}};

// Every key that types no character of its own has a name, X keysyms where
// X has one; a code's first name is the one written out.
constexpr Word namedKeys[] = {
    {"Return", 36},
    {"Enter", 36},
    {"Tab", 48},
    {"Space", 49},
    {"BackSpace", 51},
    {"Escape", 53},
    {"Esc", 53},
    {"Insert", 114},
    {"Ins", 114},
    {"Home", 115},
    {"Page_Up", 116},
    {"PageUp", 116},
    {"Prior", 116},
    {"Delete", 117},
    {"Del", 117},
    {"End", 119},
    {"Page_Down", 121},
    {"PageDown", 121},
    {"Next", 121},
    {"Left", 123},
    {"Right", 124},
    {"Down", 125},
    {"Up", 126},
    {"Super_R", 54},
    {"Super_L", 55},
    {"Shift_L", 56},
    {"Caps_Lock", 57},
    {"Alt_L", 58},
    {"Control_L", 59},
    {"Shift_R", 60},
    {"Alt_R", 61},
    {"Control_R", 62},
    {"KP_Decimal", 65},
    {"KP_Multiply", 67},
    {"KP_Add", 69},
    {"Num_Lock", 71},
    {"Clear", 71},
    {"KP_Divide", 75},
    {"KP_Enter", 76},
    {"KP_Subtract", 78},
    {"KP_Equal", 81},
    {"KP_0", 82},
    {"KP_1", 83},
    {"KP_2", 84},
    {"KP_3", 85},
    {"KP_4", 86},
    {"KP_5", 87},
    {"KP_6", 88},
    {"KP_7", 89},
    {"KP_8", 91},
    {"KP_9", 92},
    {"XF86AudioRaiseVolume", 72},
    {"XF86AudioLowerVolume", 73},
    {"XF86AudioMute", 74},
    {"Yen", 93},
    {"Ro", 94},
    {"KP_JPComma", 95},
    {"Hangul_Hanja", 102},
    {"Hangul", 104},
    {"Menu", 110},
};

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

// The names above, then F1 to F20 as the key table spells them.
const std::vector<Word>& keyNames()
{
    static const std::vector<Word> names = [] {
        std::vector<Word> all(std::begin(namedKeys), std::end(namedKeys));
        for (const KeyPosition& p : keyPositions())
            if (isFunctionKey(p.keyCode))
                all.push_back({p.legend, p.keyCode});
        return all;
    }();
    return names;
}

const Word* nameOf(int keyCode)
{
    auto it =
        std::find_if(keyNames().begin(), keyNames().end(), [&](const Word& w) { return w.value == keyCode; });
    return it == keyNames().end() ? nullptr : &*it;
}

std::string_view trimmed(std::string_view s)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

int modifierBit(std::string_view token)
{
    for (const Word& w : modifierWords)
        if (equalsIgnoringCase(w.text, token))
            return w.value;
    return 0;
}

// The code point of a text that is exactly one whole UTF-8 sequence.
std::optional<char32_t> singleCodePoint(std::string_view s)
{
    if (s.empty())
        return std::nullopt;
    const auto lead = static_cast<unsigned char>(s[0]);
    const std::size_t length = lead < 0x80    ? 1
                               : lead >= 0xF8 ? 0
                               : lead >= 0xF0 ? 4
                               : lead >= 0xE0 ? 3
                               : lead >= 0xC0 ? 2
                                              : 0;
    if (length == 0 || s.size() != length)
        return std::nullopt;
    char32_t cp = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(s[i]);
        if ((byte & 0xC0) != 0x80)
            return std::nullopt;
        cp = (cp << 6) | (byte & 0x3F);
    }
    return cp;
}

char32_t lower(char32_t cp)
{
    if (cp < 0x80)
        return cp >= 'A' && cp <= 'Z' ? cp - 'A' + 'a' : cp;
    // Every script's cases, under a UTF-8 locale of our own so that the
    // program's locale is left alone.
    static const locale_t utf8Locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(0));
    return utf8Locale ? static_cast<char32_t>(towlower_l(static_cast<wint_t>(cp), utf8Locale)) : cp;
}

bool types(std::optional<std::string_view> text, char32_t lowered)
{
    if (!text)
        return false;
    std::optional<char32_t> cp = singleCodePoint(*text);
    return cp && lower(*cp) == lowered;
}

// Main-block keys before the named ones (keypad, Japanese keys), each in
// table order: a layout's '1' is the digit row's, not the keypad's.
std::optional<int> firstKey(const std::function<bool(const KeyPosition&)>& matches)
{
    for (bool named : {false, true})
        for (const KeyPosition& p : keyPositions())
            if ((nameOf(p.keyCode) != nullptr) == named && matches(p))
                return p.keyCode;
    return std::nullopt;
}

// A group whose A key types an ASCII letter is one a Latin keyboard prints.
bool asciiCapable(const KeyboardLayout& layout, int group)
{
    std::optional<std::string> a = layout.translate(group, 0, 0);
    return a && a->size() == 1 && ((*a)[0] | 0x20) >= 'a' && ((*a)[0] | 0x20) <= 'z';
}

// The key that types `c` unshifted: the current group, then the
// ASCII-capable groups, then the others (a user who switched to Latin to
// type the command may paste a character of another group), then the US
// legends, so that "ctrl+alt+a" means the A key on any layout.
std::optional<int> keyTyping(char32_t c, const KeyboardLayout& layout)
{
    const char32_t lowered = lower(c);
    const int current = layout.currentGroup();
    std::vector<int> groups{current};
    for (bool ascii : {true, false})
        for (int g = 0; g < layout.groupCount(); ++g)
            if (g != current && asciiCapable(layout, g) == ascii)
                groups.push_back(g);
    for (int g : groups)
        if (std::optional<int> code = firstKey(
                [&](const KeyPosition& p) { return types(layout.translate(g, p.keyCode, 0), lowered); }))
            return code;
    return firstKey([&](const KeyPosition& p) { return types(p.legend, lowered); });
}

std::optional<int> keyCodeOf(std::string_view token, const KeyboardLayout& layout)
{
    for (const Word& w : keyNames())
        if (equalsIgnoringCase(w.text, token))
            return w.value;
    if (equalsIgnoringCase(token, "plus"))
        return keyTyping('+', layout);
    if (token.size() > 2 && token.front() == '<' && token.back() == '>')
        for (const KeyPosition& p : keyPositions())
            if (equalsIgnoringCase(p.xkbName, token.substr(1, token.size() - 2)))
                return p.keyCode;
    if (std::optional<char32_t> c = singleCodePoint(token))
        return keyTyping(*c, layout);
    return std::nullopt;
}

// Where the current group types `c` with Shift, the text that names it.
std::optional<std::string> shiftedHint(char32_t c, int modifiers, const KeyboardLayout& layout)
{
    for (const KeyPosition& p : keyPositions()) {
        std::optional<std::string> text =
            layout.translate(layout.currentGroup(), p.keyCode, KeyboardLayout::shiftState);
        if (text && singleCodePoint(*text) == c)
            return keyCombinationText(Shortcut(p.keyCode, modifiers | KeyboardShortcuts::shift), layout);
    }
    return std::nullopt;
}

std::string quoted(std::string_view text)
{
    return std::string("'").append(text).append("'");
}

// Appended piece by piece: GCC 12 reports a false -Wrestrict on
// "literal" + std::string.
std::string message(std::initializer_list<std::string_view> pieces)
{
    std::string out;
    for (std::string_view piece : pieces)
        out.append(piece);
    return out;
}

} // namespace

std::optional<Shortcut> parseKeyCombination(std::string_view text, const KeyboardLayout& layout,
                                            std::string& error)
{
    if (trimmed(text).empty()) {
        error = "no key combination given: write one like 'ctrl+alt+Left'";
        return std::nullopt;
    }
    std::vector<std::string_view> tokens;
    for (std::size_t from = 0;;) {
        const std::size_t plus = text.find('+', from);
        tokens.push_back(trimmed(text.substr(from, plus == std::string_view::npos ? plus : plus - from)));
        if (plus == std::string_view::npos)
            break;
        from = plus + 1;
    }
    const std::string_view keyToken = tokens.back();
    int modifiers = 0;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const std::string_view token = tokens[i];
        if (token.empty()) {
            error = message(
                {"empty key name in ", quoted(text), ": write 'plus' for the + key, as in 'ctrl+alt+plus'"});
            return std::nullopt;
        }
        if (int bit = modifierBit(token)) {
            modifiers |= bit;
            continue;
        }
        if (i + 1 == tokens.size())
            break;
        if (!keyCodeOf(token, layout))
            error = message({"unknown modifier ", quoted(token), " in ", quoted(text),
                             ": use ctrl, alt, shift or super"});
        else if (modifierBit(keyToken) == 0)
            error = message({"more than one key in ", quoted(text), ": a combination has one key"});
        else
            error = message({"the key comes last in ", quoted(text), ", after the modifiers"});
        return std::nullopt;
    }
    if (modifierBit(keyToken) != 0) {
        error = message({"no key in ", quoted(text), ": end it with the key, as in 'ctrl+alt+Left'"});
        return std::nullopt;
    }
    std::optional<int> code = keyCodeOf(keyToken, layout);
    if (!code) {
        std::optional<char32_t> c = singleCodePoint(keyToken);
        if (!c)
            error = message({"unknown key ", quoted(keyToken), " in ", quoted(text),
                             ": use one character or a key name such as Return, Left, Page_Up, F5 or KP_1"});
        else if (std::optional<std::string> hint = shiftedHint(*c, modifiers, layout))
            error = message({"no key types ", quoted(keyToken), " without Shift: write ", quoted(*hint)});
        else
            error = message({"no key of the keyboard layout types ", quoted(keyToken), " in ", quoted(text)});
        return std::nullopt;
    }
    Shortcut shortcut(*code, modifiers);
    if (!KeyboardShortcuts::isUsable(shortcut)) {
        error = message(
            {quoted(text), " needs ctrl, alt or super, so that it does not take the key from every program"});
        return std::nullopt;
    }
    return shortcut;
}

std::string keyCombinationText(const Shortcut& shortcut, const KeyboardLayout& layout)
{
    std::string text;
    for (auto [bit, word] : modifierOrder)
        if (shortcut.carbonModifiers & bit)
            text.append(word).append("+");
    const int code = shortcut.carbonKeyCode;
    if (const Word* name = nameOf(code))
        return text.append(name->text);
    const KeyPosition* position = keyPosition(code);
    if (!position)
        return text.append("<").append(std::to_string(code)).append(">");
    // What the layout types, unless another key types it too: then the US
    // legend, then the XKB name, which always names this key.
    std::vector<std::string> candidates;
    if (std::optional<std::string> typed = keyDisplayText(code, layout))
        candidates.push_back(*typed);
    candidates.emplace_back(position->legend);
    for (std::string& candidate : candidates) {
        if (candidate == "+")
            candidate = "plus";
        if (candidate.find('+') == std::string::npos && trimmed(candidate) == candidate &&
            keyCodeOf(candidate, layout) == code)
            return text.append(candidate);
    }
    return text.append("<").append(position->xkbName).append(">");
}

} // namespace tilewise
