#include "platform/memory/memory_hot_key_registrar.hpp"

namespace tilewise {

std::vector<HotKeyStatus> MemoryHotKeyRegistrar::registerHotKeys(const std::vector<HotKeyRequest>& requests)
{
    ++exchanges_;
    std::vector<HotKeyStatus> statuses;
    for (const HotKeyRequest& r : requests) {
        ++registerCalls_;
        registered_.erase(r.id);
        auto refused = refused_.find({r.carbonKeyCode, r.carbonModifiers});
        if (refused != refused_.end()) {
            statuses.push_back(refused->second);
            continue;
        }
        registered_[r.id] = {r.carbonKeyCode, r.carbonModifiers};
        statuses.push_back(HotKeyStatus::held);
    }
    return statuses;
}

void MemoryHotKeyRegistrar::changeKeyboard()
{
    registered_.clear();
    if (keyboardChangeHandler_)
        keyboardChangeHandler_();
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
