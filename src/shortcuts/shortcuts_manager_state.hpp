// The shortcut catalogue: every named global shortcut with its default, the
// operation each performs, the quick action panel's shortcut, and the Fn
// double tap that maximizes without a hot key.
#pragma once

#include "layout/operation_type.hpp"
#include "platform/modifier_monitor.hpp"
#include "platform/run_loop.hpp"
#include "shortcuts/keyboard_shortcuts.hpp"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

namespace tilewise {

class DefaultsStore;

class ShortcutsManagerState {
public:
    using Shortcut = KeyboardShortcuts::Shortcut;
    using Name = KeyboardShortcuts::Name;
    // Performs an operation on the focused window; the result is not looked at.
    using PerformOperation = std::function<void(OperationType)>;
    using OpenQuickActionPanel = std::function<void()>;

    struct Config {
        Name key;
        OperationType operation;
    };

    struct CatalogueRow {
        std::string_view name;
        std::optional<Shortcut> defaultShortcut;
        OperationType operation;
    };

    static constexpr std::string_view useExactCenterKey = "TilewiseUseExactCenterKey";
    static constexpr std::string_view quickFullscreenKey = "TilewiseQuickFullscreen";
    static constexpr std::string_view launchQuickActionName = "launchQuickAction";
    static constexpr int fnKeyCode = 63;
    static constexpr std::int64_t doubleTapMs = 250;
    // Bits 16 to 31: the modifier flags that do not depend on the device.
    static constexpr std::uint64_t deviceIndependentFlags = 0xFFFF0000u;

    // The 33 operation shortcuts in the order their actions are bound. The
    // names are stored keys' suffixes, misspellings included.
    static const std::array<CatalogueRow, 33>& catalogue();

    // Binds every catalogue name and "launchQuickAction" and starts watching
    // the modifiers. Without a panel, "launchQuickAction" says so in one line.
    // Bindings are never removed, so the state must live as long as the
    // service and the monitor.
    ShortcutsManagerState(KeyboardShortcuts& shortcuts, DefaultsStore& store, ModifierMonitor& monitor,
                          const RunLoop& clock, PerformOperation perform,
                          OpenQuickActionPanel openPanel = nullptr);
    ShortcutsManagerState(const ShortcutsManagerState&) = delete;
    ShortcutsManagerState& operator=(const ShortcutsManagerState&) = delete;

    void handleModifierChange(const ModifierEvent& event);

    const Name* name(std::string_view rawValue) const;
    const Name& launchQuickAction() const { return launchQuickAction_; }
    // The desktop program has a panel; the headless one has none.
    void setOpenQuickActionPanel(OpenQuickActionPanel open) { openPanel_ = std::move(open); }

    std::vector<ModifierMonitor::MonitorId> monitors;
    bool isFnPressed = false;
    // On the monotonic clock; none until the first press, so that a press
    // soon after the clock's origin is not taken for a second tap.
    std::optional<std::int64_t> lastFnPressTime;
    std::vector<Config> configs;

private:
    void performRow(const Config& config);

    KeyboardShortcuts& shortcuts_;
    DefaultsStore& store_;
    const RunLoop& clock_;
    PerformOperation perform_;
    OpenQuickActionPanel openPanel_;
    Name launchQuickAction_;
};

} // namespace tilewise
