#include "shortcuts/keyboard_shortcuts.hpp"

#include "platform/diagnostics.hpp"
#include "settings/defaults_store.hpp"
#include "shortcuts/key_text.hpp"

#include <nlohmann/json.hpp>

#include <limits>

namespace tilewise {

namespace {

constexpr std::pair<int, std::uint64_t> modifierPairs[] = {
    {KeyboardShortcuts::control, KeyboardShortcuts::controlFlag},
    {KeyboardShortcuts::option, KeyboardShortcuts::optionFlag},
    {KeyboardShortcuts::shift, KeyboardShortcuts::shiftFlag},
    {KeyboardShortcuts::command, KeyboardShortcuts::commandFlag},
};

std::optional<int> intMember(const nlohmann::json& object, const char* member)
{
    auto it = object.find(member);
    if (it == object.end() || !it->is_number_integer())
        return std::nullopt;
    if (it->is_number_unsigned()) {
        auto v = it->get<std::uint64_t>();
        if (v > static_cast<std::uint64_t>(std::numeric_limits<int>::max()))
            return std::nullopt;
        return static_cast<int>(v);
    }
    auto v = it->get<std::int64_t>();
    if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(v);
}

// The first UTF-8 character of a non-empty text.
std::string firstCharacter(const std::string& text)
{
    std::size_t length = 1;
    while (length < text.size() && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
        ++length;
    return text.substr(0, length);
}

} // namespace

KeyboardShortcuts::Shortcut KeyboardShortcuts::Shortcut::fromFlags(int keyCode, std::uint64_t modifierFlags)
{
    int mask = 0;
    for (auto [carbon, flag] : modifierPairs)
        if (modifierFlags & flag)
            mask |= carbon;
    return Shortcut(keyCode, mask);
}

KeyboardShortcuts::Shortcut KeyboardShortcuts::Shortcut::normalized(int keyCode, int carbonModifiers)
{
    return fromFlags(keyCode, Shortcut(keyCode, carbonModifiers).modifierFlags());
}

std::uint64_t KeyboardShortcuts::Shortcut::modifierFlags() const
{
    std::uint64_t flags = 0;
    for (auto [carbon, flag] : modifierPairs)
        if (carbonModifiers & carbon)
            flags |= flag;
    return flags;
}

std::string KeyboardShortcuts::Shortcut::toJson() const
{
    nlohmann::json j = {{"carbonKeyCode", carbonKeyCode}, {"carbonModifiers", carbonModifiers}};
    return j.dump();
}

std::optional<KeyboardShortcuts::Shortcut> KeyboardShortcuts::Shortcut::fromJson(const std::string& text)
{
    nlohmann::json j = nlohmann::json::parse(text, nullptr, false);
    if (j.is_discarded() || !j.is_object())
        return std::nullopt;
    std::optional<int> key = intMember(j, "carbonKeyCode");
    std::optional<int> modifiers = intMember(j, "carbonModifiers");
    if (!key || !modifiers)
        return std::nullopt;
    return Shortcut(*key, *modifiers);
}

KeyboardShortcuts::KeyboardShortcuts(DefaultsStore& store, HotKeyRegistrar& registrar,
                                     const KeyboardLayout& layout)
    : store_(store), registrar_(registrar), layout_(layout)
{
    registrar_.setHandler([this](int id, bool pressed) { handleHotKeyEvent(id, pressed); });
    registrar_.setKeyboardChangeHandler([this] { followKeyboardChange(); });
    storeObserver_ = store_.addChangeObserver([this](const std::vector<std::string>& keys) { followStore(keys); });
}

KeyboardShortcuts::~KeyboardShortcuts()
{
    registrar_.setHandler(nullptr);
    registrar_.setKeyboardChangeHandler(nullptr);
    store_.removeChangeObserver(storeObserver_);
}

void KeyboardShortcuts::remember(const Name& name)
{
    if (knownNames_.try_emplace(name.rawValue, name).second)
        seen_[name.rawValue] = shortcut(name);
}

std::optional<KeyboardShortcuts::Shortcut> KeyboardShortcuts::held(const Name& name) const
{
    auto it = seen_.find(name.rawValue);
    return it != seen_.end() ? it->second : shortcut(name);
}

KeyboardShortcuts::Name KeyboardShortcuts::makeName(std::string rawValue,
                                                    std::optional<Shortcut> defaultShortcut)
{
    Name name{std::move(rawValue), defaultShortcut};
    remember(name);
    // Only a fresh user gets the default: a stored false is a user's removal.
    if (defaultShortcut && !store_.contains(name.storageKey()))
        setShortcut(name, *defaultShortcut);
    return name;
}

bool KeyboardShortcuts::isUsable(const Shortcut& s)
{
    return (s.carbonModifiers & (control | option | command)) != 0 || isFunctionKey(s.carbonKeyCode);
}

std::optional<KeyboardShortcuts::Shortcut> KeyboardShortcuts::shortcut(const Name& name) const
{
    std::optional<std::string> text = store_.stringValue(name.storageKey());
    if (!text)
        return std::nullopt;
    std::optional<Shortcut> s = Shortcut::fromJson(*text);
    if (s && !isUsable(*s)) {
        diag::problemOnce("bare shortcut " + name.rawValue + " " + *text,
                          "Ignoring the shortcut " + name.rawValue + " " + displayText(*s) +
                              ": a shortcut needs Control, Alt or Super unless its key is a function key");
        return std::nullopt;
    }
    return s;
}

void KeyboardShortcuts::setShortcut(const Name& name, const Shortcut& newShortcut)
{
    remember(name);
    std::string text = newShortcut.toJson();
    std::optional<Shortcut> old = held(name);
    // Known before the store is written: the store's change notification
    // then finds nothing new.
    seen_[name.rawValue] = newShortcut;
    if (old && *old != newShortcut)
        releaseShortcut(*old, name);
    if (!isRegistered(newShortcut) && !disabled_.count(name.rawValue))
        registerShortcut(newShortcut);
    store_.set(name.storageKey(), text);
    notifyChange(name);
}

void KeyboardShortcuts::removeShortcut(const Name& name)
{
    remember(name);
    std::optional<Shortcut> old = held(name);
    if (!old)
        return;
    seen_[name.rawValue] = std::nullopt;
    if (name.defaultShortcut)
        store_.set(name.storageKey(), false);
    else
        store_.remove(name.storageKey());
    releaseShortcut(*old, name);
    notifyChange(name);
}

void KeyboardShortcuts::reset(const std::vector<Name>& names)
{
    RegistrationBatch batch(*this);
    for (const Name& name : names) {
        if (name.defaultShortcut) {
            setShortcut(name, *name.defaultShortcut);
            continue;
        }
        remember(name);
        std::optional<Shortcut> old = held(name);
        seen_[name.rawValue] = std::nullopt;
        store_.remove(name.storageKey());
        if (old)
            releaseShortcut(*old, name);
        notifyChange(name);
    }
}

void KeyboardShortcuts::onKeyDown(const Name& name, Action action)
{
    bind(keyDownHandlers_, name, std::move(action));
}

void KeyboardShortcuts::onKeyUp(const Name& name, Action action)
{
    bind(keyUpHandlers_, name, std::move(action));
}

void KeyboardShortcuts::bind(HandlerList& list, const Name& name, Action action)
{
    remember(name);
    auto it = std::find_if(list.begin(), list.end(), [&](const auto& entry) { return entry.first == name; });
    if (it == list.end())
        list.push_back({name, {std::move(action)}});
    else
        it->second.push_back(std::move(action));
    if (std::optional<Shortcut> s = held(name); s && !isRegistered(*s) && !disabled_.count(name.rawValue))
        registerShortcut(*s);
}

void KeyboardShortcuts::enable(const std::vector<Name>& names)
{
    RegistrationBatch batch(*this);
    for (const Name& name : names) {
        remember(name);
        disabled_.erase(name.rawValue);
        if (std::optional<Shortcut> s = held(name); s && !isRegistered(*s))
            registerShortcut(*s);
    }
    refusalsMayHaveChanged();
}

void KeyboardShortcuts::disable(const std::vector<Name>& names)
{
    for (const Name& name : names) {
        remember(name);
        disabled_.insert(name.rawValue);
        if (std::optional<Shortcut> s = held(name))
            unregisterShortcut(*s);
    }
}

std::string KeyboardShortcuts::modifierSymbols(std::uint64_t flags)
{
    std::string out;
    if (flags & controlFlag)
        out += "⌃";
    if (flags & optionFlag)
        out += "⌥";
    if (flags & shiftFlag)
        out += "⇧";
    if (flags & commandFlag)
        out += "⌘";
    if (flags & functionFlag)
        out += "🌐︎";
    return out;
}

std::string KeyboardShortcuts::displayText(const Shortcut& s) const
{
    std::optional<std::string> key = keyDisplayText(s.carbonKeyCode, layout_);
    return modifierSymbols(s.modifierFlags()) + (key ? capitalized(*key) : "�");
}

std::optional<KeyboardShortcuts::MenuKeyEquivalent>
KeyboardShortcuts::menuKeyEquivalent(const Name& name) const
{
    std::optional<Shortcut> s = shortcut(name);
    if (!s)
        return std::nullopt;
    std::optional<std::string> text = menuKeyText(s->carbonKeyCode, 0, layout_);
    constexpr std::uint64_t shown =
        commandFlag | controlFlag | optionFlag | shiftFlag | capsLockFlag | numericPadFlag;
    return MenuKeyEquivalent{text ? firstCharacter(*text) : " ", s->modifierFlags() & shown};
}

void KeyboardShortcuts::registerShortcut(const Shortcut& s)
{
    // A refused combination stays in the set: it is tried again when the
    // keyboard, the store or the active window changes, not at every set.
    registeredShortcuts_.insert(s);
    int id = ++hotKeyIdCounter_;
    hotKeys_[id] = HotKey{s, id, false, HotKeyStatus::held};
    // While a menu tracks, the platform gets it when the menu closes.
    if (!enabled_ || menuOpen_)
        return;
    pendingIds_.push_back(id);
    if (batchDepth_ == 0)
        flushRegistrations();
}

void KeyboardShortcuts::flushRegistrations()
{
    std::vector<int> ids;
    for (int id : std::exchange(pendingIds_, {}))
        if (auto it = hotKeys_.find(id); it != hotKeys_.end() && !it->second.registered)
            ids.push_back(id);
    registerWithPlatform(ids);
}

void KeyboardShortcuts::registerWithPlatform(const std::vector<int>& ids)
{
    if (ids.empty())
        return;
    std::vector<HotKeyRequest> requests;
    for (int id : ids) {
        const HotKey& hk = hotKeys_.at(id);
        requests.push_back({id, hk.shortcut.carbonKeyCode, hk.shortcut.carbonModifiers});
    }
    std::vector<HotKeyStatus> statuses = registrar_.registerHotKeys(requests);
    for (std::size_t i = 0; i < ids.size() && i < statuses.size(); ++i) {
        HotKey& hk = hotKeys_.at(ids[i]);
        hk.status = statuses[i];
        hk.registered = statuses[i] == HotKeyStatus::held;
        if (!hk.registered)
            reportRefusal(hk);
    }
    refusalsMayHaveChanged();
}

void KeyboardShortcuts::reportRefusal(const HotKey& hk) const
{
    // Without this line a user cannot learn why the shortcut never fires.
    const std::string keys = displayText(hk.shortcut);
    // The names that answer to it; a combination set for a name nobody
    // bound yet is still worth a line.
    std::vector<std::string> names;
    for (const auto& [raw, seen] : seen_)
        if (seen == hk.shortcut && isActive(raw))
            names.push_back(raw);
    if (names.empty())
        for (const auto& [raw, seen] : seen_)
            if (seen == hk.shortcut && !disabled_.count(raw))
                names.push_back(raw);
    for (const std::string& raw : names) {
        std::string line = "Failed to register the shortcut " + raw + " " + keys;
        switch (hk.status) {
        case HotKeyStatus::held:
            return;
        case HotKeyStatus::taken:
            line += ": the combination is taken by another program";
            break;
        case HotKeyStatus::rejected:
            line += ": the server rejects it";
            break;
        case HotKeyStatus::noSuchKey:
            line += " (key code " + std::to_string(hk.shortcut.carbonKeyCode) +
                    "): there is no such key on this keyboard";
            break;
        }
        diag::problemOnce("refused " + raw + " " + hk.shortcut.toJson() + " " + std::string(describe(hk.status)),
                          line);
    }
}

void KeyboardShortcuts::unregisterShortcut(const Shortcut& s)
{
    for (auto it = hotKeys_.begin(); it != hotKeys_.end(); ++it) {
        if (it->second.shortcut != s)
            continue;
        if (it->second.registered)
            registrar_.unregisterHotKey(it->first);
        const bool wasRefused = it->second.status != HotKeyStatus::held;
        hotKeys_.erase(it);
        if (wasRefused)
            refusalsMayHaveChanged();
        break;
    }
    registeredShortcuts_.erase(s);
}

bool KeyboardShortcuts::isActive(const std::string& raw) const
{
    if (disabled_.count(raw))
        return false;
    auto bound = [&](const HandlerList& list) {
        return std::any_of(list.begin(), list.end(), [&](const auto& entry) { return entry.first.rawValue == raw; });
    };
    return bound(keyDownHandlers_) || bound(keyUpHandlers_);
}

bool KeyboardShortcuts::heldByOtherName(const Shortcut& s, const std::string& raw) const
{
    for (const auto& [other, seen] : seen_)
        if (other != raw && seen == s && !disabled_.count(other))
            return true;
    return false;
}

void KeyboardShortcuts::releaseShortcut(const Shortcut& s, const Name& name)
{
    // One hot key serves every name on a combination: dropping it for one
    // name would silence the others.
    if (!heldByOtherName(s, name.rawValue))
        unregisterShortcut(s);
}

void KeyboardShortcuts::notifyChange(const Name& name)
{
    std::vector<ChangeObserver> observers = observers_;
    for (const ChangeObserver& o : observers)
        o(shortcutByNameDidChange, name);
}

void KeyboardShortcuts::followStore(const std::vector<std::string>& keys)
{
    RegistrationBatch batch(*this);
    for (const std::string& key : keys) {
        if (!key.starts_with(keyPrefix))
            continue;
        auto known = knownNames_.find(key.substr(keyPrefix.size()));
        if (known == knownNames_.end())
            continue;
        const Name name = known->second;
        // A removed key is a fresh start for the name: its default comes
        // back, as it would at the next start.
        if (name.defaultShortcut && !store_.contains(key)) {
            setShortcut(name, *name.defaultShortcut);
            continue;
        }
        std::optional<Shortcut> now = shortcut(name);
        std::optional<Shortcut> before = held(name);
        if (now == before)
            continue;
        seen_[name.rawValue] = now;
        if (before)
            releaseShortcut(*before, name);
        if (now && isActive(name.rawValue) && !isRegistered(*now))
            registerShortcut(*now);
        notifyChange(name);
    }
    // Another program may have let a refused combination go meanwhile.
    retryRefused();
}

void KeyboardShortcuts::followKeyboardChange()
{
    // The platform has let everything go; all is made again under the old
    // ids, the refused ones included.
    std::vector<int> ids;
    for (auto& [id, hk] : hotKeys_) {
        hk.registered = false;
        ids.push_back(id);
    }
    if (!enabled_ || menuOpen_)
        return;
    pendingIds_.insert(pendingIds_.end(), ids.begin(), ids.end());
    if (batchDepth_ == 0)
        flushRegistrations();
}

void KeyboardShortcuts::retryRefused()
{
    if (!enabled_ || menuOpen_)
        return;
    for (const auto& [id, hk] : hotKeys_)
        if (!hk.registered && hk.status != HotKeyStatus::held)
            pendingIds_.push_back(id);
    if (batchDepth_ == 0)
        flushRegistrations();
}

bool KeyboardShortcuts::hasRefused() const
{
    return std::any_of(hotKeys_.begin(), hotKeys_.end(),
                       [](const auto& entry) { return entry.second.status != HotKeyStatus::held; });
}

std::size_t KeyboardShortcuts::hotKeyCount() const
{
    return std::size_t(std::count_if(hotKeys_.begin(), hotKeys_.end(),
                                     [](const auto& entry) { return entry.second.status == HotKeyStatus::held; }));
}

std::vector<KeyboardShortcuts::Refusal> KeyboardShortcuts::refusals() const
{
    std::vector<Refusal> out;
    for (const auto& [raw, seen] : seen_) {
        if (!seen || !isActive(raw))
            continue;
        for (const auto& [id, hk] : hotKeys_)
            if (hk.shortcut == *seen && hk.status != HotKeyStatus::held)
                out.push_back({raw, *seen, hk.status});
    }
    return out;
}

void KeyboardShortcuts::refusalsMayHaveChanged()
{
    if (refusalObserver_)
        refusalObserver_();
}

bool KeyboardShortcuts::handleHotKeyEvent(int id, bool pressed)
{
    auto it = hotKeys_.find(id);
    if (it == hotKeys_.end() || !it->second.registered)
        return false;
    Shortcut s = it->second.shortcut;
    dispatch(s, pressed);
    return true;
}

void KeyboardShortcuts::dispatch(const Shortcut& s, bool pressed)
{
    if (paused_)
        return;
    // Collected first: an action may bind further actions.
    std::vector<Action> toRun;
    for (const auto& [name, actions] : pressed ? keyDownHandlers_ : keyUpHandlers_)
        if (shortcut(name) == s)
            toRun.insert(toRun.end(), actions.begin(), actions.end());
    for (const Action& action : toRun)
        action(s);
}

void KeyboardShortcuts::setMenuOpen(bool open)
{
    if (open == menuOpen_)
        return;
    menuOpen_ = open;
    updateEventTypes();
}

void KeyboardShortcuts::updateEventTypes()
{
    if (enabled_ && !menuOpen_) {
        std::vector<int> ids;
        for (const auto& [id, hk] : hotKeys_)
            if (!hk.registered)
                ids.push_back(id);
        registerWithPlatform(ids);
        return;
    }
    // The menu would otherwise never see the keys the hot keys hold.
    for (auto& [id, hk] : hotKeys_) {
        if (hk.registered)
            registrar_.unregisterHotKey(id);
        hk.registered = false;
    }
}

bool KeyboardShortcuts::handleRawKeyEvent(int keyCode, int carbonModifiers, bool pressed)
{
    if (!menuOpen_)
        return false;
    Shortcut s = Shortcut::normalized(keyCode, carbonModifiers);
    for (const auto& [id, hk] : hotKeys_) {
        if (hk.shortcut == s && hk.status == HotKeyStatus::held) {
            dispatch(s, pressed);
            return true;
        }
    }
    return false;
}

} // namespace tilewise
