#include "shortcuts/shortcuts_manager_state.hpp"

#include "platform/diagnostics.hpp"
#include "settings/defaults_store.hpp"
#include "shortcuts/key_text.hpp"

namespace tilewise {

namespace {

constexpr int controlOption = KeyboardShortcuts::control | KeyboardShortcuts::option;
constexpr int controlOptionCommand = controlOption | KeyboardShortcuts::command;

using S = KeyboardShortcuts::Shortcut;
using Op = OperationType;

} // namespace

const std::array<ShortcutsManagerState::CatalogueRow, 33>& ShortcutsManagerState::catalogue()
{
    static const std::array<CatalogueRow, 33> rows = {{
        {"clipLeft", S(Key::leftArrow, controlOption), Op::Left},
        {"clipRight", S(Key::rightArrow, controlOption), Op::Right},
        {"clipUp", S(Key::upArrow, controlOption), Op::Up},
        {"clipDown", S(Key::downArrow, controlOption), Op::Down},
        {"clipLeftHalf", std::nullopt, Op::LeftHalf},
        {"clipRightHalf", std::nullopt, Op::RightHalf},
        {"clipTopHalf", std::nullopt, Op::TopHalf},
        {"clipBottomHalf", std::nullopt, Op::BottomHalf},
        {"clipTopLeft", std::nullopt, Op::TopLeftQuarter},
        {"clipTopRight", std::nullopt, Op::TopRightQuarter},
        {"clipBottomLeft", std::nullopt, Op::BottomLeftQuarter},
        {"clipBottomRight", std::nullopt, Op::BottomRightQuarter},
        {"moveLeft", S(Key::leftArrow, controlOptionCommand), Op::MoveLeftward},
        {"moveRight", S(Key::rightArrow, controlOptionCommand), Op::MoveRightward},
        {"moveUp", S(Key::upArrow, controlOptionCommand), Op::MoveUpward},
        {"moveDown", S(Key::downArrow, controlOptionCommand), Op::MoveDownward},
        {"moveTopLeft", std::nullopt, Op::MoveTopLeftCorner},
        {"moveTopRight", std::nullopt, Op::MoveTopRightCorner},
        {"moveBottomLeft", std::nullopt, Op::MoveBottomLeftCorner},
        {"moveBottomRight", std::nullopt, Op::MoveBottomRightCorner},
        {"moveUpwardLittle", std::nullopt, Op::MoveUpwardLittle},
        {"moveDownwardLittle", std::nullopt, Op::MoveDownwardLittle},
        {"moveLeftwardLittle", std::nullopt, Op::MoveLeftwardLittle},
        {"moveRightwardLittle", std::nullopt, Op::MoveRightwardLittle},
        {"maxmize", S(Key::f, controlOption), Op::Maximize},
        {"center", S(Key::c, controlOption), Op::Center},
        {"pair", S(Key::p, controlOption), Op::Pair},
        {"pair43", std::nullopt, Op::PairFor3},
        {"restore", std::nullopt, Op::Restore},
        {"moveToNextScreen", S(Key::rightBracket, controlOption), Op::NextScreen},
        {"moveToPreviousScreen", S(Key::leftBracket, controlOption), Op::PreviousScreen},
        {"moveToNextSpace", std::nullopt, Op::NextSpace},
        {"moveToPreviousSpace", std::nullopt, Op::PreviousSpace},
    }};
    return rows;
}

ShortcutsManagerState::ShortcutsManagerState(KeyboardShortcuts& shortcuts, DefaultsStore& store,
                                             ModifierMonitor& monitor, const RunLoop& clock,
                                             PerformOperation perform, OpenQuickActionPanel openPanel)
    : shortcuts_(shortcuts), store_(store), clock_(clock), perform_(std::move(perform)),
      openPanel_(std::move(openPanel)),
      launchQuickAction_(shortcuts.makeName(std::string(launchQuickActionName)))
{
    configs.reserve(catalogue().size());
    for (const CatalogueRow& row : catalogue())
        configs.push_back({shortcuts_.makeName(std::string(row.name), row.defaultShortcut), row.operation});
    for (std::size_t i = 0; i < configs.size(); ++i)
        shortcuts_.onKeyDown(configs[i].key, [this, i](const Shortcut&) { performRow(configs[i]); });
    shortcuts_.onKeyDown(launchQuickAction_, [this](const Shortcut&) {
        if (openPanel_)
            openPanel_();
        else
            diag::problem("launchQuickAction: the quick action panel is not available yet");
    });
    // One global source sees every modifier change here, whichever window has
    // the focus, so a second monitor would count each change twice.
    monitors.push_back(monitor.addMonitor([this](const ModifierEvent& e) { handleModifierChange(e); }));
}

const KeyboardShortcuts::Name* ShortcutsManagerState::name(std::string_view rawValue) const
{
    if (rawValue == launchQuickActionName)
        return &launchQuickAction_;
    for (const Config& c : configs)
        if (c.key.rawValue == rawValue)
            return &c.key;
    return nullptr;
}

void ShortcutsManagerState::performRow(const Config& config)
{
    OperationType op = config.operation;
    // Read at each press so that the setting applies without a restart.
    if (config.key.rawValue == "center" && store_.boolValue(std::string(useExactCenterKey)))
        op = OperationType::ExactCenter;
    if (perform_)
        perform_(op);
}

void ShortcutsManagerState::handleModifierChange(const ModifierEvent& event)
{
    if (!store_.boolValue(std::string(quickFullscreenKey)))
        return;
    std::int64_t now = clock_.nowMs();
    if (event.keyCode != fnKeyCode)
        return;
    if (event.modifierFlags & KeyboardShortcuts::functionFlag) {
        // Each press is measured from the previous one, triggered or not, so
        // three quick taps maximize twice.
        if (lastFnPressTime && now - *lastFnPressTime < doubleTapMs && perform_)
            perform_(OperationType::Maximize);
        isFnPressed = true;
        lastFnPressTime = now;
    }
    if ((event.modifierFlags & deviceIndependentFlags) == 0)
        isFnPressed = false;
}

} // namespace tilewise
