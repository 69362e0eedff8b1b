// The per-user defaults store kept in one JSON file, shared with other
// processes of the same user (tilewisectl writes while tilewise runs) and
// with the user's own editor.
#pragma once

#include "settings/defaults_store.hpp"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tilewise {

// The file's text, decoded. Every member is kept (a write must never drop
// what this program does not understand); only booleans and strings are
// settings.
struct ParsedDefaults {
    nlohmann::json members = nlohmann::json::object();
    std::map<std::string, DefaultsValue> values;
    // Members holding anything but a boolean or a string.
    std::vector<std::string> ignoredKeys;
};

// Nesting deeper than this is refused while parsing, so no recursion ever
// runs on a hostile file.
inline constexpr int maxDefaultsDepth = 64;

// None, with the reason in `why`, when the text is not a JSON object or is
// nested too deep.
std::optional<ParsedDefaults> parseDefaultsText(std::string_view text, std::string* why = nullptr);
// One member per line, values compact: the size grows with the content only.
std::string serializeDefaults(const nlohmann::json& members);

class FileDefaultsStore : public DefaultsStore {
public:
    static constexpr const char* fileName = "defaults.json";

    // `directory` holds defaults.json; it is created at the first write.
    // Problems are reported through the diagnostics, once each.
    explicit FileDefaultsStore(std::filesystem::path directory);
    ~FileDefaultsStore() override;

    // $XDG_CONFIG_HOME/tilewise, or ~/.config/tilewise when it is unset or
    // not absolute (as the base directory rules require).
    static std::filesystem::path defaultDirectory();
    static std::unique_ptr<FileDefaultsStore> fromEnvironment();

    std::optional<DefaultsValue> value(const std::string& key) const override;
    bool set(const std::string& key, const DefaultsValue& value) override;
    bool remove(const std::string& key) override;
    std::map<std::string, DefaultsValue> allValues() const override;
    void beginBatch() override;
    bool endBatch() override;

    const std::filesystem::path& path() const { return path_; }

    // False while the file exists but cannot be read (permissions, I/O
    // error): values then come from memory, and writes are refused.
    bool readable() const;

    // For a run loop: a descriptor that becomes readable when the file may
    // have changed; call handleChanges() then. Once it has been taken, reads
    // are served from memory and touch no file. -1 when change
    // notifications are not available (reads then look at the file).
    int changeFd();
    // Reloads what changed and tells the change observers.
    void handleChanges();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::filesystem::path directory_;
    std::filesystem::path path_;
};

} // namespace tilewise
