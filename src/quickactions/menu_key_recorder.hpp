// The model of the field that sets or clears one quick action's menu key: a
// single bare key that runs the action while the quick action panel is open.
// The widget draws `text()`, forwards clicks and key presses while it
// records, and beeps when told. The recorder stores nothing itself: the
// owner receives the chosen key code and writes it into the action.
#pragma once

#include "platform/alerts.hpp"
#include "platform/geometry.hpp"
#include "platform/run_loop.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace tilewise {

class KeyboardShortcuts;
class ShortcutsSlotManager;

class MenuKeyRecorder {
public:
    // The new key code; -1 when the user cleared the key.
    using OnChange = std::function<void(std::int64_t keyCode)>;

    struct Services {
        const ShortcutsSlotManager& slots;
        // For the display text of a key.
        const KeyboardShortcuts& shortcuts;
        Alerts& alerts;
        RunLoop& runLoop;
    };

    enum class State { idle, recording };

    enum class KeyOutcome {
        // Not recording, or a modifier key pressed on its own (not a key of
        // its own on every keyboard): nothing happens.
        ignored,
        // Escape: recording has ended, the key is unchanged.
        cancelled,
        // Delete or forward delete: the key is none now; still recording.
        cleared,
        // A key code no key has: the widget beeps; still recording.
        refused,
        // Some action (the edited one too) has the key: the alert was shown,
        // nothing recorded, and recording has ended with the alert.
        inUse,
        // Reported to the owner; recording has ended.
        accepted,
    };

    static constexpr std::string_view keyInUse = "The key is already is use";
    static constexpr double intrinsicWidth = 90;
    // A click this close to the field still counts as inside.
    static constexpr double outsideClickMargin = 3;

    MenuKeyRecorder(Services services, std::int64_t keyCode, OnChange onChange = {});
    MenuKeyRecorder(const MenuKeyRecorder&) = delete;
    MenuKeyRecorder& operator=(const MenuKeyRecorder&) = delete;

    std::int64_t keyCode() const { return keyCode_; }
    // The owner's value changed elsewhere.
    void setKeyCode(std::int64_t keyCode);
    // The display text of the key without modifiers; empty for none.
    const std::string& text() const { return text_; }
    bool showsClearButton() const { return !text_.empty(); }
    State state() const { return state_; }
    bool isRecording() const { return state_ == State::recording; }
    // The caret is hidden while recording.
    bool showsCaret() const { return !isRecording(); }
    // Whether keyboard navigation may focus the field now.
    bool canBecomeKey() const { return canBecomeKey_; }

    // The field took the focus (the user clicked it).
    void startRecording();
    // Editing ended or the field gave up the focus.
    void endRecording();
    // The field's window stopped being key: recording ends, the field gives
    // up the focus.
    void windowDidResignKey() { endRecording(); }
    // The field's window became key: until the next turn of the loop the
    // field does not take the focus just because its window was activated.
    void windowDidBecomeKey();
    // The field left its window.
    void removedFromWindow() { endRecording(); }

    KeyOutcome keyDown(int keyCode, int carbonModifiers);
    // A left or right mouse button released while recording, both in the
    // same coordinates. Returns whether recording ended (a click outside the
    // field's frame enlarged by the margin).
    bool clickAt(Point point, const Rect& fieldFrame);
    // The clear button: the key becomes none and recording starts again.
    void clearButtonPressed();

private:
    void report(std::int64_t keyCode);
    void showKey();

    Services services_;
    std::int64_t keyCode_;
    OnChange onChange_;
    std::string text_;
    State state_ = State::idle;
    bool canBecomeKey_ = true;
    // Deferred work holds this weakly, so it never runs on a destroyed field.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace tilewise
