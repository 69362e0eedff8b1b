#include "quickactions/quick_action_panel.hpp"

#include "settings/storage.hpp"
#include "shortcuts/key_text.hpp"

#include <algorithm>
#include <locale.h>
#include <string>
#include <utility>
#include <wctype.h>

namespace tilewise {

namespace {

// Lenient: a byte that starts no whole sequence stands for itself.
std::u32string codePoints(const std::string& s)
{
    std::u32string out;
    for (std::size_t i = 0; i < s.size();) {
        const auto lead = static_cast<unsigned char>(s[i]);
        const std::size_t extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
        char32_t cp = lead & (0x3F >> extra);
        bool whole = extra > 0 && i + extra < s.size();
        for (std::size_t k = 1; whole && k <= extra; ++k) {
            const auto b = static_cast<unsigned char>(s[i + k]);
            whole = (b & 0xC0) == 0x80;
            cp = (cp << 6) | (b & 0x3F);
        }
        if (!whole) {
            out += char32_t(lead);
            ++i;
        } else {
            out += cp;
            i += extra + 1;
        }
    }
    return out;
}

// Case mapping of every script needs a UTF-8 locale; the program's own
// locale is left alone.
std::u32string mapped(std::u32string text, bool toUpper)
{
    static const locale_t utf8Locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(0));
    for (char32_t& cp : text) {
        if (cp < 0x80)
            cp = toUpper ? (cp >= 'a' && cp <= 'z' ? cp - 'a' + 'A' : cp)
                         : (cp >= 'A' && cp <= 'Z' ? cp - 'A' + 'a' : cp);
        else if (utf8Locale)
            cp = static_cast<char32_t>(toUpper ? towupper_l(static_cast<wint_t>(cp), utf8Locale)
                                               : towlower_l(static_cast<wint_t>(cp), utf8Locale));
    }
    return text;
}

} // namespace

QuickActionPanel::QuickActionPanel(WindowAccess& access, const DefaultsStore& store, const Storage& settings,
                                   const KeyboardLayout& layout, Hooks hooks)
    : access_(access), store_(store), settings_(settings), layout_(layout), hooks_(std::move(hooks))
{
}

std::vector<QuickActionPanel::Action> QuickActionPanel::actions() const
{
    return quickActions(store_);
}

bool QuickActionPanel::searchEnabled() const
{
    return settings_.quickActionSearchEnabled();
}

bool QuickActionPanel::showsNoActionsText() const
{
    return actions().empty();
}

void QuickActionPanel::changed()
{
    if (hooks_.changed)
        hooks_.changed();
}

void QuickActionPanel::open()
{
    element_ = access_.focusedWindow();
    screen_ = access_.mainScreen();
    if (!visible_) {
        visible_ = true;
        // Every opening shows the list as stored now, so edits made in the
        // settings meanwhile are never hidden behind an old list.
        filtered_ = actions();
        selected_.reset();
        // Clearing a search applies it: the full list, its first selected.
        if (!searchKey_.empty())
            setSearchKey("");
    }
    changed();
}

void QuickActionPanel::close()
{
    if (!visible_)
        return;
    visible_ = false;
    changed();
}

void QuickActionPanel::gear()
{
    close();
    if (hooks_.showSettings)
        hooks_.showSettings(SettingTab::actions);
}

void QuickActionPanel::runAndClose(const Action& action)
{
    if (!visible_)
        return;
    close();
    if (element_ && hooks_.run)
        hooks_.run(action, *element_, screen_);
}

void QuickActionPanel::clickRow(std::size_t index)
{
    if (index < filtered_.size())
        runAndClose(Action(filtered_[index]));
}

