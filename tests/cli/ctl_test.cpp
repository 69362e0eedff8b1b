// tilewisectl: usage errors never touch the display; other commands reach the running Tilewise, or the
// engine and the platform.
#include "cli/ctl.hpp"

#include "layout/operation_type.hpp"
#include "platform/memory/memory_keyboard_layout.hpp"
#include "platform/memory/memory_window_access.hpp"
#include "quickactions/quick_action.hpp"
#include "settings/memory_defaults_store.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <sstream>
#include <tuple>

namespace tilewise {
namespace {

// Stands for a settings file that cannot be read or replaced: the store
// refuses every change (and would have said why).
class BrokenableStore : public MemoryDefaultsStore {
public:
    bool set(const std::string& key, const DefaultsValue& v) override
    {
        return !broken && MemoryDefaultsStore::set(key, v);
    }
    bool remove(const std::string& key) override { return !broken && MemoryDefaultsStore::remove(key); }

    bool broken = false;
};

// The Tilewise of the display, answering every call alike.
struct FakeRemote : CtlRemote {
    CtlRemoteReply perform(OperationType op) override
    {
        performed.push_back(op);
        return reply;
    }
    CtlRemoteReply history() override { return reply; }
    CtlRemoteReply runAction(const std::string& id) override
    {
        ran.push_back(id);
        return reply;
    }
    CtlRemoteReply showSettings(const std::string& page) override
    {
        ran.push_back("settings " + page);
        return reply;
    }
    CtlRemoteReply editAction(const std::string& id) override
    {
        ran.push_back("edit " + id);
        return reply;
    }

    CtlRemoteReply reply;
    std::vector<OperationType> performed;
    std::vector<std::string> ran;
};

std::ptrdiff_t lines(const std::string& text)
{
    return std::count(text.begin(), text.end(), '\n');
}

class CtlTest : public ::testing::Test {
protected:
    CtlTest()
    {
        access.setMainScreen(access.addScreen(Rect(0, 0, 1440, 900), Rect(0, 0, 1440, 875), "DP-1"));
        window = access.addWindow(Rect(300, 100, 400, 300), 42, 7);
        layout.loadUs();
        access.setFocused(window);
    }

    int run(std::vector<std::string> args)
    {
        out.str("");
        err.str("");
        return runCtl(
            args, store, opener, out, err, [this] { return !store.broken; }, remote);
    }

