// Modifier changes that tests send by hand.
#pragma once

#include "platform/modifier_monitor.hpp"

#include <vector>

namespace tilewise {

class MemoryModifierMonitor : public ModifierMonitor {
public:
    MonitorId addMonitor(Handler handler) override
    {
        handlers_.push_back(std::move(handler));
        return static_cast<MonitorId>(handlers_.size());
    }

    void emit(const ModifierEvent& event)
    {
        for (const Handler& h : handlers_)
            h(event);
    }
    std::size_t monitorCount() const { return handlers_.size(); }

private:
    std::vector<Handler> handlers_;
};

} // namespace tilewise
