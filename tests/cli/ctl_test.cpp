// This test verifies tilewisectl's command handling: usage errors never touch
// the display, and the commands that do reach the engine and the platform.
#include "cli/ctl.hpp"

#include "platform/memory/memory_keyboard_layout.hpp"
#include "platform/memory/memory_window_access.hpp"
#include "settings/memory_defaults_store.hpp"

#include <gtest/gtest.h>

#include <sstream>

namespace tilewise {
namespace {

class CtlTest : public ::testing::Test {
protected:
    CtlTest()
    {
        screen = access.addScreen(Rect(0, 0, 1440, 900), Rect(0, 0, 1440, 875), "DP-1");
        access.setMainScreen(screen);
        window = access.addWindow(Rect(300, 100, 400, 300), 42, 7);
        layout.loadUs();
        access.setFocused(window);
    }

    int run(std::vector<std::string> args)
    {
        out.str("");
        err.str("");
        return runCtl(args, store, opener, out, err);
    }

    MemoryWindowAccess access;
    MemoryDefaultsStore store;
    MemoryKeyboardLayout layout;
    Screen screen;
    WindowElement window;
    int opened = 0;
    int openResult = ctlOk;
    CtlPlatformOpener opener = [this](CtlPlatform& p, std::string& error) {
        ++opened;
        if (openResult != ctlOk) {
            error = "cannot open display ':99'";
            return openResult;
        }
        p.access = &access;
        p.keyboardLayout = &layout;
        return int(ctlOk);
    };
    std::ostringstream out, err;
};

TEST_F(CtlTest, UsageErrorsExitTwoWithOneLineAndNeverOpenTheDisplay)
{
    for (auto args : std::vector<std::vector<std::string>>{{},
                                                            {"frobnicate"},
                                                            {"perform"},
                                                            {"perform", "leftHalf"},
                                                            {"perform", "LeftHalf", "extra"},
                                                            {"screens", "extra"}}) {
        EXPECT_EQ(run(args), ctlUsage) << testing::PrintToString(args);
        std::string e = err.str();
        EXPECT_EQ(std::count(e.begin(), e.end(), '\n'), 1) << e;
        EXPECT_TRUE(out.str().empty());
    }
    EXPECT_EQ(opened, 0);
}

TEST_F(CtlTest, HistoryOperationsAreRefusedWithExitThree)
{
    for (const char* name : {"Pair", "PairFor3", "PairLast", "Restore", "NextSpace", "PreviousSpace"}) {
        EXPECT_EQ(run({"perform", name}), ctlUnavailable) << name;
        EXPECT_NE(err.str().find(name), std::string::npos);
    }
    EXPECT_EQ(opened, 0);
    EXPECT_EQ(access.frame(window), Rect(300, 100, 400, 300));
}

TEST_F(CtlTest, NoDisplayExitsOne)
{
    openResult = ctlNoDisplay;
    EXPECT_EQ(run({"perform", "LeftHalf"}), ctlNoDisplay);
    EXPECT_EQ(err.str(), "tilewisectl: cannot open display ':99'\n");
    EXPECT_EQ(run({"windows"}), ctlNoDisplay);
}

TEST_F(CtlTest, PerformMovesTheFocusedWindow)
{
    EXPECT_EQ(run({"perform", "LeftHalf"}), ctlOk);
    EXPECT_EQ(access.frame(window), Rect(0, 25, 720, 875));
    EXPECT_EQ(run({"perform", "MoveRightwardLittle"}), ctlOk);
    EXPECT_EQ(access.frame(window), Rect(50, 25, 720, 875));

    access.setFocused(std::nullopt);
    EXPECT_EQ(run({"perform", "Maximize"}), ctlOk);
    EXPECT_EQ(err.str(), "tilewisectl: no focused window\n");
}

TEST_F(CtlTest, ListingCommands)
{
    EXPECT_EQ(run({"operations"}), ctlOk);
    std::string ops = out.str();
    EXPECT_EQ(std::count(ops.begin(), ops.end(), '\n'), 77);
    EXPECT_EQ(ops.substr(0, 8), "Up\nDown\n");
    EXPECT_NE(ops.find("\nRestore\n"), std::string::npos);

    EXPECT_EQ(run({"screens"}), ctlOk);
    EXPECT_EQ(out.str(), "DP-1 frame (0.0, 0.0, 1440.0, 900.0) visible (0.0, 0.0, 1440.0, 875.0)\n");

    EXPECT_EQ(run({"windows"}), ctlOk);
    EXPECT_EQ(out.str().rfind("0x00000007 level 0 frame (300.0, 100.0, 400.0, 300.0) pid 42 ", 0), 0u);

    EXPECT_EQ(run({"--version"}), ctlOk);
    EXPECT_EQ(out.str().rfind("tilewisectl ", 0), 0u);
    EXPECT_EQ(run({"--help"}), ctlOk);
    EXPECT_NE(out.str().find("perform OPERATION"), std::string::npos);
}

TEST_F(CtlTest, DefaultsReadWriteDeleteKeepTypes)
{
    EXPECT_EQ(run({"defaults", "write", "TilewiseUseExactCenterKey", "-bool", "true"}), ctlOk);
    EXPECT_EQ(store.value("TilewiseUseExactCenterKey"), DefaultsValue(true));
    EXPECT_EQ(run({"defaults", "write", "KeyboardShortcuts_maxmize", "-bool", "false"}), ctlOk);
    EXPECT_EQ(store.value("KeyboardShortcuts_maxmize"), DefaultsValue(false)) << "a boolean, not the text";
    EXPECT_EQ(run({"defaults", "write", "TilewiseClipHorizontal", "-string", R"([{"numerator":2,"denominator":3}])"}),
              ctlOk);
    EXPECT_EQ(run({"defaults", "read", "TilewiseClipHorizontal"}), ctlOk);
    EXPECT_EQ(out.str(), "[{\"numerator\":2,\"denominator\":3}]\n");

    EXPECT_EQ(run({"defaults", "read"}), ctlOk);
    EXPECT_NE(out.str().find("TilewiseUseExactCenterKey = true\n"), std::string::npos) << out.str();

    // The engine reads the store the command was given.
    EXPECT_EQ(run({"perform", "Left"}), ctlOk);
    EXPECT_EQ(access.frame(window).width(), 960);
    opened = 0;

    EXPECT_EQ(run({"defaults", "delete", "TilewiseUseExactCenterKey"}), ctlOk);
    EXPECT_FALSE(store.contains("TilewiseUseExactCenterKey"));
    EXPECT_EQ(run({"defaults", "delete", "TilewiseUseExactCenterKey"}), ctlNoDisplay);
    EXPECT_EQ(run({"defaults", "read", "Nope"}), ctlNoDisplay);
    EXPECT_EQ(err.str(), "tilewisectl: the setting Nope does not exist\n");

    EXPECT_EQ(run({"defaults", "write", "K", "-bool", "maybe"}), ctlUsage);
    EXPECT_EQ(run({"defaults", "write", "K", "-int", "3"}), ctlUsage);
    EXPECT_EQ(run({"defaults", "write", "K", "-string"}), ctlUsage);
    EXPECT_EQ(run({"defaults", "frob"}), ctlUsage);
    EXPECT_FALSE(store.contains("K"));
    EXPECT_EQ(opened, 0) << "the defaults never need the display";
}

TEST_F(CtlTest, ShortcutsListEveryNameWithoutWritingDefaults)
{
    store.set("KeyboardShortcuts_clipLeft", false); // removed by the user
    EXPECT_EQ(run({"shortcuts"}), ctlOk);
    std::string text = "\n" + out.str();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 35) << text;
    EXPECT_NE(text.find("\nclipLeft none\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nmaxmize \u2303\u2325F\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nlaunchQuickAction none\n"), std::string::npos) << text;
    EXPECT_EQ(store.all().size(), 1u) << "listing stores nothing";
}

} // namespace
} // namespace tilewise
