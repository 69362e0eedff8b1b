#include "layout/space_manager.hpp"

#include "platform/diagnostics.hpp"

#include <string>
#include <utility>

namespace tilewise {

namespace {

constexpr std::uint64_t kDeviceIndependentMask = 0xffff0000;
// Caps lock, numeric pad and function: states rather than held keys.
constexpr std::uint64_t kNotModifiers = 0xa10000;

} // namespace

SpaceManager::SpaceManager(Desktops& desktops, ModifierMonitor& monitor, CurrentEvent currentEvent)
    : desktops_(desktops), currentEventFlags_(std::move(currentEvent))
{
    monitor.addMonitor([this](const ModifierEvent& e) { releaseCheck(e); });
}

bool SpaceManager::hasModifiers(std::uint64_t flags)
{
    return (flags & kDeviceIndependentMask & ~kNotModifiers) != 0;
}

void SpaceManager::log(std::initializer_list<std::string_view> items)
{
    std::string text = "SpaceManager: ";
    for (std::string_view item : items) {
        text.append(item);
        text.push_back(' ');
    }
    diag::line(text);
}

void SpaceManager::move(const WindowElement& window, SpaceDirection direction)
{
    currentElement = window;
    currentEvent = direction;
    const std::optional<std::uint64_t> flags = currentEventFlags_ ? currentEventFlags_() : std::nullopt;
    if (flags && hasModifiers(*flags)) {
        log({"Delay execution cause current event has modifiers"});
        return;
    }
    log({flags ? "Execute immediately since current event has no modifier"
               : "Execute immediately since there is no event found"});
    moveToSpace(window, direction);
}

void SpaceManager::releaseCheck(const ModifierEvent& event)
{
    if (hasModifiers(event.modifierFlags) || !currentElement || !currentEvent)
        return;
    log({"Execute last event from event monitor"});
    moveToSpace(*currentElement, *currentEvent);
}

void SpaceManager::moveToSpace(const WindowElement& window, SpaceDirection direction)
{
    // A copy: the window may be the waiting one, which is cleared first so
    // that a move runs once.
    const WindowElement target = window;
    currentElement.reset();
    currentEvent.reset();
    if (!desktops_.canMoveWindows())
        return;
    log({"Move to space start"});
    if (std::optional<std::string> error =
            desktops_.moveToAdjacentDesktop(target, direction == SpaceDirection::next))
        log({"Error while moving to the desktop,", *error});
}

} // namespace tilewise
