// The desktop program's start: the permission alert and its polling, the
// welcome window once, and the taskbar only while a window of ours is open.
#include "app/app_shell.hpp"

#include "platform/memory/manual_run_loop.hpp"
#include "platform/memory/memory_alerts.hpp"
#include "settings/memory_defaults_store.hpp"

#include <gtest/gtest.h>

namespace tilewise {
namespace {

class AppShellTest : public ::testing::Test {
protected:
    AppShell make()
    {
        return AppShell(store, alerts, loop,
                        {[this] { return trusted; }, "https://help",
                         [this](const std::string& a) { opened = a; }, [this] { ++welcomes; },
                         [this] { quit = true; }, [this](ActivationPolicy p) { policies.push_back(p); }});
    }

    MemoryDefaultsStore store;
    MemoryAlerts alerts;
    ManualRunLoop loop;
    bool trusted = true;
    std::string opened;
    int welcomes = 0;
    bool quit = false;
    std::vector<ActivationPolicy> policies;
};

TEST_F(AppShellTest, TheWelcomeComesOnceAndOnlyWhenWindowsCanBeLaidOut)
{
    AppShell first = make();
    first.start();
    EXPECT_TRUE(alerts.shown.empty());
    EXPECT_EQ(welcomes, 1);
    EXPECT_EQ(store.value("TilewiseFirstLaunchPreference"), DefaultsValue(true));
    make().start();
    EXPECT_EQ(welcomes, 1);

    // Missing permission: the alert, then the half-second poll; the first
    // button opens the help and keeps polling, any other answer quits.
    store.remove("TilewiseFirstLaunchPreference");
    trusted = false;
    alerts.answers = {0};
    AppShell waiting = make();
    waiting.start();
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.shown[0].message, "Accessibility permission required");
    EXPECT_EQ(alerts.shown[0].buttons, (std::vector<std::string>{"Open Assessibility Setting", "Quit"}));
    EXPECT_EQ(opened, "https://help");
    loop.advance(std::chrono::milliseconds(1000));
    EXPECT_TRUE(waiting.waitingForPermission());
    trusted = true;
    loop.advance(std::chrono::milliseconds(500));
    EXPECT_FALSE(waiting.waitingForPermission());
    EXPECT_EQ(welcomes, 2);
    EXPECT_FALSE(quit);

    trusted = false;
    alerts.answers = {-1};
    make().start();
    EXPECT_TRUE(quit);
}

TEST_F(AppShellTest, TheTaskbarListsTheProgramWhileOneOfItsWindowsIsOpen)
{
    store.set("TilewiseFirstLaunchPreference", true);
    AppShell shell = make();
    shell.start();
    shell.windowShown(AppShell::Window::welcome);
    shell.windowShown(AppShell::Window::settings);
    shell.windowClosed(AppShell::Window::settings);
    EXPECT_EQ(shell.policy(), ActivationPolicy::regular);
    shell.windowClosed(AppShell::Window::welcome);
    EXPECT_EQ(policies,
              (std::vector<ActivationPolicy>{ActivationPolicy::regular, ActivationPolicy::accessory}));
}

} // namespace
} // namespace tilewise
