#include "platform/memory/memory_desktops.hpp"

namespace tilewise {

std::optional<std::string> MemoryDesktops::moveToAdjacentDesktop(const WindowElement& window, bool next)
{
    moves.push_back(Move{window, next});
    if (failure)
        return failure;
    const int target = current + (next ? 1 : -1);
    if (target >= 0 && target < count)
        current = target;
    return std::nullopt;
}

} // namespace tilewise
