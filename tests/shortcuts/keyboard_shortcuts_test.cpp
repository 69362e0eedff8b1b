// The hot key service: stored forms, shared registrations, defaults across restarts, refusals, dispatch.
#include "platform/diagnostics.hpp"
#include "platform/memory/memory_hot_key_registrar.hpp"
#include "platform/memory/memory_keyboard_layout.hpp"
#include "settings/memory_defaults_store.hpp"
#include "shortcuts/key_text.hpp"
#include "shortcuts/keyboard_shortcuts.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <vector>

namespace tilewise {
namespace {

using Shortcut = KeyboardShortcuts::Shortcut;
using Name = KeyboardShortcuts::Name;

constexpr int controlOption = KeyboardShortcuts::control | KeyboardShortcuts::option;
const Shortcut controlOptionF(Key::f, controlOption);
const Shortcut controlOptionC(Key::c, controlOption);
const Shortcut controlOptionP(Key::p, controlOption);

class KeyboardShortcutsTest : public ::testing::Test {
protected:
    KeyboardShortcutsTest() { layout.loadUs(); }

    // A new service on the same store, as after a restart.
    void restart()
    {
        service.reset();
        registrar = std::make_unique<MemoryHotKeyRegistrar>();
        service = std::make_unique<KeyboardShortcuts>(store, *registrar, layout);
    }
    bool press(const Shortcut& s) { return registrar->press(s.carbonKeyCode, s.carbonModifiers); }
    KeyboardShortcuts::Action record(std::string label)
    {
        return [this, label](const Shortcut&) { ran.push_back(label); };
    }

