#include "platform/memory/memory_window_access.hpp"

#include <cmath>

#include <algorithm>

namespace tilewise {

Screen MemoryWindowAccess::addScreen(const Rect& frame, const Rect& visibleFrame, std::string name)
{
    Screen s;
    s.id = nextScreenId_++;
    s.frame = frame;
    s.visibleFrame = visibleFrame;
    s.localizedName = std::move(name);
    screens_.push_back(s);
    if (!mainScreenId_)
        mainScreenId_ = s.id;
    return s;
}

void MemoryWindowAccess::removeScreen(const Screen& screen)
{
    std::erase(screens_, screen);
    if (mainScreenId_ == screen.id)
        mainScreenId_.reset();
}

void MemoryWindowAccess::setMainScreen(std::optional<Screen> screen)
{
    mainScreenId_ = screen ? std::optional<std::uint64_t>(screen->id) : std::nullopt;
}

std::optional<Screen> MemoryWindowAccess::mainScreen()
{
    if (!mainScreenId_)
        return std::nullopt;
    for (const Screen& s : screens_) {
        if (s.id == *mainScreenId_)
            return s;
    }
    return std::nullopt;
}

WindowElement MemoryWindowAccess::addWindow(const WindowSetup& setup)
{
    const std::uint64_t handle = nextHandle_++;
    Window window{setup};
    if (window.setup.id == 0)
        window.setup.id = static_cast<WindowId>(1000 + handle);
    windows_.emplace(handle, window);
    stacking_.insert(stacking_.begin(), handle);
    return WindowElement{handle};
}

WindowElement MemoryWindowAccess::addWindow(const Rect& frame, Pid pid, WindowId id)
{
    WindowSetup setup;
    setup.pid = pid;
    setup.id = id;
    setup.frame = frame;
    return addWindow(setup);
}

void MemoryWindowAccess::removeWindow(const WindowElement& w)
{
    windows_.erase(w.handle);
    std::erase(stacking_, w.handle);
    if (focused_ == w.handle)
        focused_.reset();
}

void MemoryWindowAccess::setFocused(std::optional<WindowElement> w)
{
    if (!w || !find(*w)) {
        focused_.reset();
        return;
    }
    focused_ = w->handle;
    raise(*w);
}

void MemoryWindowAccess::raise(const WindowElement& w)
{
    if (!find(w))
        return;
    std::erase(stacking_, w.handle);
    stacking_.insert(stacking_.begin(), w.handle);
}

void MemoryWindowAccess::setOnScreen(const WindowElement& w, bool onScreen)
{
    if (Window* window = find(w)) {
        window->onScreen = onScreen;
        if (!onScreen && focused_ == w.handle)
            focused_.reset();
    }
}

void MemoryWindowAccess::setMinimumSize(const WindowElement& w, std::optional<Size> minimum)
{
    if (Window* window = find(w))
        window->setup.minimumSize = minimum;
}

void MemoryWindowAccess::setSizeLimits(const WindowElement& w, const SizeLimits& limits, bool enforced)
{
    if (Window* window = find(w)) {
        window->setup.minimumSize = limits.minimum;
        window->setup.maximumSize = limits.maximum;
        window->setup.statesLimits = true;
        window->setup.enforcesLimits = enforced;
    }
}

SizeLimits MemoryWindowAccess::sizeLimits(const WindowElement& w)
{
    Window* window = find(w);
    if (!window || !window->setup.statesLimits)
        return {};
    return SizeLimits{window->setup.minimumSize, window->setup.maximumSize};
}

void MemoryWindowAccess::setSizeIncrement(const WindowElement& w, std::optional<Size> increment)
{
    if (Window* window = find(w))
        window->setup.sizeIncrement = increment;
}

void MemoryWindowAccess::placeByUser(const WindowElement& w, const Rect& frame)
{
    if (Window* window = find(w))
        window->setup.frame = frame;
}

void MemoryWindowAccess::ignoreNextWrites(const WindowElement& w, int count)
{
    if (Window* window = find(w))
        window->writesToIgnore = count;
}

std::optional<WindowElement> MemoryWindowAccess::focusedWindow()
{
    if (!focused_)
        return std::nullopt;
    return WindowElement{*focused_};
}

Point MemoryWindowAccess::position(const WindowElement& w)
{
    Window* window = find(w);
    return window ? window->setup.frame.origin : Point{};
}

Size MemoryWindowAccess::size(const WindowElement& w)
{
    Window* window = find(w);
    return window ? window->setup.frame.size : Size{};
}

std::optional<Pid> MemoryWindowAccess::processId(const WindowElement& w)
{
    Window* window = find(w);
    if (!window)
        return std::nullopt;
    return window->setup.pid;
}

std::vector<WindowInfo> MemoryWindowAccess::windowList()
{
    std::vector<WindowInfo> list;
    for (std::uint64_t handle : stacking_) {
        const Window& window = windows_.at(handle);
        if (!window.onScreen)
            continue;
        list.push_back(WindowInfo{window.setup.id, window.setup.level, window.setup.frame, window.setup.pid,
                                  window.setup.processName});
    }
    return list;
}

void MemoryWindowAccess::writePosition(const WindowElement& w, Point p)
{
    writes_.push_back(Write{w, WriteKind::Position, p, {}});
    Window* window = find(w);
    if (swallowsWrite(window))
        return;
    window->setup.frame.origin = p;
}

void MemoryWindowAccess::writeSize(const WindowElement& w, Size s)
{
    writes_.push_back(Write{w, WriteKind::Size, {}, s});
    Window* window = find(w);
    if (swallowsWrite(window))
        return;
    applySize(*window, s);
}

void MemoryWindowAccess::writeFrame(const WindowElement& w, const Rect& r)
{
    writes_.push_back(Write{w, WriteKind::Frame, r.origin, r.size});
    Window* window = find(w);
    if (swallowsWrite(window))
        return;
    window->setup.frame.origin = r.origin;
    applySize(*window, r.size);
}

void MemoryWindowAccess::applySize(Window& window, Size s)
{
    if (const std::optional<Size>& inc = window.setup.sizeIncrement) {
        if (inc->width > 0)
            s.width = std::floor(s.width / inc->width) * inc->width;
        if (inc->height > 0)
            s.height = std::floor(s.height / inc->height) * inc->height;
    }
    // The application, not the caller, enforces its limits.
    if (window.setup.enforcesLimits) {
        if (const std::optional<Size>& max = window.setup.maximumSize) {
            s.width = std::min(s.width, max->width);
            s.height = std::min(s.height, max->height);
        }
        if (const std::optional<Size>& min = window.setup.minimumSize) {
            s.width = std::max(s.width, min->width);
            s.height = std::max(s.height, min->height);
        }
    }
    window.setup.frame.size = s;
}

MemoryWindowAccess::Window* MemoryWindowAccess::find(const WindowElement& w)
{
    auto it = windows_.find(w.handle);
    return it == windows_.end() ? nullptr : &it->second;
}

bool MemoryWindowAccess::swallowsWrite(Window* window)
{
    if (!window)
        return true;
    if (window->writesToIgnore > 0) {
        --window->writesToIgnore;
        return true;
    }
    return false;
}

} // namespace tilewise
