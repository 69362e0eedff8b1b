// The server's current keymap read with xkbcommon: which character each
// physical key types in each layout group, which X key code each stored key
// code has, and which modifiers the keys can lock. Notifications only mark
// it stale; refresh() reads the keymap again once, however many came.
#pragma once

#include "platform/keyboard_layout.hpp"
#include "platform/x11/x11_connection.hpp"
#include "platform/x11/x11_keycodes.hpp"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

struct xkb_context;
struct xkb_keymap;

namespace tilewise {

class X11KeyboardLayout : public KeyboardLayout {
public:
    // None (and the reason in `error`) when the server has no XKB keymap.
    static std::unique_ptr<X11KeyboardLayout> create(X11Connection& x, std::string* error);
    ~X11KeyboardLayout() override;
    X11KeyboardLayout(const X11KeyboardLayout&) = delete;
    X11KeyboardLayout& operator=(const X11KeyboardLayout&) = delete;

    int groupCount() const override;
    int currentGroup() const override { return int(group_); }
    std::optional<std::string> translate(int group, int keyCode, int modifierState) const override;

    // Every event from the connection passes through here. A switch of
    // layout group is followed at once; a new keyboard or keymap only marks
    // the keymap stale, for refresh().
    void handleEvent(const xcb_generic_event_t& event);
    // Reads the keymap again when it is stale, once the queued events are
    // handled. True when it did.
    bool refresh();

    std::optional<std::uint8_t> xKeyCode(int virtualKeyCode) const { return keyCodes_.xKeyCode(virtualKeyCode); }
    std::optional<int> virtualKeyCode(std::uint8_t xKeyCode) const { return keyCodes_.virtualKeyCode(xKeyCode); }
    // The X modifier bits the keymap's keys lock (see lockModifierBits).
    std::uint16_t lockModifiers() const { return lockModifiers_; }
    // The X key code whose first level types `keysym`, if any (the Fn key is
    // the one that types XF86Fn).
    std::optional<std::uint8_t> keyForKeysym(std::uint32_t keysym) const;
    // The XKB id of the core keyboard, whose notifications count.
    std::int32_t deviceId() const { return deviceId_; }
    // How many times the keymap was read; for tests.
    int keymapReads() const { return keymapReads_; }

private:
    X11KeyboardLayout(X11Connection& x, std::uint8_t xkbFirstEvent);
    bool readKeymap();
    void readGroup();

    X11Connection& x_;
    std::uint8_t xkbFirstEvent_;
    xkb_context* context_ = nullptr;
    xkb_keymap* keymap_ = nullptr;
    std::int32_t deviceId_ = -1;
    std::uint32_t group_ = 0;
    bool stale_ = false;
    X11KeyCodes keyCodes_;
    std::uint16_t lockModifiers_ = 0;
    int keymapReads_ = 0;
};

} // namespace tilewise
