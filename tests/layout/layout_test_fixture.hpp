// One 1440 x 900 screen, 25-point panel on top: visible frame in window space is (0, 25)-(1440, 900).
#pragma once

#include "layout/layout_listener.hpp"
#include "layout/layout_manager.hpp"
#include "platform/memory/manual_run_loop.hpp"
#include "platform/memory/memory_window_access.hpp"
#include "settings/memory_defaults_store.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace tilewise {

class LayoutTest : public ::testing::Test {
protected:
    using Write = MemoryWindowAccess::Write;
    using WriteKind = MemoryWindowAccess::WriteKind;

    MemoryWindowAccess access;
    MemoryDefaultsStore store;
    ManualRunLoop loop;
    LayoutListener listener{access, store};
    LayoutManager manager{access, store, loop, listener};
    Screen screen = access.addScreen({0, 0, 1440, 900}, {0, 0, 1440, 875}, "Built-in Display");

    WindowElement focusedWindow(const Rect& frame, WindowId id = 0)
    {
        WindowElement w = access.addWindow(frame, 1, id);
        access.setFocused(w);
        return w;
    }

    // Performs the operation on the focused window and returns its frame.
    Rect frameAfter(OperationType op)
    {
        manager.perform(op);
        return access.frame(*access.focusedWindow());
    }

    Write position(WindowElement w, double x, double y) { return {w, WriteKind::Position, {x, y}, {}}; }
    Write size(WindowElement w, double wide, double high) { return {w, WriteKind::Size, {}, {wide, high}}; }
    Write frame(WindowElement w, const Rect& r) { return {w, WriteKind::Frame, r.origin, r.size}; }
};

inline void PrintTo(const MemoryWindowAccess::Write& w, std::ostream* os)
{
    if (w.kind != MemoryWindowAccess::WriteKind::Size)
        *os << "position" << w.position;
    if (w.kind != MemoryWindowAccess::WriteKind::Position)
        *os << "size" << w.size;
}

} // namespace tilewise
