#include "quickactions/menu_key_recorder.hpp"

#include "quickactions/shortcuts_slot_manager.hpp"
#include "shortcuts/key_positions.hpp"
#include "shortcuts/key_text.hpp"
#include "shortcuts/keyboard_shortcuts.hpp"

#include <limits>
#include <utility>

namespace tilewise {

namespace {

// Shift, Control, Option and Command of either hand; Caps Lock and Fn.
bool isModifierKey(int keyCode)
{
    return keyCode >= 54 && keyCode <= Key::function;
}

} // namespace

MenuKeyRecorder::MenuKeyRecorder(Services services, std::int64_t keyCode, OnChange onChange)
    : services_(services), keyCode_(keyCode), onChange_(std::move(onChange))
{
    showKey();
}

void MenuKeyRecorder::setKeyCode(std::int64_t keyCode)
{
    keyCode_ = keyCode;
    showKey();
}

void MenuKeyRecorder::showKey()
{
    if (keyCode_ < 0) {
        text_.clear();
        return;
    }
    // A stored code too large for any key still shows as an unknown key.
    const int code = keyCode_ > std::numeric_limits<int>::max() ? -1 : int(keyCode_);
    text_ = services_.shortcuts.displayText(KeyboardShortcuts::Shortcut(code, 0));
}

void MenuKeyRecorder::startRecording()
{
    state_ = State::recording;
}

void MenuKeyRecorder::endRecording()
{
    state_ = State::idle;
}

void MenuKeyRecorder::windowDidBecomeKey()
{
    canBecomeKey_ = false;
    services_.runLoop.post([this, alive = std::weak_ptr<bool>(alive_)] {
        if (!alive.expired())
            canBecomeKey_ = true;
    });
}

void MenuKeyRecorder::report(std::int64_t keyCode)
{
    keyCode_ = keyCode;
    if (onChange_)
        onChange_(keyCode);
    // The owner may have changed the key in its callback.
    showKey();
}

MenuKeyRecorder::KeyOutcome MenuKeyRecorder::keyDown(int keyCode, int carbonModifiers)
{
    if (!isRecording() || isModifierKey(keyCode))
        return KeyOutcome::ignored;
    if ((carbonModifiers & KeyboardShortcuts::modifierMask) == 0) {
        if (keyCode == Key::escape) {
            endRecording();
            return KeyOutcome::cancelled;
        }
        if (keyCode == Key::deleteKey || keyCode == Key::forwardDelete) {
            report(-1);
            return KeyOutcome::cleared;
        }
    }
    // Modifiers are dropped: Shift-K records K.
    if (!keyPosition(keyCode))
        return KeyOutcome::refused;
    if (services_.slots.isKeyUsed(keyCode)) {
        // The modal alert takes the window's key status away; ended first,
        // so that the alert's own clicks and keys are not recorded.
        endRecording();
        services_.alerts.showNotice(std::string(keyInUse));
        return KeyOutcome::inUse;
    }
    report(keyCode);
    endRecording();
    return KeyOutcome::accepted;
}

bool MenuKeyRecorder::clickAt(Point point, const Rect& fieldFrame)
{
    if (!isRecording())
        return false;
    const double m = outsideClickMargin;
    const bool inside = point.x >= fieldFrame.minX() - m && point.x <= fieldFrame.maxX() + m &&
                        point.y >= fieldFrame.minY() - m && point.y <= fieldFrame.maxY() + m;
    if (!inside)
        endRecording();
    return !inside;
}

void MenuKeyRecorder::clearButtonPressed()
{
    report(-1);
    startRecording();
}

} // namespace tilewise
