#include "shortcuts/key_positions.hpp"

#include <algorithm>
#include <array>

namespace tilewise {

namespace {

constexpr KeyPosition table[] = {
    // Letters (ANSI positions).
    {0, "AC01", 30, "a"},
    {1, "AC02", 31, "s"},
    {2, "AC03", 32, "d"},
    {3, "AC04", 33, "f"},
    {4, "AC06", 35, "h"},
    {5, "AC05", 34, "g"},
    {6, "AB01", 44, "z"},
    {7, "AB02", 45, "x"},
    {8, "AB03", 46, "c"},
    {9, "AB04", 47, "v"},
    {10, "LSGT", 86, "<"}, // the ISO key left of Z
    {11, "AB05", 48, "b"},
    {12, "AD01", 16, "q"},
    {13, "AD02", 17, "w"},
    {14, "AD03", 18, "e"},
    {15, "AD04", 19, "r"},
    {16, "AD06", 21, "y"},
    {17, "AD05", 20, "t"},
    {31, "AD09", 24, "o"},
    {32, "AD07", 22, "u"},
    {34, "AD08", 23, "i"},
    {35, "AD10", 25, "p"},
    {37, "AC09", 38, "l"},
    {38, "AC07", 36, "j"},
    {40, "AC08", 37, "k"},
    {45, "AB06", 49, "n"},
    {46, "AB07", 50, "m"},
    // Digits.
    {18, "AE01", 2, "1"},
    {19, "AE02", 3, "2"},
    {20, "AE03", 4, "3"},
    {21, "AE04", 5, "4"},
    {23, "AE05", 6, "5"},
    {22, "AE06", 7, "6"},
    {26, "AE07", 8, "7"},
    {28, "AE08", 9, "8"},
    {25, "AE09", 10, "9"},
    {29, "AE10", 11, "0"},
    // Punctuation.
    {24, "AE12", 13, "="},
    {27, "AE11", 12, "-"},
    {30, "AD12", 27, "]"},
    {33, "AD11", 26, "["},
    {39, "AC11", 40, "'"},
    {41, "AC10", 39, ";"},
    {42, "BKSL", 43, "\\"},
    {43, "AB08", 51, ","},
    {44, "AB10", 53, "/"},
    {47, "AB09", 52, "."},
    {50, "TLDE", 41, "`"},
    // Editing and movement.
    {36, "RTRN", 28, "↩"},
    {48, "TAB", 15, "⇥"},
    {49, "SPCE", 57, " "},
    {51, "BKSP", 14, "⌫"},
    {53, "ESC", 1, "⎋"},
    {114, "INS", 110, "?⃝"}, // Help, where PC keyboards have Insert
    {115, "HOME", 102, "↖"},
    {116, "PGUP", 104, "⇞"},
    {117, "DELE", 111, "⌦"},
    {119, "END", 107, "↘"},
    {121, "PGDN", 109, "⇟"},
    {123, "LEFT", 105, "←"},
    {124, "RGHT", 106, "→"},
    {125, "DOWN", 108, "↓"},
    {126, "UP", 103, "↑"},
    // Modifiers.
    {54, "RWIN", 126, "⌘"},
    {55, "LWIN", 125, "⌘"},
    {56, "LFSH", 42, "⇧"},
    {57, "CAPS", 58, "⇪"},
    {58, "LALT", 56, "⌥"},
    {59, "LCTL", 29, "⌃"},
    {60, "RTSH", 54, "⇧"},
    {61, "RALT", 100, "⌥"},
    {62, "RCTL", 97, "⌃"},
    // Function keys.
    {122, "FK01", 59, "F1"},
    {120, "FK02", 60, "F2"},
    {99, "FK03", 61, "F3"},
    {118, "FK04", 62, "F4"},
    {96, "FK05", 63, "F5"},
    {97, "FK06", 64, "F6"},
    {98, "FK07", 65, "F7"},
    {100, "FK08", 66, "F8"},
    {101, "FK09", 67, "F9"},
    {109, "FK10", 68, "F10"},
    {103, "FK11", 87, "F11"},
    {111, "FK12", 88, "F12"},
    {105, "FK13", 183, "F13"},
    {107, "FK14", 184, "F14"},
    {113, "FK15", 185, "F15"},
    {106, "FK16", 186, "F16"},
    {64, "FK17", 187, "F17"},
    {79, "FK18", 188, "F18"},
    {80, "FK19", 189, "F19"},
    {90, "FK20", 190, "F20"},
    // Keypad.
    {65, "KPDL", 83, "."},
    {67, "KPMU", 55, "*"},
    {69, "KPAD", 78, "+"},
    {71, "NMLK", 69, "⌧"}, // Clear, where PC keyboards have Num Lock
    {75, "KPDV", 98, "/"},
    {76, "KPEN", 96, "⌅"},
    {78, "KPSU", 74, "-"},
    {81, "KPEQ", 117, "="},
    {82, "KP0", 82, "0"},
    {83, "KP1", 79, "1"},
    {84, "KP2", 80, "2"},
    {85, "KP3", 81, "3"},
    {86, "KP4", 75, "4"},
    {87, "KP5", 76, "5"},
    {88, "KP6", 77, "6"},
    {89, "KP7", 71, "7"},
    {91, "KP8", 72, "8"},
    {92, "KP9", 73, "9"},
    // Media and language keys.
    {72, "VOL+", 115, "🔊"},
    {73, "VOL-", 114, "🔉"},
    {74, "MUTE", 113, "🔇"},
    {93, "AE13", 124, "¥"},
    {94, "AB11", 89, "_"},
    {95, "JPCM", 95, ","},
    {102, "HJCV", 123, "英数"},
    {104, "HNGL", 122, "かな"},
    {110, "COMP", 127, "▤"},
};

// By key code, built once: 128 codes.
const std::array<const KeyPosition*, 128>& byKeyCode()
{
    static const std::array<const KeyPosition*, 128> index = [] {
        std::array<const KeyPosition*, 128> a{};
        for (const KeyPosition& p : table)
            a[std::size_t(p.keyCode)] = &p;
        return a;
    }();
    return index;
}

} // namespace

std::span<const KeyPosition> keyPositions()
{
    return table;
}

const KeyPosition* keyPosition(int keyCode)
{
    if (keyCode < 0 || keyCode >= 128)
        return nullptr;
    return byKeyCode()[std::size_t(keyCode)];
}

const KeyPosition* keyPositionByXkbName(std::string_view xkbName)
{
    auto it = std::find_if(std::begin(table), std::end(table),
                           [&](const KeyPosition& p) { return p.xkbName == xkbName; });
    return it == std::end(table) ? nullptr : &*it;
}

} // namespace tilewise
