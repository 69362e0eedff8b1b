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
}

KeyboardShortcuts::~KeyboardShortcuts()
{
    registrar_.setHandler(nullptr);
}

KeyboardShortcuts::Name KeyboardShortcuts::makeName(std::string rawValue,
                                                    std::optional<Shortcut> defaultShortcut)
{
    Name name{std::move(rawValue), defaultShortcut};
    knownNames_.insert(name.rawValue);
    // Only a fresh user gets the default: a stored false is a user's removal.
    if (defaultShortcut && !store_.contains(name.storageKey()))
        setShortcut(name, *defaultShortcut);
    return name;
}

std::optional<KeyboardShortcuts::Shortcut> KeyboardShortcuts::shortcut(const Name& name) const
{
    std::optional<std::string> text = store_.stringValue(name.storageKey());
    if (!text)
        return std::nullopt;
    return Shortcut::fromJson(*text);
}

void KeyboardShortcuts::setShortcut(const Name& name, const Shortcut& newShortcut)
{
    knownNames_.insert(name.rawValue);
    std::string text = newShortcut.toJson();
    if (std::optional<Shortcut> old = shortcut(name))
        releaseShortcut(*old, name);
    if (!isRegistered(newShortcut))
        registerShortcut(newShortcut, name);
    store_.set(name.storageKey(), text);
    notifyChange(name);
}

void KeyboardShortcuts::removeShortcut(const Name& name)
{
    std::optional<Shortcut> old = shortcut(name);
    if (!old)
        return;
    if (name.defaultShortcut)
        store_.set(name.storageKey(), false);
    else
        store_.remove(name.storageKey());
    releaseShortcut(*old, name);
    notifyChange(name);
}

void KeyboardShortcuts::reset(const std::vector<Name>& names)
{
    for (const Name& name : names) {
        if (name.defaultShortcut) {
            setShortcut(name, *name.defaultShortcut);
            continue;
        }
        std::optional<Shortcut> old = shortcut(name);
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
    knownNames_.insert(name.rawValue);
    auto it = std::find_if(list.begin(), list.end(), [&](const auto& entry) { return entry.first == name; });
    if (it == list.end())
        list.push_back({name, {std::move(action)}});
    else
        it->second.push_back(std::move(action));
    if (std::optional<Shortcut> s = shortcut(name); s && !isRegistered(*s))
        registerShortcut(*s, name);
}

void KeyboardShortcuts::enable(const std::vector<Name>& names)
{
    for (const Name& name : names)
        if (std::optional<Shortcut> s = shortcut(name); s && !isRegistered(*s))
            registerShortcut(*s, name);
}

void KeyboardShortcuts::disable(const std::vector<Name>& names)
{
    for (const Name& name : names)
        if (std::optional<Shortcut> s = shortcut(name))
            unregisterShortcut(*s);
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

void KeyboardShortcuts::registerShortcut(const Shortcut& s, const Name& forName)
{
    // A refused combination stays in the set so that it is not tried again
    // until it is unregistered and set anew.
    registeredShortcuts_.insert(s);
    int id = ++hotKeyIdCounter_;
    if (!enabled_ || menuOpen_) {
        // Registered with the platform when the menu closes.
        hotKeys_[id] = HotKey{s, id, false};
        return;
    }
    if (!registrar_.registerHotKey(id, s.carbonKeyCode, s.carbonModifiers)) {
        // Without this line a user cannot learn why the shortcut never fires.
        diag::problem("Failed to register the shortcut " + forName.rawValue + " " + displayText(s) +
                      ": the combination is taken by another program");
        return;
    }
    hotKeys_[id] = HotKey{s, id, true};
}

void KeyboardShortcuts::unregisterShortcut(const Shortcut& s)
{
    for (auto it = hotKeys_.begin(); it != hotKeys_.end(); ++it) {
        if (it->second.shortcut != s)
            continue;
        if (it->second.registered)
            registrar_.unregisterHotKey(it->first);
        hotKeys_.erase(it);
        break;
    }
    registeredShortcuts_.erase(s);
}

bool KeyboardShortcuts::heldByOtherName(const Shortcut& s, const Name& name) const
{
    for (const std::string& raw : knownNames_) {
        if (raw == name.rawValue)
            continue;
        if (shortcut(Name{raw, std::nullopt}) == s)
            return true;
    }
    return false;
}

void KeyboardShortcuts::releaseShortcut(const Shortcut& s, const Name& name)
{
    // One hot key serves every name on a combination: dropping it for one
    // name would silence the others.
    if (!heldByOtherName(s, name))
        unregisterShortcut(s);
}

void KeyboardShortcuts::notifyChange(const Name& name)
{
    std::vector<ChangeObserver> observers = observers_;
    for (const ChangeObserver& o : observers)
        o(shortcutByNameDidChange, name);
}

bool KeyboardShortcuts::handleHotKeyEvent(int id, bool pressed)
{
    auto it = hotKeys_.find(id);
    if (it == hotKeys_.end())
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
        for (auto it = hotKeys_.begin(); it != hotKeys_.end();) {
            HotKey& hk = it->second;
            if (!hk.registered && !registrar_.registerHotKey(hk.carbonHotKeyId, hk.shortcut.carbonKeyCode,
                                                             hk.shortcut.carbonModifiers)) {
                it = hotKeys_.erase(it);
                continue;
            }
            hk.registered = true;
            ++it;
        }
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
        if (hk.shortcut == s) {
            dispatch(s, pressed);
            return true;
        }
    }
    return false;
}

} // namespace tilewise
