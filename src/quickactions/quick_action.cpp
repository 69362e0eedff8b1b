#include "quickactions/quick_action.hpp"

#include "settings/defaults_store.hpp"
#include "settings/json_array.hpp"
#include "settings/stored_value_check.hpp"

#include <nlohmann/json.hpp>

#include <array>
#include <cmath>
#include <limits>
#include <random>
#include <utility>

namespace tilewise {

namespace {

using T = QuickAction::OperationType;
using Json = nlohmann::json;
using OrderedJson = nlohmann::ordered_json;

struct OperationTypeEntry {
    T type;
    std::string_view raw;
    std::string_view label;
};

// The raw value is the case name, spelled once.
#define TILEWISE_OPERATION(name, text)                                                                       \
    OperationTypeEntry                                                                                       \
    {                                                                                                        \
        T::name, #name, text                                                                                 \
    }
constexpr std::array<OperationTypeEntry, QuickAction::operationTypeCount> operationTypes{
    TILEWISE_OPERATION(moveAndResizeToMaximize, "Maximize"),
    TILEWISE_OPERATION(moveAndResizeToTopHalf, "Top Half"),
    TILEWISE_OPERATION(moveAndResizeToBottomHalf, "Bottom Half"),
    TILEWISE_OPERATION(moveAndResizeToLeftHalf, "Left Half"),
    TILEWISE_OPERATION(moveAndResizeToRightHalf, "Right Half"),
    TILEWISE_OPERATION(moveAndResizeToTopThird, "Top Third"),
    TILEWISE_OPERATION(moveAndResizeToTopTwoThirds, "Top Two Thirds"),
    TILEWISE_OPERATION(moveAndResizeToBottomThird, "Bottom Third"),
    TILEWISE_OPERATION(moveAndResizeToBottomTwoThirds, "Bottom Two Thirds"),
    TILEWISE_OPERATION(moveAndResizeToLeftThird, "Left Third"),
    TILEWISE_OPERATION(moveAndResizeToLeftTwoThirds, "Left Two Thirds"),
    TILEWISE_OPERATION(moveAndResizeToRightThird, "Right Third"),
    TILEWISE_OPERATION(moveAndResizeToRightTwoThirds, "Right Two Thirds"),
    TILEWISE_OPERATION(moveAndResizeToHorizontalCenterThird, "Horizontal Center Third"),
    TILEWISE_OPERATION(moveAndResizeToVerticalCenterThird, "Vertical Center Third"),
    TILEWISE_OPERATION(moveAndResizeToTopLeftQuarter, "Top Left Quarter"),
    TILEWISE_OPERATION(moveAndResizeToTopRightQuarter, "Top Right Quarter"),
    TILEWISE_OPERATION(moveAndResizeToBottomLeftQuarter, "Bottom Left Quarter"),
    TILEWISE_OPERATION(moveAndResizeToBottomRightQuarter, "Bottom Right Quarter"),
    TILEWISE_OPERATION(moveAndResizeToTopFourth, "Top 1/4"),
    TILEWISE_OPERATION(moveAndResizeToBottomFourth, "Bottom 1/4"),
    TILEWISE_OPERATION(moveAndResizeToLeftFourth, "Left 1/4"),
    TILEWISE_OPERATION(moveAndResizeToRightFourth, "Right 1/4"),
    TILEWISE_OPERATION(moveAndResizeToTopThreeFourths, "Top 3/4"),
    TILEWISE_OPERATION(moveAndResizeToBottomThreeFourths, "Bottom 3/4"),
    TILEWISE_OPERATION(moveAndResizeToLeftThreeFourths, "Left 3/4"),
    TILEWISE_OPERATION(moveAndResizeToRightThreeFourths, "Right 3/4"),
    TILEWISE_OPERATION(moveAndResizeToTopFifth, "Top 1/5"),
    TILEWISE_OPERATION(moveAndResizeToBottomFifth, "Bottom 1/5"),
    TILEWISE_OPERATION(moveAndResizeToLeftFifth, "Left 1/5"),
    TILEWISE_OPERATION(moveAndResizeToRightFifth, "Right 1/5"),
    TILEWISE_OPERATION(moveAndResizeToTopTwoFifths, "Top 2/5"),
    TILEWISE_OPERATION(moveAndResizeToBottomTwoFifths, "Bottom 2/5"),
    TILEWISE_OPERATION(moveAndResizeToLeftTwoFifths, "Left 2/5"),
    TILEWISE_OPERATION(moveAndResizeToRightTwoFifths, "Right 2/5"),
    TILEWISE_OPERATION(moveAndResizeToTopThreeFifths, "Top 3/5"),
    TILEWISE_OPERATION(moveAndResizeToBottomThreeFifths, "Bottom 3/5"),
    TILEWISE_OPERATION(moveAndResizeToLeftThreeFifths, "Left 3/5"),
    TILEWISE_OPERATION(moveAndResizeToRightThreeFifths, "Right 3/5"),
    TILEWISE_OPERATION(moveAndResizeToTopFourFifths, "Top 4/5"),
    TILEWISE_OPERATION(moveAndResizeToBottomFourFifths, "Bottom 4/5"),
    TILEWISE_OPERATION(moveAndResizeToLeftFourFifths, "Left 4/5"),
    TILEWISE_OPERATION(moveAndResizeToRightFourFifths, "Right 4/5"),
    TILEWISE_OPERATION(moveAndResizeToTopSixth, "Top 1/6"),
    TILEWISE_OPERATION(moveAndResizeToBottomSixth, "Bottom 1/6"),
    TILEWISE_OPERATION(moveAndResizeToLeftSixth, "Left 1/6"),
    TILEWISE_OPERATION(moveAndResizeToRightSixth, "Right 1/6"),
    TILEWISE_OPERATION(moveAndResizeToTopFiveSixths, "Top 5/6"),
    TILEWISE_OPERATION(moveAndResizeToBottomFiveSixths, "Bottom 5/6"),
    TILEWISE_OPERATION(moveAndResizeToLeftFiveSixths, "Left 5/6"),
    TILEWISE_OPERATION(moveAndResizeToRightFiveSixths, "Right 5/6"),
    TILEWISE_OPERATION(moveAndResizeToFrame, "Custom Layout"),
    TILEWISE_OPERATION(moveToCenter, "Center"),
    TILEWISE_OPERATION(moveToCorner, "Corner"),
    TILEWISE_OPERATION(moveToEdge, "Edge"),
    TILEWISE_OPERATION(moveToPosition, "Custom Position"),
    TILEWISE_OPERATION(moveByDistance, "Custom Distance"),
    TILEWISE_OPERATION(resizeToMaximize, "Maximize"),
    TILEWISE_OPERATION(resizeToHorizontalMaximize, "Horizontal Maximize"),
    TILEWISE_OPERATION(resizeToVerticalMaximize, "Vertical Maximize"),
    TILEWISE_OPERATION(resizeToHorizontalHalf, "Horizontal Half"),
    TILEWISE_OPERATION(resizeToVerticalHalf, "Vertical Half"),
    TILEWISE_OPERATION(resizeToHorizontalThird, "Horizontal Third"),
    TILEWISE_OPERATION(resizeToVerticalThird, "Vertical Third"),
    TILEWISE_OPERATION(resizeToHorizontalTwoThirds, "Horizontal Two Thirds"),
    TILEWISE_OPERATION(resizeToVerticalTwoThirds, "Vertical Two Thirds"),
    TILEWISE_OPERATION(resizeToSize, "Custom Size"),
    TILEWISE_OPERATION(displayToNextScreen, "Next Screen"),
    TILEWISE_OPERATION(displayToPreviousScreen, "Previous Screen"),
    TILEWISE_OPERATION(displayToCustom, "Custom"),
    TILEWISE_OPERATION(pair, "Quick Pair"),
};
#undef TILEWISE_OPERATION

constexpr bool inDeclarationOrder()
{
    for (std::size_t i = 0; i < operationTypes.size(); ++i)
        if (static_cast<std::size_t>(operationTypes[i].type) != i)
            return false;
    return true;
}
static_assert(inDeclarationOrder() && operationTypes.back().type == T::pair);

// A value cast from outside the enumeration has no entry.
const OperationTypeEntry* entryOf(T type)
{
    const auto i = static_cast<std::size_t>(type);
    return i < operationTypes.size() ? &operationTypes[i] : nullptr;
}

template <typename E, std::size_t N> using Names = std::array<std::pair<E, std::string_view>, N>;

constexpr Names<QuickAction::ResizeTypes, 2> resizeNames{{
    {QuickAction::ResizeTypes::size, "size"},
    {QuickAction::ResizeTypes::maxmize, "maxmize"},
}};
constexpr Names<QuickAction::CornerTypes, 4> cornerNames{{
    {QuickAction::CornerTypes::topLeft, "topLeft"},
    {QuickAction::CornerTypes::topRight, "topRight"},
    {QuickAction::CornerTypes::bottomLeft, "bottomLeft"},
    {QuickAction::CornerTypes::bottomRight, "bottomRight"},
}};
constexpr Names<QuickAction::UnitTypes, 3> unitNames{{
    {QuickAction::UnitTypes::clip, "clip"},
    {QuickAction::UnitTypes::percent, "percent"},
    {QuickAction::UnitTypes::px, "px"},
}};
constexpr Names<QuickAction::EdgeTypes, 4> edgeNames{{
    {QuickAction::EdgeTypes::top, "top"},
    {QuickAction::EdgeTypes::bottom, "bottom"},
    {QuickAction::EdgeTypes::left, "left"},
    {QuickAction::EdgeTypes::right, "right"},
}};

template <typename E, std::size_t N> std::string_view nameOf(const Names<E, N>& names, E v)
{
    for (const auto& [value, name] : names)
        if (value == v)
            return name;
    return {};
}

template <typename E, std::size_t N> std::optional<E> valueOf(const Names<E, N>& names, std::string_view raw)
{
    for (const auto& [value, name] : names)
        if (name == raw)
            return value;
    return std::nullopt;
}

[[noreturn]] void refuse(const Json& j, const char* member, const char* what)
{
    throw Json::type_error::create(302, std::string(member) + " must be " + what, &j);
}

std::string text(const Json& j, const char* member)
{
    const Json& v = j.at(member);
    if (!v.is_string())
        refuse(j, member, "a string");
    return v.get<std::string>();
}

bool boolean(const Json& j, const char* member)
{
    const Json& v = j.at(member);
    if (!v.is_boolean())
        refuse(j, member, "true or false");
    return v.get<bool>();
}

double number(const Json& j, const char* member)
{
    const Json& v = j.at(member);
    if (!v.is_number())
        refuse(j, member, "a number");
    return v.get<double>();
}

// The library would truncate 1.5 to 1; stored data is not guessed at.
std::int64_t integer(const Json& j, const Json& v, const char* member)
{
    if (!v.is_number_integer() ||
        (v.is_number_unsigned() && v.get<std::uint64_t>() > std::numeric_limits<std::int64_t>::max()))
        refuse(j, member, "a 64-bit integer");
    return v.get<std::int64_t>();
}

// Elements after the first two are ignored.
Size floatPair(const Json& j, const char* member)
{
    const Json& v = j.at(member);
    if (!v.is_array() || v.size() < 2 || !v[0].is_number() || !v[1].is_number())
        refuse(j, member, "an array of two numbers");
    return Size{v[0].get<double>(), v[1].get<double>()};
}

template <typename E> E enumeration(const Json& j, const char* member)
{
    std::optional<E> v = fromRawValue<E>(text(j, member));
    if (!v)
        refuse(j, member, "one of its raw values");
    return *v;
}

// Whole numbers go out as integers: [800,600], [12.5,40]. A null would make
// the whole list unreadable, so a non-finite value goes out as 0.
OrderedJson numberJson(double v)
{
    if (!std::isfinite(v))
        return 0;
    if (v == std::trunc(v) && std::fabs(v) < 9007199254740992.0)
        return static_cast<std::int64_t>(v);
    return v;
}

OrderedJson pairJson(const Size& s)
{
    return OrderedJson::array({numberJson(s.width), numberJson(s.height)});
}

OrderedJson clipJson(const Clip& c)
{
    return OrderedJson{{"numerator", c.numerator}, {"denominator", c.denominator}};
}

QuickAction::Operation builtInOperation(const char* id, T type)
{
    QuickAction::Operation op;
    op.id = id;
    op.type = type;
    return op;
}

QuickAction::Action builtIn(const char* id, const char* name, std::int64_t key, QuickAction::Operation op)
{
    return QuickAction::Action{id, name, false, std::nullopt, key, {std::move(op)}};
}

QuickAction::Action builtIn(const char* id, const char* name, std::int64_t key, T type)
{
    return builtIn(id, name, key, builtInOperation(id, type));
}

QuickAction::Action builtInCorner(const char* id, const char* name, QuickAction::CornerTypes corner)
{
    QuickAction::Operation op = builtInOperation(id, T::moveToCorner);
    op.cornerType = corner;
    return builtIn(id, name, -1, std::move(op));
}

QuickAction::Action builtInClipFrame(const char* id, Clip x, Clip y, Clip width, Clip height)
{
    QuickAction::Operation op = builtInOperation(id, T::moveAndResizeToFrame);
    op.positionClipX = x;
    op.positionClipY = y;
    op.sizeClipX = width;
    op.sizeClipY = height;
    return builtIn(id, id, -1, std::move(op));
}

std::vector<QuickAction::Action> makeDefaultActions()
{
    using C = QuickAction::CornerTypes;
    QuickAction::Operation centerHalf = builtInOperation("Center Half", T::moveAndResizeToFrame);
    centerHalf.positionUnitType = QuickAction::UnitTypes::percent;
    centerHalf.sizeUnitType = QuickAction::UnitTypes::percent;
    centerHalf.positionPercent = Size{25, 0};
    centerHalf.sizePercent = Size{50, 100};
    return {
        builtIn("Top Half", "Top Half", 13, T::moveAndResizeToTopHalf),
        builtIn("Bottom Half", "Bottom Half", 1, T::moveAndResizeToBottomHalf),
        builtIn("Left Half", "Left Half", 0, T::moveAndResizeToLeftHalf),
        builtIn("Right Half", "Right Half", 2, T::moveAndResizeToRightHalf),
        builtIn("Center Half", "Center Half", 8, std::move(centerHalf)),
        builtIn("Top Left Quarter", "Top Left Quarter", 32, T::moveAndResizeToTopLeftQuarter),
        builtIn("Top Right Quarter", "Top Right Quarter", 34, T::moveAndResizeToTopRightQuarter),
        builtIn("Bottom Left Quarter", "Bottom Left Quarter", 38, T::moveAndResizeToBottomLeftQuarter),
        builtIn("Bottom Right Quarter", "Bottom Right Quarter", 40, T::moveAndResizeToBottomRightQuarter),
        builtIn("Top Third", "Top Third", -1, T::moveAndResizeToTopThird),
        builtIn("Bottom Third", "Bottom Third", -1, T::moveAndResizeToBottomThird),
        builtIn("Left Third", "Left Third", -1, T::moveAndResizeToLeftThird),
        builtIn("Right Third", "Right Third", -1, T::moveAndResizeToRightThird),
        builtInClipFrame("Center Third", {1, 3}, {0, 3}, {1, 3}, {1, 1}),
        builtInCorner("Top Left Corner", "Move to Top Left Corner", C::topLeft),
        builtInCorner("Top Right Corner", "Move to Top Right Corner", C::topRight),
        builtInCorner("Bottom Left Corner", "Move to Bottom Left Corner", C::bottomLeft),
        builtInCorner("Bottom Right Corner", "Move to Bottom Right Corner", C::bottomRight),
        builtIn("Top Two Thirds", "Top Two Thirds", -1, T::moveAndResizeToTopTwoThirds),
        // Not a typo to fix: stored lists and slot bindings refer to this exact id.
        builtIn("Bottom Two Third", "Bottom Two Thirds", -1,
                builtInOperation("Bottom Two Thirds", T::moveAndResizeToBottomTwoThirds)),
        builtIn("Left Two Thirds", "Left Two Thirds", -1, T::moveAndResizeToLeftTwoThirds),
        builtIn("Right Two Thirds", "Right Two Thirds", -1, T::moveAndResizeToRightTwoThirds),
        builtInClipFrame("Center Two Thirds", {1, 6}, {0, 6}, {2, 3}, {1, 1}),
    };
}

} // namespace

std::string newUuid()
{
    static std::random_device source;
    std::array<std::uint8_t, 16> bytes{};
    for (std::size_t i = 0; i < bytes.size(); i += 4) {
        const unsigned int word = source();
        for (std::size_t k = 0; k < 4; ++k)
            bytes[i + k] = static_cast<std::uint8_t>(word >> (8 * k));
    }
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40); // version 4
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80); // RFC 4122 variant
    constexpr const char* digits = "0123456789ABCDEF";
    std::string out;
    out.reserve(36);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            out.push_back('-');
        out.push_back(digits[bytes[i] >> 4]);
        out.push_back(digits[bytes[i] & 0x0F]);
    }
    return out;
}

