// The window and screen one quick action run works on. Screen operations
// replace `screen`, so that later steps of the same run lay out on the new
// screen; the run owns the context and the engine only borrows it.
#pragma once

#include "platform/window_access.hpp"

#include <optional>

namespace tilewise {

struct ActionContext {
    WindowElement element;
    std::optional<Screen> screen;
};

} // namespace tilewise
