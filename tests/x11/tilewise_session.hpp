// The fixture of the tests that run the resident program: a settings and a
// runtime folder of the test's own, a top dock, and tilewise started on
// demand and stopped cleanly at the end.
#pragma once

#include "ctl_harness.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace tilewise::testing {

class TilewiseSessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "needs an X server with a window manager in DISPLAY";
        ASSERT_TRUE(display.ok());
        char tmpl[] = "/tmp/tilewise-run-test.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        home = tmpl;
        dock = std::make_unique<TestClientProcess>(std::vector<std::string>{"--dock", "top:25"});
        ASSERT_TRUE(dock->ready());
    }

    void TearDown() override
    {
        if (tilewise) {
            EXPECT_EQ(tilewise->terminate(), 0) << "a clean exit on SIGTERM";
        }
        if (!home.empty())
            std::filesystem::remove_all(home);
    }

    std::vector<std::string> env() const
    {
        return {"XDG_CONFIG_HOME=" + home + "/config", "XDG_RUNTIME_DIR=" + home};
    }

    // Without tray and windows unless the test says otherwise: a welcome
    // window would take the focus from the test's windows.
    void startTilewise(std::vector<std::string> args = {"--headless"})
    {
        args.insert(args.begin(), TILEWISE_PATH);
        tilewise = std::make_unique<Child>(args, env());
        ASSERT_TRUE(display.waitForRootProperty("_TILEWISE_RUNNING")) << "tilewise did not come up";
    }

    void press(const std::string& keys) { ASSERT_EQ(run({"xdotool", "key", keys}).exitCode, 0) << keys; }

    // A window of the test client, focused, alive until the test ends.
    xcb_window_t newWindow(const std::vector<std::string>& args = {"--window", "300,200,400,300"})
    {
        clients.push_back(std::make_unique<TestClientProcess>(args));
        EXPECT_TRUE(clients.back()->ready());
        if (clients.back()->windows().empty())
            return XCB_WINDOW_NONE;
        xcb_window_t w = clients.back()->windows().front();
        EXPECT_TRUE(display.activate(w));
        return w;
    }

    Display display;
    std::string home;
    std::unique_ptr<TestClientProcess> dock;
    std::vector<std::unique_ptr<TestClientProcess>> clients;
    std::unique_ptr<Child> tilewise;
};

} // namespace tilewise::testing