QuickAction::Operation QuickAction::newOperation(OperationType type)
{
    Operation op;
    op.id = newUuid();
    op.type = type;
    return op;
}

QuickAction::Action QuickAction::newAction()
{
    return Action{newUuid(), "New Action", false, std::nullopt, -1, {}};
}

const std::vector<QuickAction::Action>& QuickAction::defaultActions()
{
    static const std::vector<Action> actions = makeDefaultActions();
    return actions;
}

std::string_view rawValue(QuickAction::OperationType v)
{
    const OperationTypeEntry* e = entryOf(v);
    return e ? e->raw : std::string_view{};
}
std::string_view rawValue(QuickAction::ResizeTypes v)
{
    return nameOf(resizeNames, v);
}
std::string_view rawValue(QuickAction::CornerTypes v)
{
    return nameOf(cornerNames, v);
}
std::string_view rawValue(QuickAction::UnitTypes v)
{
    return nameOf(unitNames, v);
}
std::string_view rawValue(QuickAction::EdgeTypes v)
{
    return nameOf(edgeNames, v);
}

template <> std::optional<QuickAction::OperationType> fromRawValue(std::string_view raw)
{
    for (const OperationTypeEntry& e : operationTypes)
        if (e.raw == raw)
            return e.type;
    return std::nullopt;
}
template <> std::optional<QuickAction::ResizeTypes> fromRawValue(std::string_view raw)
{
    return valueOf(resizeNames, raw);
}
template <> std::optional<QuickAction::CornerTypes> fromRawValue(std::string_view raw)
{
    return valueOf(cornerNames, raw);
}
template <> std::optional<QuickAction::UnitTypes> fromRawValue(std::string_view raw)
{
    return valueOf(unitNames, raw);
}
template <> std::optional<QuickAction::EdgeTypes> fromRawValue(std::string_view raw)
{
    return valueOf(edgeNames, raw);
}

