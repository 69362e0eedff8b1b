#include "quickactions/shortcuts_slot_manager.hpp"

#include "settings/defaults_store.hpp"

#include <algorithm>
#include <utility>

namespace tilewise {

namespace {

using Action = QuickAction::Action;

std::optional<std::int64_t> firstFreeSlot(const std::vector<Action>& actions)
{
    // A switched-off action keeps blocking its slot until it gives it back.
    std::bitset<ShortcutsSlotManager::slotCount> held;
    for (const Action& a : actions)
        if (ShortcutsSlotManager::isUsableSlot(a.shortcutSlot))
            held.set(static_cast<std::size_t>(*a.shortcutSlot));
    for (std::size_t i = 0; i < held.size(); ++i)
        if (!held[i])
            return static_cast<std::int64_t>(i);
    return std::nullopt;
}

} // namespace

ShortcutsSlotManager::ShortcutsSlotManager(KeyboardShortcuts& shortcuts, DefaultsStore& store, RunAction run)
    : shortcuts_(shortcuts), store_(store), run_(std::move(run))
{
    slots_.reserve(slotCount);
    for (std::size_t i = 0; i < slotCount; ++i)
        slots_.push_back(shortcuts_.makeName(std::string("Slot").append(std::to_string(i))));
}

const ShortcutsSlotManager::Name* ShortcutsSlotManager::slotName(std::optional<std::int64_t> slot) const
{
    return isUsableSlot(slot) ? &slots_[static_cast<std::size_t>(*slot)] : nullptr;
}

void ShortcutsSlotManager::registerSlotHandlers()
{
    // The slots' combinations reach the platform in one request.
    KeyboardShortcuts::RegistrationBatch batch(shortcuts_);
    for (const Action& a : quickActions(store_))
        if (a.shortcutEnabled && isUsableSlot(a.shortcutSlot))
            bindSlot(*a.shortcutSlot);
}

std::optional<std::int64_t> ShortcutsSlotManager::nextFreeSlot() const
{
    return firstFreeSlot(quickActions(store_));
}

bool ShortcutsSlotManager::isKeyUsed(std::int64_t key) const
{
    if (key == -1)
        return false;
    const std::vector<Action> actions = quickActions(store_);
    return std::any_of(actions.begin(), actions.end(), [key](const Action& a) { return a.key == key; });
}

void ShortcutsSlotManager::runActionById(const std::string& id)
{
    // Read at each call, so that edits apply without binding anything again.
    const std::vector<Action> actions = quickActions(store_);
    auto it = std::find_if(actions.begin(), actions.end(), [&](const Action& a) { return a.id == id; });
    if (it != actions.end() && run_)
        run_(*it);
}

void ShortcutsSlotManager::runSlot(std::int64_t slot)
{
    const std::vector<Action> actions = quickActions(store_);
    auto it = std::find_if(actions.begin(), actions.end(),
                           [&](const Action& a) { return a.shortcutEnabled && a.shortcutSlot == slot; });
    if (it != actions.end() && run_)
        run_(*it);
}

void ShortcutsSlotManager::bindSlot(std::int64_t slot)
{
    const auto i = static_cast<std::size_t>(slot);
    if (bound_[i])
        return;
    bound_.set(i);
    shortcuts_.onKeyDown(slots_[i], [this, slot](const KeyboardShortcuts::Shortcut&) { runSlot(slot); });
}

void ShortcutsSlotManager::resetSlot(std::optional<std::int64_t> slot)
{
    // Without its combination the slot no longer fires, whoever is bound.
    if (const Name* name = slotName(slot))
        shortcuts_.reset({*name});
}

ShortcutsSlotManager::SwitchResult ShortcutsSlotManager::setShortcutEnabled(const std::string& id,
                                                                            bool enabled)
{
    std::vector<Action> actions = quickActions(store_);
    auto it = std::find_if(actions.begin(), actions.end(), [&](const Action& a) { return a.id == id; });
    if (it == actions.end())
        return {std::nullopt, std::string(noSuchAction)};
    Action& action = *it;
    const Action before = action;
    SwitchResult result;
    if (!enabled) {
        resetSlot(action.shortcutSlot);
        action.shortcutSlot.reset();
        action.shortcutEnabled = false;
    } else if (isUsableSlot(action.shortcutSlot)) {
        // It still holds a slot, and any combination recorded there is its own.
        action.shortcutEnabled = true;
        result.slot = action.shortcutSlot;
    } else if (std::optional<std::int64_t> s = firstFreeSlot(actions)) {
        action.shortcutEnabled = true;
        action.shortcutSlot = s;
        result.slot = s;
    } else {
        action.shortcutEnabled = false;
        result.error = noShortcutsLeft;
    }
    // With no slot left the caller reports that, saved or not.
    if (!(action == before) && !storeQuickActions(store_, actions) && result.error.empty())
        return {std::nullopt, std::string(notSaved)};
    if (result.slot)
        bindSlot(*result.slot);
    return result;
}

bool ShortcutsSlotManager::deleteActions(const std::vector<std::string>& ids)
{
    std::vector<Action> actions = quickActions(store_);
    auto doomed = [&](const Action& a) { return std::find(ids.begin(), ids.end(), a.id) != ids.end(); };
    std::vector<Name> freed;
    for (const Action& a : actions)
        if (doomed(a))
            if (const Name* name = slotName(a.shortcutSlot))
                freed.push_back(*name);
    if (!freed.empty())
        shortcuts_.reset(freed);
    if (std::erase_if(actions, doomed) == 0)
        return true;
    return storeQuickActions(store_, actions);
}

} // namespace tilewise