QuickActionPanel::KeyOutcome QuickActionPanel::keyDown(int keyCode)
{
    if (!visible_)
        return KeyOutcome::ignored;
    if (keyCode == Key::escape) {
        close();
        return KeyOutcome::consumed;
    }
    const bool search = searchEnabled();
    const std::vector<Action> all = actions();
    if (!search) {
        auto it = std::find_if(all.begin(), all.end(), [&](const Action& a) { return a.key == keyCode; });
        if (it != all.end())
            runAndClose(*it);
    }
    // A menu key that is also an arrow or Return goes on below; the panel is
    // closed by then, so nothing more runs.
    const bool arrow = keyCode == Key::upArrow || keyCode == Key::downArrow;
    if (arrow)
        moveSelection(keyCode == Key::upArrow ? Direction::up : Direction::down);
    if (keyCode == Key::returnKey && selected_) {
        auto it = std::find_if(all.begin(), all.end(), [&](const Action& a) { return a.id == *selected_; });
        if (it != all.end()) {
            runAndClose(*it);
            return KeyOutcome::consumed;
        }
    }
    return !search || arrow ? KeyOutcome::consumed : KeyOutcome::toSearchField;
}

void QuickActionPanel::moveSelection(Direction direction)
{
    const std::size_t n = filtered_.size();
    auto at = selected_ ? std::find_if(filtered_.begin(), filtered_.end(),
                                       [&](const Action& a) { return a.id == *selected_; })
                        : filtered_.end();
    if (n == 0) {
        selected_.reset();
    } else if (at != filtered_.end()) {
        const std::size_t i = std::size_t(at - filtered_.begin());
        selected_ = filtered_[direction == Direction::down ? (i + 1) % n : (i + n - 1) % n].id;
    } else {
        selected_ = direction == Direction::down ? filtered_.front().id : filtered_.back().id;
    }
    changed();
}

void QuickActionPanel::setSearchKey(std::string text)
{
    if (text == searchKey_)
        return;
    searchKey_ = std::move(text);
    applySearch();
    changed();
}

void QuickActionPanel::applySearch()
{
    std::vector<Action> all = actions();
    if (!searchKey_.empty())
        std::erase_if(all, [&](const Action& a) { return !matches(a.name, searchKey_); });
    filtered_ = std::move(all);
    if (!filtered_.empty())
        selected_ = filtered_.front().id;
}

bool QuickActionPanel::matches(const std::string& name, const std::string& searchKey)
{
    const std::u32string n = codePoints(name);
    const std::u32string upper = mapped(n, true);
    const std::u32string lower = mapped(n, false);
    for (char32_t c : codePoints(searchKey)) {
        if (upper.find(c) == std::u32string::npos && lower.find(c) == std::u32string::npos)
            return false;
    }
    return true;
}

std::vector<QuickActionPanel::Row> QuickActionPanel::rows() const
{
    const bool search = searchEnabled();
    std::vector<Row> out;
    out.reserve(filtered_.size());
    for (const Action& a : filtered_) {
        Row row{a.id, a.name, {}, selected_ == a.id};
        if (!search && a.key >= 0) {
            if (std::optional<std::string> text = menuKeyText(int(a.key), 0, layout_))
                row.keyText = capitalized(*text);
        }
        out.push_back(std::move(row));
    }
    return out;
}

std::optional<Screen> QuickActionPanel::placementScreen()
{
    switch (settings_.quickActionShowScreenOn()) {
    case ScreenOption::mouseScreen:
        return access_.screenUnderMouse();
    case ScreenOption::activeScreen:
        return access_.mainScreen();
    case ScreenOption::primaryScreen:
        break;
    }
    std::vector<Screen> all = access_.screens();
    if (all.empty())
        return std::nullopt;
    return all.front();
}

std::optional<Rect> QuickActionPanel::panelFrame(Size panelSize)
{
    std::optional<Screen> on = placementScreen();
    if (!on)
        return std::nullopt;
    return panelFrameOn(on->visibleFrame, panelSize);
}

Rect QuickActionPanel::panelFrameOn(const Rect& v, Size s)
{
    return Rect(v.x() + (v.width() - s.width) * 0.5, v.y() + ((v.height() - s.height) * 2) / 3, s.width,
                s.height);
}

} // namespace tilewise