    MemoryWindowAccess access;
    BrokenableStore store;
    MemoryKeyboardLayout layout;
    WindowElement window;
    std::map<std::string, std::string> refusals;
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
        p.shortcutRefusals = refusals;
        return int(ctlOk);
    };
    std::ostringstream out, err;
    CtlRemote* remote = nullptr;
};

TEST_F(CtlTest, UsageErrorsExitTwoWithOneLineAndNeverOpenTheDisplay)
{
    // clang-format off
    for (auto args : std::vector<std::vector<std::string>>{
             {}, {"frobnicate"}, {"perform"}, {"perform", "leftHalf"}, {"perform", "LeftHalf", "extra"},
             {"perform", "Left\nHalf"}, {"screens", "extra"}, {"history", "extra"}, {"defaults", "frob"},
             {"defaults", "write", "K", "-bool", "maybe"}, {"defaults", "write", "K", "-int", "3"},
             {"defaults", "write", "K", "-string"}}) {
        // clang-format on
        EXPECT_EQ(run(args), ctlUsage) << testing::PrintToString(args);
        std::string e = err.str();
        EXPECT_EQ(std::count(e.begin(), e.end(), '\n'), 1) << e;
        EXPECT_TRUE(out.str().empty());
    }
    EXPECT_EQ(opened, 0);
    EXPECT_FALSE(store.contains("K"));
}

TEST_F(CtlTest, PerformMovesTheFocusedWindowOrExitsWithWhyNot)
{
    // The history and its operations need a running Tilewise: with no session bus, or with none on
    // it, exit 3 without the display.
    FakeRemote notRunning;
    for (CtlRemote* r : {static_cast<CtlRemote*>(nullptr), static_cast<CtlRemote*>(&notRunning)}) {
        remote = r;
        // clang-format off
        for (auto args : std::vector<std::vector<std::string>>{
                 {"perform", "Pair"}, {"perform", "PairFor3"}, {"perform", "PairLast"}, {"perform", "Restore"},
                 {"perform", "NextSpace"}, {"perform", "PreviousSpace"}, {"history"}}) {
            // clang-format on
            EXPECT_EQ(run(args), ctlUnavailable) << args.back();
            EXPECT_NE(err.str().find("not running on this display"), std::string::npos) << err.str();
            EXPECT_NE(err.str().find(args.back()), std::string::npos) << err.str();
        }
    }
    EXPECT_EQ(notRunning.performed.size(), 6u);
    EXPECT_EQ(opened, 0);
    EXPECT_EQ(access.frame(window), Rect(300, 100, 400, 300));

    openResult = ctlNoDisplay;
    EXPECT_EQ(run({"perform", "LeftHalf"}), ctlNoDisplay);
    EXPECT_EQ(err.str(), "tilewisectl: cannot open display ':99'\n");
    EXPECT_EQ(run({"windows"}), ctlNoDisplay);

    openResult = ctlOk;
    EXPECT_EQ(run({"perform", "LeftHalf"}), ctlOk) << "the others run here";
    EXPECT_EQ(access.frame(window), Rect(0, 25, 720, 875));
    EXPECT_EQ(run({"perform", "MoveRightwardLittle"}), ctlOk);
    EXPECT_EQ(access.frame(window), Rect(50, 25, 720, 875));

    access.setFocused(std::nullopt);
    EXPECT_EQ(run({"perform", "Maximize"}), ctlNothingToDo);
    EXPECT_EQ(err.str(), "tilewisectl: no focused window: nothing to lay out\n");
    EXPECT_EQ(access.frame(window), Rect(50, 25, 720, 875));
}

TEST_F(CtlTest, ARunningTilewisePerformsAndShowsItsHistory)
{
    FakeRemote tilewise;
    remote = &tilewise;
    using Status = CtlRemoteReply::Status;
    const std::tuple<CtlRemoteReply, int, const char*> answers[] = {
        {{Status::Done, "", ""}, ctlOk, ""},
        {{Status::NoFocusedWindow, "", ""},
         ctlNothingToDo,
         "tilewisectl: no focused window: nothing to lay out\n"},
        {{Status::Failed, "Tilewise on this display: timed\nout (Timeout)", ""},
         ctlNoDisplay,
         "tilewisectl: Tilewise on this display: timed out (Timeout)\n"},
    };
    for (const auto& [reply, status, error] : answers) {
        tilewise.reply = reply;
        EXPECT_EQ(run({"perform", "Pair"}), status);
        EXPECT_EQ(err.str(), error);
    }
    EXPECT_EQ(tilewise.performed, std::vector<OperationType>(3, OperationType::Pair));
    EXPECT_EQ(opened, 0);

    tilewise.reply = {Status::Done, "", R"({"currentWindowId": 10485763, "lastWindowId": null,
        "currentLayout": [0, 25, 720.0, 875.5], "last1Layout": null, "last2layout": [1, 2, 3, 4],
        "pairs": [[1, 2]], "windows": [{"windowId": 1, "pid": 42}],
        "layoutRecords": [{"windowId": 1, "frame": [0, 0, 10, 10], "originalFrame": null}]})"};
    EXPECT_EQ(run({"history"}), ctlOk) << err.str();
    EXPECT_EQ(out.str(), "current window 0x00a00003\nlast window none\ncurrent layout (0, 25, 720, 875.5)\n"
                         "last1 layout none\nlast2 layout (1, 2, 3, 4)\npair 0x00000001 0x00000002\n"
                         "window 0x00000001 pid 42\nrecord 0x00000001 frame (0, 0, 10, 10) original none\n");
    tilewise.reply.value = "[]";
    EXPECT_EQ(run({"history"}), ctlNoDisplay);
    EXPECT_EQ(opened, 0);
}

