#include "settings/defaults_store.hpp"

#include <algorithm>

namespace tilewise {

bool DefaultsStore::boolValue(const std::string& key) const
{
    std::optional<DefaultsValue> v = value(key);
    if (!v)
        return false;
    const bool* b = std::get_if<bool>(&*v);
    return b && *b;
}

std::optional<std::string> DefaultsStore::stringValue(const std::string& key) const
{
    std::optional<DefaultsValue> v = value(key);
    if (!v)
        return std::nullopt;
    if (const std::string* s = std::get_if<std::string>(&*v))
        return *s;
    return std::nullopt;
}

DefaultsStore::ObserverId DefaultsStore::addChangeObserver(ChangeObserver observer)
{
    ObserverId id = nextObserverId_++;
    observers_.emplace_back(id, std::move(observer));
    return id;
}

void DefaultsStore::removeChangeObserver(ObserverId id)
{
    std::erase_if(observers_, [id](const auto& entry) { return entry.first == id; });
}

void DefaultsStore::notifyChanged(const std::vector<std::string>& keys)
{
    if (keys.empty())
        return;
    // A snapshot: an observer may remove itself while being told.
    std::vector<std::pair<ObserverId, ChangeObserver>> snapshot = observers_;
    for (const auto& [id, observer] : snapshot)
        observer(keys);
}

} // namespace tilewise
