// Installed applications in memory: tests install and remove them by hand.
#pragma once

#include "platform/application_catalog.hpp"

#include <map>
#include <utility>

namespace tilewise {

class MemoryApplicationCatalog : public ApplicationCatalog {
public:
    // The entry's file is "/apps/ID.desktop".
    void install(const std::string& identifier, std::string name, std::string icon = {})
    {
        std::string path = entryPathOf(identifier);
        entries_[path] = identifier;
        apps_[identifier] = InstalledApplication{std::move(name), std::move(icon), std::move(path)};
    }
    void uninstall(const std::string& identifier)
    {
        entries_.erase(entryPathOf(identifier));
        apps_.erase(identifier);
    }
    static std::string entryPathOf(const std::string& identifier)
    {
        return "/apps/" + identifier + ".desktop";
    }

    std::optional<InstalledApplication> find(const std::string& identifier) const override
    {
        auto it = apps_.find(identifier);
        return it == apps_.end() ? std::nullopt : std::optional(it->second);
    }
    std::optional<std::string> readEntry(const std::string& path) const override
    {
        auto it = entries_.find(path);
        return it == entries_.end() ? std::nullopt : std::optional(it->second);
    }
    std::vector<std::string> applicationFolders() const override { return {"/apps"}; }

private:
    std::map<std::string, InstalledApplication> apps_;
    std::map<std::string, std::string> entries_;
};

} // namespace tilewise
