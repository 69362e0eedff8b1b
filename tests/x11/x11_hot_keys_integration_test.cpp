// X11HotKeys and X11KeyboardLayout against the real server in $DISPLAY: keys
// pressed with xdotool (XTEST, by X key code) reach the handler by id,
// registrations are made in one batch, whatever lock modifiers are on, and
// a keyboard change is read once and answered with one re-registration.
#include "platform/x11/x11_hot_keys.hpp"
#include "platform/x11/x11_keyboard_layout.hpp"
#include "platform/x11/x11_modifier_monitor.hpp"

#include "ctl_harness.hpp"

// xcb's XKB header names a field `explicit`, a keyword in C++.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdlib>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace tilewise {
namespace {

constexpr int controlOption = 4096 | 2048;
constexpr int keyF = 3;
constexpr int keyLeft = 123;
constexpr int keyRight = 124;
constexpr const char* usKeymap = "setxkbmap -rules evdev -layout us -option ''";

using Calls = std::vector<std::pair<int, bool>>;
using Status = HotKeyStatus;
// A second client, as another program holding a combination would be.
using OtherClient = testing::Display;

class X11HotKeysTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "needs an X server in DISPLAY";
        std::string error;
        x_ = X11Connection::open(nullptr, &error);
        ASSERT_TRUE(x_) << error;
        x_->setErrorReporter([this](const std::string& line) { unexpectedErrors_.push_back(line); });
        layout_ = X11KeyboardLayout::create(*x_, &error);
        ASSERT_TRUE(layout_) << error;
        hotKeys_ = std::make_unique<X11HotKeys>(*x_, layout_.get());
        hotKeys_->setHandler([this](int id, bool pressed) { calls_.emplace_back(id, pressed); });
        // As the service does: everything wanted is registered again.
        hotKeys_->setKeyboardChangeHandler([this] {
            ++keyboardChanges_;
            statuses_ = hotKeys_->registerHotKeys(wanted_);
        });
        modifiers_ = std::make_unique<X11ModifierMonitor>(*x_, *layout_);
        modifiers_->addMonitor([this](const ModifierEvent& e) { modifierEvents_.push_back(e); });
    }

    void TearDown() override
    {
        // Modifiers a failed test left down; the keymap and locks go back
        // with keymap_.
        [[maybe_unused]] int released = std::system("xdotool keyup Shift_L Control_L Alt_L");
        for (const std::string& line : unexpectedErrors_)
            ADD_FAILURE() << "unexpected " << line;
    }

    std::vector<Status> want(std::vector<HotKeyRequest> requests)
    {
        wanted_ = std::move(requests);
        return hotKeys_->registerHotKeys(wanted_);
    }

    // Runs a command, then hands every event it caused to the objects as
    // the program's loop would: the server has handled all of a client's
    // requests by the time it exits, so one sync brings all the events.
    void run(const std::string& command)
    {
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        x_->sync();
        drain();
    }

    std::uint8_t xKey(int virtualKeyCode) { return layout_->xKeyCode(virtualKeyCode).value_or(0); }

    // Presses a combination by X key code.
    void press(const std::string& modifiers, int virtualKeyCode)
    {
        ASSERT_NE(xKey(virtualKeyCode), 0) << virtualKeyCode;
        run("xdotool key " + modifiers + std::to_string(xKey(virtualKeyCode)));
    }

    void drain()
    {
        while (auto e = x_->nextEvent()) {
            layout_->handleEvent(**e);
            modifiers_->handleEvent(**e);
            hotKeys_->handleEvent(**e);
        }
        layout_->refresh();
        hotKeys_->applyPendingKeyboardChange();
    }

    std::uint16_t pointerMask()
    {
        auto pointer = x_->reply<xcb_query_pointer_reply_t>(xcb_query_pointer(x_->xcb(), x_->root()));
        return pointer ? pointer->mask : 0;
    }

    testing::KeymapRestore keymap_;
    std::unique_ptr<X11Connection> x_;
    std::unique_ptr<X11KeyboardLayout> layout_;
    std::unique_ptr<X11HotKeys> hotKeys_;
    std::unique_ptr<X11ModifierMonitor> modifiers_;
    std::vector<HotKeyRequest> wanted_;
    std::vector<Status> statuses_;
    int keyboardChanges_ = 0;
    std::vector<ModifierEvent> modifierEvents_;
    Calls calls_;
    std::vector<std::string> unexpectedErrors_;
};

