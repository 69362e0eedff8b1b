// The server's current keymap read with xkbcommon: which character each
// physical key types in the current layout group, and in the first group
// that can type ASCII. Kept up to date from XKB notifications.
#pragma once

#include "platform/keyboard_layout.hpp"
#include "platform/x11/x11_connection.hpp"

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

    std::optional<std::string> translate(Source source, int keyCode, int modifierState) const override;

    // Every event from the connection passes through here; a new keyboard, a
    // changed keymap or a switch of layout group refreshes what is read.
    void handleEvent(const xcb_generic_event_t& event);

    // The X key code whose first level types `keysym`, if any (the Fn key is
    // the one that types XF86Fn).
    std::optional<std::uint8_t> keyForKeysym(std::uint32_t keysym) const;
    std::uint32_t group() const { return group_; }
    // How many times the keymap was read; for tests that wait for a refresh.
    int keymapReads() const { return keymapReads_; }

private:
    X11KeyboardLayout(X11Connection& x, std::uint8_t xkbFirstEvent);
    bool readKeymap();
    void readGroup();
    std::optional<std::uint32_t> asciiCapableGroup() const;
    std::optional<std::string> text(std::uint32_t group, std::uint8_t xKey, int modifierState) const;

    X11Connection& x_;
    std::uint8_t xkbFirstEvent_;
    xkb_context* context_ = nullptr;
    xkb_keymap* keymap_ = nullptr;
    std::int32_t deviceId_ = -1;
    std::uint32_t group_ = 0;
    int keymapReads_ = 0;
};

} // namespace tilewise
