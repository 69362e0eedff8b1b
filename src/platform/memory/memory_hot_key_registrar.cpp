#include "platform/memory/memory_hot_key_registrar.hpp"

namespace tilewise {

bool MemoryHotKeyRegistrar::registerHotKey(int id, int carbonKeyCode, int carbonModifiers)
{
    ++registerCalls_;
    if (refused_.count({carbonKeyCode, carbonModifiers}) || registered_.count(id))
        return false;
    registered_[id] = {carbonKeyCode, carbonModifiers};
    return true;
}

void MemoryHotKeyRegistrar::unregisterHotKey(int id)
{
    registered_.erase(id);
}

bool MemoryHotKeyRegistrar::press(int carbonKeyCode, int carbonModifiers)
{
    for (const auto& [id, combination] : registered_) {
        if (combination != std::pair{carbonKeyCode, carbonModifiers})
            continue;
        // Copy: the handler may change the registrations.
        int pressedId = id;
        if (handler_) {
            handler_(pressedId, true);
            handler_(pressedId, false);
        }
        return true;
    }
    return false;
}

bool MemoryHotKeyRegistrar::isRegistered(int carbonKeyCode, int carbonModifiers) const
{
    for (const auto& [id, combination] : registered_)
        if (combination == std::pair{carbonKeyCode, carbonModifiers})
            return true;
    return false;
}

} // namespace tilewise
