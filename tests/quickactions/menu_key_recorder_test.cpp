// The menu key field: what a key press or a click does while it records.
#include "memory_slots.hpp"

#include "platform/memory/manual_run_loop.hpp"
#include "platform/memory/memory_alerts.hpp"
#include "quickactions/menu_key_recorder.hpp"

#include <gtest/gtest.h>

#include <tuple>

namespace tilewise {
namespace {

using Outcome = MenuKeyRecorder::KeyOutcome;
constexpr int shift = KeyboardShortcuts::shift, capsLock = 1024;

class MenuKeyRecorderTest : public ::testing::Test, protected MemorySlots {
protected:
    // The edited action has C (8); "Top Half" has W (13).
    void SetUp() override
    {
        storeQuickActions(store, {{"me", "Mine", false, {}, 8, {}}, {"top", "Top Half", false, {}, 13, {}}});
    }
    MenuKeyRecorder recorder(std::int64_t key)
    {
        return MenuKeyRecorder({slots, shortcuts, alerts, loop}, key,
                               [this](std::int64_t k) { reported.push_back(k); });
    }

    MemoryAlerts alerts;
    ManualRunLoop loop;
    std::vector<std::int64_t> reported;
};

TEST_F(MenuKeyRecorderTest, KeyPressWhileRecording)
{
    struct Case {
        const char* what;
        int keyCode, modifiers;
        Outcome outcome;
        std::int64_t keyAfter;
        const char* textAfter;
        bool recordingAfter;
    };
    const Case cases[] = {
        {"W, which Top Half has", 13, 0, Outcome::inUse, 8, "C", false},
        {"the action's own key", 8, 0, Outcome::inUse, 8, "C", false},
        {"Shift+K records K alone", 40, shift, Outcome::accepted, 40, "K", false},
        {"Escape", 53, 0, Outcome::cancelled, 8, "C", false},
        {"Escape with Caps Lock", 53, capsLock, Outcome::cancelled, 8, "C", false},
        {"Delete", 51, 0, Outcome::cleared, -1, "", true},
        {"Forward Delete", 117, 0, Outcome::cleared, -1, "", true},
        {"a code no key has", 108, 0, Outcome::refused, 8, "C", true},
        {"Shift alone", 56, shift, Outcome::ignored, 8, "C", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        alerts.shown.clear();
        reported.clear();
        MenuKeyRecorder r = recorder(8);
        r.startRecording();
        EXPECT_EQ(r.keyDown(c.keyCode, c.modifiers), c.outcome);
        EXPECT_EQ(r.keyCode(), c.keyAfter);
        EXPECT_EQ(r.text(), c.textAfter);
        EXPECT_EQ(r.isRecording(), c.recordingAfter);
        EXPECT_EQ(alerts.messages(), c.outcome == Outcome::inUse
                                         ? std::vector<std::string>{"The key is already is use"}
                                         : std::vector<std::string>{});
        const bool changed = c.outcome == Outcome::accepted || c.outcome == Outcome::cleared;
        EXPECT_EQ(reported, changed ? std::vector<std::int64_t>{c.keyAfter} : std::vector<std::int64_t>{});
    }
}

TEST_F(MenuKeyRecorderTest, ClicksWithinThreePointsOfTheFieldKeepRecording)
{
    const Rect field(100, 50, 90, 22);
    for (auto [x, y, ends] : {std::tuple{98, 60, false},
                              {192, 60, false},
                              {150, 75, false},
                              {96, 60, true},
                              {194, 60, true},
                              {150, 46, true}}) {
        MenuKeyRecorder r = recorder(-1);
        r.startRecording();
        EXPECT_EQ(r.clickAt({double(x), double(y)}, field), ends) << x << "," << y;
        EXPECT_EQ(r.isRecording(), !ends);
    }
    MenuKeyRecorder r = recorder(40);
    r.windowDidBecomeKey(); // activation alone does not focus the field
    EXPECT_FALSE(r.canBecomeKey());
    loop.runPending();
    EXPECT_TRUE(r.canBecomeKey());
}

} // namespace
} // namespace tilewise
