// The user's keyboard layouts as text: which character a physical key gives.
#pragma once

#include <optional>
#include <string>

namespace tilewise {

class KeyboardLayout {
public:
    // The layout in use, and the layout that can type ASCII (the display text
    // of a shortcut follows the latter so that a Cyrillic layout still shows
    // Latin letters).
    enum class Source { Current, AsciiCapable };

    // Modifier state of a translation: only Shift and Option change the text.
    static constexpr int shiftState = 2;
    static constexpr int optionState = 8;

    virtual ~KeyboardLayout() = default;

    // UTF-8 text of the key, or none when the layout has no data for it.
    virtual std::optional<std::string> translate(Source source, int keyCode, int modifierState) const = 0;
};

} // namespace tilewise
