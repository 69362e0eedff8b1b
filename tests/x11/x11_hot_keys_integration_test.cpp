// X11HotKeys against the real server in $DISPLAY: keys pressed with xdotool
// (XTEST) reach the handler by id, grabs held by another client are refused,
// and the grabs follow the physical key through a layout change and Num Lock.
#include "platform/x11/x11_hot_keys.hpp"
#include "platform/x11/x11_keyboard_layout.hpp"
#include "platform/x11/x11_keycodes.hpp"
#include "platform/x11/x11_modifier_monitor.hpp"

// xcb's XKB header names a field `explicit`, a keyword in C++.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace tilewise {
namespace {

constexpr int controlOption = 4096 | 2048;
constexpr int keyF = 3;
constexpr int keyLeft = 123;
constexpr int keyRight = 124;
constexpr std::chrono::milliseconds timeout{3000};

// A second client, as another program holding a combination would be.
class OtherClient {
public:
    OtherClient() : conn_(xcb_connect(nullptr, nullptr))
    {
        root_ = xcb_setup_roots_iterator(xcb_get_setup(conn_)).data->root;
    }
    ~OtherClient() { xcb_disconnect(conn_); }
    OtherClient(const OtherClient&) = delete;
    OtherClient& operator=(const OtherClient&) = delete;

    // True when the server granted the grab.
    bool grab(int virtualKeyCode, std::uint16_t mods)
    {
        auto cookie = xcb_grab_key_checked(conn_, 1, root_, mods, *xKeyCodeForVirtualKey(virtualKeyCode),
                                           XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        XPtr<xcb_generic_error_t> error{xcb_request_check(conn_, cookie)};
        return !error;
    }

private:
    xcb_connection_t* conn_;
    xcb_window_t root_ = XCB_WINDOW_NONE;
};

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
        hotKeys_ = std::make_unique<X11HotKeys>(*x_);
        hotKeys_->setHandler([this](int id, bool pressed) { calls_.emplace_back(id, pressed); });
        layout_ = X11KeyboardLayout::create(*x_, &error);
        ASSERT_TRUE(layout_) << error;
        modifiers_ = std::make_unique<X11ModifierMonitor>(*x_, *layout_);
        modifiers_->addMonitor([this](const ModifierEvent& e) { modifierEvents_.push_back(e); });
    }

    void TearDown() override
    {
        for (const std::string& line : unexpectedErrors_)
            ADD_FAILURE() << "unexpected " << line;
    }

    static void run(const std::string& command) { ASSERT_EQ(std::system(command.c_str()), 0) << command; }

    // Runs an xdotool key command and hands every event up to the release of
    // `virtualKeyCode` to the hot keys, as the program's loop would.
    bool pressAndDeliver(const std::string& keys, int virtualKeyCode)
    {
        const std::uint8_t code = *xKeyCodeForVirtualKey(virtualKeyCode);
        const std::uint64_t mark = x_->eventMark();
        run("xdotool key " + keys);
        bool released = x_->waitForEvent(
            [code](const xcb_generic_event_t& e) {
                return (e.response_type & 0x7f) == XCB_KEY_RELEASE &&
                       reinterpret_cast<const xcb_key_release_event_t&>(e).detail == code;
            },
            timeout, mark);
        drain();
        return released;
    }

    // Runs an xdotool command and waits for the XKB state change it causes.
    void changeState(const std::string& command)
    {
        auto xkb = x_->xkbFirstEvent();
        ASSERT_TRUE(xkb);
        const std::uint64_t mark = x_->eventMark();
        run("xdotool " + command);
        ASSERT_TRUE(x_->waitForEvent(
            [xkb](const xcb_generic_event_t& e) {
                return (e.response_type & 0x7f) == *xkb &&
                       reinterpret_cast<const xcb_xkb_state_notify_event_t&>(e).xkbType ==
                           XCB_XKB_STATE_NOTIFY;
            },
            timeout, mark));
        x_->sync();
        drain();
    }

    // Changes the layout and waits until the server says the keyboard changed.
    void setLayout(const std::string& layout)
    {
        auto xkb = x_->xkbFirstEvent();
        ASSERT_TRUE(xkb);
        const std::uint64_t mark = x_->eventMark();
        const int before = hotKeys_->mappingChanges();
        run("setxkbmap " + layout);
        ASSERT_TRUE(x_->waitForEvent(
            [xkb](const xcb_generic_event_t& e) { return (e.response_type & 0x7f) == *xkb; }, timeout, mark));
        x_->sync();
        drain();
        EXPECT_GT(hotKeys_->mappingChanges(), before);
    }

    void drain()
    {
        while (auto e = x_->nextEvent()) {
            hotKeys_->handleEvent(**e);
            layout_->handleEvent(**e);
            modifiers_->handleEvent(**e);
        }
    }

    std::unique_ptr<X11Connection> x_;
    std::unique_ptr<X11HotKeys> hotKeys_;
    std::unique_ptr<X11KeyboardLayout> layout_;
    std::unique_ptr<X11ModifierMonitor> modifiers_;
    std::vector<ModifierEvent> modifierEvents_;
    std::vector<std::pair<int, bool>> calls_;
    std::vector<std::string> unexpectedErrors_;
};

