#include "settings/clip.hpp"

#include "settings/defaults_store.hpp"
#include "settings/json_array.hpp"

#include <nlohmann/json.hpp>

namespace tilewise {

namespace {

long long requiredInteger(const nlohmann::json& j, const char* member)
{
    const nlohmann::json& v = j.at(member);
    if (!v.is_number_integer())
        throw nlohmann::json::type_error::create(302, std::string(member) + " must be an integer", &j);
    return v.get<long long>();
}

} // namespace

void to_json(nlohmann::json& j, const Clip& c)
{
    j = nlohmann::json{{"numerator", c.numerator}, {"denominator", c.denominator}};
}

void from_json(const nlohmann::json& j, Clip& c)
{
    c.numerator = requiredInteger(j, "numerator");
    c.denominator = requiredInteger(j, "denominator");
}

void to_json(nlohmann::json& j, const ScreenClip& c)
{
    j = nlohmann::json{{"name", c.name}, {"horizontal", c.horizontal}, {"vertical", c.vertical}};
}

void from_json(const nlohmann::json& j, ScreenClip& c)
{
    const nlohmann::json& name = j.at("name");
    if (!name.is_string())
        throw nlohmann::json::type_error::create(302, "name must be a string", &j);
    c.name = name.get<std::string>();
    const nlohmann::json& h = j.at("horizontal");
    const nlohmann::json& v = j.at("vertical");
    if (!h.is_array() || !v.is_array())
        throw nlohmann::json::type_error::create(302, "clip lists must be arrays", &j);
    c.horizontal = h.get<std::vector<Clip>>();
    c.vertical = v.get<std::vector<Clip>>();
}

const std::vector<Clip>& defaultHorizontalClips()
{
    static const std::vector<Clip> clips{{1, 2}, {1, 3}, {1, 4}};
    return clips;
}

const std::vector<Clip>& defaultVerticalClips()
{
    static const std::vector<Clip> clips{{1, 1}, {1, 2}, {1, 3}, {1, 4}};
    return clips;
}

const std::vector<std::string>& defaultExcludes()
{
    // The screen locker's unlock dialog and the polkit agent's password
    // prompt, as windows identify themselves: neither has a desktop entry
    // of its own, so each is known by its WM_CLASS class (xscreensaver sets
    // it; GTK makes it from the program's name with a capital).
    static const std::vector<std::string> ids{"XScreenSaver", "Polkit-gnome-authentication-agent-1"};
    return ids;
}

std::vector<Clip> horizontalClips(const DefaultsStore& store)
{
    return readJsonArray(store, settings_keys::clipHorizontal, defaultHorizontalClips());
}

std::vector<Clip> verticalClips(const DefaultsStore& store)
{
    return readJsonArray(store, settings_keys::clipVertical, defaultVerticalClips());
}

std::vector<ScreenClip> screenClips(const DefaultsStore& store)
{
    return readJsonArray(store, settings_keys::separateScreenConfiguration, std::vector<ScreenClip>{});
}

std::vector<std::string> excludes(const DefaultsStore& store)
{
    return readJsonArray(store, settings_keys::excludes, defaultExcludes());
}

ClipLists clipListsForScreen(const DefaultsStore& store, const std::string& screenName)
{
    for (ScreenClip& sc : screenClips(store)) {
        if (sc.name == screenName)
            return ClipLists{std::move(sc.horizontal), std::move(sc.vertical)};
    }
    return ClipLists{horizontalClips(store), verticalClips(store)};
}

} // namespace tilewise
