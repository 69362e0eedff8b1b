#include "shortcuts/shortcut_recorder.hpp"

#include "shortcuts/key_text.hpp"

namespace tilewise {

ShortcutRecorder::ShortcutRecorder(KeyboardShortcuts& shortcuts, KeyboardShortcuts::Name name, Alerts& alerts,
                                   MenuItemLookup menuItemFor)
    : shortcuts_(shortcuts), name_(std::move(name)), alerts_(alerts), menuItemFor_(std::move(menuItemFor))
{
}

ShortcutRecorder::~ShortcutRecorder()
{
    endRecording();
}

std::optional<std::string> ShortcutRecorder::shortcutText() const
{
    if (isRecording())
        return std::nullopt;
    std::optional<Shortcut> s = shortcuts_.shortcut(name_);
    return s ? std::optional(shortcuts_.displayText(*s)) : std::nullopt;
}

std::optional<ShortcutRecorder::Text> ShortcutRecorder::placeholder() const
{
    if (isRecording())
        return Text{pressKey, "Press Shortcut"};
    if (!shortcuts_.shortcut(name_))
        return Text{recordKey, "Record Shortcut"};
    return std::nullopt;
}

std::string ShortcutRecorder::text() const
{
    if (std::optional<Text> p = placeholder())
        return p->english;
    return shortcutText().value_or("");
}

void ShortcutRecorder::startRecording()
{
    state_ = State::recording;
    shortcuts_.setPaused(true);
}

void ShortcutRecorder::endRecording()
{
    if (!isRecording())
        return;
    state_ = State::idle;
    shortcuts_.setPaused(false);
}

void ShortcutRecorder::accept(const Shortcut& shortcut)
{
    shortcuts_.setShortcut(name_, shortcut);
    endRecording();
}

ShortcutRecorder::KeyOutcome ShortcutRecorder::keyDown(int keyCode, int carbonModifiers)
{
    if (!isRecording())
        return KeyOutcome::ignored;
    const Shortcut shortcut = Shortcut::normalized(keyCode, carbonModifiers);
    if (shortcut.carbonModifiers == 0) {
        switch (keyCode) {
        case Key::tab:
            endRecording();
            return KeyOutcome::passedOn;
        case Key::escape:
            endRecording();
            return KeyOutcome::cancelled;
        case Key::deleteKey:
        case Key::forwardDelete:
            shortcuts_.removeShortcut(name_);
            endRecording();
            return KeyOutcome::cleared;
        default:
            break;
        }
    }
    if (!KeyboardShortcuts::isUsable(shortcut))
        return KeyOutcome::refused;
    if (std::optional<std::string> item = menuItemFor_ ? menuItemFor_(shortcut) : std::nullopt) {
        alerts_.showNotice(usedByMenuItem(*item).english);
        return KeyOutcome::takenByMenuItem;
    }
    if (shortcuts_.isTakenBySystem(shortcut)) {
        if (alerts_.ask(usedBySystem().english, canBeChanged().english, {ok().english, forceUse().english}) !=
            1)
            return KeyOutcome::takenBySystem;
    }
    accept(shortcut);
    return KeyOutcome::accepted;
}

std::string ShortcutRecorder::refusalText() const
{
    for (const KeyboardShortcuts::Refusal& r : shortcuts_.refusals()) {
        if (r.name != name_.rawValue)
            continue;
        // The words tilewisectl uses, as a sentence.
        std::string text(describe(r.status));
        if (!text.empty() && text[0] >= 'a' && text[0] <= 'z')
            text[0] = char(text[0] - 'a' + 'A');
        return text;
    }
    return {};
}

ShortcutRecorder::Text ShortcutRecorder::usedByMenuItem(const std::string& itemTitle)
{
    std::string english = "This keyboard shortcut cannot be used as it's already used by the “";
    english.append(itemTitle).append("” menu item.");
    return {usedByMenuItemKey, std::move(english)};
}

ShortcutRecorder::Text ShortcutRecorder::usedBySystem()
{
    return {usedBySystemKey, "This keyboard shortcut cannot be used as the desktop already uses it."};
}

ShortcutRecorder::Text ShortcutRecorder::canBeChanged()
{
    return {canBeChangedKey, "Most desktop shortcuts can be changed in the desktop's keyboard settings."};
}

ShortcutRecorder::Text ShortcutRecorder::forceUse()
{
    return {forceUseKey, "Use Anyway"};
}

ShortcutRecorder::Text ShortcutRecorder::ok()
{
    return {"ok", "OK"};
}

} // namespace tilewise
