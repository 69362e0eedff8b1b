// Array-valued settings are stored as one string holding a compact JSON array.
#pragma once

#include "settings/defaults_store.hpp"

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <vector>

namespace tilewise {

// The decoded array, or none when the text is not a JSON array of T (one bad
// element fails the whole array).
template <typename T>
std::optional<std::vector<T>> decodeJsonArray(const std::string& text)
{
    try {
        nlohmann::json j = nlohmann::json::parse(text);
        if (!j.is_array())
            return std::nullopt;
        std::vector<T> out;
        out.reserve(j.size());
        for (const auto& element : j)
            out.push_back(element.get<T>());
        return out;
    } catch (const nlohmann::json::exception&) {
        return std::nullopt;
    }
}

// Invalid UTF-8 in a string is replaced rather than failing, so the write
// always succeeds and never wipes the user's list.
template <typename T>
std::string encodeJsonArray(const std::vector<T>& values)
{
    nlohmann::json j = nlohmann::json::array();
    for (const T& v : values)
        j.push_back(v);
    return j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// Reads the setting; absent or undecodable text gives the default list and
// leaves the stored text alone.
template <typename T>
std::vector<T> readJsonArray(const DefaultsStore& store, const std::string& key, const std::vector<T>& fallback)
{
    std::optional<std::string> text = store.stringValue(key);
    if (!text)
        return fallback;
    std::optional<std::vector<T>> decoded = decodeJsonArray<T>(*text);
    return decoded ? *decoded : fallback;
}

template <typename T>
void writeJsonArray(DefaultsStore& store, const std::string& key, const std::vector<T>& values)
{
    store.set(key, encodeJsonArray(values));
}

} // namespace tilewise
