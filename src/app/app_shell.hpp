// The desktop program's steps once the engine exists: making sure windows
// can be laid out (polled every half second while they cannot), the welcome
// window on a first launch, and whether the program shows in the taskbar:
// only while one of its own windows is open.
#pragma once

#include "platform/run_loop.hpp"

#include <functional>
#include <optional>
#include <set>
#include <string>

namespace tilewise {

class Alerts;
class DefaultsStore;

// Regular: listed in the taskbar like any application; accessory: only the
// tray icon.
enum class ActivationPolicy { accessory, regular };

class AppShell {
public:
    static constexpr const char* permissionMessage = "Accessibility permission required";
    static constexpr const char* permissionInformativeText =
        "To control window size and position, Tilewise requires perimssion to use Accessibility APIs";
    static constexpr const char* openSettingButton = "Open Assessibility Setting";
    static constexpr const char* quitButton = "Quit";

    enum class Window { settings, welcome };

    struct Hooks {
        // Whether windows of other programs can be laid out now.
        std::function<bool()> canLayOut;
        // Where the first button of the permission alert leads.
        std::string permissionHelpAddress;
        std::function<void(const std::string& address)> openAddress;
        std::function<void()> showWelcome;
        std::function<void()> quit;
        std::function<void(ActivationPolicy)> setActivationPolicy;
    };

    AppShell(DefaultsStore& store, Alerts& alerts, RunLoop& loop, Hooks hooks);
    ~AppShell();
    AppShell(const AppShell&) = delete;
    AppShell& operator=(const AppShell&) = delete;

    // The permission check, then the first-launch step once it passes.
    void start();
    bool waitingForPermission() const { return timer_.has_value(); }

    // A window of ours opened by the user (the settings, the welcome): the
    // program becomes regular. When the last of them closes it goes back
    // to the tray.
    void windowShown(Window window);
    void windowClosed(Window window);
    ActivationPolicy policy() const { return policy_; }

private:
    void firstLaunch();
    void setPolicy(ActivationPolicy policy);

    DefaultsStore& store_;
    Alerts& alerts_;
    RunLoop& loop_;
    Hooks hooks_;
    std::optional<RunLoop::TimerId> timer_;
    std::set<Window> open_;
    ActivationPolicy policy_ = ActivationPolicy::accessory;
};

} // namespace tilewise
