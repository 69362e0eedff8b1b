#include "app/app_shell.hpp"

#include "platform/alerts.hpp"
#include "settings/defaults_store.hpp"
#include "settings/storage.hpp"

namespace tilewise {

AppShell::AppShell(DefaultsStore& store, Alerts& alerts, RunLoop& loop, Hooks hooks)
    : store_(store), alerts_(alerts), loop_(loop), hooks_(std::move(hooks))
{
}

AppShell::~AppShell()
{
    if (timer_)
        loop_.cancelTimer(*timer_);
}

void AppShell::start()
{
    if (!hooks_.canLayOut || hooks_.canLayOut()) {
        firstLaunch();
        return;
    }
    // The timer is the only way the grant is noticed: there is no second alert.
    timer_ = loop_.addTimer(std::chrono::milliseconds(500), true, [this] {
        if (!hooks_.canLayOut())
            return;
        loop_.cancelTimer(*timer_);
        timer_.reset();
        firstLaunch();
    });
    const int answer =
        alerts_.ask(permissionMessage, permissionInformativeText, {openSettingButton, quitButton});
    if (answer == 0) {
        if (hooks_.openAddress && !hooks_.permissionHelpAddress.empty())
            hooks_.openAddress(hooks_.permissionHelpAddress);
        return;
    }
    if (hooks_.quit)
        hooks_.quit();
}

void AppShell::firstLaunch()
{
    if (store_.boolValue(settings_keys::firstLaunchPreference))
        return;
    windowShown(Window::welcome);
    if (hooks_.showWelcome)
        hooks_.showWelcome();
    store_.set(settings_keys::firstLaunchPreference, true);
}

void AppShell::windowShown(Window window)
{
    open_.insert(window);
    setPolicy(ActivationPolicy::regular);
}

void AppShell::windowClosed(Window window)
{
    open_.erase(window);
    if (open_.empty())
        setPolicy(ActivationPolicy::accessory);
}

void AppShell::setPolicy(ActivationPolicy policy)
{
    if (policy == policy_)
        return;
    policy_ = policy;
    if (hooks_.setActivationPolicy)
        hooks_.setActivationPolicy(policy);
}

} // namespace tilewise