// This test verifies that a batch costs one round trip and gives each
// request its status: held, taken by another client (its granted lock
// variants released), taken by an earlier id of ours, no such key; that a
// press reaches the handler by id; and that unregistering and replacing an
// id give its combination back.
TEST_F(X11HotKeysTest, BatchRegistrationAndPresses)
{
    const std::uint16_t mods = X11HotKeys::xModifiers(controlOption);
    OtherClient other;
    ASSERT_TRUE(other.grabKey(xKey(keyRight), mods));

    const std::uint64_t before = x_->roundTrips();
    EXPECT_EQ(
        want({{1, keyLeft, controlOption},
              {2, keyRight, controlOption},
              {3, keyF, controlOption},
              {4, keyLeft, controlOption},
              {5, 63, controlOption}}),
        (std::vector<Status>{Status::held, Status::taken, Status::held, Status::taken, Status::noSuchKey}));
    EXPECT_EQ(x_->roundTrips() - before, 1u);
    x_->sync();
    EXPECT_TRUE(other.grabKey(xKey(keyRight), mods | XCB_MOD_MASK_LOCK));

    press("ctrl+alt+", keyLeft);
    EXPECT_EQ(calls_, (Calls{{1, true}, {1, false}}));
    calls_.clear();
    press("ctrl+", keyLeft);
    press("shift+ctrl+alt+", keyLeft);
    EXPECT_TRUE(calls_.empty());

    hotKeys_->unregisterHotKey(1);
    EXPECT_EQ(hotKeys_->registerHotKey(3, keyF, controlOption | 256), Status::held);
    x_->sync();
    for (int key : {keyLeft, keyF}) {
        EXPECT_TRUE(other.grabKey(xKey(key), mods)) << key;
        EXPECT_TRUE(other.grabKey(xKey(key), mods | hotKeys_->lockModifiers())) << key;
    }
    EXPECT_TRUE(unexpectedErrors_.empty());
}

// This test verifies that a combination fires whatever lock modifiers the
// keymap has locked, also ones found only in its key actions, and never
// with an extra Shift.
TEST_F(X11HotKeysTest, FiresWhateverLocksAreOn)
{
    struct Case {
        const char* keymap;
        // xdotool's arguments.
        const char* lockKeys;
        std::uint16_t locked;
    } cases[] = {
        {"", "key Caps_Lock", XCB_MOD_MASK_LOCK},
        {"xmodmap -e 'add mod3 = Scroll_Lock'", "key Scroll_Lock Num_Lock Caps_Lock",
         XCB_MOD_MASK_3 | XCB_MOD_MASK_2 | XCB_MOD_MASK_LOCK},
        {"xmodmap -e 'keycode 135 = ISO_Level3_Lock'", "key 135", XCB_MOD_MASK_5},
        // The level-5 lock: one level-5 key held while the other is pressed.
        {"setxkbmap -rules evdev -layout de -variant neo", "keydown 94 key 108 keyup 94", XCB_MOD_MASK_2},
    };
    want({{6, keyLeft, controlOption}});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keymap);
        if (*c.keymap) {
            const int changes = keyboardChanges_;
            run(c.keymap);
            EXPECT_EQ(keyboardChanges_, changes + 1);
            EXPECT_EQ(statuses_, std::vector<Status>{Status::held});
        }
        EXPECT_EQ(hotKeys_->lockModifiers() & c.locked, c.locked);
        run(std::string("xdotool ") + c.lockKeys);
        ASSERT_EQ(pointerMask() & 0xff, c.locked) << "the locks did not come on";
        calls_.clear();
        press("ctrl+alt+", keyLeft);
        press("shift+ctrl+alt+", keyLeft);
        EXPECT_EQ(calls_, (Calls{{6, true}, {6, false}}));
        xcb_xkb_latch_lock_state(x_->xcb(), XCB_XKB_ID_USE_CORE_KBD, 0xff, 0, 0, 0, 0, 0, 0);
        run(usKeymap);
    }
}

