// What every page of the settings window works with. Pages only draw and
// forward: the rules live in the models they are given.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace tilewise {

class Alerts;
class DefaultsStore;
class EventLoop;
class KeyboardLayout;
class TilewiseApp;
class WindowAccess;

struct PageContext {
    TilewiseApp& app;
    DefaultsStore& store;
    Alerts& alerts;
    EventLoop& loop;
    const KeyboardLayout& keyboardLayout;
    WindowAccess& windows;
    // The program's version and build, for the pages that show them.
    std::string version;
    std::string build;
    // The stored key code of an X key code; none for a key no code names.
    std::function<std::optional<int>(std::uint32_t nativeKeyCode)> keyCodeOf;
};

// Each page is built when the window opens and destroyed with it.
QWidget* createGeneralPage(PageContext& context, QWidget* parent);
QWidget* createClipsPage(PageContext& context, QWidget* parent);
QWidget* createShortcutsPage(PageContext& context, QWidget* parent);
QWidget* createActionsPage(PageContext& context, QWidget* parent);
QWidget* createExcludePage(PageContext& context, QWidget* parent);
QWidget* createAdvancedPage(PageContext& context, QWidget* parent);
QWidget* createAboutPage(PageContext& context, QWidget* parent);

} // namespace tilewise
