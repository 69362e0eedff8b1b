// The 42 spare shortcut names "Slot0" to "Slot41", lent to the quick actions
// whose shortcut the user switches on. Which action holds which slot lives
// only in the stored actions (`shortcutSlot`); the key combinations live in
// the hot key service under the slot names.
#pragma once

#include "quickactions/quick_action.hpp"
#include "shortcuts/keyboard_shortcuts.hpp"

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tilewise {

class DefaultsStore;

class ShortcutsSlotManager {
public:
    using Name = KeyboardShortcuts::Name;
    // Carries an action out on the focused window; does nothing without one.
    using RunAction = std::function<void(const QuickAction::Action&)>;

    static constexpr std::size_t slotCount = 42;
    static constexpr std::string_view noShortcutsLeft = "No shortcuts left";
    static constexpr std::string_view noSuchAction = "No quick action has this id";
    static constexpr std::string_view notSaved = "The quick actions could not be saved";

    struct SwitchResult {
        // The slot the action holds afterwards.
        std::optional<std::int64_t> slot;
        // Empty on success, else one of the texts above.
        std::string error;
    };

    // Bindings are never removed, so the manager must live as long as the
    // service.
    ShortcutsSlotManager(KeyboardShortcuts& shortcuts, DefaultsStore& store, RunAction run);
    ShortcutsSlotManager(const ShortcutsSlotManager&) = delete;
    ShortcutsSlotManager& operator=(const ShortcutsSlotManager&) = delete;

    const std::vector<Name>& slots() const { return slots_; }
    // Stored indices outside 0 to 41 hold nothing.
    static bool isUsableSlot(std::optional<std::int64_t> slot)
    {
        return slot && *slot >= 0 && *slot < static_cast<std::int64_t>(slotCount);
    }
    // The name of a usable slot, else null.
    const Name* slotName(std::optional<std::int64_t> slot) const;

    // Once at launch: a key-down handler for the slot of every action whose
    // shortcut is on.
    void registerSlotHandlers();
    // The lowest slot no stored action holds, switched on or not.
    std::optional<std::int64_t> nextFreeSlot() const;
    // Whether some action (the edited one too) has this menu key; -1 is none.
    bool isKeyUsed(std::int64_t key) const;
    // Runs the stored action with this id; an unknown id does nothing.
    void runActionById(const std::string& id);

    // Switches the stored action's shortcut on (lending it the lowest free
    // slot) or off (resetting its slot's combination and giving the slot
    // back). With no slot free the shortcut is left off and the result says
    // "No shortcuts left".
    SwitchResult setShortcutEnabled(const std::string& id, bool enabled);
    // Resets the slots of the actions with these ids, then removes them from
    // the stored list. False when the list could not be saved.
    bool deleteActions(const std::vector<std::string>& ids);

private:
    // One handler per slot, bound on first use: it runs whichever action
    // holds the slot at the press, so a slot lent again never runs a former
    // holder.
    void bindSlot(std::int64_t slot);
    void runSlot(std::int64_t slot);
    void resetSlot(std::optional<std::int64_t> slot);

    KeyboardShortcuts& shortcuts_;
    DefaultsStore& store_;
    RunAction run_;
    std::vector<Name> slots_;
    std::bitset<slotCount> bound_;
};

} // namespace tilewise