std::string_view label(QuickAction::OperationType v)
{
    const OperationTypeEntry* e = entryOf(v);
    return e ? e->label : std::string_view{};
}

std::string_view label(QuickAction::UnitTypes v)
{
    switch (v) {
    case QuickAction::UnitTypes::clip:
        return "clip";
    case QuickAction::UnitTypes::percent:
        return "%";
    case QuickAction::UnitTypes::px:
        return "pt";
    }
    return {};
}

void from_json(const Json& j, QuickAction::Operation& op)
{
    op.id = text(j, "id");
    op.type = enumeration<T>(j, "type");
    op.resizeType = enumeration<QuickAction::ResizeTypes>(j, "resizeType");
    op.cornerType = enumeration<QuickAction::CornerTypes>(j, "cornerType");
    op.positionUnitType = enumeration<QuickAction::UnitTypes>(j, "positionUnitType");
    op.sizeUnitType = enumeration<QuickAction::UnitTypes>(j, "sizeUnitType");
    op.edgeType = enumeration<QuickAction::EdgeTypes>(j, "edgeType");
    op.position = floatPair(j, "position");
    op.positionPercent = floatPair(j, "positionPercent");
    op.positionClipX = j.at("positionClipX").get<Clip>();
    op.positionClipY = j.at("positionClipY").get<Clip>();
    op.size = floatPair(j, "size");
    op.sizePercent = floatPair(j, "sizePercent");
    op.sizeClipX = j.at("sizeClipX").get<Clip>();
    op.sizeClipY = j.at("sizeClipY").get<Clip>();
    op.displayName = text(j, "displayName");
    op.exactCenter = boolean(j, "exactCenter");
    op.aroundSpace = number(j, "aroundSpace");
    op.moveDistanceX = number(j, "moveDistanceX");
    op.moveDistanceY = number(j, "moveDistanceY");
    op.pairCurrentTo = enumeration<T>(j, "pairCurrentTo");
}