    MemoryDefaultsStore store;
    MemoryKeyboardLayout layout;
    std::unique_ptr<MemoryHotKeyRegistrar> registrar = std::make_unique<MemoryHotKeyRegistrar>();
    std::unique_ptr<KeyboardShortcuts> service =
        std::make_unique<KeyboardShortcuts>(store, *registrar, layout);
    std::vector<std::string> ran;
    std::ostringstream out, err;
    diag::Capture capture{out, err};
};

TEST_F(KeyboardShortcutsTest, StoredFormIsCompactJsonAndReadsOnlyWellFormedObjects)
{
    Name maxmize = service->makeName("maxmize", controlOptionF);
    EXPECT_EQ(store.stringValue("KeyboardShortcuts_maxmize"),
              R"({"carbonKeyCode":3,"carbonModifiers":6144})");

    Name other = service->makeName("other");
    const std::pair<DefaultsValue, std::optional<Shortcut>> cases[] = {
        {std::string(R"({"carbonModifiers":2048,"carbonKeyCode":8})"), Shortcut(Key::c, 2048)},
        {std::string("not json"), std::nullopt}, {std::string("[3,6144]"), std::nullopt},
        {std::string(R"({"carbonKeyCode":"3","carbonModifiers":6144})"), std::nullopt},
        {std::string(R"({"carbonKeyCode":3})"), std::nullopt}, {false, std::nullopt},
        {std::string(R"({"carbonKeyCode":3.5,"carbonModifiers":6144})"), std::nullopt},
        {std::string(R"({"carbonKeyCode":99999999999,"carbonModifiers":6144})"), std::nullopt},
        // A bare key would be taken from every program; a function key may stand alone.
        {std::string(R"({"carbonKeyCode":0,"carbonModifiers":0})"), std::nullopt},
        {std::string(R"({"carbonKeyCode":0,"carbonModifiers":512})"), std::nullopt},
        {std::string(R"({"carbonKeyCode":122,"carbonModifiers":0})"), Shortcut(122, 0)},
        {std::string(R"({"carbonKeyCode":0,"carbonModifiers":256})"), Shortcut(0, 256)},
    };
    for (const auto& [stored, expected] : cases) {
        store.set("KeyboardShortcuts_other", stored);
        EXPECT_EQ(service->shortcut(other), expected);
        EXPECT_EQ(service->shortcut(other), expected);
    }
    EXPECT_EQ(err.str(), "tilewise: Ignoring the shortcut other A: a shortcut needs Control, Alt or Super unless "
                         "its key is a function key\n"
                         "tilewise: Ignoring the shortcut other ⇧A: a shortcut needs Control, Alt or Super "
                         "unless its key is a function key\n");
    // A mask from outside keeps only the four modifier bits.
    store.set("KeyboardShortcuts_other", std::string(R"({"carbonKeyCode":3,"carbonModifiers":6145})"));
    EXPECT_EQ(service->shortcut(other), controlOptionF);
    EXPECT_EQ(service->shortcut(maxmize), controlOptionF);
}

TEST_F(KeyboardShortcutsTest, DefaultIsInstalledOnlyForAFreshName)
{
    store.set("KeyboardShortcuts_center", std::string(R"({"carbonKeyCode":35,"carbonModifiers":6144})"));
    store.set("KeyboardShortcuts_maxmize", false);
    store.set("KeyboardShortcuts_pair", std::string("garbage"));
    Name center = service->makeName("center", controlOptionC);
    Name maxmize = service->makeName("maxmize", controlOptionF);
    Name pair = service->makeName("pair", controlOptionP);

    EXPECT_EQ(service->shortcut(center), controlOptionP);
    EXPECT_EQ(service->shortcut(maxmize), std::nullopt);
    // An undecodable value is not repaired.
    EXPECT_EQ(service->shortcut(pair), std::nullopt);
    EXPECT_EQ(store.stringValue("KeyboardShortcuts_pair"), "garbage");
    EXPECT_EQ(registrar->registrationCount(), 0u);
}

TEST_F(KeyboardShortcutsTest, TwoNamesOnOneCombinationShareOneHotKey)
{
    Name a = service->makeName("a");
    Name b = service->makeName("b");
    service->setShortcut(a, controlOptionF);
    service->setShortcut(b, controlOptionF);
    service->onKeyDown(b, record("b"));
    service->onKeyDown(a, record("a1"));
    service->onKeyDown(a, record("a2"));

    EXPECT_EQ(registrar->registrationCount(), 1u);
    EXPECT_TRUE(press(controlOptionF));
    EXPECT_EQ(ran, (std::vector<std::string>{"b", "a1", "a2"}));

    // Moving one name away must not silence the other.
    ran.clear();
    service->setShortcut(a, controlOptionC);
    EXPECT_TRUE(press(controlOptionF));
    EXPECT_TRUE(press(controlOptionC));
    EXPECT_EQ(ran, (std::vector<std::string>{"b", "a1", "a2"}));

    // Once the last holder leaves, the hot key goes.
    service->removeShortcut(b);
    EXPECT_FALSE(registrar->isRegistered(Key::f, controlOption));
    EXPECT_FALSE(service->isRegistered(controlOptionF));
}

TEST_F(KeyboardShortcutsTest, RemovingADefaultStoresFalseAndSurvivesARestart)
{
    Name maxmize = service->makeName("maxmize", controlOptionF);
    Name restore = service->makeName("restore");
    service->setShortcut(restore, controlOptionC);
    service->onKeyDown(maxmize, record("maxmize"));

    service->removeShortcut(maxmize);
    service->removeShortcut(restore);
    EXPECT_EQ(store.value("KeyboardShortcuts_maxmize"), DefaultsValue(false));
    EXPECT_FALSE(store.contains("KeyboardShortcuts_restore"));
    EXPECT_EQ(registrar->registrationCount(), 0u);
    EXPECT_FALSE(press(controlOptionF));

    restart();
    maxmize = service->makeName("maxmize", controlOptionF);
    service->onKeyDown(maxmize, record("maxmize"));
    EXPECT_EQ(service->shortcut(maxmize), std::nullopt);
    EXPECT_FALSE(press(controlOptionF));
    EXPECT_TRUE(ran.empty());
}

TEST_F(KeyboardShortcutsTest, ResetRestoresDefaultsAndAnnouncesEveryName)
{
    Name maxmize = service->makeName("maxmize", controlOptionF);
    Name restore = service->makeName("restore");
    service->setShortcut(restore, controlOptionP);
    service->removeShortcut(maxmize);

    std::vector<std::string> announced;
    service->addChangeObserver([&](std::string_view notification, const Name& name) {
        EXPECT_EQ(notification, "KeyboardShortcuts_shortcutByNameDidChange");
        announced.push_back(name.rawValue);
    });
    service->reset({maxmize, restore});

    EXPECT_EQ(service->shortcut(maxmize), controlOptionF);
    EXPECT_FALSE(store.contains("KeyboardShortcuts_restore"));
    EXPECT_TRUE(registrar->isRegistered(Key::f, controlOption));
    EXPECT_FALSE(registrar->isRegistered(Key::p, controlOption));
    EXPECT_EQ(announced, (std::vector<std::string>{"maxmize", "restore"}));

    // Removing what is already gone changes nothing and says nothing.
    announced.clear();
    service->removeShortcut(restore);
    EXPECT_TRUE(announced.empty());
}

TEST_F(KeyboardShortcutsTest, DisableAndPauseSilenceANameButKeepItsShortcut)
{
    Name pair43 = service->makeName("pair43");
    service->setShortcut(pair43, controlOptionP);
    service->onKeyDown(pair43, record("pair43"));

    service->disable({pair43});
    EXPECT_FALSE(press(controlOptionP));
    EXPECT_EQ(service->shortcut(pair43), controlOptionP);
    service->enable({pair43});
    service->enable({pair43});
    EXPECT_EQ(registrar->registrationCount(), 1u);
    EXPECT_TRUE(press(controlOptionP));
    // Paused while recording: the hot key stays held but runs nothing.
    service->setPaused(true);
    EXPECT_TRUE(press(controlOptionP));
    service->setPaused(false);
    EXPECT_TRUE(press(controlOptionP));
    EXPECT_EQ(ran, (std::vector<std::string>{"pair43", "pair43"}));
}

TEST_F(KeyboardShortcutsTest, ARefusedCombinationIsReportedOnceListedAndTakenUpWhenFree)
{
    registrar->refuse(Key::f, controlOption);
    registrar->refuse(999, controlOption, HotKeyStatus::noSuchKey);
    Name a = service->makeName("clipLeft");
    Name b = service->makeName("other");
    Name c = service->makeName("odd");
    service->onKeyDown(a, record("a"));
    service->onKeyDown(c, record("c"));
    int published = 0;
    service->setRefusalObserver([&] { ++published; });

    service->setShortcut(a, controlOptionF);
    service->setShortcut(b, controlOptionF);
    service->setShortcut(c, Shortcut(999, controlOption));
    registrar->changeKeyboard();
    service->retryRefused();
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str(), "tilewise: Failed to register the shortcut clipLeft ⌃⌥F: the combination is taken "
                         "by another program\n"
                         "tilewise: Failed to register the shortcut odd ⌃⌥� (key code 999): there is no such "
                         "key on this keyboard\n");
    EXPECT_FALSE(press(controlOptionF));
    ASSERT_EQ(service->refusals().size(), 2u) << "only bound names are listed";
    EXPECT_EQ(service->refusals()[0].name, "clipLeft");
    EXPECT_EQ(service->refusals()[1].status, HotKeyStatus::noSuchKey);
    EXPECT_GT(published, 0);

