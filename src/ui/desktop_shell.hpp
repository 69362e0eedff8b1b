// The desktop program's face on Qt: the tray icon and its menu, the
// settings window, the welcome window and the alerts. This header is free
// of Qt so that the program's start-up stays plain C++.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tilewise {

class Alerts;
class DefaultsStore;
class EventLoop;
class KeyboardLayout;
class TilewiseApp;
class WindowAccess;

struct ShellContext {
    TilewiseApp& app;
    DefaultsStore& store;
    WindowAccess& windows;
    const KeyboardLayout& keyboardLayout;
    // The stored key code of an X key code, for hot keys matched while the
    // tray menu holds the keyboard; none for a key no stored code names.
    std::function<std::optional<int>(std::uint32_t nativeKeyCode)> keyCodeOf;
    // Whether windows of other programs can be laid out: an EWMH window
    // manager on an X11 session (not Wayland reached through XWayland).
    std::function<bool()> canLayOut;
    // Called before each operation the windows ask for: what is read of the
    // server may be stale since the last one.
    std::function<void()> newOperation;
    std::string version;
    std::string build;
};

class DesktopShell {
public:
    // Starts Qt on the display; none, with `error` one line, when it cannot.
    static std::unique_ptr<DesktopShell> create(int& argc, char** argv, std::string& error);
    virtual ~DesktopShell() = default;

    virtual EventLoop& loop() = 0;
    virtual Alerts& alerts() = 0;
    // The tray icon, then the permission check and, on a first launch, the
    // welcome window.
    virtual void start(ShellContext context) = 0;
    // Opens the settings window at a page (general, clip, shortcuts,
    // actions, exclude, experimental, about; "" keeps its page). False for
    // a page there is none of.
    virtual bool showSettings(const std::string& page) = 0;
    // Closes the windows and the tray before the engine they show goes.
    virtual void stop() = 0;
};

} // namespace tilewise
