// Keyboard layouts as plain maps, with the US and Dvorak letter positions
// for tests.
#pragma once

#include "platform/keyboard_layout.hpp"

#include <map>
#include <tuple>

namespace tilewise {

class MemoryKeyboardLayout : public KeyboardLayout {
public:
    int groupCount() const override { return groupCount_; }
    int currentGroup() const override { return current_; }
    std::optional<std::string> translate(int group, int keyCode, int modifierState) const override;

    void set(int group, int keyCode, std::string text, int modifierState = 0);
    void setGroupCount(int count) { groupCount_ = count; }
    void setCurrentGroup(int group) { current_ = group; }
    // The group has no layout data at all.
    void clear(int group);
    // Letters, digits and punctuation of the ANSI positions, unshifted and
    // shifted, as `group` (the only group unless more are set).
    void loadUs(int group = 0);
    // Dvorak letters.
    void loadDvorak(int group = 0);

private:
    void loadRows(int group, const char* plain, const char* shifted);

    std::map<std::tuple<int, int, int>, std::string> texts_;
    int groupCount_ = 1;
    int current_ = 0;
};

} // namespace tilewise
