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

    // A name and why the platform does not hold its combination now.
    struct Refusal {
        std::string name;
        Shortcut shortcut;
        HotKeyStatus status = HotKeyStatus::taken;
    };

    // Follows the store: whoever changes a name's combination there (another
    // process, a hand edit), the service releases what no name holds any
    // more, registers what is new and posts the change notification.
    KeyboardShortcuts(DefaultsStore& store, HotKeyRegistrar& registrar, const KeyboardLayout& layout);
    // The registrar and the store may outlive the service: its handlers are
    // removed.
    ~KeyboardShortcuts();
    KeyboardShortcuts(const KeyboardShortcuts&) = delete;
    KeyboardShortcuts& operator=(const KeyboardShortcuts&) = delete;

    // 1. Installs the default when nothing is stored for the name yet.
    Name makeName(std::string rawValue, std::optional<Shortcut> defaultShortcut = std::nullopt);
    // 2. Read from the store at each call. A stored combination that no
    // recorder would accept (no Control, Option or Command on a key other
    // than a function key) reads as none and is reported once: grabbing a
    // bare key would take it from every program.
    std::optional<Shortcut> shortcut(const Name& name) const;
    // Whether a combination may be a global shortcut (see above).
    static bool isUsable(const Shortcut& shortcut);
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
    // Combinations the platform holds now.
    std::size_t hotKeyCount() const;

    // The combinations the platform refused, registered again: another
    // program may have let one go. Costs one exchange with the platform, and
    // nothing while none is refused.
    void retryRefused();
    bool hasRefused() const;
    // Every bound, enabled name whose combination the platform does not hold,
    // in name order.
    std::vector<Refusal> refusals() const;
    // Called whenever `refusals()` may have changed.
    void setRefusalObserver(std::function<void()> observer) { refusalObserver_ = std::move(observer); }

    // Registrations made inside a batch reach the platform together when the
    // outermost batch ends.
    class RegistrationBatch {
    public:
        explicit RegistrationBatch(KeyboardShortcuts& s) : s_(s) { ++s_.batchDepth_; }
        ~RegistrationBatch()
        {
            if (--s_.batchDepth_ == 0)
                s_.flushRegistrations();
        }
        RegistrationBatch(const RegistrationBatch&) = delete;
        RegistrationBatch& operator=(const RegistrationBatch&) = delete;

    private:
        KeyboardShortcuts& s_;
    };

private:
    struct HotKey {
        Shortcut shortcut;
        int carbonHotKeyId = 0;
        // True while the platform holds it: false while soft-unregistered
        // during menu tracking, while waiting in a batch, and when refused.
        bool registered = false;
        // Why it is not held, after the platform's last answer.
        HotKeyStatus status = HotKeyStatus::held;
    };
    using HandlerList = std::vector<std::pair<Name, std::vector<Action>>>;

    // Known names are remembered with the combination they have now.
    void remember(const Name& name);
    // The combination the service last saw for the name.
    std::optional<Shortcut> held(const Name& name) const;
    void registerShortcut(const Shortcut& shortcut);
    // Sends the hot keys in `ids` to the platform in one request and
    // reports the refused ones.
    void registerWithPlatform(const std::vector<int>& ids);
    void flushRegistrations();
    void unregisterShortcut(const Shortcut& shortcut);
    // Drops the old combination of `name` unless another name still holds it.
    void releaseShortcut(const Shortcut& shortcut, const Name& name);
    bool heldByOtherName(const Shortcut& shortcut, const std::string& rawValue) const;
    bool isActive(const std::string& rawValue) const;
    void bind(HandlerList& list, const Name& name, Action action);
    void notifyChange(const Name& name);
    void updateEventTypes();
    void followStore(const std::vector<std::string>& keys);
    void followKeyboardChange();
    void reportRefusal(const HotKey& hotKey) const;
    void refusalsMayHaveChanged();

    DefaultsStore& store_;
    HotKeyRegistrar& registrar_;
    const KeyboardLayout& layout_;

    std::map<int, HotKey> hotKeys_;
    int hotKeyIdCounter_ = 0;
    std::set<Shortcut> registeredShortcuts_;
    HandlerList keyDownHandlers_;
    HandlerList keyUpHandlers_;
    // Every name the service was told of, with its default, and the
    // combination it had when the service last looked: a store change is
    // compared against this.
    std::map<std::string, Name> knownNames_;
    std::map<std::string, std::optional<Shortcut>> seen_;
    // Names turned off by operation 7 until turned on again.
    std::set<std::string> disabled_;
    std::vector<ChangeObserver> observers_;
    std::uint64_t storeObserver_ = 0;
    int batchDepth_ = 0;
    std::vector<int> pendingIds_;
    std::function<void()> refusalObserver_;
    bool enabled_ = true;
    bool menuOpen_ = false;
    bool paused_ = false;
};

} // namespace tilewise