// This test verifies that the physical keys keep their combinations under
// other key numbers (xfree86) and through layouts, that one keymap change is
// one keymap read and one re-registration however many notifications it
// brings, that each layout group translates as its own, dead keys giving no
// text, and that a group switch is followed without grabbing again.
TEST_F(X11HotKeysTest, KeymapsLayoutsAndGroups)
{
    want({{7, keyLeft, controlOption}, {8, keyRight, controlOption}, {9, keyF, controlOption}});
    const std::tuple<const char*, int, int> keymaps[] = {
        {"-rules base -keycodes xfree86 -layout us", 100, 102},
        {"-rules evdev -layout de", 113, 114},
        {"-rules evdev -layout fr", 113, 114},
        {"-rules evdev -layout dvorak", 113, 114},
        {"-rules evdev -layout ru,de", 113, 114}};
    for (const auto& [keymap, left, right] : keymaps) {
        SCOPED_TRACE(keymap);
        const int reads = layout_->keymapReads(), changes = keyboardChanges_;
        run(std::string("setxkbmap ") + keymap);
        EXPECT_EQ(layout_->keymapReads(), reads + 1);
        EXPECT_EQ(keyboardChanges_, changes + 1);
        EXPECT_EQ(hotKeys_->keyboardChanges(), changes + 1);
        EXPECT_EQ(statuses_, std::vector<Status>(3, Status::held));
        EXPECT_EQ(xKey(keyLeft), left);
        EXPECT_EQ(xKey(keyRight), right);
        calls_.clear();
        for (int key : {keyLeft, keyRight, keyF})
            press("ctrl+alt+", key);
        EXPECT_EQ(calls_, (Calls{{7, true}, {7, false}, {8, true}, {8, false}, {9, true}, {9, false}}));
    }
    ASSERT_EQ(layout_->groupCount(), 2);
    ASSERT_EQ(layout_->currentGroup(), 0);
    EXPECT_EQ(layout_->translate(0, keyF, 0), "\xd0\xb0"); // Cyrillic a
    EXPECT_EQ(layout_->translate(1, keyF, 0), "f");
    EXPECT_EQ(layout_->translate(1, keyF, KeyboardLayout::shiftState), "F");
    EXPECT_EQ(layout_->translate(1, 12, KeyboardLayout::optionState), "@"); // Q
    EXPECT_EQ(layout_->translate(1, 50, 0), std::nullopt);                  // dead circumflex
    EXPECT_EQ(layout_->translate(1, keyLeft, 0), "\u2190");
    EXPECT_EQ(layout_->translate(1, 63, 0), std::nullopt);
    EXPECT_EQ(layout_->translate(2, keyF, 0), std::nullopt);

    const int reads = layout_->keymapReads();
    xcb_xkb_latch_lock_state(x_->xcb(), XCB_XKB_ID_USE_CORE_KBD, 0, 0, 1, XCB_XKB_GROUP_2, 0, 0, 0);
    x_->sync();
    drain();
    EXPECT_EQ(layout_->currentGroup(), 1);
    EXPECT_EQ(layout_->keymapReads(), reads);
    calls_.clear();
    const int changes = keyboardChanges_;
    press("ctrl+alt+", keyF);
    EXPECT_EQ(calls_, (Calls{{9, true}, {9, false}}));
    EXPECT_EQ(keyboardChanges_, changes);
}

constexpr std::uint64_t shiftFlag = 1ull << 17;
constexpr std::uint64_t controlFlag = 1ull << 18;
constexpr std::uint64_t optionFlag = 1ull << 19;
constexpr std::uint64_t functionFlag = 1ull << 23;

// This test verifies that modifier keys pressed in no window of ours are
// heard, with the key that changed and the flags that hold afterwards, and
// that a keymap's XF86Fn key gives the Fn code and flag.
TEST_F(X11HotKeysTest, ModifierChangesReachTheMonitor)
{
    run("xdotool keydown Shift_L");
    ASSERT_FALSE(modifierEvents_.empty());
    EXPECT_EQ(modifierEvents_.back().keyCode, 56);
    EXPECT_EQ(modifierEvents_.back().modifierFlags, shiftFlag);
    run("xdotool keydown Control_L keydown Alt_L");
    EXPECT_EQ(modifierEvents_.back().keyCode, 58);
    EXPECT_EQ(modifierEvents_.back().modifierFlags, shiftFlag | controlFlag | optionFlag);
    run("xdotool keyup Shift_L Control_L Alt_L");
    EXPECT_EQ(modifierEvents_.back().modifierFlags, 0u);
    // A plain key changes no modifier and says nothing.
    std::size_t before = modifierEvents_.size();
    run("xdotool key a");
    EXPECT_EQ(modifierEvents_.size(), before);

    run("xmodmap -e 'keycode 200 = XF86Fn' -e 'add mod3 = XF86Fn'");
    ASSERT_EQ(layout_->keyForKeysym(XKB_KEY_XF86Fn), 200);
    run("xdotool keydown XF86Fn");
    EXPECT_EQ(modifierEvents_.back().keyCode, 63);
    EXPECT_EQ(modifierEvents_.back().modifierFlags, functionFlag);
    run("xdotool keyup XF86Fn");
    EXPECT_EQ(modifierEvents_.back().keyCode, 63);
    EXPECT_EQ(modifierEvents_.back().modifierFlags, 0u);
}

} // namespace
} // namespace tilewise
