// Global shortcuts of the resident program on a real server: stored
// shortcuts are followed while it runs, lock keys never matter, a
// combination another program let go of is taken back, keys are named by the
// keymap, and bad stored shortcuts are never held and reported once. Other
// key numbers (xfree86) and more locks are in
// x11_hot_keys_integration_test.cpp; unset and deleted shortcuts in
// keyboard_shortcuts_test.cpp. Keys
// are pressed with xdotool; a press that no grab takes reaches the focused
// test window, which says so.
#include "tilewise_session.hpp"

#include <gtest/gtest.h>

#include <sys/inotify.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace tilewise {
namespace {

using namespace tilewise::testing;

constexpr std::uint16_t controlAlt = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1;

// Whether `line` is one whole line of `out`.
bool listed(const std::string& out, const std::string& line)
{
    std::string text = "\n";
    text.append(out);
    std::string needle = "\n";
    needle.append(line).append("\n");
    return text.find(needle) != std::string::npos;
}

class ShortcutsIntegrationTest : public TilewiseSessionTest {
protected:
    void SetUp() override
    {
        TilewiseSessionTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        std::filesystem::create_directories(settingsFolder());
        client = std::make_unique<TestClientProcess>(
            std::vector<std::string>{"--keys", "--window", "300,200,400,300", "--window", "500,250,400,300"});
        ASSERT_TRUE(client->ready());
        ASSERT_EQ(client->windows().size(), 2u);
        ASSERT_TRUE(display.activate(window(0)));
        visible = primaryVisibleFrame();
    }

    std::string settingsFolder() const { return home + "/config/tilewise"; }
    xcb_window_t window(std::size_t i) const { return client->windows()[i]; }

    // The window clipped to the left or right half of the screen; a
    // horizontal clip keeps its top and height.
    Rect half(xcb_window_t w, bool left)
    {
        Rect frame = display.outerFrame(w).value_or(Rect());
        const double width = visible.width() / 2;
        return Rect(left ? visible.x() : visible.x() + width, frame.y(), width, frame.height());
    }

    // A setting written with tilewisectl, and read again by the running
    // tilewise before the test goes on.
    ::testing::AssertionResult change(const std::vector<std::string>& args)
    {
        FolderWatch folder(settingsFolder());
        RunResult r = tilewisectl(args, env());
        if (r.exitCode != 0)
            return ::testing::AssertionFailure() << "tilewisectl: " << r.err;
        // The write replaces the file; the next open of it is tilewise's.
        if (!folder.waitFor("defaults.json", IN_MOVED_TO))
            return ::testing::AssertionFailure() << "the settings file was not replaced";
        if (!folder.waitFor("defaults.json", IN_OPEN))
            return ::testing::AssertionFailure() << "tilewise did not read the changed settings";
        return ::testing::AssertionSuccess();
    }

    // Waits until `tilewisectl shortcuts` lists `line`, reading again at
    // each change of tilewise's runtime folder, where its refusals are.
    // tilewisectl's own reads of the folder count as changes too: bounded.
    ::testing::AssertionResult listsShortcut(FolderWatch& runtime, const std::string& line)
    {
        auto deadline = std::chrono::steady_clock::now() + kWait;
        for (;;) {
            RunResult r = tilewisectl({"shortcuts"}, env());
            if (listed(r.out, line))
                return ::testing::AssertionSuccess();
            if (std::chrono::steady_clock::now() > deadline || !runtime.waitForAny())
                return ::testing::AssertionFailure() << "no line \"" << line << "\" in:\n" << r.out << r.err;
        }
    }