TEST_F(CtlTest, ListingCommands)
{
    // Those a running Tilewise must do are listed too.
    EXPECT_EQ(run({"operations"}), ctlOk);
    EXPECT_NE(out.str().find("\nRestore\n"), std::string::npos);

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
    EXPECT_EQ(run({"defaults", "write", "TilewiseClipHorizontal", "-string",
                   R"([{"numerator":2,"denominator":3}])"}),
              ctlOk);
    EXPECT_EQ(run({"defaults", "read", "TilewiseClipHorizontal"}), ctlOk);
    EXPECT_EQ(out.str(), "[{\"numerator\":2,\"denominator\":3}]\n") << "a stored value is not marked";

    EXPECT_EQ(run({"defaults", "read"}), ctlOk);
    EXPECT_NE(out.str().find("TilewiseUseExactCenterKey = true\n"), std::string::npos) << out.str();
    EXPECT_EQ(out.str().find("TilewiseSmartPairMode"), std::string::npos) << "only stored keys are listed";

    // The engine reads the store the command was given.
    EXPECT_EQ(run({"perform", "Left"}), ctlOk);
    EXPECT_EQ(access.frame(window).width(), 960);
    opened = 0;

    EXPECT_EQ(run({"defaults", "delete", "TilewiseUseExactCenterKey"}), ctlOk);
    EXPECT_FALSE(store.contains("TilewiseUseExactCenterKey"));
    EXPECT_EQ(run({"defaults", "delete", "TilewiseUseExactCenterKey"}), ctlNoDisplay);
    EXPECT_EQ(run({"defaults", "read", "Nope"}), ctlNoDisplay);
    EXPECT_EQ(err.str(), "tilewisectl: the setting \"Nope\" does not exist\n");
    EXPECT_EQ(opened, 0) << "the defaults never need the display";
}

TEST_F(CtlTest, AStoreThatCannotReadOrWriteFailsWithExitOne)
{
    store.set("TilewiseSmartPairMode", false);
    store.broken = true;
    // The store has reported the file; tilewisectl adds nothing.
    for (auto args : std::vector<std::vector<std::string>>{
             {"defaults", "read"},
             {"defaults", "read", "TilewiseClipHorizontal"},
             {"defaults", "delete", "Nope"},
             {"defaults", "delete", "TilewiseSmartPairMode"},
             {"defaults", "write", "TilewiseSmartPairMode", "-bool", "true"},
             {"actions", "add", "Mine"},
             {"actions", "delete", "Top Half"}}) {
        EXPECT_EQ(run(args), ctlNoDisplay) << testing::PrintToString(args);
        EXPECT_EQ(out.str() + err.str(), "") << testing::PrintToString(args);
    }
}

TEST_F(CtlTest, AnUnstoredSettingReadsAsTheValueInUseMarked)
{
    const std::pair<const char*, const char*> cases[] = {
        {"TilewiseClipHorizontal",
         R"([{"denominator":2,"numerator":1},{"denominator":3,"numerator":1},{"denominator":4,"numerator":1}])"},
        {"TilewiseSeparateScreenConfiguration", "[]"},
        {"TilewiseUseExactCenterKey", "false"},
        {"TilewiseSmartPairMode", "true"},
        {"TilewiseQuickActionShowScreen", "activeScreen"},
        {"KeyboardShortcuts_maxmize", R"({"carbonKeyCode":3,"carbonModifiers":6144})"}};
    for (auto [key, shown] : cases) {
        EXPECT_EQ(run({"defaults", "read", key}), ctlOk) << err.str();
        EXPECT_EQ(out.str(), std::string(shown) + " (default)\n");
    }
    EXPECT_EQ(store.all().size(), 0u) << "reading stores nothing";
}

