// The editing rules of the clips settings page, as plain operations on the
// stored lists. Each returns the message of the alert to show, if any; the
// page only draws and shows what it is told.
#pragma once

#include "settings/clip.hpp"

#include <cstddef>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace tilewise {

class DefaultsStore;
class RunLoop;

namespace clip_texts {
inline constexpr const char* pageHeader =
    "Window size will cycle through clips when pressing shortcuts repeatedly";
inline constexpr const char* horizontal = "Horizontal";
inline constexpr const char* vertical = "Vertical";
inline constexpr const char* defaultClips = "Default Clips";
inline constexpr const char* createForScreen = "Create Clips For Screen";
inline constexpr const char* createHelp =
    "If there is no specific configuration for current screen, default clips will be used.";
inline constexpr const char* numerator = "Numerator";
inline constexpr const char* denominator = "Demonator";
inline constexpr const char* outOfRange = "Clip value should be between 0-1";
inline constexpr const char* alreadyExists = "Clip value already exists";
inline constexpr const char* lastClip = "At least one clip must be retained";
inline constexpr const char* moreThanSix = "The recommendation is to not exceed 6 sizes";
inline constexpr const char* deleteInformative = "After deletion, the display will use default clips";
inline constexpr const char* confirm = "Confirm";
inline constexpr const char* cancel = "Cancel";
inline constexpr const char* pickerWarning = "This would lead to unpredictable result";
} // namespace clip_texts

namespace settings_keys {
inline constexpr const char* setGapMoreThan6 = "TilewiseSetGapMoreThan6";
} // namespace settings_keys

// One row of the page: a default list, or a list of the per-screen
// configuration at `screenIndex` in stored order.
struct ClipRowRef {
    enum class Axis { horizontal, vertical };
    std::optional<std::size_t> screenIndex;
    Axis axis = Axis::horizontal;
};

class ClipEditor {
public:
    // Clips a user can enter: both parts between 1 and 16.
    static constexpr long long maxPart = 16;

    struct Confirmation {
        std::string message;
        std::string informativeText;
        std::vector<std::string> buttons;
    };
    enum class DeleteAnswer { confirm, cancel, closed };

    // Lines "cancel" and "do nothing" go to the diagnostics' output.
    ClipEditor(DefaultsStore& store, RunLoop& runLoop);

    // The row's list as read now (a default list when the stored text does
    // not decode); empty for a configuration that no longer exists.
    std::vector<Clip> clips(const ClipRowRef& row) const;
    // "Default Clips" titles the default section only beside configurations.
    std::optional<std::string> defaultSectionTitle() const;

    // The add button: the long-list notice, shown once per user. Adding is
    // not refused.
    std::optional<std::string> beginAdd(const ClipRowRef& row);
    // "Confirm" in the add popover. None means the clip was stored (sorted,
    // largest first) and the popover closes; a message keeps it open.
    std::optional<std::string> add(const ClipRowRef& row, const Clip& clip);
    // The remove button with a selected chip, or "Delete" on a chip.
    std::optional<std::string> remove(const ClipRowRef& row, const Clip& clip);

    // A screen's item of the "Create Clips For Screen" menu.
    std::optional<std::string> createScreenConfiguration(const std::string& screenName);
    // The question asked by a configuration's trash button.
    static Confirmation deleteConfirmation(const std::string& screenName);
    // Confirm removes every configuration with that name on a later turn of
    // the run loop, after the alert has closed.
    void answerDelete(const std::string& screenName, DeleteAnswer answer);

private:
    void store(const ClipRowRef& row, const std::vector<Clip>& clips);

    DefaultsStore& store_;
    RunLoop& runLoop_;
};

// The clip picker's warning: shown while the denominator is smaller than
// the numerator. The value is kept either way.
std::optional<std::string> clipPickerWarning(const Clip& clip);
// The numerators the picker offers: 0 or 1 to 16.
std::vector<long long> clipPickerNumerators(bool canBeZero);

} // namespace tilewise