    KeymapRestore keymap; // for the tests that change it
    std::unique_ptr<TestClientProcess> client;
    Rect visible;
};

// The other locks, and a lock's modifier map change, are
// x11_hot_keys_integration_test.cpp's; this one needs the keymap tilewise
// reads after a change, as Neo's fifth-level lock is found only in the key
// actions and sits on Mod2, where Num Lock usually is.
TEST_F(ShortcutsIntegrationTest, LockedModifiersNeverMatter)
{
    startTilewise();
    const xcb_window_t w = window(0);
    ASSERT_EQ(run({"setxkbmap", "de", "neo"}).exitCode, 0);
    ASSERT_EQ(run({"xdotool", "key", "ISO_Level5_Lock"}).exitCode, 0);
    ASSERT_EQ(display.modifierState(), XCB_MOD_MASK_2) << "the lock did not come on alone";

    // By key number: xdotool would take the arrows of Neo's letter keys.
    const std::uint8_t leftKey = display.keycodeOf("Left");
    const std::string left = std::to_string(leftKey), right = std::to_string(display.keycodeOf("Right"));
    press("ctrl+alt+" + right);
    EXPECT_EQ(display.waitForFrame(w, half(w, false)), half(w, false));
    press("ctrl+alt+" + left);
    const Rect leftHalf = half(w, true);
    EXPECT_EQ(display.waitForFrame(w, leftHalf), leftHalf);
    // With Shift it is a combination nobody holds.
    press("ctrl+alt+shift+" + left);
    EXPECT_TRUE(client->receivesKey(leftKey, controlAlt | XCB_MOD_MASK_SHIFT));
    EXPECT_EQ(display.outerFrame(w), leftHalf);
}

TEST_F(ShortcutsIntegrationTest, CombinationAnotherProgramLetGoOfIsTakenBackWhenTheFocusMoves)
{
    const std::uint8_t left = display.keycodeOf("Left");
    ASSERT_NE(left, 0);
    auto other = std::make_unique<Display>();
    ASSERT_TRUE(other->grabKey(left, controlAlt));
    startTilewise();
    const std::string refusal = "tilewise: Failed to register the shortcut clipLeft \u2303\u2325\u2190: the "
                                "combination is taken by another program";
    std::optional<std::string> line;
    while ((line = tilewise->readErrorLine()) && *line != refusal) {
    }
    EXPECT_TRUE(line) << "no report of the refusal";
    FolderWatch runtime(home + "/tilewise");
    EXPECT_TRUE(listsShortcut(runtime, "clipLeft \u2303\u2325\u2190 (ctrl+alt+Left) (not held: taken by another program)"));

    other.reset(); // its connection closes, and its grab with it
    const xcb_window_t w = window(1);
    ASSERT_TRUE(display.activate(w));
    EXPECT_TRUE(listsShortcut(runtime, "clipLeft \u2303\u2325\u2190 (ctrl+alt+Left)"));
    press("ctrl+alt+Left");
    EXPECT_EQ(display.waitForFrame(w, half(w, true)), half(w, true));
}

TEST_F(ShortcutsIntegrationTest, KeysAreNamedByTheirCharactersOrLatinLetters)
{
    struct Case {
        const char* layout;
        int keyCode;
        const char* keys;
        const char* typed; // as 'tilewisectl shortcuts set' takes it
    };
    // Key codes name places on the keyboard: 3 is where US has F, 12 Q, 0 A,
    // 18 the 1, 33 the [.
    const Case cases[] = {
        {"ru", 3, "\u2303\u2325F", "ctrl+alt+f"},       {"ru", 12, "\u2303\u2325Q", "ctrl+alt+q"},
        {"fr", 0, "\u2303\u2325Q", "ctrl+alt+q"},       {"fr", 12, "\u2303\u2325A", "ctrl+alt+a"},
        {"fr", 18, "\u2303\u2325&", "ctrl+alt+&"},      {"de", 33, "\u2303\u2325\u00dc", "ctrl+alt+\u00fc"},
        {"dvorak", 3, "\u2303\u2325U", "ctrl+alt+u"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.layout) + " " + std::to_string(c.keyCode));
        ASSERT_EQ(run({"setxkbmap", c.layout}).exitCode, 0);
        const std::string stored =
            R"({"carbonKeyCode":)" + std::to_string(c.keyCode) + R"(,"carbonModifiers":6144})";
        ASSERT_EQ(tilewisectl({"defaults", "write", "KeyboardShortcuts_maxmize", "-string", stored}, env())
                      .exitCode,
                  0);
        RunResult r = tilewisectl({"shortcuts"}, env());
        EXPECT_TRUE(listed(r.out, std::string("maxmize ") + c.keys + " (" + c.typed + ")")) << r.out;
        EXPECT_TRUE(listed(r.out, "clipLeft \u2303\u2325\u2190 (ctrl+alt+Left)")) << r.out;
        EXPECT_EQ(r.out.find("\ufffd"), std::string::npos) << r.out;
        // What is shown is taken back as the same physical key.
        ASSERT_EQ(tilewisectl({"defaults", "delete", "KeyboardShortcuts_maxmize"}, env()).exitCode, 0);
        EXPECT_EQ(tilewisectl({"shortcuts", "set", "maxmize", c.typed}, env()).exitCode, 0);
        EXPECT_EQ(tilewisectl({"defaults", "read", "KeyboardShortcuts_maxmize"}, env()).out, stored + "\n");
    }
}

TEST_F(ShortcutsIntegrationTest, BadStoredShortcutsAreNeverHeldAndReportedOnce)
{
    // Written by hand (tilewisectl refuses both): a bare A, and a key code
    // no key has.
    std::ofstream(settingsFolder() + "/defaults.json")
        << R"({"KeyboardShortcuts_clipLeft": "{\"carbonKeyCode\":0,\"carbonModifiers\":0}",)"
        << R"( "KeyboardShortcuts_maxmize": "{\"carbonKeyCode\":999,\"carbonModifiers\":6144}"})";
    startTilewise();
    RunResult listing = tilewisectl({"shortcuts"}, env());
    EXPECT_TRUE(listed(listing.out, "clipLeft none")) << listing.out;
    press("a");
    EXPECT_TRUE(client->receivesKey(display.keycodeOf("a"), 0)) << "a bare A is held";

    // Tilewise registers its shortcuts again at a stored change, a new
    // keymap and a focus change. The last two come as X events before the
    // press, so they have been served once the press is.
    ASSERT_TRUE(change({"defaults", "write", "KeyboardShortcuts_clipRight", "-string",
                        R"({"carbonKeyCode":4,"carbonModifiers":6144})"}));
    ASSERT_EQ(run({"setxkbmap", "-rules", "evdev", "-model", "pc105", "-layout", "us", "-variant", "",
                   "-option", ""})
                  .exitCode,
              0);
    const xcb_window_t w = window(1);
    ASSERT_TRUE(display.activate(w));
    press("ctrl+alt+h");
    EXPECT_EQ(display.waitForFrame(w, half(w, false)), half(w, false));

    EXPECT_EQ(tilewise->terminate(), 0);
    std::vector<std::string> lines;
    while (std::optional<std::string> line = tilewise->readErrorLine())
        lines.push_back(*line);
    tilewise.reset();
    std::string all;
    for (const std::string& l : lines)
        all.append(l).append("\n");
    for (const char* report : {"tilewise: Ignoring the shortcut clipLeft A: a shortcut needs Control, Alt or "
                               "Super unless its key is "
                               "a function key",
                               "tilewise: Failed to register the shortcut maxmize \u2303\u2325\ufffd (key "
                               "code 999): there is no such "
                               "key on this keyboard"})
        EXPECT_EQ(std::count(lines.begin(), lines.end(), report), 1) << report << "\nin:\n" << all;
}

} // namespace
} // namespace tilewise