    // The other program lets go: the next retry takes the combination up,
    // in one exchange with the platform.
    registrar->allow(Key::f, controlOption);
    const int before = registrar->exchanges();
    service->retryRefused();
    EXPECT_EQ(registrar->exchanges(), before + 1);
    EXPECT_TRUE(press(controlOptionF));
    EXPECT_EQ(ran, std::vector<std::string>{"a"});
    EXPECT_EQ(service->refusals().size(), 1u);
}

TEST_F(KeyboardShortcutsTest, FollowsTheStoreWhoeverWritesIt)
{
    Name clipLeft = service->makeName("clipLeft", controlOptionF);
    service->makeName("quiet");
    Name off = service->makeName("off", controlOptionP);
    service->onKeyDown(clipLeft, record("clipLeft"));
    service->onKeyDown(off, record("off"));
    service->disable({off});
    std::vector<std::string> announced;
    service->addChangeObserver([&](std::string_view, const Name& name) { announced.push_back(name.rawValue); });

    // Another process moves the name: the old key is let go, the new one
    // answers (press and release), and the change is announced.
    service->onKeyUp(clipLeft, record("clipLeft up"));
    store.set("KeyboardShortcuts_clipLeft", std::string(R"({"carbonKeyCode":4,"carbonModifiers":6144})"));
    EXPECT_FALSE(registrar->isRegistered(Key::f, controlOption));
    EXPECT_TRUE(press(Shortcut(4, controlOption)));
    EXPECT_EQ(ran, (std::vector<std::string>{"clipLeft", "clipLeft up"}));
    // Unset, then deleted: the default comes back.
    store.set("KeyboardShortcuts_clipLeft", false);
    EXPECT_EQ(registrar->registrationCount(), 0u);
    store.remove("KeyboardShortcuts_clipLeft");
    EXPECT_EQ(service->shortcut(clipLeft), controlOptionF);
    EXPECT_TRUE(registrar->isRegistered(Key::f, controlOption));
    // A disabled name and a name nobody bound get no hot key; an unknown key
    // and a value written again unchanged are no change.
    store.set("KeyboardShortcuts_off", std::string(R"({"carbonKeyCode":8,"carbonModifiers":6144})"));
    store.set("KeyboardShortcuts_quiet", std::string(R"({"carbonKeyCode":35,"carbonModifiers":6144})"));
    store.set("KeyboardShortcuts_stranger", std::string(R"({"carbonKeyCode":1,"carbonModifiers":6144})"));
    store.set("KeyboardShortcuts_quiet", std::string(R"({"carbonKeyCode":35,"carbonModifiers":6144})"));
    EXPECT_EQ(registrar->registrationCount(), 1u);
    EXPECT_EQ(announced, (std::vector<std::string>{"clipLeft", "clipLeft", "clipLeft", "off", "quiet"}));
}

TEST_F(KeyboardShortcutsTest, RegistrationsInABatchAndAfterAKeyboardChangeCostOneExchange)
{
    {
        KeyboardShortcuts::RegistrationBatch batch(*service);
        for (int key : {Key::f, Key::c, Key::p})
            service->onKeyDown(service->makeName(std::to_string(key), Shortcut(key, controlOption)), record("x"));
        EXPECT_EQ(registrar->exchanges(), 0);
    }
    EXPECT_EQ(registrar->exchanges(), 1);
    EXPECT_EQ(registrar->registrationCount(), 3u);
    registrar->changeKeyboard();
    EXPECT_EQ(registrar->exchanges(), 2);
    EXPECT_EQ(registrar->registrationCount(), 3u);
}

TEST_F(KeyboardShortcutsTest, AnOpenMenuReleasesHotKeysAndTakesRawKeys)
{
    Name a = service->makeName("a", controlOptionF);
    service->makeName("b", controlOptionC);
    service->onKeyDown(a, record("a"));

    service->setMenuOpen(true);
    EXPECT_EQ(registrar->registrationCount(), 0u);
    // Caps Lock and other bits of a raw event are dropped.
    EXPECT_TRUE(service->handleRawKeyEvent(Key::f, controlOption | 1024, true));
    EXPECT_FALSE(service->handleRawKeyEvent(Key::p, controlOption, true));
    EXPECT_EQ(ran, std::vector<std::string>{"a"});

    // A combination taken meanwhile by another program is refused on return.
    registrar->refuse(Key::c, controlOption);
    service->setMenuOpen(false);
    EXPECT_FALSE(service->handleRawKeyEvent(Key::f, controlOption, true));
    EXPECT_TRUE(registrar->isRegistered(Key::f, controlOption));
    EXPECT_EQ(service->hotKeyCount(), 1u);
    EXPECT_TRUE(press(controlOptionF));
    EXPECT_EQ(ran, (std::vector<std::string>{"a", "a"}));
}

TEST_F(KeyboardShortcutsTest, DisplayTextAndMenuKeyEquivalentFollowTheLayout)
{
    EXPECT_EQ(service->displayText(controlOptionF), "⌃⌥F");
    EXPECT_EQ(service->displayText(Shortcut(Key::f, KeyboardShortcuts::modifierMask)), "⌃⌥⇧⌘F");
    EXPECT_EQ(service->displayText(Shortcut(Key::leftArrow, controlOption)), "⌃⌥←");
    EXPECT_EQ(service->displayText(Shortcut(999, controlOption)), "⌃⌥�");
    EXPECT_EQ(
        KeyboardShortcuts::modifierSymbols(KeyboardShortcuts::functionFlag | KeyboardShortcuts::shiftFlag),
        "⇧🌐︎");

    Name maxmize = service->makeName("maxmize", controlOptionF);
    Name space = service->makeName("space", Shortcut(Key::space, KeyboardShortcuts::command));
    Name none = service->makeName("none");
    EXPECT_EQ(service->menuKeyEquivalent(none), std::nullopt);
    auto m = service->menuKeyEquivalent(maxmize);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->character, "f");
    EXPECT_EQ(m->modifierFlags, KeyboardShortcuts::controlFlag | KeyboardShortcuts::optionFlag);
    EXPECT_EQ(service->menuKeyEquivalent(space)->character, "S");

    layout.loadDvorak();
    EXPECT_EQ(service->displayText(controlOptionF), "⌃⌥U");
    EXPECT_EQ(service->menuKeyEquivalent(maxmize)->character, "u");
    layout.clear(0);
    EXPECT_EQ(service->menuKeyEquivalent(maxmize)->character, "f");
}

} // namespace
} // namespace tilewise
