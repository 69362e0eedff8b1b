// The shortcut recorder: keys while recording, paused dispatch, texts, refusals.
#include "platform/diagnostics.hpp"
#include "platform/memory/memory_alerts.hpp"
#include "platform/memory/memory_hot_key_registrar.hpp"
#include "platform/memory/memory_keyboard_layout.hpp"
#include "settings/memory_defaults_store.hpp"
#include "shortcuts/key_text.hpp"
#include "shortcuts/shortcut_recorder.hpp"

#include <gtest/gtest.h>

#include <sstream>

namespace tilewise {
namespace {

using Shortcut = KeyboardShortcuts::Shortcut;
using Outcome = ShortcutRecorder::KeyOutcome;
constexpr int controlOption = KeyboardShortcuts::control | KeyboardShortcuts::option;

class ShortcutRecorderTest : public ::testing::Test {
protected:
    ShortcutRecorderTest()
    {
        layout.loadUs();
        service.onKeyDown(name, [](const Shortcut&) {});
    }

    MemoryDefaultsStore store;
    MemoryKeyboardLayout layout;
    MemoryHotKeyRegistrar registrar;
    KeyboardShortcuts service{store, registrar, layout};
    KeyboardShortcuts::Name name = service.makeName("clipLeft");
    MemoryAlerts alerts;
    ShortcutRecorder recorder{service, name, alerts, [](const Shortcut& s) {
                                  return s == Shortcut(Key::f, controlOption)
                                             ? std::optional<std::string>("Maximize")
                                             : std::nullopt;
                              }};
    std::ostringstream out, err;
    diag::Capture capture{out, err};
};

TEST_F(ShortcutRecorderTest, KeysWhileRecording)
{
    const Shortcut before(Key::c, controlOption);
    struct Case {
        int keyCode, modifiers;
        Outcome outcome;
        std::optional<Shortcut> after;
    };
    const Case cases[] = {
        {Key::tab, 0, Outcome::passedOn, before},
        {Key::escape, 0, Outcome::cancelled, before},
        {Key::deleteKey, 0, Outcome::cleared, std::nullopt},
        {Key::forwardDelete, 0, Outcome::cleared, std::nullopt},
        {0, 0, Outcome::refused, before},
        {0, KeyboardShortcuts::shift, Outcome::refused, before},
        {96, 0, Outcome::accepted, Shortcut(96, 0)}, // F5
        {Key::leftArrow, controlOption, Outcome::accepted, Shortcut(Key::leftArrow, controlOption)},
        {Key::deleteKey, KeyboardShortcuts::control, Outcome::accepted, Shortcut(Key::deleteKey, 4096)},
        {Key::f, controlOption, Outcome::takenByMenuItem, before},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keyCode);
        service.setShortcut(name, before);
        recorder.startRecording();
        EXPECT_TRUE(service.isPaused());
        EXPECT_EQ(recorder.keyDown(c.keyCode, c.modifiers), c.outcome);
        EXPECT_EQ(service.shortcut(name), c.after);
        const bool stays = c.outcome == Outcome::refused || c.outcome == Outcome::takenByMenuItem;
        EXPECT_EQ(recorder.isRecording(), stays);
        EXPECT_EQ(service.isPaused(), stays);
        recorder.endRecording();
    }
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.shown[0].message,
              "This keyboard shortcut cannot be used as it's already used by the “Maximize” menu item.");
    EXPECT_EQ(recorder.keyDown(Key::leftArrow, controlOption), Outcome::ignored);
}

TEST_F(ShortcutRecorderTest, TextsAndRefusal)
{
    EXPECT_EQ(recorder.placeholder()->key, "record_shortcut");
    EXPECT_EQ(recorder.text(), "Record Shortcut");
    recorder.startRecording();
    EXPECT_EQ(recorder.placeholder()->key, "press_shortcut");
    EXPECT_EQ(recorder.text(), "Press Shortcut");
    registrar.refuse(Key::p, controlOption, HotKeyStatus::noSuchKey);
    ASSERT_EQ(recorder.keyDown(Key::p, controlOption), Outcome::accepted);
    EXPECT_EQ(recorder.text(), service.displayText(Shortcut(Key::p, controlOption)));
    EXPECT_EQ(recorder.refusalText(), "No such key on this keyboard");
    recorder.startRecording();
    ASSERT_EQ(recorder.keyDown(Key::c, controlOption), Outcome::accepted);
    EXPECT_EQ(recorder.refusalText(), "");
}

} // namespace
} // namespace tilewise
