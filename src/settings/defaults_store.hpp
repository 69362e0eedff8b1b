// The per-user key-value store that holds every setting.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <variant>

namespace tilewise {

// Booleans, numbers and strings stay distinct: a stored shortcut may be the
// boolean false or a JSON string.
using DefaultsValue = std::variant<bool, double, std::string>;

class DefaultsStore {
public:
    virtual ~DefaultsStore() = default;

    virtual std::optional<DefaultsValue> value(const std::string& key) const = 0;
    virtual void set(const std::string& key, const DefaultsValue& value) = 0;
    virtual void remove(const std::string& key) = 0;
    // Every key with its value, for listing.
    virtual std::map<std::string, DefaultsValue> allValues() const = 0;

    // Boolean semantics: absent, or not a boolean, reads as false.
    bool boolValue(const std::string& key) const;
    std::optional<std::string> stringValue(const std::string& key) const;
    bool contains(const std::string& key) const { return value(key).has_value(); }
};

} // namespace tilewise
