// The hot key service: named, user-configurable global key combinations kept
// in the defaults store, one platform registration per distinct combination,
// and the actions bound to every name that holds a pressed combination.
#pragma once

#include "platform/hot_key_registrar.hpp"
#include "platform/keyboard_layout.hpp"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tilewise {

class DefaultsStore;

class KeyboardShortcuts {
public:
    // Stored modifier mask bits.
    static constexpr int command = 256;
    static constexpr int shift = 512;
    static constexpr int option = 2048;
    static constexpr int control = 4096;
    static constexpr int modifierMask = command | shift | option | control;

    // Event modifier flags.
    static constexpr std::uint64_t shiftFlag = 1u << 17;
    static constexpr std::uint64_t controlFlag = 1u << 18;
    static constexpr std::uint64_t optionFlag = 1u << 19;
    static constexpr std::uint64_t commandFlag = 1u << 20;
    static constexpr std::uint64_t capsLockFlag = 1u << 16;
    static constexpr std::uint64_t numericPadFlag = 1u << 21;
    static constexpr std::uint64_t functionFlag = 1u << 23;

    static constexpr std::string_view keyPrefix = "KeyboardShortcuts_";
    static constexpr std::string_view shortcutByNameDidChange = "KeyboardShortcuts_shortcutByNameDidChange";
    static constexpr std::string_view nameUserInfoKey = "name";

    struct Shortcut {
        int carbonKeyCode = 0;
        // Only the four modifier bits are ever kept.
        int carbonModifiers = 0;

        Shortcut() = default;
        Shortcut(int keyCode, int modifiers)
            : carbonKeyCode(keyCode), carbonModifiers(modifiers & modifierMask)
        {
        }
        static Shortcut fromFlags(int keyCode, std::uint64_t modifierFlags);
        // A mask read from outside (a raw key event) may carry other bits.
        static Shortcut normalized(int keyCode, int carbonModifiers);
        std::uint64_t modifierFlags() const;

        // Compact JSON: {"carbonKeyCode":3,"carbonModifiers":6144}.
        std::string toJson() const;
        // None unless the text is an object with both members as integers.
        static std::optional<Shortcut> fromJson(const std::string& text);

        friend bool operator==(const Shortcut&, const Shortcut&) = default;
        friend auto operator<=>(const Shortcut&, const Shortcut&) = default;
    };

    struct Name {
        std::string rawValue;
        std::optional<Shortcut> defaultShortcut;

        std::string storageKey() const { return std::string(keyPrefix) + rawValue; }
        // The default takes no part in equality.
        friend bool operator==(const Name& a, const Name& b) { return a.rawValue == b.rawValue; }
    };

    using Action = std::function<void(const Shortcut&)>;
    // Receives the notification's name and its "name" user info.
    using ChangeObserver = std::function<void(std::string_view notification, const Name& name)>;

    struct MenuKeyEquivalent {
        // One character (UTF-8); a space when the key has no text.
        std::string character;
        // Event flags: Command, Control, Option, Shift, Caps Lock, numeric pad.
        std::uint64_t modifierFlags = 0;
    };

    KeyboardShortcuts(DefaultsStore& store, HotKeyRegistrar& registrar, const KeyboardLayout& layout);
    // The registrar may outlive the service: its handler is cleared.
    ~KeyboardShortcuts();
    KeyboardShortcuts(const KeyboardShortcuts&) = delete;
    KeyboardShortcuts& operator=(const KeyboardShortcuts&) = delete;

    // 1. Installs the default when nothing is stored for the name yet.
    Name makeName(std::string rawValue, std::optional<Shortcut> defaultShortcut = std::nullopt);
    // 2. Read from the store at each call.
    std::optional<Shortcut> shortcut(const Name& name) const;
    // 3.
    void setShortcut(const Name& name, const Shortcut& shortcut);
    // 4. A name with a default keeps the removal as the boolean false.
    void removeShortcut(const Name& name);
    // 5.
    void reset(const std::vector<Name>& names);
    // 6.
    void onKeyDown(const Name& name, Action action);
    void onKeyUp(const Name& name, Action action);
    // 7. Registration only: bound actions and the store stay as they are.
    void enable(const std::vector<Name>& names);
    void disable(const std::vector<Name>& names);
    // 8. This platform has no table of system hot keys.
    bool isTakenBySystem(const Shortcut&) const { return false; }
    // 10.
    std::string displayText(const Shortcut& shortcut) const;
    static std::string modifierSymbols(std::uint64_t modifierFlags);
    // 11.
    std::optional<MenuKeyEquivalent> menuKeyEquivalent(const Name& name) const;

    void addChangeObserver(ChangeObserver observer) { observers_.push_back(std::move(observer)); }

    // A recorder pauses dispatch while it records.
    void setPaused(bool paused) { paused_ = paused; }
    bool isPaused() const { return paused_; }

    // While a menu tracks, hot keys are released to the platform and key
    // events reach the service as raw key events instead.
    void setMenuOpen(bool open);
    bool isMenuOpen() const { return menuOpen_; }
    // True when the event matched a hot key and was consumed.
    bool handleRawKeyEvent(int keyCode, int carbonModifiers, bool pressed);

    // The platform's delivery of a registered hot key by id.
    bool handleHotKeyEvent(int id, bool pressed);
    // Runs the actions of every name that holds the combination now.
    void dispatch(const Shortcut& shortcut, bool pressed);

    bool isRegistered(const Shortcut& shortcut) const { return registeredShortcuts_.count(shortcut) != 0; }
    // Combinations the platform accepted (the failed ones stay in the
    // registered set but have no hot key).
    std::size_t hotKeyCount() const { return hotKeys_.size(); }

private:
    struct HotKey {
        Shortcut shortcut;
        int carbonHotKeyId = 0;
        // False while soft-unregistered during menu tracking.
        bool registered = false;
    };
    using HandlerList = std::vector<std::pair<Name, std::vector<Action>>>;

    void registerShortcut(const Shortcut& shortcut, const Name& forName);
    void unregisterShortcut(const Shortcut& shortcut);
    // Drops the old combination of `name` unless another known name still
    // holds it.
    void releaseShortcut(const Shortcut& shortcut, const Name& name);
    bool heldByOtherName(const Shortcut& shortcut, const Name& name) const;
    void bind(HandlerList& list, const Name& name, Action action);
    void notifyChange(const Name& name);
    void updateEventTypes();

    DefaultsStore& store_;
    HotKeyRegistrar& registrar_;
    const KeyboardLayout& layout_;

    std::map<int, HotKey> hotKeys_;
    int hotKeyIdCounter_ = 0;
    std::set<Shortcut> registeredShortcuts_;
    HandlerList keyDownHandlers_;
    HandlerList keyUpHandlers_;
    std::set<std::string> knownNames_;
    std::vector<ChangeObserver> observers_;
    bool enabled_ = true;
    bool menuOpen_ = false;
    bool paused_ = false;
};

} // namespace tilewise
