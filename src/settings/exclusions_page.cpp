#include "settings/exclusions_page.hpp"

#include "platform/diagnostics.hpp"
#include "settings/clip.hpp"
#include "settings/json_array.hpp"

#include <algorithm>

namespace tilewise {

const std::vector<std::string>& ExclusionsPage::hiddenIdentifiers()
{
    static const std::vector<std::string> ids = [] {
        std::vector<std::string> all = defaultExcludes();
        // Lists stored before the built-in identifiers became X11's.
        all.insert(all.end(), {"com.apple.loginwindow", "com.apple.accessibility.universalAccessAuthWarn"});
        return all;
    }();
    return ids;
}

ExclusionsPage::ExclusionsPage(DefaultsStore& store, const ApplicationCatalog& catalog)
    : store_(store), catalog_(catalog)
{
    observer_ =
        store_.addChangeObserver([this](const std::vector<std::string>& keys) { storeChanged(keys); });
    rebuild();
}

ExclusionsPage::~ExclusionsPage()
{
    store_.removeChangeObserver(observer_);
}

std::vector<std::string> ExclusionsPage::visibleIdentifiers() const
{
    std::vector<std::string> ids = excludes(store_);
    const std::vector<std::string>& hidden = hiddenIdentifiers();
    std::erase_if(ids, [&](const std::string& id) { return std::ranges::find(hidden, id) != hidden.end(); });
    return ids;
}

void ExclusionsPage::rebuild()
{
    selection_.clear();
    std::vector<Row> rows;
    for (std::string& identifier : visibleIdentifiers()) {
        Row row{nextRowId_++, std::move(identifier), {}, {}};
        if (std::optional<InstalledApplication> app = catalog_.find(row.identifier)) {
            row.name = std::move(app->name);
            row.icon = std::move(app->icon);
        }
        rows.push_back(std::move(row));
    }
    rows_ = std::move(rows);
    if (onRowsChanged_)
        onRowsChanged_();
}

void ExclusionsPage::storeChanged(const std::vector<std::string>& keys)
{
    if (writing_ || std::ranges::find(keys, settings_keys::excludes) == keys.end())
        return;
    const std::vector<std::string> visible = visibleIdentifiers();
    if (!std::ranges::equal(visible, rows_, {}, {}, &Row::identifier))
        rebuild();
}

void ExclusionsPage::setSelection(const std::set<RowId>& ids)
{
    selection_.clear();
    for (RowId id : ids)
        if (std::ranges::find(rows_, id, &Row::id) != rows_.end())
            selection_.insert(id);
}

void ExclusionsPage::add(const std::vector<std::string>& paths)
{
    writing_ = true;
    for (const std::string& path : paths) {
        std::optional<std::string> identifier = catalog_.readEntry(path);
        if (!identifier)
            continue;
        std::vector<std::string> list = excludes(store_);
        if (std::ranges::find(list, *identifier) != list.end())
            continue;
        list.push_back(std::move(*identifier));
        writeJsonArray(store_, settings_keys::excludes, list);
    }
    writing_ = false;
    rebuild();
}

void ExclusionsPage::chooserFailed(std::string_view error)
{
    diag::line(error);
}

void ExclusionsPage::removeIdentifiers(const std::vector<std::string>& identifiers)
{
    std::vector<std::string> list = excludes(store_);
    for (const std::string& identifier : identifiers)
        if (auto it = std::ranges::find(list, identifier); it != list.end())
            list.erase(it);
    writing_ = true;
    writeJsonArray(store_, settings_keys::excludes, list);
    writing_ = false;
    rebuild();
}

void ExclusionsPage::removeRow(RowId id)
{
    auto row = std::ranges::find(rows_, id, &Row::id);
    if (row != rows_.end())
        removeIdentifiers({row->identifier});
}

void ExclusionsPage::removeSelected()
{
    std::vector<std::string> identifiers;
    for (const Row& row : rows_)
        if (selection_.count(row.id))
            identifiers.push_back(row.identifier);
    if (!identifiers.empty())
        removeIdentifiers(identifiers);
}

} // namespace tilewise
