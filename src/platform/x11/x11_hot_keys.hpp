// Global hot keys on X11: passive key grabs on the root window, one set per
// registered id (the combination with every set of lock modifiers), made in
// batches and dropped whenever the keyboard changes, for the service to make
// again.
#pragma once

#include "platform/hot_key_registrar.hpp"
#include "platform/x11/x11_connection.hpp"
#include "platform/x11/x11_keyboard_layout.hpp"
#include "platform/x11/x11_keycodes.hpp"

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

namespace tilewise {

class X11HotKeys : public HotKeyRegistrar {
public:
    // The layout names the X key codes of the physical keys and the
    // modifiers the keymap locks; without one (a server without XKB) key
    // codes are evdev's and the locks come from the core modifier map. It
    // must outlive this.
    X11HotKeys(X11Connection& x, const X11KeyboardLayout* layout);
    ~X11HotKeys() override;
    X11HotKeys(const X11HotKeys&) = delete;
    X11HotKeys& operator=(const X11HotKeys&) = delete;

    std::vector<HotKeyStatus> registerHotKeys(const std::vector<HotKeyRequest>& requests) override;
    void unregisterHotKey(int id) override;
    void setHandler(Handler handler) override { handler_ = std::move(handler); }
    void setKeyboardChangeHandler(KeyboardChangeHandler handler) override
    {
        keyboardChangeHandler_ = std::move(handler);
    }

    // Every event from the connection passes through here. True when it was
    // a hot key press or release. A keyboard change only marks the grabs
    // stale, for applyPendingKeyboardChange().
    bool handleEvent(const xcb_generic_event_t& event);
    // Once the queued events are handled and the layout refreshed: when the
    // keyboard changed, lets every grab go (with the key codes and locks it
    // was made with), forgets every registration and calls the keyboard
    // change handler. True when it did.
    bool applyPendingKeyboardChange();

    // The X modifier mask of a stored Carbon mask (Control, Mod1, Shift, Mod4).
    static std::uint16_t xModifiers(int carbonModifiers);
    // The lock modifiers that new grabs ignore.
    std::uint16_t lockModifiers() const;
    // How many keyboard changes were applied; for tests.
    int keyboardChanges() const { return keyboardChanges_; }

private:
    struct Grab {
        std::uint8_t xKey = 0;
        std::uint16_t xMods = 0;
        // The lock modifiers when it was made: its variants are the
        // combination with every subset of them.
        std::uint16_t locks = 0;
    };

    static std::vector<std::uint16_t> variants(const Grab& g);
    void ungrab(const Grab& g);
    std::optional<std::uint8_t> xKeyCode(int virtualKeyCode) const;
    void readCoreLocks();

    X11Connection& x_;
    const X11KeyboardLayout* layout_;
    Handler handler_;
    KeyboardChangeHandler keyboardChangeHandler_;
    std::map<int, Grab> grabs_;
    X11KeyCodes evdevCodes_ = X11KeyCodes::evdev();
    std::uint16_t coreLocks_ = 0;
    std::uint8_t minKeyCode_ = 8;
    std::uint8_t maxKeyCode_ = 255;
    std::optional<std::uint8_t> xkbFirstEvent_;
    // The id whose key is down, by X key code: its release goes to the same
    // id even when the modifiers were let go first, or the keyboard changed.
    std::map<std::uint8_t, int> pressed_;
    bool stale_ = false;
    int keyboardChanges_ = 0;
};

} // namespace tilewise
