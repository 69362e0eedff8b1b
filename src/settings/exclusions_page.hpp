// The exclusions page's model: the excluded applications the user may see,
// with their names and icons, the selection, and adding from a chooser of
// desktop entries and removing. The widget only draws the rows and forwards
// the user's requests.
#pragma once

#include "platform/application_catalog.hpp"
#include "settings/defaults_store.hpp"

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace tilewise {

class ExclusionsPage {
public:
    static constexpr std::string_view title = "Tilewise will ignore operations on these applications";
    static constexpr std::string_view nameColumn = "Name";
    // Drawn for an application that is not installed or names no icon.
    static constexpr std::string_view fallbackIcon = "gear";

    using RowId = std::uint64_t;

    struct Row {
        // Its own identity: two rows of one identifier differ.
        RowId id = 0;
        std::string identifier;
        // Empty when the application is not installed.
        std::string name;
        // A theme icon name or an absolute path; empty when there is none.
        std::string icon;

        std::string_view iconOrFallback() const
        {
            return icon.empty() ? fallbackIcon : std::string_view(icon);
        }
    };

    // Identifiers that stay in the stored list but are never shown, so that
    // they can be neither seen nor removed: the built-in ones and the ones
    // stored by earlier versions.
    static const std::vector<std::string>& hiddenIdentifiers();

    // Follows the stored list: a change made elsewhere (the tray's ignore)
    // rebuilds the rows when the identifiers to show differ from the rows'.
    ExclusionsPage(DefaultsStore& store, const ApplicationCatalog& catalog);
    ~ExclusionsPage();
    ExclusionsPage(const ExclusionsPage&) = delete;
    ExclusionsPage& operator=(const ExclusionsPage&) = delete;

    // Called after every rebuild of the rows.
    void setOnRowsChanged(std::function<void()> observer) { onRowsChanged_ = std::move(observer); }

    // Clears the selection and reads the rows afresh (the page is shown).
    void rebuild();
    const std::vector<Row>& rows() const { return rows_; }

    // Ids of no row are dropped.
    void setSelection(const std::set<RowId>& ids);
    const std::set<RowId>& selection() const { return selection_; }
    bool canRemove() const { return !selection_.empty(); }

    // Where the chooser of desktop entries opens, best first.
    std::vector<std::string> chooserFolders() const { return catalog_.applicationFolders(); }
    // The chosen files, in order: files that are no desktop entry and
    // applications listed already are skipped; each new one is stored at
    // once.
    void add(const std::vector<std::string>& paths);
    // The chooser failed: its error goes to standard output as given.
    void chooserFailed(std::string_view error);

    // Each removes the first occurrence of the row's identifier.
    void removeRow(RowId id);
    void removeSelected();

private:
    std::vector<std::string> visibleIdentifiers() const;
    void removeIdentifiers(const std::vector<std::string>& identifiers);
    void storeChanged(const std::vector<std::string>& keys);

    DefaultsStore& store_;
    const ApplicationCatalog& catalog_;
    DefaultsStore::ObserverId observer_ = 0;
    std::vector<Row> rows_;
    std::set<RowId> selection_;
    RowId nextRowId_ = 1;
    // The page's own writes rebuild once, when done.
    bool writing_ = false;
    std::function<void()> onRowsChanged_;
};

} // namespace tilewise
