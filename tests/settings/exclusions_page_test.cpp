// The exclusions page's rows, adding and removing; desktop-entry ids.
#include "platform/diagnostics.hpp"
#include "platform/memory/memory_application_catalog.hpp"
#include "settings/clip.hpp"
#include "settings/exclusions_page.hpp"
#include "settings/json_array.hpp"
#include "settings/memory_defaults_store.hpp"
#include "temp_folder.hpp"

#include <gtest/gtest.h>

#include <sstream>

namespace tilewise {
namespace {

using Ids = std::vector<std::string>;

class ExclusionsPageTest : public ::testing::Test {
protected:
    void store(const Ids& ids) { writeJsonArray(defaults, settings_keys::excludes, ids); }
    Ids rowIds() const
    {
        Ids ids;
        for (const ExclusionsPage::Row& row : page.rows())
            ids.push_back(row.name.empty() ? row.identifier : row.identifier + " " + row.name);
        return ids;
    }

    MemoryDefaultsStore defaults;
    MemoryApplicationCatalog catalog;
    ExclusionsPage page{defaults, catalog};
    std::ostringstream out, err;
    diag::Capture capture{out, err};
};

TEST_F(ExclusionsPageTest, HidesBuiltInsAndFollowsChangesMadeElsewhere)
{
    EXPECT_EQ(excludes(defaults).size(), 2u);
    EXPECT_TRUE(page.rows().empty());
    int rebuilt = 0;
    page.setOnRowsChanged([&] { ++rebuilt; });
    catalog.install("org.example.Editor", "Editor", "accessories-text-editor");
    // The tray's ignore, with identifiers stored by an earlier version.
    store({"com.apple.loginwindow", "org.example.Editor", "xterm", defaultExcludes()[1]});
    ASSERT_EQ(rowIds(), (Ids{"org.example.Editor Editor", "xterm"}));
    EXPECT_EQ(rebuilt, 1);
    EXPECT_EQ(page.rows()[0].iconOrFallback(), "accessories-text-editor");
    EXPECT_EQ(page.rows()[1].iconOrFallback(), "gear");
    // Only a change of the shown identifiers rebuilds (and clears the selection).
    page.setSelection({page.rows()[1].id});
    store({"org.example.Editor", "xterm"});
    EXPECT_EQ(rebuilt, 1);
    EXPECT_TRUE(page.canRemove());
}

TEST_F(ExclusionsPageTest, AddsNewEntriesOnceAndReportsChooserErrors)
{
    catalog.install("org.example.A", "A");
    catalog.install("org.example.B", "B");
    store({"org.example.B"});
    const std::string a = MemoryApplicationCatalog::entryPathOf("org.example.A");
    page.add({a, "/home/u/notes.txt", a, MemoryApplicationCatalog::entryPathOf("org.example.B")});
    EXPECT_EQ(excludes(defaults), (Ids{"org.example.B", "org.example.A"}));
    EXPECT_EQ(rowIds(), (Ids{"org.example.B B", "org.example.A A"}));
    page.chooserFailed("The folder cannot be read");
    EXPECT_EQ(out.str(), "The folder cannot be read\n");
}

TEST_F(ExclusionsPageTest, RemovesFirstOccurrencesOfRowsAndSelection)
{
    store({"x", "y", "x", "z"});
    EXPECT_FALSE(page.canRemove());
    page.removeRow(page.rows()[2].id);
    EXPECT_EQ(excludes(defaults), (Ids{"y", "x", "z"}));
    page.setSelection({page.rows()[0].id, page.rows()[2].id, 999});
    EXPECT_EQ(page.selection().size(), 2u);
    page.removeSelected();
    EXPECT_EQ(excludes(defaults), (Ids{"x"}));
    EXPECT_FALSE(page.canRemove());
}

TEST(ExclusionsCatalogTest, DesktopEntriesGiveIdsNamesAndIcons)
{
    testing_support::TempFolder home, dirs;
    ::setenv("XDG_DATA_HOME", home.path().c_str(), 1);
    ::setenv("XDG_DATA_DIRS", dirs.path().c_str(), 1);
    std::filesystem::create_directories(dirs.path() / "applications/kde4");
    const auto entry = dirs.path() / "applications/kde4/editor.desktop";
    testing_support::writeText(entry, "[Desktop Entry]\nName=Editor\nIcon=kate\n");
    testing_support::writeText(home.path() / "notes.desktop", "just text\n");
    DesktopEntryCatalog catalog;
    EXPECT_EQ(catalog.applicationFolders(),
              (Ids{home.path() / "applications", dirs.path() / "applications"}));
    EXPECT_EQ(catalog.readEntry(entry), "kde4-editor");
    EXPECT_EQ(catalog.readEntry(home.path() / "notes.desktop"), std::nullopt);
    std::optional<InstalledApplication> app = catalog.find("kde4-editor");
    ::unsetenv("XDG_DATA_HOME");
    ::unsetenv("XDG_DATA_DIRS");
    ASSERT_TRUE(app);
    EXPECT_EQ(app->name + " " + app->icon + " " + app->entryPath, "Editor kate " + entry.string());
}

} // namespace
} // namespace tilewise
