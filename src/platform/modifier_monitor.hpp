// Global changes of the modifier keys, for gestures made of modifiers alone
// (the Fn double tap).
#pragma once

#include <cstdint>
#include <functional>

namespace tilewise {

struct ModifierEvent {
    int keyCode = 0;
    // Event modifier flags: Shift 1 << 17, Control 1 << 18, Option 1 << 19,
    // Command 1 << 20, Function 1 << 23; bits 16 to 31 are device-independent.
    std::uint64_t modifierFlags = 0;
};

class ModifierMonitor {
public:
    using Handler = std::function<void(const ModifierEvent&)>;
    using MonitorId = int;

    virtual ~ModifierMonitor() = default;

    // Runs the handler for every modifier change from now on.
    virtual MonitorId addMonitor(Handler handler) = 0;
};

} // namespace tilewise
