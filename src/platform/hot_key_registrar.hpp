// System-wide hot keys: the platform's half of the hot key service. It holds
// one registration per id and reports presses and releases by id; which
// names answer a combination is the service's business.
#pragma once

#include <functional>
#include <string_view>
#include <vector>

namespace tilewise {

// Why a combination is or is not held now.
enum class HotKeyStatus {
    held,
    // Another program holds it.
    taken,
    // The platform refuses it for another reason.
    rejected,
    // The current keyboard has no key at that position.
    noSuchKey,
};

// The reason as users read it ("taken by another program").
std::string_view describe(HotKeyStatus status);

struct HotKeyRequest {
    int id = 0;
    int carbonKeyCode = 0;
    // The stored mask: Control 4096, Option 2048, Shift 512, Command 256.
    int carbonModifiers = 0;
};

class HotKeyRegistrar {
public:
    // Called with the id of a registered combination on press (true) or
    // release (false).
    using Handler = std::function<void(int id, bool pressed)>;
    using KeyboardChangeHandler = std::function<void()>;

    virtual ~HotKeyRegistrar() = default;

    // One status per request, in order. The requests are made together, so
    // that many registrations cost one exchange with the platform. An id
    // that is registered already is replaced.
    virtual std::vector<HotKeyStatus> registerHotKeys(const std::vector<HotKeyRequest>& requests) = 0;
    HotKeyStatus registerHotKey(int id, int carbonKeyCode, int carbonModifiers)
    {
        return registerHotKeys({HotKeyRequest{id, carbonKeyCode, carbonModifiers}}).front();
    }
    virtual void unregisterHotKey(int id) = 0;
    // One handler for the process's lifetime.
    virtual void setHandler(Handler handler) = 0;
    // Called after the keyboard changed (another keymap, other lock keys):
    // every registration is gone by then, and the handler makes again the
    // ones it still wants, under the same ids.
    virtual void setKeyboardChangeHandler(KeyboardChangeHandler handler) = 0;
};

} // namespace tilewise
