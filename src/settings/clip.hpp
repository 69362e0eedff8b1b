// A clip is a fraction of a screen dimension; a screen clip holds the clip
// lists of one display.
#pragma once

#include <nlohmann/json_fwd.hpp>

#include <optional>
#include <string>
#include <vector>

namespace tilewise {

struct Clip {
    long long numerator = 0;
    long long denominator = 0;

    double value() const { return static_cast<double>(numerator) / static_cast<double>(denominator); }
    friend bool operator==(const Clip&, const Clip&) = default;
};

struct ScreenClip {
    std::string name;
    std::vector<Clip> horizontal;
    std::vector<Clip> vertical;
    friend bool operator==(const ScreenClip&, const ScreenClip&) = default;
};

// Both members are required and must be JSON integers.
void to_json(nlohmann::json& j, const Clip& c);
void from_json(const nlohmann::json& j, Clip& c);
void to_json(nlohmann::json& j, const ScreenClip& c);
void from_json(const nlohmann::json& j, ScreenClip& c);

namespace settings_keys {
inline constexpr const char* clipHorizontal = "TilewiseClipHorizontal";
inline constexpr const char* clipVertical = "TilewiseClipVertical";
inline constexpr const char* separateScreenConfiguration = "TilewiseSeparateScreenConfiguration";
inline constexpr const char* excludes = "TilewiseExcludes";
} // namespace settings_keys

const std::vector<Clip>& defaultHorizontalClips(); // 1/2, 1/3, 1/4
const std::vector<Clip>& defaultVerticalClips();   // 1/1, 1/2, 1/3, 1/4
const std::vector<std::string>& defaultExcludes();

class DefaultsStore;

// The settings the layout engine reads, each read afresh from the store.
std::vector<Clip> horizontalClips(const DefaultsStore& store);
std::vector<Clip> verticalClips(const DefaultsStore& store);
std::vector<ScreenClip> screenClips(const DefaultsStore& store);
std::vector<std::string> excludes(const DefaultsStore& store);

struct ClipLists {
    std::vector<Clip> horizontal;
    std::vector<Clip> vertical;
};

// The first configuration named exactly like the screen replaces both lists;
// otherwise the default lists serve.
ClipLists clipListsForScreen(const DefaultsStore& store, const std::string& screenName);

} // namespace tilewise
