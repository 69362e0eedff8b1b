// The autostart entry: quoted Exec line, reading back, rewriting, removal, failures that keep the setting.
#include "settings/launch_at_login.hpp"

#include "platform/diagnostics.hpp"
#include "platform/memory/memory_alerts.hpp"
#include "settings/memory_defaults_store.hpp"
#include "settings/storage.hpp"
#include "temp_folder.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

namespace tilewise {
namespace {

namespace fs = std::filesystem;
using testing_support::readText;

TEST(DesktopExecQuotingTest, EscapesReservedCharactersTwice)
{
    EXPECT_EQ(quoteDesktopExecArgument("/opt/my apps/tilewise"), R"("/opt/my apps/tilewise")");
    // " ` $ get one backslash from the quoting rule, which the string rule
    // then doubles; a literal backslash becomes four.
    EXPECT_EQ(quoteDesktopExecArgument(R"(/a"b`c$d\e)"), R"("/a\\"b\\`c\\$d\\\\e")");
    EXPECT_EQ(quoteDesktopExecArgument("/50%/tilewise"), R"("/50%%/tilewise")");
    EXPECT_EQ(quoteDesktopExecArgument("/a\nb"), R"("/a\nb")");
}

class LaunchAtLoginTest : public ::testing::Test {
protected:
    testing_support::TempFolder temp_;
    fs::path root_ = temp_.path();
    std::ostringstream out_, err_;
    diag::Capture capture_{out_, err_};
};

TEST_F(LaunchAtLoginTest, EnableWritesAnEntryThatReadsBackAndDisableRemovesItTellingObserversAround)
{
    LaunchAtLogin login(root_ / "autostart", "/opt/tile wise/bin/tilewise");
    std::vector<std::string> events;
    login.addWillChangeObserver([&] { events.push_back(login.isEnabled() ? "will:on" : "will:off"); });
    login.addValueObserver([&](bool v) { events.push_back(v ? "set:on" : "set:off"); });
    EXPECT_FALSE(login.isEnabled());
    login.setEnabled(true);
    EXPECT_TRUE(login.isEnabled());
    std::string text = readText(root_ / "autostart" / "tilewise.desktop");
    EXPECT_EQ(text.rfind("[Desktop Entry]\n", 0), 0u);
    EXPECT_NE(text.find("\nExec=\"/opt/tile wise/bin/tilewise\"\n"), std::string::npos);
    EXPECT_NE(text.find("\nType=Application\n"), std::string::npos);

    // An entry for another binary is not ours to call enabled.
    LaunchAtLogin moved(root_ / "autostart", "/usr/local/bin/tilewise");
    EXPECT_FALSE(moved.isEnabled());

    login.setEnabled(false);
    EXPECT_FALSE(login.isEnabled());
    EXPECT_FALSE(fs::exists(root_ / "autostart" / "tilewise.desktop"));
    EXPECT_EQ(events, (std::vector<std::string>{"will:off", "set:on", "will:on", "set:off"}));
    // Disabling when nothing is registered is not a failure.
    login.setEnabled(false);
    EXPECT_EQ(out_.str() + err_.str(), "");
}

TEST_F(LaunchAtLoginTest, EnablingTwiceRewritesAHiddenOrEditedEntry)
{
    LaunchAtLogin login(root_, "/usr/bin/tilewise");
    login.setEnabled(true);
    std::ofstream(root_ / "tilewise.desktop", std::ios::app) << "Hidden=true\n";
    EXPECT_FALSE(login.isEnabled());
    login.setEnabled(true);
    EXPECT_TRUE(login.isEnabled());
    EXPECT_EQ(readText(root_ / "tilewise.desktop"), login.desktopEntry());

    std::ofstream(root_ / "tilewise.desktop") << "[Desktop Entry]\nExec = \"/usr/bin/tilewise\"\n"
                                              << "[Desktop Action x]\nHidden=true\n";
    EXPECT_TRUE(login.isEnabled());
    std::ofstream(root_ / "tilewise.desktop") << "[Desktop Entry]\nExec=/usr/bin/tilewise\n";
    EXPECT_FALSE(login.isEnabled());
    EXPECT_EQ(out_.str() + err_.str(), "");
}

TEST_F(LaunchAtLoginTest, FailuresAreReportedInOneLineAndLeaveTheSettingOn)
{
    std::ofstream(root_ / "plain") << "";
    LaunchAtLogin cannotCreate(root_ / "plain" / "autostart", "/usr/bin/tilewise");
    MemoryDefaultsStore store;
    store.set(settings_keys::launchAtLogin, true);
    MemoryAlerts alerts;
    StorageHooks hooks;
    hooks.setLaunchAtLogin = [&](bool v) { cannotCreate.setEnabled(v); };
    Storage storage(store, alerts, hooks);
    EXPECT_TRUE(storage.launchAtLogin());
    EXPECT_EQ(store.value(settings_keys::launchAtLogin), DefaultsValue(true));
    const std::string report = err_.str();
    EXPECT_EQ(report.rfind("tilewise: Failed to enable launch at login: ", 0), 0u) << report;
    EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 1);

    // A directory under the entry's name cannot be removed as a file.
    err_.str("");
    fs::create_directories(root_ / "dir" / "tilewise.desktop" / "x");
    LaunchAtLogin cannotRemove(root_ / "dir", "/usr/bin/tilewise");
    cannotRemove.setEnabled(false);
    EXPECT_EQ(err_.str().rfind("tilewise: Failed to disable launch at login: ", 0), 0u) << err_.str();

    err_.str("");
    LaunchAtLogin unknownBinary(root_, "");
    unknownBinary.setEnabled(true);
    EXPECT_EQ(err_.str().rfind("tilewise: Failed to enable launch at login: ", 0), 0u);
    EXPECT_FALSE(fs::exists(root_ / "tilewise.desktop"));
}

} // namespace
} // namespace tilewise