TEST_F(CtlTest, DefaultsWriteRefusesWhatTheProgramWouldRejectOrIgnore)
{
    const std::string half = R"({"numerator":1,"denominator":2})";
    auto screen = [](const std::string& name, const std::string& horizontal, const std::string& vertical) {
        return R"([{"name":")" + name + R"(","horizontal":)" + horizontal + R"(,"vertical":)" + vertical +
               "}]";
    };
    struct Refused {
        const char* key;
        const char* type;
        std::string text;
        const char* fault; // a part of the one line, which must name the fault
    };
    const Refused refused[] = {
        {"TilewiseClipHorizontal", "-string", R"([{"numerator":3,"denominator":2}])",
         ": clip 3/2 is larger than the screen; clips are fractions from above 0 up to 1"},
        {"TilewiseClipVertical", "-string", R"([{"numerator":1,"denominator":0}])",
         "clip 1/0 has a denominator of 0"},
        {"TilewiseClipVertical", "-string", R"([{"numerator":0,"denominator":2}])", "clip 0/2 needs"},
        {"TilewiseClipHorizontal", "-string", R"([{"numerator":1,"denominator":-2}])", "clip 1/-2 needs"},
        {"TilewiseClipHorizontal", "-string", "[]", "the list is empty"},
        {"TilewiseClipHorizontal", "-string", R"([{"numerator":1.5,"denominator":2}])",
         "not a JSON array of clips"},
        {"TilewiseClipHorizontal", "-bool", "true", "is text: use -string"},
        {"TilewiseSeparateScreenConfiguration", "-string",
         screen("DP-1", "[" + half + "]", R"([{"numerator":5,"denominator":4}])"),
         R"(screen "DP-1", vertical: clip 5/4 is larger than the screen)"},
        {"TilewiseSeparateScreenConfiguration", "-string", screen("HDMI\\n1", "[]", "[]"),
         R"(screen "HDMI\n1", horizontal: the list is empty)"},
        {"TilewiseSeparateScreenConfiguration", "-string", R"([{"name":"DP-1"}])",
         "not a JSON array of screens"},
        {"TilewiseExcludes", "-string", R"(["org.example.App",1])", "not a JSON array of strings"},
        {"TilewiseSmartPairModeSizing", "-string", "Maximize",
         R"("Maximize" is not one of maximize, matchTheFirst)"},
        {"TilewiseQuickActionShowScreen", "-string", "mouse\nScreen",
         R"("mouse\nScreen" is not one of mouseScreen, activeScreen, primaryScreen)"},
        {"TilewiseQuickActionShowScreen", "-bool", "true",
         "use -string mouseScreen|activeScreen|primaryScreen"},
        {"TilewiseSmartPairMode", "-string", "true",
         "TilewiseSmartPairMode is a boolean: use -bool true|false"},
        {"KeyboardShortcuts_maxmize", "-bool", "true", "use -bool false for none"},
        {"KeyboardShortcuts_maxmize", "-string", R"({"carbonKeyCode":3})", "not a shortcut"},
        {"KeyboardShortcuts_maxmize", "-string", R"({"carbonKeyCode":999,"carbonModifiers":6144})",
         "no key has the key code 999"},
        {"KeyboardShortcuts_maxmize", "-string", R"({"carbonKeyCode":0,"carbonModifiers":512})",
         "needs Control (4096), Alt (2048) or Super (256) unless its key is a function key"},
        {"TilewiseQuickActions", "-string",
         R"([{"id":"A","name":"n","shortcutEnabled":false,"key":-1,"operations":[]},{"id":"B"}])",
         "TilewiseQuickActions: action 2: key 'name' not found"},
    };
    for (const Refused& c : refused) {
        SCOPED_TRACE(std::string(c.key) + " " + c.type + " " + c.text);
        EXPECT_EQ(run({"defaults", "write", c.key, c.type, c.text}), ctlUsage);
        const std::string e = err.str();
        EXPECT_EQ(std::count(e.begin(), e.end(), '\n'), 1) << e;
        EXPECT_EQ(e.rfind(std::string("tilewisectl: ") + c.key, 0), 0u) << e;
        EXPECT_NE(e.find(c.fault), std::string::npos) << e;
    }
    EXPECT_EQ(store.all().size(), 0u);
}

