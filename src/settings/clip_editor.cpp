#include "settings/clip_editor.hpp"

#include "platform/diagnostics.hpp"
#include "platform/run_loop.hpp"
#include "settings/defaults_store.hpp"
#include "settings/json_array.hpp"

#include <algorithm>

namespace tilewise {

ClipEditor::ClipEditor(DefaultsStore& store, RunLoop& runLoop) : store_(store), runLoop_(runLoop)
{
}

std::vector<Clip> ClipEditor::clips(const ClipRowRef& row) const
{
    const bool horizontal = row.axis == ClipRowRef::Axis::horizontal;
    if (!row.screenIndex)
        return horizontal ? horizontalClips(store_) : verticalClips(store_);
    std::vector<ScreenClip> screens = screenClips(store_);
    if (*row.screenIndex >= screens.size())
        return {};
    const ScreenClip& sc = screens[*row.screenIndex];
    return horizontal ? sc.horizontal : sc.vertical;
}

std::optional<std::string> ClipEditor::defaultSectionTitle() const
{
    if (screenClips(store_).empty())
        return std::nullopt;
    return std::string(clip_texts::defaultClips);
}

void ClipEditor::store(const ClipRowRef& row, const std::vector<Clip>& list)
{
    const bool horizontal = row.axis == ClipRowRef::Axis::horizontal;
    if (!row.screenIndex) {
        writeJsonArray(store_, horizontal ? settings_keys::clipHorizontal : settings_keys::clipVertical,
                       list);
        return;
    }
    std::vector<ScreenClip> screens = screenClips(store_);
    if (*row.screenIndex >= screens.size())
        return;
    (horizontal ? screens[*row.screenIndex].horizontal : screens[*row.screenIndex].vertical) = list;
    writeJsonArray(store_, settings_keys::separateScreenConfiguration, screens);
}

std::optional<std::string> ClipEditor::beginAdd(const ClipRowRef& row)
{
    if (clips(row).size() < 6 || store_.boolValue(settings_keys::setGapMoreThan6))
        return std::nullopt;
    store_.set(settings_keys::setGapMoreThan6, true);
    return std::string(clip_texts::moreThanSix);
}

std::optional<std::string> ClipEditor::add(const ClipRowRef& row, const Clip& clip)
{
    // The pickers offer 1 to 16 only; a caller passing anything else would
    // store a zero denominator, and the engine would divide by it.
    const bool inPickerRange = clip.numerator >= 1 && clip.denominator >= 1 && clip.numerator <= maxPart &&
                               clip.denominator <= maxPart;
    if (!inPickerRange || clip.denominator < clip.numerator)
        return std::string(clip_texts::outOfRange);

    std::vector<Clip> list = clips(row);
    if (row.screenIndex && list.empty() && *row.screenIndex >= screenClips(store_).size())
        return std::nullopt; // the configuration was deleted meanwhile
    const double value = clip.value();
    for (const Clip& existing : list) {
        if (existing == clip || existing.value() == value)
            return std::string(clip_texts::alreadyExists);
    }
    list.push_back(clip);
    std::stable_sort(list.begin(), list.end(),
                     [](const Clip& a, const Clip& b) { return a.value() > b.value(); });
    store(row, list);
    return std::nullopt;
}

std::optional<std::string> ClipEditor::remove(const ClipRowRef& row, const Clip& clip)
{
    std::vector<Clip> list = clips(row);
    if (list.size() == 1)
        return std::string(clip_texts::lastClip);
    auto it = std::find(list.begin(), list.end(), clip);
    if (it == list.end())
        return std::nullopt;
    list.erase(it);
    store(row, list);
    return std::nullopt;
}

std::optional<std::string> ClipEditor::createScreenConfiguration(const std::string& screenName)
{
    std::vector<ScreenClip> screens = screenClips(store_);
    for (const ScreenClip& sc : screens) {
        if (sc.name == screenName)
            return "Configuration for screen(" + screenName + ") already exists";
    }
    // The built-in lists, not the user's current defaults.
    screens.push_back(ScreenClip{screenName, defaultHorizontalClips(), defaultVerticalClips()});
    writeJsonArray(store_, settings_keys::separateScreenConfiguration, screens);
    return std::nullopt;
}

ClipEditor::Confirmation ClipEditor::deleteConfirmation(const std::string& screenName)
{
    return Confirmation{"Are you sure to delete configuration for " + screenName + "?",
                        clip_texts::deleteInformative,
                        {clip_texts::confirm, clip_texts::cancel}};
}

void ClipEditor::answerDelete(const std::string& screenName, DeleteAnswer answer)
{
    switch (answer) {
    case DeleteAnswer::confirm: {
        // The store outlives the page; the editor may be gone by then.
        DefaultsStore* store = &store_;
        runLoop_.post([store, screenName] {
            std::vector<ScreenClip> screens = screenClips(*store);
            std::erase_if(screens, [&](const ScreenClip& sc) { return sc.name == screenName; });
            writeJsonArray(*store, settings_keys::separateScreenConfiguration, screens);
        });
        return;
    }
    case DeleteAnswer::cancel:
        diag::line("cancel");
        return;
    case DeleteAnswer::closed:
        diag::line("do nothing");
        return;
    }
}

std::optional<std::string> clipPickerWarning(const Clip& clip)
{
    if (clip.denominator < clip.numerator)
        return std::string(clip_texts::pickerWarning);
    return std::nullopt;
}

std::vector<long long> clipPickerNumerators(bool canBeZero)
{
    std::vector<long long> out;
    for (long long n = canBeZero ? 0 : 1; n <= ClipEditor::maxPart; ++n)
        out.push_back(n);
    return out;
}

} // namespace tilewise
