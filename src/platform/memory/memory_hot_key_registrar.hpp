// Hot keys in memory: tests press combinations by hand and can make the
// platform refuse one, as X does when another client already grabbed it.
#pragma once

#include "platform/hot_key_registrar.hpp"

#include <map>
#include <set>
#include <utility>

namespace tilewise {

class MemoryHotKeyRegistrar : public HotKeyRegistrar {
public:
    bool registerHotKey(int id, int carbonKeyCode, int carbonModifiers) override;
    void unregisterHotKey(int id) override;
    void setHandler(Handler handler) override { handler_ = std::move(handler); }

    // Registrations of this combination fail from now on.
    void refuse(int carbonKeyCode, int carbonModifiers) { refused_.insert({carbonKeyCode, carbonModifiers}); }
    // Delivers a press and release of the combination; false when nothing is
    // registered for it.
    bool press(int carbonKeyCode, int carbonModifiers);
    bool isRegistered(int carbonKeyCode, int carbonModifiers) const;
    std::size_t registrationCount() const { return registered_.size(); }
    int registerCalls() const { return registerCalls_; }

private:
    std::map<int, std::pair<int, int>> registered_;
    std::set<std::pair<int, int>> refused_;
    Handler handler_;
    int registerCalls_ = 0;
};

} // namespace tilewise
