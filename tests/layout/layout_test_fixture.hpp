// The desktop most layout tests run on: one 1440 x 900 screen whose visible
// frame leaves a 25-point panel at the top, so in window space the visible
// frame is top 25, bottom 900, left 0, right 1440.
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
    LayoutListener listener{access};
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

    static Write position(WindowElement w, double x, double y)
    {
        return Write{w, WriteKind::Position, {x, y}, {}};
    }
    static Write size(WindowElement w, double width, double height)
    {
        return Write{w, WriteKind::Size, {}, {width, height}};
    }
    static Write frame(WindowElement w, const Rect& r)
    {
        return Write{w, WriteKind::Frame, r.origin, r.size};
    }
};

inline void PrintTo(const MemoryWindowAccess::Write& w, std::ostream* os)
{
    if (w.kind != MemoryWindowAccess::WriteKind::Size)
        *os << "position" << w.position;
    if (w.kind != MemoryWindowAccess::WriteKind::Position)
        *os << "size" << w.size;
}

} // namespace tilewise