TEST_F(CtlTest, DefaultsWriteStoresWhatTheProgramUses)
{
    const std::string clips = R"([{"numerator":1,"denominator":1},{"numerator":2,"denominator":3}])";
    const std::string shortcut = R"({"carbonKeyCode":3,"carbonModifiers":6144})";
    const std::tuple<const char*, const char*, std::string, DefaultsValue> accepted[] = {
        {"TilewiseClipHorizontal", "-string", clips, clips},
        {"TilewiseSeparateScreenConfiguration", "-string", "[]", "[]"},
        {"TilewiseExcludes", "-string", "[]", "[]"},
        {"TilewiseQuickActionShowScreen", "-string", "primaryScreen", "primaryScreen"},
        {"TilewiseFirstLaunchPreference", "-bool", "yes", true},
        {"KeyboardShortcuts_maxmize", "-bool", "false", false},
        {"KeyboardShortcuts_maxmize", "-string", shortcut, shortcut},
        {"SomeoneElsesKey", "-bool", "true", true},
    };
    for (const auto& [key, type, text, stored] : accepted) {
        EXPECT_EQ(run({"defaults", "write", key, type, text}), ctlOk) << err.str();
        EXPECT_EQ(store.value(key), stored) << key;
    }
}

TEST_F(CtlTest, ShortcutsListEveryNameWithoutWritingDefaultsAndMarkWhatTilewiseCannotHold)
{
    store.set("KeyboardShortcuts_clipLeft", false); // removed by the user
    refusals = {{"maxmize", "taken by another program"}, {"clipLeft", "no such key on this keyboard"}};
    EXPECT_EQ(run({"shortcuts"}), ctlOk);
    std::string text = "\n" + out.str();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 35) << text;
    EXPECT_NE(text.find("\nclipLeft none\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nmaxmize \u2303\u2325F (ctrl+alt+f) (not held: taken by another program)\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("\nlaunchQuickAction none\n"), std::string::npos) << text;
    EXPECT_EQ(store.all().size(), 1u) << "listing stores nothing";
}

// Quick actions are listed and switched on in the stored list, and run by
// the running Tilewise; slots and names get keys written as text.
TEST_F(CtlTest, ActionsAreListedSwitchedRunAndTheirSlotsBound)
{
    FakeRemote tilewise;
    remote = &tilewise;
    EXPECT_EQ(run({"actions", "list"}), ctlOk) << err.str();
    const std::string& topHalf = QuickAction::defaultActions()[0].id;
    EXPECT_EQ(out.str().rfind(topHalf + R"( "Top Half" key W slot none operations 1)" + "\n", 0), 0u)
        << out.str();
    EXPECT_EQ(lines(out.str()), 23);
    EXPECT_TRUE(store.all().empty()) << "listing stores nothing";

    EXPECT_EQ(run({"actions", "shortcut", "center half", "on"}), ctlOk) << err.str();
    EXPECT_EQ(out.str(), "\"Center Half\" has the shortcut Slot0; set its keys with 'tilewisectl shortcuts set "
                         "Slot0 COMBINATION'\n");
    EXPECT_EQ(run({"shortcuts", "set", "Slot0", "ctrl+alt+1"}), ctlOk) << err.str();
    EXPECT_EQ(store.stringValue("KeyboardShortcuts_Slot0"), R"({"carbonKeyCode":18,"carbonModifiers":6144})");
    EXPECT_EQ(run({"actions", "list"}), ctlOk);
    EXPECT_NE(out.str().find(R"("Center Half" key C slot 0 on ⌃⌥1 (ctrl+alt+1) operations 1)"),
              std::string::npos)
        << out.str();
    EXPECT_EQ(run({"shortcuts"}), ctlOk);
    EXPECT_NE(out.str().find("\nSlot0 ⌃⌥1 (ctrl+alt+1)\n"), std::string::npos) << out.str();

    tilewise.reply = {CtlRemoteReply::Status::Done, "", ""};
    EXPECT_EQ(run({"actions", "run", "Center Half"}), ctlOk);
    EXPECT_EQ(run({"actions", "run", topHalf}), ctlOk);
    EXPECT_EQ(tilewise.ran, (std::vector<std::string>{QuickAction::defaultActions()[4].id, topHalf}));
    tilewise.reply = {};
    EXPECT_EQ(run({"actions", "run", "Top Half"}), ctlUnavailable);
    EXPECT_EQ(err.str(), "tilewisectl: quick actions run in Tilewise, which is not running on this display\n");

    // Off gives the slot back without its keys.
    EXPECT_EQ(run({"actions", "shortcut", "Center Half", "off"}), ctlOk);
    EXPECT_FALSE(store.contains("KeyboardShortcuts_Slot0"));
    EXPECT_EQ(quickActions(store)[4].shortcutSlot, std::nullopt);

    // A named shortcut's removal is kept as false; its default comes back on set.
    EXPECT_EQ(run({"shortcuts", "unset", "maxmize"}), ctlOk);
    EXPECT_EQ(store.value("KeyboardShortcuts_maxmize"), DefaultsValue(false));
    EXPECT_EQ(run({"shortcuts", "set", "maxmize", "Control+Option+f"}), ctlOk);
    EXPECT_EQ(store.stringValue("KeyboardShortcuts_maxmize"), R"({"carbonKeyCode":3,"carbonModifiers":6144})");

    // Every slot lent: one line, exit 1, the shortcut stays off.
    std::vector<QuickAction::Action> many(43, QuickAction::newAction());
    for (std::size_t i = 0; i < many.size(); ++i) {
        many[i].id = "A" + std::to_string(i);
        if (i < 42)
            many[i].shortcutSlot = std::int64_t(i);
    }
    ASSERT_TRUE(storeQuickActions(store, many));
    EXPECT_EQ(run({"actions", "shortcut", "A42", "on"}), ctlNoDisplay);
    EXPECT_EQ(err.str(), "tilewisectl: No shortcuts left\n");
    EXPECT_FALSE(quickActions(store)[42].shortcutEnabled);

    // Refusals: one line and exit 2.
    for (auto args : std::vector<std::vector<std::string>>{
             {"actions"},
             {"actions", "run"},
             {"actions", "run", "Nothing"},
             {"actions", "run", "New Action"}, // 43 share the name
             {"actions", "shortcut", "A1", "maybe"},
             {"shortcuts", "set", "Slot42", "ctrl+1"},
             {"shortcuts", "set", "Slot1", "shift+a"},
             {"shortcuts", "set", "Slot1", "ctrl+alt+nokey"},
             {"shortcuts", "unset"}}) {
        EXPECT_EQ(run(args), ctlUsage) << testing::PrintToString(args);
        EXPECT_EQ(lines(err.str()), 1) << err.str();
    }
    EXPECT_FALSE(store.contains("KeyboardShortcuts_Slot1"));
}

// A list the program cannot read shows the built-in actions and is kept
// as the user wrote it: edits are refused rather than written over it.
TEST_F(CtlTest, AnUnreadableActionListShowsTheBuiltInOnesAndStays)
{
    const std::string corrupt = R"([{"id":"X","name":"Mine","shortcutEnabled":false,"key":-1,"operations":[{}]}])";
    store.set("TilewiseQuickActions", corrupt);
    EXPECT_EQ(run({"actions", "list"}), ctlOk);
    EXPECT_EQ(lines(out.str()), 23);
    EXPECT_EQ(out.str().find("Mine"), std::string::npos);
    for (auto args : std::vector<std::vector<std::string>>{{"actions", "add", "Mine"},
                                                           {"actions", "move", "Top Half", "2"},
                                                           {"actions", "shortcut", "Top Half", "on"}}) {
        EXPECT_EQ(run(args), ctlNoDisplay) << testing::PrintToString(args);
        EXPECT_EQ(err.str(), "tilewisectl: the stored quick actions do not read, so they are left as they are: "
                             "TilewiseQuickActions: action 1: key 'id' not found\n");
    }
    EXPECT_EQ(run({"defaults", "read", "TilewiseQuickActions"}), ctlOk);
    EXPECT_EQ(out.str(), corrupt + "\n");
}

// The list rules of the action editor, on the stored list; operations are
// taken only as the stored list would read them.
TEST_F(CtlTest, ActionsAreAddedRenamedMovedExtendedAndDeleted)
{
    std::vector<QuickAction::Action> list(3, QuickAction::newAction());
    for (std::size_t i = 0; i < list.size(); ++i)
        list[i].id = "A" + std::to_string(i);
    list[1].shortcutEnabled = true;
    list[1].shortcutSlot = 0;
    ASSERT_TRUE(storeQuickActions(store, list));
    store.set("KeyboardShortcuts_Slot0", R"({"carbonKeyCode":18,"carbonModifiers":6144})");
    auto ids = [this] {
        std::vector<std::string> out;
        for (const QuickAction::Action& a : quickActions(store))
            out.push_back(a.id);
        return out;
    };

    ASSERT_EQ(run({"actions", "add", "Mine"}), ctlOk) << err.str();
    const std::string mine = out.str().substr(0, out.str().size() - 1);
    QuickAction::Action added = QuickAction::newAction();
    added.id = mine;
    added.name = "Mine";
    EXPECT_EQ(quickActions(store).back(), added);
    EXPECT_EQ(run({"actions", "rename", "mine", "Yours"}), ctlOk) << err.str();
    EXPECT_EQ(run({"actions", "move", "Yours", "1"}), ctlOk) << err.str();
    EXPECT_EQ(run({"actions", "move", "A0", "4"}), ctlOk) << err.str();
    EXPECT_EQ(ids(), (std::vector<std::string>{mine, "A1", "A2", "A0"}));
    EXPECT_EQ(quickActions(store)[0].name, "Yours");

    using T = QuickAction::OperationType;
    const auto center = QuickAction::newOperation(T::moveToCenter), pair = QuickAction::newOperation(T::pair);
    const nlohmann::ordered_json one = center, two = nlohmann::ordered_json::array({pair, center});
    EXPECT_EQ(run({"actions", "append", "A0", one.dump()}), ctlOk) << err.str();
    EXPECT_EQ(run({"actions", "append", "A0", two.dump()}), ctlOk) << err.str();
    EXPECT_EQ(quickActions(store)[3].operations, (std::vector<QuickAction::Operation>{center, pair, center}));

    auto without = [&](const char* member) {
        nlohmann::ordered_json op = center;
        op.erase(member);
        return op.dump();
    };
    auto with = [&](const char* member, nlohmann::ordered_json value) {
        nlohmann::ordered_json op = center;
        op[member] = std::move(value);
        return op.dump();
    };
    const std::string before = *store.stringValue("TilewiseQuickActions");
    const std::pair<std::vector<std::string>, std::string> refusals[] = {
        {{"actions", "add"}, "actions add takes the new action's name (see 'tilewisectl --help')"},
        {{"actions", "move", "A0", "0"}, "actions move takes a position from 1, not \"0\" (see 'tilewisectl --help')"},
        {{"actions", "move", "A0", "5"}, "there is no position 5 among 4 quick actions"},
        {{"actions", "delete", "A0", "Nothing"},
         "no quick action has the id or name \"Nothing\" (see 'tilewisectl actions list')"},
        {{"actions", "append", "Nothing", one.dump()},
         "no quick action has the id or name \"Nothing\" (see 'tilewisectl actions list')"},
        {{"actions", "append", "A0", "{"}, "not JSON: parse error at line 1, column 2: syntax error while parsing "
                                           "object key - unexpected end of input; expected string literal"},
        {{"actions", "append", "A0", "\"moveToCenter\""},
         "give one operation as a JSON object, or an array of them"},
        {{"actions", "append", "A0", "[" + one.dump() + ",1]"}, "operation 2: not a JSON object"},
        {{"actions", "append", "A0", without("id")}, "operation 1: key 'id' not found"},
        {{"actions", "append", "A0", with("type", "center")}, "operation 1: type must be one of its raw values"},
        {{"actions", "append", "A0", with("size", {1})}, "operation 1: size must be an array of two numbers"},
        {{"actions", "append", "A0", with("sizeClipX", {{"numerator", 1.5}, {"denominator", 2}})},
         "operation 1: sizeClipX: numerator must be an integer"},
    };
    for (const auto& [args, why] : refusals) {
        EXPECT_EQ(run(args), ctlUsage) << testing::PrintToString(args);
        EXPECT_EQ(err.str(), "tilewisectl: " + why + "\n");
    }
    EXPECT_EQ(*store.stringValue("TilewiseQuickActions"), before);

    // Deleting gives the slot back without its keys.
    EXPECT_EQ(run({"actions", "delete", "A1", "yours"}), ctlOk) << err.str();
    EXPECT_EQ(ids(), (std::vector<std::string>{"A2", "A0"}));
    EXPECT_FALSE(store.contains("KeyboardShortcuts_Slot0"));
}

} // namespace
} // namespace tilewise
