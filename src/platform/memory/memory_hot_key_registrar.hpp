// Hot keys in memory: tests press combinations by hand and can make the
// platform refuse one, as X does when another client already grabbed it.
#pragma once

#include "platform/hot_key_registrar.hpp"

#include <map>
#include <utility>

namespace tilewise {

class MemoryHotKeyRegistrar : public HotKeyRegistrar {
public:
    std::vector<HotKeyStatus> registerHotKeys(const std::vector<HotKeyRequest>& requests) override;
    void unregisterHotKey(int id) override;
    void setHandler(Handler handler) override { handler_ = std::move(handler); }
    void setKeyboardChangeHandler(KeyboardChangeHandler handler) override
    {
        keyboardChangeHandler_ = std::move(handler);
    }

    // Registrations of this combination fail from now on with `why`, until
    // allowed again.
    void refuse(int carbonKeyCode, int carbonModifiers, HotKeyStatus why = HotKeyStatus::taken)
    {
        refused_[{carbonKeyCode, carbonModifiers}] = why;
    }
    void allow(int carbonKeyCode, int carbonModifiers) { refused_.erase({carbonKeyCode, carbonModifiers}); }
    // A new keymap: every registration is dropped and the service told.
    void changeKeyboard();
    // Delivers a press and release of the combination; false when nothing is
    // registered for it.
    bool press(int carbonKeyCode, int carbonModifiers);
    bool isRegistered(int carbonKeyCode, int carbonModifiers) const;
    std::size_t registrationCount() const { return registered_.size(); }
    // Registration requests, and the exchanges that carried them.
    int registerCalls() const { return registerCalls_; }
    int exchanges() const { return exchanges_; }

private:
    std::map<int, std::pair<int, int>> registered_;
    std::map<std::pair<int, int>, HotKeyStatus> refused_;
    Handler handler_;
    KeyboardChangeHandler keyboardChangeHandler_;
    int registerCalls_ = 0;
    int exchanges_ = 0;
};

} // namespace tilewise
