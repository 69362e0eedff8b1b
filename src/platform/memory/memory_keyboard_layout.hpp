// Keyboard layouts as plain maps, with the US and Dvorak letter positions
// for tests.
#pragma once

#include "platform/keyboard_layout.hpp"

#include <map>
#include <tuple>

namespace tilewise {

class MemoryKeyboardLayout : public KeyboardLayout {
public:
    std::optional<std::string> translate(Source source, int keyCode, int modifierState) const override;

    void set(Source source, int keyCode, std::string text, int modifierState = 0);
    // The source has no layout data at all.
    void clear(Source source);
    // Letters, digits and punctuation of the ANSI positions, unshifted and
    // shifted, for both sources.
    void loadUs();
    // Dvorak letters as the current layout and the ASCII-capable one.
    void loadDvorak();

private:
    void loadRows(const char* plain, const char* shifted);

    std::map<std::tuple<Source, int, int>, std::string> texts_;
};

} // namespace tilewise
