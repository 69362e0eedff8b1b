// The closed set of built-in layout operations. Code that acts on them
// switches over every case, so a new one cannot be left out unnoticed; the
// order only numbers the names.
#pragma once

#include <nlohmann/json_fwd.hpp>

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tilewise {

enum class OperationType : std::uint8_t {
    // Clip cycling.
    Up,
    Down,
    Left,
    Right,
    // Fixed fractions.
    Maximize,
    TopHalf,
    TopThird,
    TopTwoThirds,
    BottomHalf,
    BottomThird,
    BottomTwoThirds,
    LeftHalf,
    LeftThird,
    LeftTwoThirds,
    RightHalf,
    RightThird,
    RightTwoThirds,
    HorizontalCenterThird,
    VerticalCenterThird,
    TopLeftQuarter,
    TopRightQuarter,
    BottomLeftQuarter,
    BottomRightQuarter,
    TopFourth,
    BottomFourth,
    LeftFourth,
    RightFourth,
    TopThreeFourths,
    BottomThreeFourths,
    LeftThreeFourths,
    RightThreeFourths,
    TopFifth,
    BottomFifth,
    LeftFifth,
    RightFifth,
    TopTwoFifths,
    BottomTwoFifths,
    LeftTwoFifths,
    RightTwoFifths,
    TopThreeFifths,
    BottomThreeFifths,
    LeftThreeFifths,
    RightThreeFifths,
    TopFourFifths,
    BottomFourFifths,
    LeftFourFifths,
    RightFourFifths,
    TopSixth,
    BottomSixth,
    LeftSixth,
    RightSixth,
    TopFiveSixths,
    BottomFiveSixths,
    LeftFiveSixths,
    RightFiveSixths,
    // Moves by the window's own size, then by a fixed little step.
    MoveUpward,
    MoveDownward,
    MoveLeftward,
    MoveRightward,
    MoveUpwardLittle,
    MoveDownwardLittle,
    MoveLeftwardLittle,
    MoveRightwardLittle,
    MoveTopLeftCorner,
    MoveTopRightCorner,
    MoveBottomLeftCorner,
    MoveBottomRightCorner,
    Center,
    ExactCenter,
    Pair,
    PairFor3,
    PairLast,
    NextScreen,
    PreviousScreen,
    NextSpace,
    PreviousSpace,
    Restore,
};

inline constexpr int operationTypeCount = 77;

constexpr int ordinal(OperationType op)
{
    return static_cast<int>(op);
}

constexpr OperationType operationAt(int ordinal)
{
    return static_cast<OperationType>(ordinal);
}

static_assert(ordinal(OperationType::Restore) == operationTypeCount - 1);

// The case name exactly as written above.
std::string_view caseName(OperationType op);
// Exact, case-sensitive.
std::optional<OperationType> operationFromName(std::string_view name);
const std::array<OperationType, operationTypeCount>& allOperationTypes();

// {"TopHalf":{}}. Decoding counts only the members named after a case; any
// count but one throws OperationDecodeError with
// "Invalid number of keys found, expected one.", as does a member value that
// is not an object (with its own message).
void to_json(nlohmann::json& j, const OperationType& op);
void from_json(const nlohmann::json& j, OperationType& op);

} // namespace tilewise
