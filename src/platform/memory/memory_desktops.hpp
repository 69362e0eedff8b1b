// Desktops that tests set up by hand: a count, the current one, and the
// moves asked for.
#pragma once

#include "platform/desktops.hpp"

#include <vector>

namespace tilewise {

class MemoryDesktops : public Desktops {
public:
    struct Move {
        WindowElement window;
        bool next = false;
        friend bool operator==(const Move&, const Move&) = default;
    };

    bool canMoveWindows() override { return count > 1; }
    // The window goes along with the switch to the adjacent desktop.
    std::optional<std::string> moveToAdjacentDesktop(const WindowElement& window, bool next) override;

    int count = 4;
    int current = 0;
    // The answer of every move from now on; none for success.
    std::optional<std::string> failure;
    // Every move asked for, in order, the ones at an edge too.
    std::vector<Move> moves;
};

} // namespace tilewise
