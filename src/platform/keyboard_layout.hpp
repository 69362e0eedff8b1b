// The user's keyboard layouts as text: which character a physical key gives
// in each layout group the keyboard has.
#pragma once

#include <optional>
#include <string>

namespace tilewise {

class KeyboardLayout {
public:
    // Modifier state of a translation: only Shift and Option change the text.
    static constexpr int shiftState = 2;
    static constexpr int optionState = 8;

    virtual ~KeyboardLayout() = default;

    // Groups are the layouts the keyboard switches between, from 0.
    virtual int groupCount() const = 0;
    virtual int currentGroup() const = 0;
    // UTF-8 text the key types in `group`, or none when the group has no
    // data for the key. Keys that type nothing by themselves (arrows, dead
    // keys) may give none or a symbol.
    virtual std::optional<std::string> translate(int group, int keyCode, int modifierState) const = 0;
};

} // namespace tilewise
