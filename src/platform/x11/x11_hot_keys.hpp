// Global hot keys on X11: passive key grabs on the root window, one set per
// registered id, made again whenever the keyboard mapping changes.
#pragma once

#include "platform/hot_key_registrar.hpp"
#include "platform/x11/x11_connection.hpp"

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

namespace tilewise {

class X11HotKeys : public HotKeyRegistrar {
public:
    explicit X11HotKeys(X11Connection& x);
    ~X11HotKeys() override;
    X11HotKeys(const X11HotKeys&) = delete;
    X11HotKeys& operator=(const X11HotKeys&) = delete;

    bool registerHotKey(int id, int carbonKeyCode, int carbonModifiers) override;
    void unregisterHotKey(int id) override;
    void setHandler(Handler handler) override { handler_ = std::move(handler); }

    // Every event from the connection passes through here. True when it was
    // a hot key press or release; mapping changes are followed but answer
    // false, since the keyboard layout wants them too.
    bool handleEvent(const xcb_generic_event_t& event);

    // The X modifier mask of a stored Carbon mask (Control, Mod1, Shift, Mod4).
    static std::uint16_t xModifiers(int carbonModifiers);
    // How many times the grabs were brought up to date after a mapping change.
    int mappingChanges() const { return mappingChanges_; }
    // The modifier bit of Num Lock in the current mapping (0 when none).
    std::uint16_t numLockMask() const { return numLockMask_; }

private:
    struct Grab {
        std::uint8_t xKey = 0;
        std::uint16_t xMods = 0;
        // Whether the server granted it; a grab lost at a mapping change is
        // tried again at the next one.
        bool held = false;
    };
    struct HotKey {
        int carbonKeyCode = 0;
        int carbonModifiers = 0;
        Grab grab;
    };

    // The masks to grab with: the combination with every subset of the lock
    // modifiers, since X matches a grab's modifiers exactly.
    std::vector<std::uint16_t> lockVariants(std::uint16_t mods) const;
    bool grab(Grab& g);
    void ungrab(const Grab& g);
    std::optional<Grab> grabFor(int carbonKeyCode, int carbonModifiers) const;
    void readModifierMapping();
    void followMappingChange();

    X11Connection& x_;
    Handler handler_;
    std::map<int, HotKey> hotKeys_;
    std::uint16_t numLockMask_ = 0;
    std::uint8_t minKeyCode_ = 8;
    std::uint8_t maxKeyCode_ = 255;
    std::optional<std::uint8_t> xkbFirstEvent_;
    // The id whose key is down, by X key code: its release goes to the same
    // id even when the modifiers were let go first.
    std::map<std::uint8_t, int> pressed_;
    int mappingChanges_ = 0;
};

} // namespace tilewise