using Calls = std::vector<std::pair<int, bool>>;

// This test verifies that a pressed combination reaches the handler with its
// id, once pressed and once released, and that other ids stay silent.
TEST_F(X11HotKeysTest, PressAndReleaseReachTheHandlerById)
{
    ASSERT_TRUE(hotKeys_->registerHotKey(7, keyLeft, controlOption));
    ASSERT_TRUE(hotKeys_->registerHotKey(8, keyRight, controlOption));
    ASSERT_TRUE(pressAndDeliver("ctrl+alt+Left", keyLeft));
    EXPECT_EQ(calls_, (Calls{{7, true}, {7, false}}));

    // Without Option the combination is another one, not ours.
    calls_.clear();
    ASSERT_TRUE(x_->ok());
    run("xdotool key ctrl+Left");
    x_->sync();
    drain();
    EXPECT_TRUE(calls_.empty());
}

// This test verifies that a combination another client holds is a failed
// registration, and that the failure leaves none of its lock variants behind.
TEST_F(X11HotKeysTest, CombinationHeldByAnotherClientIsRefused)
{
    OtherClient other;
    const std::uint16_t mods = X11HotKeys::xModifiers(controlOption);
    ASSERT_TRUE(other.grab(keyRight, mods));
    EXPECT_FALSE(hotKeys_->registerHotKey(3, keyRight, controlOption));
    EXPECT_TRUE(unexpectedErrors_.empty());
    x_->sync();
    // The Caps Lock variant was granted to us and must have been released.
    EXPECT_TRUE(other.grab(keyRight, mods | XCB_MOD_MASK_LOCK));
}

// This test verifies that unregistering gives the combination back.
TEST_F(X11HotKeysTest, UnregisterReleasesEveryGrab)
{
    ASSERT_TRUE(hotKeys_->registerHotKey(4, keyLeft, controlOption));
    hotKeys_->unregisterHotKey(4);
    x_->sync();
    OtherClient other;
    const std::uint16_t mods = X11HotKeys::xModifiers(controlOption);
    EXPECT_TRUE(other.grab(keyLeft, mods));
    EXPECT_TRUE(other.grab(keyLeft, mods | XCB_MOD_MASK_LOCK));
    if (hotKeys_->numLockMask()) {
        EXPECT_TRUE(other.grab(keyLeft, mods | hotKeys_->numLockMask()));
    }
}

// This test verifies that after a switch to Dvorak the physical F key, which
// now types U, still fires the combination recorded on it.
TEST_F(X11HotKeysTest, GrabsFollowThePhysicalKeyThroughALayoutChange)
{
    ASSERT_TRUE(hotKeys_->registerHotKey(5, keyF, controlOption));
    struct Restore {
        ~Restore() { [[maybe_unused]] int r = std::system("setxkbmap us"); }
    } restore;
    setLayout("dvorak");
    ASSERT_TRUE(pressAndDeliver("ctrl+alt+u", keyF));
    EXPECT_EQ(calls_, (Calls{{5, true}, {5, false}}));
    EXPECT_EQ(layout_->translate(KeyboardLayout::Source::Current, keyF, 0), "u");
    // The grab was made again, not lost: another client still cannot take it.
    OtherClient other;
    EXPECT_FALSE(other.grab(keyF, X11HotKeys::xModifiers(controlOption)));
}

// This test verifies that Num Lock, a modifier bit of its own in X, does not
// stop a combination from firing.
TEST_F(X11HotKeysTest, FiresWithNumLockOn)
{
    ASSERT_NE(hotKeys_->numLockMask(), 0);
    ASSERT_TRUE(hotKeys_->registerHotKey(6, keyLeft, controlOption));
    struct Restore {
        ~Restore() { [[maybe_unused]] int r = std::system("xdotool key Num_Lock"); }
    } restore;
    run("xdotool key Num_Lock");
    auto pointer = x_->reply<xcb_query_pointer_reply_t>(xcb_query_pointer(x_->xcb(), x_->root()));
    ASSERT_TRUE(pointer);
    ASSERT_TRUE(pointer->mask & hotKeys_->numLockMask()) << "Num Lock did not come on";
    ASSERT_TRUE(pressAndDeliver("ctrl+alt+Left", keyLeft));
    EXPECT_EQ(calls_, (Calls{{6, true}, {6, false}}));
}

using Source = KeyboardLayout::Source;

// This test verifies that the layout reads the server's keymap as it is now:
// after each setxkbmap, without being made anew.
TEST_F(X11HotKeysTest, LayoutFollowsTheServerKeymap)
{
    struct Restore {
        ~Restore() { [[maybe_unused]] int r = std::system("setxkbmap us"); }
    } restore;
    setLayout("us");
    EXPECT_EQ(layout_->translate(Source::Current, keyF, 0), "f");
    EXPECT_EQ(layout_->translate(Source::Current, keyF, KeyboardLayout::shiftState), "F");
    EXPECT_EQ(layout_->translate(Source::Current, 18, KeyboardLayout::shiftState), "!");
    EXPECT_EQ(layout_->translate(Source::Current, 49, 0), " ");
    // Arrows show as arrows; keys without a character, and codes without a
    // key, have no text.
    EXPECT_EQ(layout_->translate(Source::Current, keyLeft, 0), "\u2190");
    EXPECT_EQ(layout_->translate(Source::Current, 63, 0), std::nullopt);

    setLayout("dvorak");
    EXPECT_EQ(layout_->translate(Source::Current, keyF, 0), "u");
    EXPECT_EQ(layout_->translate(Source::AsciiCapable, keyF, 0), "u");
    EXPECT_EQ(layout_->translate(Source::Current, 8, 0), "j"); // C
}

