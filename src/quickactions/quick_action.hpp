// Quick actions: named, ordered lists of window operations that the user
// defines once and runs later, and the JSON form in which the whole list is
// kept as one string in the defaults store.
#pragma once

#include "platform/geometry.hpp"
#include "settings/clip.hpp"

#include <nlohmann/json_fwd.hpp>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tilewise {

class DefaultsStore;

namespace settings_keys {
inline constexpr const char* quickActions = "TilewiseQuickActions";
} // namespace settings_keys

struct QuickAction {
    // Stored by their case names; the order only numbers them.
    enum class OperationType : std::uint8_t {
        moveAndResizeToMaximize,
        moveAndResizeToTopHalf,
        moveAndResizeToBottomHalf,
        moveAndResizeToLeftHalf,
        moveAndResizeToRightHalf,
        moveAndResizeToTopThird,
        moveAndResizeToTopTwoThirds,
        moveAndResizeToBottomThird,
        moveAndResizeToBottomTwoThirds,
        moveAndResizeToLeftThird,
        moveAndResizeToLeftTwoThirds,
        moveAndResizeToRightThird,
        moveAndResizeToRightTwoThirds,
        moveAndResizeToHorizontalCenterThird,
        moveAndResizeToVerticalCenterThird,
        moveAndResizeToTopLeftQuarter,
        moveAndResizeToTopRightQuarter,
        moveAndResizeToBottomLeftQuarter,
        moveAndResizeToBottomRightQuarter,
        moveAndResizeToTopFourth,
        moveAndResizeToBottomFourth,
        moveAndResizeToLeftFourth,
        moveAndResizeToRightFourth,
        moveAndResizeToTopThreeFourths,
        moveAndResizeToBottomThreeFourths,
        moveAndResizeToLeftThreeFourths,
        moveAndResizeToRightThreeFourths,
        moveAndResizeToTopFifth,
        moveAndResizeToBottomFifth,
        moveAndResizeToLeftFifth,
        moveAndResizeToRightFifth,
        moveAndResizeToTopTwoFifths,
        moveAndResizeToBottomTwoFifths,
        moveAndResizeToLeftTwoFifths,
        moveAndResizeToRightTwoFifths,
        moveAndResizeToTopThreeFifths,
        moveAndResizeToBottomThreeFifths,
        moveAndResizeToLeftThreeFifths,
        moveAndResizeToRightThreeFifths,
        moveAndResizeToTopFourFifths,
        moveAndResizeToBottomFourFifths,
        moveAndResizeToLeftFourFifths,
        moveAndResizeToRightFourFifths,
        moveAndResizeToTopSixth,
        moveAndResizeToBottomSixth,
        moveAndResizeToLeftSixth,
        moveAndResizeToRightSixth,
        moveAndResizeToTopFiveSixths,
        moveAndResizeToBottomFiveSixths,
        moveAndResizeToLeftFiveSixths,
        moveAndResizeToRightFiveSixths,
        moveAndResizeToFrame,
        moveToCenter,
        moveToCorner,
        moveToEdge,
        moveToPosition,
        moveByDistance,
        resizeToMaximize,
        resizeToHorizontalMaximize,
        resizeToVerticalMaximize,
        resizeToHorizontalHalf,
        resizeToVerticalHalf,
        resizeToHorizontalThird,
        resizeToVerticalThird,
        resizeToHorizontalTwoThirds,
        resizeToVerticalTwoThirds,
        resizeToSize,
        displayToNextScreen,
        displayToPreviousScreen,
        displayToCustom,
        pair,
    };
    static constexpr std::size_t operationTypeCount = 71;

    // Kept and stored, read by no operation. "maxmize" is the stored name.
    enum class ResizeTypes : std::uint8_t { size, maxmize };
    enum class CornerTypes : std::uint8_t { topLeft, topRight, bottomLeft, bottomRight };
    enum class UnitTypes : std::uint8_t { clip, percent, px };
    enum class EdgeTypes : std::uint8_t { top, bottom, left, right };

