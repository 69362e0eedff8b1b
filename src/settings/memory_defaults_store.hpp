// A defaults store that lives only in memory (tests, one-shot commands).
#pragma once

#include "settings/defaults_store.hpp"

#include <map>

namespace tilewise {

class MemoryDefaultsStore : public DefaultsStore {
public:
    std::optional<DefaultsValue> value(const std::string& key) const override
    {
        auto it = values_.find(key);
        if (it == values_.end())
            return std::nullopt;
        return it->second;
    }
    void set(const std::string& key, const DefaultsValue& v) override { values_[key] = v; }
    void remove(const std::string& key) override { values_.erase(key); }

    const std::map<std::string, DefaultsValue>& all() const { return values_; }
    std::map<std::string, DefaultsValue> allValues() const override { return values_; }

private:
    std::map<std::string, DefaultsValue> values_;
};

} // namespace tilewise
