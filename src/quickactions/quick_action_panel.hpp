// The quick action panel without its window: what the floating list shows
// and what it does with keys, search, clicks and closing. The widget draws
// rows(), forwards key presses, clicks and the search field's text, hides
// itself when visible() turns false, and places itself at panelFrame().
//
// The panel captures the focused window and the main screen when it opens,
// and the chosen action runs on that capture after the panel has closed, so
// the other application keeps the focus and stays the target.
#pragma once

#include "platform/keyboard_layout.hpp"
#include "platform/window_access.hpp"
#include "quickactions/quick_action.hpp"
#include "settings/setting_enums.hpp"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tilewise {

class DefaultsStore;
class Storage;

class QuickActionPanel {
public:
    using Action = QuickAction::Action;

    struct Hooks {
        // Runs the action on the captured window; called only with one.
        std::function<void(const Action&, WindowElement, std::optional<Screen>)> run;
        // The gear button: the settings window at a page.
        std::function<void(SettingTab)> showSettings;
        // Anything shown changed: visibility, the list, the selection.
        std::function<void()> changed;
    };

    static constexpr std::string_view title = "Actions";
    static constexpr std::string_view searchPlaceholder = "Type to search...";
    static constexpr std::string_view noActionsText = "No actions found";
    // Sizes in points.
    static constexpr Size initialSize{300, 300};
    static constexpr double listWidth = 332;
    static constexpr double listHeight = 500;

    enum class KeyOutcome {
        // The panel is closed: the key is not its.
        ignored,
        consumed,
        // The search field gets it (search on: letters, Return without a
        // selection).
        toSearchField,
    };
    enum class Direction { up, down };

    struct Row {
        std::string id;
        std::string name;
        // Empty with search on, or without a menu key.
        std::string keyText;
        bool selected = false;
    };

    // Actions and settings are read afresh at each use.
    QuickActionPanel(WindowAccess& access, const DefaultsStore& store, const Storage& settings,
                     const KeyboardLayout& layout, Hooks hooks);

    // The "launchQuickAction" hot key: captures the focused window and the
    // main screen again; opening an open panel resets nothing else.
    void open();
    // Escape, a click elsewhere (the panel lost key status), the gear.
    void close();
    void gear();
    // Closes and runs the action on the capture; nothing when closed.
    void runAndClose(const Action& action);
    // A single click on a row of rows().
    void clickRow(std::size_t index);

    // Menu keys are matched by key code alone, whatever the modifiers.
    KeyOutcome keyDown(int keyCode);
    void moveSelection(Direction direction);
    // The search field's text changed.
    void setSearchKey(std::string text);

    bool visible() const { return visible_; }
    const std::optional<WindowElement>& element() const { return element_; }
    const std::optional<Screen>& screen() const { return screen_; }
    bool searchEnabled() const;
    const std::string& searchKey() const { return searchKey_; }
    const std::optional<std::string>& selected() const { return selected_; }
    const std::vector<Action>& filtered() const { return filtered_; }
    // No stored action at all (not an empty search result).
    bool showsNoActionsText() const;
    std::vector<Row> rows() const;

    // The screen the panel goes on by "TilewiseQuickActionShowScreen", now.
    std::optional<Screen> placementScreen();
    // Screen space, bottom-left origin: centred across the visible frame,
    // a third of the free height above and two thirds below. None when
    // there is no such screen: the window system centres the panel.
    std::optional<Rect> panelFrame(Size panelSize);
    static Rect panelFrameOn(const Rect& visibleFrame, Size panelSize);

    // Every character of the key is in the name's upper- or lower-case form,
    // in any order, repeats included.
    static bool matches(const std::string& name, const std::string& searchKey);

private:
    std::vector<Action> actions() const;
    void applySearch();
    void changed();

    WindowAccess& access_;
    const DefaultsStore& store_;
    const Storage& settings_;
    const KeyboardLayout& layout_;
    Hooks hooks_;

    bool visible_ = false;
    std::optional<WindowElement> element_;
    std::optional<Screen> screen_;
    std::string searchKey_;
    std::optional<std::string> selected_;
    std::vector<Action> filtered_;
};

} // namespace tilewise
