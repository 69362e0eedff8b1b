// The model of a shortcut recorder bound to one name: what it shows, and what
// a key pressed while it records does. The widget draws the text, forwards
// key presses, beeps when told and moves the focus on Tab.
#pragma once

#include "platform/alerts.hpp"
#include "shortcuts/keyboard_shortcuts.hpp"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tilewise {

class ShortcutRecorder {
public:
    using Shortcut = KeyboardShortcuts::Shortcut;
    // The title of the menu item that has the combination as its key
    // equivalent, if one has.
    using MenuItemLookup = std::function<std::optional<std::string>(const Shortcut&)>;

    // A localisation key and its English text.
    struct Text {
        std::string_view key;
        std::string english;
    };

    enum class State { idle, recording };

    enum class KeyOutcome {
        // Not recording: the key is not the recorder's.
        ignored,
        // Tab: the widget moves the focus on; recording has ended.
        passedOn,
        // Escape: recording ended, nothing changed.
        cancelled,
        // Delete or forward delete: the name has no combination now.
        cleared,
        // A key without Control, Alt or Super: the widget beeps; still
        // recording.
        refused,
        // A menu item has it: the alert was shown; still recording.
        takenByMenuItem,
        // The system has it and the user did not force it: still recording.
        takenBySystem,
        // Stored for the name; recording has ended.
        accepted,
    };

    static constexpr std::string_view recordKey = "record_shortcut";
    static constexpr std::string_view pressKey = "press_shortcut";
    static constexpr std::string_view usedByMenuItemKey = "keyboard_shortcut_used_by_menu_item";
    static constexpr std::string_view usedBySystemKey = "keyboard_shortcut_used_by_system";
    static constexpr std::string_view canBeChangedKey = "keyboard_shortcuts_can_be_changed";
    static constexpr std::string_view forceUseKey = "force_use_shortcut";

    ShortcutRecorder(KeyboardShortcuts& shortcuts, KeyboardShortcuts::Name name, Alerts& alerts,
                     MenuItemLookup menuItemFor = {});
    // Dispatch resumes if it was recording.
    ~ShortcutRecorder();
    ShortcutRecorder(const ShortcutRecorder&) = delete;
    ShortcutRecorder& operator=(const ShortcutRecorder&) = delete;

    const KeyboardShortcuts::Name& name() const { return name_; }
    State state() const { return state_; }
    bool isRecording() const { return state_ == State::recording; }

    // The combination's display text; none while recording or when the name
    // has none, and the placeholder is shown instead.
    std::optional<std::string> shortcutText() const;
    // "press_shortcut" while recording, "record_shortcut" without a
    // combination, none otherwise.
    std::optional<Text> placeholder() const;
    // What the field shows: the display text or the placeholder's English.
    std::string text() const;

    // Hot keys are not dispatched while recording.
    void startRecording();
    // The field lost the focus, or the widget went away.
    void endRecording();
    KeyOutcome keyDown(int keyCode, int carbonModifiers);

    // Why the platform does not hold the name's combination now ("No such
    // key on this keyboard"); empty while it holds it, or there is none.
    std::string refusalText() const;

    static Text usedByMenuItem(const std::string& itemTitle);
    static Text usedBySystem();
    static Text canBeChanged();
    static Text forceUse();
    static Text ok();

private:
    void accept(const Shortcut& shortcut);

    KeyboardShortcuts& shortcuts_;
    KeyboardShortcuts::Name name_;
    Alerts& alerts_;
    MenuItemLookup menuItemFor_;
    State state_ = State::idle;
};

} // namespace tilewise