void from_json(const Json& j, QuickAction::Action& action)
{
    action.id = text(j, "id");
    action.name = text(j, "name");
    action.shortcutEnabled = boolean(j, "shortcutEnabled");
    action.shortcutSlot.reset();
    if (auto slot = j.find("shortcutSlot"); slot != j.end() && !slot->is_null())
        action.shortcutSlot = integer(j, *slot, "shortcutSlot");
    action.key = integer(j, j.at("key"), "key");
    const Json& operations = j.at("operations");
    if (!operations.is_array())
        refuse(j, "operations", "an array");
    action.operations = operations.get<std::vector<QuickAction::Operation>>();
}

void to_json(OrderedJson& j, const QuickAction::Operation& op)
{
    j = OrderedJson::object();
    j["id"] = op.id;
    j["type"] = rawValue(op.type);
    j["resizeType"] = rawValue(op.resizeType);
    j["cornerType"] = rawValue(op.cornerType);
    j["positionUnitType"] = rawValue(op.positionUnitType);
    j["sizeUnitType"] = rawValue(op.sizeUnitType);
    j["edgeType"] = rawValue(op.edgeType);
    j["position"] = pairJson(op.position);
    j["positionPercent"] = pairJson(op.positionPercent);
    j["positionClipX"] = clipJson(op.positionClipX);
    j["positionClipY"] = clipJson(op.positionClipY);
    j["size"] = pairJson(op.size);
    j["sizePercent"] = pairJson(op.sizePercent);
    j["sizeClipX"] = clipJson(op.sizeClipX);
    j["sizeClipY"] = clipJson(op.sizeClipY);
    j["displayName"] = op.displayName;
    j["exactCenter"] = op.exactCenter;
    j["aroundSpace"] = numberJson(op.aroundSpace);
    j["moveDistanceX"] = numberJson(op.moveDistanceX);
    j["moveDistanceY"] = numberJson(op.moveDistanceY);
    j["pairCurrentTo"] = rawValue(op.pairCurrentTo);
}