// This test verifies that a layout that cannot type ASCII sends the display
// text to the group that can, and that switching groups is followed.
TEST_F(X11HotKeysTest, LayoutFallsBackToTheAsciiCapableGroup)
{
    struct Restore {
        ~Restore() { [[maybe_unused]] int r = std::system("setxkbmap us"); }
    } restore;
    setLayout("-layout ru,us");
    ASSERT_EQ(layout_->group(), 0u);
    EXPECT_EQ(layout_->translate(Source::Current, keyF, 0), "\xd0\xb0"); // Cyrillic a
    EXPECT_EQ(layout_->translate(Source::AsciiCapable, keyF, 0), "f");

    auto xkb = x_->xkbFirstEvent();
    const std::uint64_t mark = x_->eventMark();
    xcb_xkb_latch_lock_state(x_->xcb(), XCB_XKB_ID_USE_CORE_KBD, 0, 0, 1, XCB_XKB_GROUP_2, 0, 0, 0);
    ASSERT_TRUE(x_->waitForEvent(
        [xkb](const xcb_generic_event_t& e) {
            return (e.response_type & 0x7f) == *xkb &&
                   reinterpret_cast<const xcb_xkb_state_notify_event_t&>(e).xkbType == XCB_XKB_STATE_NOTIFY;
        },
        timeout, mark));
    drain();
    EXPECT_EQ(layout_->group(), 1u);
    EXPECT_EQ(layout_->translate(Source::Current, keyF, 0), "f");
}

constexpr std::uint64_t shiftFlag = 1ull << 17;
constexpr std::uint64_t controlFlag = 1ull << 18;
constexpr std::uint64_t optionFlag = 1ull << 19;
constexpr std::uint64_t functionFlag = 1ull << 23;

// This test verifies that modifier keys pressed in no window of ours are
// heard, with the key that changed and the flags that hold afterwards.
TEST_F(X11HotKeysTest, ModifierChangesReachTheMonitor)
{
    struct Restore {
        ~Restore() { [[maybe_unused]] int r = std::system("xdotool keyup Shift_L Control_L Alt_L"); }
    } restore;
    changeState("keydown Shift_L");
    ASSERT_FALSE(modifierEvents_.empty());
    EXPECT_EQ(modifierEvents_.back().keyCode, 56);
    EXPECT_EQ(modifierEvents_.back().modifierFlags, shiftFlag);
    changeState("keydown Control_L");
    EXPECT_EQ(modifierEvents_.back().keyCode, 59);
    EXPECT_EQ(modifierEvents_.back().modifierFlags, shiftFlag | controlFlag);
    changeState("keydown Alt_L");
    EXPECT_EQ(modifierEvents_.back().modifierFlags, shiftFlag | controlFlag | optionFlag);
    changeState("keyup Shift_L Control_L Alt_L");
    EXPECT_EQ(modifierEvents_.back().modifierFlags, 0u);
    // A plain key changes no modifier and says nothing.
    const std::size_t before = modifierEvents_.size();
    run("xdotool key a");
    x_->sync();
    drain();
    EXPECT_EQ(modifierEvents_.size(), before);
}

// This test verifies that a keymap with an XF86Fn key made a modifier gives
// the Fn key's code and the Function flag while it is held.
TEST_F(X11HotKeysTest, FnKeyOfTheKeymapIsReported)
{
    struct Restore {
        ~Restore() { [[maybe_unused]] int r = std::system("xdotool keyup XF86Fn; setxkbmap us"); }
    } restore;
    auto xkb = x_->xkbFirstEvent();
    const std::uint64_t mark = x_->eventMark();
    run("xmodmap -e 'keycode 200 = XF86Fn' -e 'add mod3 = XF86Fn'");
    ASSERT_TRUE(x_->waitForEvent(
        [xkb](const xcb_generic_event_t& e) { return (e.response_type & 0x7f) == *xkb; }, timeout, mark));
    x_->sync();
    drain();
    ASSERT_EQ(layout_->keyForKeysym(XKB_KEY_XF86Fn), 200);
    changeState("keydown XF86Fn");
    EXPECT_EQ(modifierEvents_.back().keyCode, 63);
    EXPECT_EQ(modifierEvents_.back().modifierFlags, functionFlag);
    changeState("keyup XF86Fn");
    EXPECT_EQ(modifierEvents_.back().keyCode, 63);
    EXPECT_EQ(modifierEvents_.back().modifierFlags, 0u);
}

} // namespace
} // namespace tilewise
