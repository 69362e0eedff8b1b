// The per-user defaults store kept in one JSON file, shared with other
// processes of the same user (tilewisectl writes while tilewise runs).
#pragma once

#include "settings/defaults_store.hpp"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <iosfwd>
#include <map>
#include <memory>

namespace tilewise {

class FileDefaultsStore : public DefaultsStore {
public:
    static constexpr const char* fileName = "defaults.json";

    // `directory` holds defaults.json; it is created at the first write.
    // Problems are reported as one line each on `out`.
    explicit FileDefaultsStore(std::filesystem::path directory);
    FileDefaultsStore(std::filesystem::path directory, std::ostream& out);

    // $XDG_CONFIG_HOME/tilewise, or ~/.config/tilewise when it is unset or
    // not absolute (as the base directory rules require).
    static std::filesystem::path defaultDirectory();
    static std::unique_ptr<FileDefaultsStore> fromEnvironment();

    std::optional<DefaultsValue> value(const std::string& key) const override;
    void set(const std::string& key, const DefaultsValue& value) override;
    void remove(const std::string& key) override;

    const std::filesystem::path& path() const { return path_; }
    // Every key that holds a boolean, number or string.
    std::map<std::string, DefaultsValue> all() const;
    std::map<std::string, DefaultsValue> allValues() const override { return all(); }

private:
    struct FileStamp {
        bool exists = false;
        unsigned long long device = 0, inode = 0;
        long long size = 0, mtimeNs = 0;
        friend bool operator==(const FileStamp&, const FileStamp&) = default;
    };

    FileStamp currentStamp() const;
    // Re-reads the file when another writer replaced it since the last read.
    void refresh() const;
    void load(const FileStamp& stamp) const;
    void moveAside(const std::string& reason) const;
    void write();

    std::filesystem::path directory_;
    std::filesystem::path path_;
    std::ostream& out_;
    // Members of any JSON type are kept so that a write never drops keys
    // this program does not understand.
    mutable nlohmann::json values_ = nlohmann::json::object();
    mutable FileStamp stamp_;
    mutable bool loaded_ = false;
    // The unparsable file could not be moved aside: writing would destroy it.
    mutable bool badFileInPlace_ = false;
};

} // namespace tilewise