void to_json(OrderedJson& j, const QuickAction::Action& action)
{
    j = OrderedJson::object();
    j["id"] = action.id;
    j["name"] = action.name;
    j["shortcutEnabled"] = action.shortcutEnabled;
    if (action.shortcutSlot)
        j["shortcutSlot"] = *action.shortcutSlot;
    j["key"] = action.key;
    j["operations"] = action.operations;
}

std::vector<QuickAction::Action> quickActions(const DefaultsStore& store)
{
    return readJsonArray(store, settings_keys::quickActions, QuickAction::defaultActions());
}

std::string encodeQuickActions(const std::vector<QuickAction::Action>& actions)
{
    // Invalid UTF-8 is replaced rather than failing, so a write never loses the list.
    return OrderedJson(actions).dump(-1, ' ', false, OrderedJson::error_handler_t::replace);
}

bool storeQuickActions(DefaultsStore& store, const std::vector<QuickAction::Action>& actions)
{
    // A list written by hand that does not read is the user's to mend: the
    // built-in list shown meanwhile never goes over it.
    if (const std::optional<DefaultsValue> stored = store.value(settings_keys::quickActions);
        stored && storedValueFault(settings_keys::quickActions, *stored))
        return false;
    return store.set(settings_keys::quickActions, encodeQuickActions(actions));
}

} // namespace tilewise
