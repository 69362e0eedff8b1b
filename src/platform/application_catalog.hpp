// The installed applications, by the identifier the program knows them by:
// the desktop-file id ("org.example.Editor"), or the window class of an
// application that has no desktop entry.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tilewise {

struct InstalledApplication {
    // The entry's Name; empty when it has none.
    std::string name;
    // The entry's Icon: a theme icon name or an absolute path; empty when
    // it has none.
    std::string icon;
    // The desktop entry's file.
    std::string entryPath;
};

class ApplicationCatalog {
public:
    virtual ~ApplicationCatalog() = default;

    // None when no installed application has that identifier.
    virtual std::optional<InstalledApplication> find(const std::string& identifier) const = 0;
    // The identifier of the application whose desktop entry is the file at
    // `path`; none when it is not a readable desktop entry.
    virtual std::optional<std::string> readEntry(const std::string& path) const = 0;
    // Where entries live, in order of precedence: a chooser of
    // applications opens there.
    virtual std::vector<std::string> applicationFolders() const = 0;
};

// The desktop entries of $XDG_DATA_HOME and $XDG_DATA_DIRS, read afresh at
// each call.
class DesktopEntryCatalog : public ApplicationCatalog {
public:
    std::optional<InstalledApplication> find(const std::string& identifier) const override;
    std::optional<std::string> readEntry(const std::string& path) const override;
    std::vector<std::string> applicationFolders() const override;
};

} // namespace tilewise