    // Every operation carries every field whatever its type; the fields its
    // type does not read are kept, stored and compared all the same. The
    // initial values are those of a new operation. Offsets and shifts are
    // measured downward (window space); a position's horizontal offset is
    // held in `width`.
    struct Operation {
        std::string id;
        OperationType type = OperationType::moveAndResizeToMaximize;
        ResizeTypes resizeType = ResizeTypes::maxmize;
        CornerTypes cornerType = CornerTypes::topLeft;
        UnitTypes positionUnitType = UnitTypes::clip;
        UnitTypes sizeUnitType = UnitTypes::clip;
        EdgeTypes edgeType = EdgeTypes::top;
        Size position{0, 0};
        Size positionPercent{0, 0};
        Clip positionClipX{1, 2};
        Clip positionClipY{1, 2};
        Size size{800, 600};
        Size sizePercent{100, 100};
        Clip sizeClipX{1, 2};
        Clip sizeClipY{1, 2};
        std::string displayName;
        bool exactCenter = false;
        double aroundSpace = 0;
        double moveDistanceX = 0;
        double moveDistanceY = 0;
        OperationType pairCurrentTo = OperationType::moveAndResizeToLeftHalf;

        friend bool operator==(const Operation&, const Operation&) = default;
    };

    struct Action {
        std::string id;
        std::string name;
        bool shortcutEnabled = false;
        std::optional<std::int64_t> shortcutSlot; // 0 to 41, unchecked
        std::int64_t key = -1;                    // menu key code; -1 is none
        std::vector<Operation> operations;

        friend bool operator==(const Action&, const Action&) = default;
    };

    // With a fresh id each; an action is "New Action" with no operations.
    static Operation newOperation(OperationType type);
    static Action newAction();

    // The 23 actions a new user starts with, built on first use.
    static const std::vector<Action>& defaultActions();
};

// A fresh random (version 4) UUID: 36 upper-case characters, 8-4-4-4-12.
std::string newUuid();

std::string_view rawValue(QuickAction::OperationType v);
std::string_view rawValue(QuickAction::ResizeTypes v);
std::string_view rawValue(QuickAction::CornerTypes v);
std::string_view rawValue(QuickAction::UnitTypes v);
std::string_view rawValue(QuickAction::EdgeTypes v);

// Exact, case-sensitive; only for the five enumerations above.
template <typename E> std::optional<E> fromRawValue(std::string_view raw);
template <> std::optional<QuickAction::OperationType> fromRawValue(std::string_view raw);
template <> std::optional<QuickAction::ResizeTypes> fromRawValue(std::string_view raw);
template <> std::optional<QuickAction::CornerTypes> fromRawValue(std::string_view raw);
template <> std::optional<QuickAction::UnitTypes> fromRawValue(std::string_view raw);
template <> std::optional<QuickAction::EdgeTypes> fromRawValue(std::string_view raw);

// The short texts the editor shows: "Top Half", "Top 1/4"; "clip", "%", "pt".
std::string_view label(QuickAction::OperationType v);
std::string_view label(QuickAction::UnitTypes v);

// Strict: every member is required but "shortcutSlot" (absent or null is
// none), types and raw values must match; unknown members are ignored.
void from_json(const nlohmann::json& j, QuickAction::Operation& op);
void from_json(const nlohmann::json& j, QuickAction::Action& action);
// Members in their declared order; "shortcutSlot" only when present.
void to_json(nlohmann::ordered_json& j, const QuickAction::Operation& op);
void to_json(nlohmann::ordered_json& j, const QuickAction::Action& action);

// The stored list; absent or unreadable (one bad element is enough) reads
// as the built-in list and leaves the stored text alone.
std::vector<QuickAction::Action> quickActions(const DefaultsStore& store);
std::string encodeQuickActions(const std::vector<QuickAction::Action>& actions);
// Writes the whole list; false when the store could not commit it.
bool storeQuickActions(DefaultsStore& store, const std::vector<QuickAction::Action>& actions);

} // namespace tilewise
