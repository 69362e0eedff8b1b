#include "settings/defaults_store.hpp"

namespace tilewise {

bool DefaultsStore::boolValue(const std::string& key) const
{
    std::optional<DefaultsValue> v = value(key);
    if (!v)
        return false;
    if (const bool* b = std::get_if<bool>(&*v))
        return *b;
    if (const double* d = std::get_if<double>(&*v))
        return *d != 0;
    return false;
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

} // namespace tilewise
