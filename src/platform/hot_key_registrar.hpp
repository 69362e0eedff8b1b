// System-wide hot keys: the platform's half of the hot key service. It holds
// one registration per id and reports presses and releases by id; which
// names answer a combination is the service's business.
#pragma once

#include <functional>

namespace tilewise {

class HotKeyRegistrar {
public:
    // Called with the id of a registered combination on press (true) or
    // release (false).
    using Handler = std::function<void(int id, bool pressed)>;

    virtual ~HotKeyRegistrar() = default;

    // `carbonModifiers` uses the stored mask (Control 4096, Option 2048,
    // Shift 512, Command 256). False when the platform refuses, for example
    // because another program already holds the combination.
    virtual bool registerHotKey(int id, int carbonKeyCode, int carbonModifiers) = 0;
    virtual void unregisterHotKey(int id) = 0;
    // One handler for the process's lifetime.
    virtual void setHandler(Handler handler) = 0;
};

} // namespace tilewise
