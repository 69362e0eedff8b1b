#include "layout/layout_listener.hpp"

#include "layout/layout_geometry.hpp"
#include "layout/pair_geometry.hpp"
#include "platform/diagnostics.hpp"
#include "settings/clip.hpp"
#include "settings/defaults_store.hpp"
#include "settings/storage.hpp"

#include <algorithm>
#include <cmath>

namespace tilewise {

namespace {

std::string describe(const std::optional<Rect>& r)
{
    return r ? tilewise::describe(*r) : std::string();
}

bool sameSize(const Rect& a, const Rect& b)
{
    return std::fabs(a.width() - b.width()) < layoutTolerance &&
           std::fabs(a.height() - b.height()) < layoutTolerance;
}

} // namespace

// An observer being registered, attempt by attempt on its timer.
struct LayoutListener::Registration {
    Pid pid = 0;
    std::string identifier;
    std::unique_ptr<WindowObserver> observer;
    int attempts = 0;
};

LayoutListener::LayoutListener(WindowAccess& access, const DefaultsStore& store)
    : access_(access), store_(store)
{
}

LayoutListener::~LayoutListener()
{
    if (loop_)
        for (const auto& [timer, unused] : registrations_)
            loop_->cancelTimer(timer);
}

void LayoutListener::follow(Workspace& workspace, RunLoop& loop, std::function<bool()> panelIsKey)
{
    workspace_ = &workspace;
    loop_ = &loop;
    panelIsKey_ = std::move(panelIsKey);
    workspace.onApplicationActivated([this](const auto& app) { onAppActivated(app); });
    workspace.onApplicationTerminated([this](const auto& app) { onAppTerminated(app); });
    workspace.onWindowDestroyed([this](WindowId id) { onWindowDestroyed(id); });
}

std::vector<std::string> LayoutListener::ignoredApps() const
{
    return excludes(store_);
}

void LayoutListener::onAppActivated(const std::optional<RunningApplication>& app)
{
    if (!app || !app->bundleIdentifier)
        return;
    const std::string& id = *app->bundleIdentifier;
    const std::vector<std::string> ignored = ignoredApps();
    if (std::find(ignored.begin(), ignored.end(), id) != ignored.end()) {
        diag::line("ignored: " + id);
        return;
    }
    diag::line("activate: " + id);
    ensureObserver(*app);
    focusChanged();
}

void LayoutListener::ensureObserver(const RunningApplication& app)
{
    if (observers.contains(app.processIdentifier) || !workspace_ || !loop_)
        return;
    auto registration = std::make_unique<Registration>();
    registration->pid = app.processIdentifier;
    registration->identifier = app.bundleIdentifier.value_or("");
    registration->observer = workspace_->createObserver(
        app.processIdentifier,
        [this](const WindowElement& w, WindowNotification n) { observerCallback(w, n); });
    // The next activation tries again.
    if (!registration->observer)
        return;
    // The id is known only once the timer exists; the first firing comes a
    // full interval later, after this function has stored the registration.
    auto timer = std::make_shared<RunLoop::TimerId>(0);
    *timer = loop_->addTimer(registrationInterval, true, [this, timer] { attemptRegistration(*timer); });
    registrations_.emplace(*timer, std::move(registration));
}

void LayoutListener::attemptRegistration(RunLoop::TimerId timer)
{
    auto it = registrations_.find(timer);
    if (it == registrations_.end())
        return;
    Registration& r = *it->second;
    ++r.attempts;
    bool added = true;
    for (WindowNotification n : {WindowNotification::FocusedWindowChanged, WindowNotification::WindowResized,
                                 WindowNotification::WindowMoved}) {
        if (!r.observer->addNotification(n)) {
            added = false;
            break;
        }
    }
    if (added) {
        diag::line("Successfully create observer for application at " + std::to_string(r.attempts) +
                   " times: " + r.identifier);
        loop_->cancelTimer(timer);
        r.observer->start();
        // A later registration of the same process replaces an earlier one.
        observers[r.pid] = std::move(r.observer);
        registrations_.erase(it);
        return;
    }
    if (r.attempts >= registrationAttempts) {
        loop_->cancelTimer(timer);
        diag::line("Failed to create observer for application: " + r.identifier);
        registrations_.erase(it);
    }
}

void LayoutListener::onAppTerminated(const std::optional<RunningApplication>& app)
{
    if (!app)
        return;
    if (auto it = observers.find(app->processIdentifier); it != observers.end()) {
        it->second->stop();
        observers.erase(it);
        diag::line("terminated: " + app->bundleIdentifier.value_or(""));
    }
    std::vector<WindowId> ids;
    for (const auto& [id, pid] : windowIdToPid)
        if (pid == app->processIdentifier)
            ids.push_back(id);
    for (WindowId id : ids)
        breakPair(id);
}

void LayoutListener::onWindowDestroyed(WindowId id)
{
    windowIdToElement.erase(id);
    windowIdToPid.erase(id);
    layoutRecords.erase(id);
    lockWrites_.erase(id);
    removePairs(id);
}

void LayoutListener::observerCallback(const WindowElement& element, WindowNotification notification)
{
    if (panelIsKey_ && panelIsKey_())
        return;
    const bool resized = notification == WindowNotification::WindowResized;
    if (resized && store_.boolValue(settings_keys::pairWindowLock))
        pairLock(element);
    if (resized || notification == WindowNotification::WindowMoved)
        updateCurrentLayout();
    if (notification == WindowNotification::FocusedWindowChanged)
        focusChanged();
}

void LayoutListener::focusChanged()
{
    minSizeForCurrentWindow.reset();
    minSizeWindow_.reset();
    const std::optional<WindowElement> focused = access_.focusedWindow();
    if (!focused)
        return;
    last2layout = last1Layout;
    last1Layout = currentLayout;
    lastScreen = currentScreen;
    currentScreen = access_.mainScreen();
    updateCurrentLayout();
    diag::line("update last layout: " + describe(last1Layout));
    lastWindowId = currentWindowId;
    currentWindowId = access_.windowId(*focused);
    if (currentWindowId) {
        windowIdToElement[*currentWindowId] = *focused;
        if (std::optional<Pid> pid = access_.processId(*focused))
            windowIdToPid[*currentWindowId] = *pid;
    }
}

void LayoutListener::updateCurrentLayout()
{
    const std::optional<WindowElement> focused = access_.focusedWindow();
    if (!focused)
        return;
    const Rect frame = access_.frame(*focused);
    if (currentLayout == frame)
        return;
    currentLayout = frame;
    diag::line("update current layout: " + describe(frame));
}

void LayoutListener::pairLock(const WindowElement& resized)
{
    std::optional<WindowId> id = access_.windowId(resized);
    if (!id)
        id = currentWindowId;
    if (!id)
        return;
    // The resize the lock itself made comes back as an event: answering it
    // would resize the first window again, and so on back and forth.
    if (auto echo = lockWrites_.find(*id); echo != lockWrites_.end()) {
        const Rect wrote = echo->second;
        lockWrites_.erase(echo);
        if (sameSize(access_.frame(resized), wrote))
            return;
    }
    const auto partner = pairs.find(*id);
    if (partner == pairs.end())
        return;
    const auto element = windowIdToElement.find(*id);
    const auto partnerElement = windowIdToElement.find(partner->second);
    if (element == windowIdToElement.end() || partnerElement == windowIdToElement.end())
        return;
    const std::optional<Screen> screen = access_.mainScreen();
    if (!screen)
        return;
    const Rect frame = access_.frame(element->second);
    const std::optional<Rect> target =
        partnerFrame(*screen, access_.primaryScreenMaxY(), frame, pairSettings(store_));
    if (!target) {
        if (currentWindowId) {
            diag::line("break pair");
            removePairs(*currentWindowId);
        }
        return;
    }
    if (!target->isFinite())
        return;
    if (!sameSize(access_.frame(partnerElement->second), *target))
        lockWrites_[partner->second] = *target;
    access_.setFrame(partnerElement->second, *target);
}

void LayoutListener::breakPair(WindowId id)
{
    windowIdToPid.erase(id);
    windowIdToElement.erase(id);
    diag::line("break pair");
    removePairs(id);
}

void LayoutListener::removePairs(WindowId id)
{
    std::erase_if(pairs, [id](const auto& entry) { return entry.first == id || entry.second == id; });
}

void LayoutListener::beginWorkOn(const WindowElement& w, const std::optional<Size>& statedMinimum)
{
    if (minSizeWindow_ != w) {
        minSizeWindow_ = w;
        minSizeForCurrentWindow.reset();
    }
    if (!statedMinimum)
        return;
    if (!minSizeForCurrentWindow) {
        minSizeForCurrentWindow = statedMinimum;
        return;
    }
    minSizeForCurrentWindow->width = std::max(minSizeForCurrentWindow->width, statedMinimum->width);
    minSizeForCurrentWindow->height = std::max(minSizeForCurrentWindow->height, statedMinimum->height);
}

void LayoutListener::recordBefore(const WindowElement& w, std::optional<WindowId> id)
{
    if (!id)
        return;
    const Rect current = access_.frame(w);
    auto it = layoutRecords.find(*id);
    if (it == layoutRecords.end()) {
        layoutRecords.emplace(*id, LayoutRecord{std::nullopt, std::nullopt, current});
        return;
    }
    LayoutRecord& record = it->second;
    // A window still where the engine left it continues its series, so the
    // frame from before the series stays the one to restore. Anywhere else,
    // the user placed it by hand and that place becomes the one to restore.
    if (!record.frame || *record.frame == current)
        return;
    record.originalFrame = current;
}

void LayoutListener::recordAfter(const WindowElement& w, std::optional<WindowId> id)
{
    if (!id)
        return;
    auto it = layoutRecords.find(*id);
    const Rect current = access_.frame(w);
    if (it != layoutRecords.end())
        it->second.frame = current;
}

} // namespace tilewise
