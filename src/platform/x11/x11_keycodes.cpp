#include "platform/x11/x11_keycodes.hpp"

#include <array>
#include <utility>

namespace tilewise {

namespace {

// Virtual key code and evdev code of each physical key.
constexpr std::pair<int, int> keyTable[] = {
    // Letters (ANSI positions).
    {0, 30},  // A
    {1, 31},  // S
    {2, 32},  // D
    {3, 33},  // F
    {4, 35},  // H
    {5, 34},  // G
    {6, 44},  // Z
    {7, 45},  // X
    {8, 46},  // C
    {9, 47},  // V
    {10, 86}, // the ISO key left of Z
    {11, 48}, // B
    {12, 16}, // Q
    {13, 17}, // W
    {14, 18}, // E
    {15, 19}, // R
    {16, 21}, // Y
    {17, 20}, // T
    {31, 24}, // O
    {32, 22}, // U
    {34, 23}, // I
    {35, 25}, // P
    {37, 38}, // L
    {38, 36}, // J
    {40, 37}, // K
    {45, 49}, // N
    {46, 50}, // M
    // Digits.
    {18, 2},  // 1
    {19, 3},  // 2
    {20, 4},  // 3
    {21, 5},  // 4
    {23, 6},  // 5
    {22, 7},  // 6
    {26, 8},  // 7
    {28, 9},  // 8
    {25, 10}, // 9
    {29, 11}, // 0
    // Punctuation.
    {24, 13}, // =
    {27, 12}, // -
    {30, 27}, // ]
    {33, 26}, // [
    {39, 40}, // '
    {41, 39}, // ;
    {42, 43}, // backslash
    {43, 51}, // ,
    {44, 53}, // /
    {47, 52}, // .
    {50, 41}, // `
    // Editing and movement.
    {36, 28},   // Return
    {48, 15},   // Tab
    {49, 57},   // Space
    {51, 14},   // Delete (backspace)
    {53, 1},    // Escape
    {114, 110}, // Help, where PC keyboards have Insert
    {115, 102}, // Home
    {116, 104}, // Page Up
    {117, 111}, // Forward delete
    {119, 107}, // End
    {121, 109}, // Page Down
    {123, 105}, // Left
    {124, 106}, // Right
    {125, 108}, // Down
    {126, 103}, // Up
    // Modifiers.
    {54, 126}, // right Command
    {55, 125}, // Command
    {56, 42},  // Shift
    {57, 58},  // Caps Lock
    {58, 56},  // Option
    {59, 29},  // Control
    {60, 54},  // right Shift
    {61, 100}, // right Option
    {62, 97},  // right Control
    // Function keys.
    {122, 59},  // F1
    {120, 60},  // F2
    {99, 61},   // F3
    {118, 62},  // F4
    {96, 63},   // F5
    {97, 64},   // F6
    {98, 65},   // F7
    {100, 66},  // F8
    {101, 67},  // F9
    {109, 68},  // F10
    {103, 87},  // F11
    {111, 88},  // F12
    {105, 183}, // F13
    {107, 184}, // F14
    {113, 185}, // F15
    {106, 186}, // F16
    {64, 187},  // F17
    {79, 188},  // F18
    {80, 189},  // F19
    {90, 190},  // F20
    // Keypad.
    {65, 83},  // .
    {67, 55},  // *
    {69, 78},  // +
    {71, 69},  // Clear, where PC keyboards have Num Lock
    {75, 98},  // /
    {76, 96},  // Enter
    {78, 74},  // -
    {81, 117}, // =
    {82, 82},  // 0
    {83, 79},  // 1
    {84, 80},  // 2
    {85, 81},  // 3
    {86, 75},  // 4
    {87, 76},  // 5
    {88, 77},  // 6
    {89, 71},  // 7
    {91, 72},  // 8
    {92, 73},  // 9
    // Media and language keys.
    {72, 115},  // volume up
    {73, 114},  // volume down
    {74, 113},  // mute
    {93, 124},  // Yen
    {94, 89},   // Ro (underscore)
    {95, 95},   // keypad comma
    {102, 123}, // Eisu
    {104, 122}, // Kana
    {110, 127}, // context menu
};

// Both directions, built once: 128 virtual codes, 256 X codes; 0 is "none"
// on both sides except virtual code 0 (A), which is stored shifted by one.
struct Tables {
    std::array<std::uint8_t, 128> toX{};
    std::array<int, 256> toVirtualPlusOne{};
};

const Tables& tables()
{
    static const Tables t = [] {
        Tables t;
        for (auto [virtualCode, evdev] : keyTable) {
            auto x = std::uint8_t(evdev + evdevToXOffset);
            t.toX[std::size_t(virtualCode)] = x;
            t.toVirtualPlusOne[x] = virtualCode + 1;
        }
        return t;
    }();
    return t;
}

} // namespace

std::optional<std::uint8_t> xKeyCodeForVirtualKey(int virtualKeyCode)
{
    if (virtualKeyCode < 0 || virtualKeyCode >= 128)
        return std::nullopt;
    std::uint8_t x = tables().toX[std::size_t(virtualKeyCode)];
    if (x == 0)
        return std::nullopt;
    return x;
}

std::optional<int> virtualKeyForXKeyCode(std::uint8_t xKeyCode)
{
    int v = tables().toVirtualPlusOne[xKeyCode];
    if (v == 0)
        return std::nullopt;
    return v - 1;
}

} // namespace tilewise
