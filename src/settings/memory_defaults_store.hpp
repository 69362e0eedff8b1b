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
    bool set(const std::string& key, const DefaultsValue& v) override
    {
        auto [it, inserted] = values_.try_emplace(key, v);
        if (!inserted && it->second == v)
            return true;
        it->second = v;
        ++writes_;
        notifyChanged({key});
        return true;
    }
    bool remove(const std::string& key) override
    {
        if (values_.erase(key) == 0)
            return true;
        ++writes_;
        notifyChanged({key});
        return true;
    }

    const std::map<std::string, DefaultsValue>& all() const { return values_; }
    std::map<std::string, DefaultsValue> allValues() const override { return values_; }
    // How many changes were made (a value set again unchanged is none).
    int writes() const { return writes_; }

private:
    std::map<std::string, DefaultsValue> values_;
    int writes_ = 0;
};

} // namespace tilewise
