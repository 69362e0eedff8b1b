#include "layout/operation_type.hpp"

#include "layout/operation_decode_error.hpp"

#include <nlohmann/json.hpp>

#include <string>

namespace tilewise {

namespace {

constexpr std::array<std::string_view, operationTypeCount> names{
    "Up",
    "Down",
    "Left",
    "Right",
    "Maximize",
    "TopHalf",
    "TopThird",
    "TopTwoThirds",
    "BottomHalf",
    "BottomThird",
    "BottomTwoThirds",
    "LeftHalf",
    "LeftThird",
    "LeftTwoThirds",
    "RightHalf",
    "RightThird",
    "RightTwoThirds",
    "HorizontalCenterThird",
    "VerticalCenterThird",
    "TopLeftQuarter",
    "TopRightQuarter",
    "BottomLeftQuarter",
    "BottomRightQuarter",
    "TopFourth",
    "BottomFourth",
    "LeftFourth",
    "RightFourth",
    "TopThreeFourths",
    "BottomThreeFourths",
    "LeftThreeFourths",
    "RightThreeFourths",
    "TopFifth",
    "BottomFifth",
    "LeftFifth",
    "RightFifth",
    "TopTwoFifths",
    "BottomTwoFifths",
    "LeftTwoFifths",
    "RightTwoFifths",
    "TopThreeFifths",
    "BottomThreeFifths",
    "LeftThreeFifths",
    "RightThreeFifths",
    "TopFourFifths",
    "BottomFourFifths",
    "LeftFourFifths",
    "RightFourFifths",
    "TopSixth",
    "BottomSixth",
    "LeftSixth",
    "RightSixth",
    "TopFiveSixths",
    "BottomFiveSixths",
    "LeftFiveSixths",
    "RightFiveSixths",
    "MoveUpward",
    "MoveDownward",
    "MoveLeftward",
    "MoveRightward",
    "MoveUpwardLittle",
    "MoveDownwardLittle",
    "MoveLeftwardLittle",
    "MoveRightwardLittle",
    "MoveTopLeftCorner",
    "MoveTopRightCorner",
    "MoveBottomLeftCorner",
    "MoveBottomRightCorner",
    "Center",
    "ExactCenter",
    "Pair",
    "PairFor3",
    "PairLast",
    "NextScreen",
    "PreviousScreen",
    "NextSpace",
    "PreviousSpace",
    "Restore",
};

constexpr std::array<OperationType, operationTypeCount> makeAll()
{
    std::array<OperationType, operationTypeCount> all{};
    for (int i = 0; i < operationTypeCount; ++i)
        all[static_cast<std::size_t>(i)] = operationAt(i);
    return all;
}

} // namespace

std::string_view caseName(OperationType op)
{
    return names.at(static_cast<std::size_t>(ordinal(op)));
}

std::optional<OperationType> operationFromName(std::string_view name)
{
    for (int i = 0; i < operationTypeCount; ++i) {
        if (names[static_cast<std::size_t>(i)] == name)
            return operationAt(i);
    }
    return std::nullopt;
}

const std::array<OperationType, operationTypeCount>& allOperationTypes()
{
    static constexpr std::array<OperationType, operationTypeCount> all = makeAll();
    return all;
}

void to_json(nlohmann::json& j, const OperationType& op)
{
    j = nlohmann::json::object();
    j[std::string(caseName(op))] = nlohmann::json::object();
}

void from_json(const nlohmann::json& j, OperationType& op)
{
    if (!j.is_object())
        throw OperationDecodeError("Expected an object holding one operation name.");
    // Members that name no case are not counted, so {"Bogus":{}} has no key.
    std::optional<OperationType> found;
    const nlohmann::json* value = nullptr;
    int count = 0;
    for (const auto& [key, member] : j.items()) {
        if (std::optional<OperationType> candidate = operationFromName(key)) {
            ++count;
            found = candidate;
            value = &member;
        }
    }
    if (count != 1)
        throw OperationDecodeError("Invalid number of keys found, expected one.");
    if (!value->is_object())
        throw OperationDecodeError("Expected an empty object as the value of " +
                                   std::string(caseName(*found)) + ".");
    op = *found;
}

} // namespace tilewise
