// Widget tests register their Qt Test class here; ui_test_main runs each.
#pragma once

#include "app/tilewise_app.hpp"
#include "platform/memory/memory_alerts.hpp"
#include "platform/memory/memory_hot_key_registrar.hpp"
#include "platform/memory/memory_keyboard_layout.hpp"
#include "platform/memory/memory_modifier_monitor.hpp"
#include "platform/memory/memory_window_access.hpp"
#include "settings/memory_defaults_store.hpp"
#include "ui/page_context.hpp"
#include "ui/qt_run_loop.hpp"

#include <QObject>

#include <functional>
#include <memory>
#include <vector>

namespace tilewise::ui_test {

using Factory = std::function<std::unique_ptr<QObject>()>;

std::vector<Factory>& registry();

template <typename Test> struct Registration {
    Registration()
    {
        registry().push_back([] { return std::make_unique<Test>(); });
    }
};

// The program on the in-memory platform, for the pages that need the whole
// of it.
struct MemoryProgram {
    MemoryProgram() { layout.loadUs(); }

    MemoryWindowAccess windows;
    MemoryDefaultsStore store;
    QtRunLoop loop;
    MemoryAlerts alerts;
    MemoryHotKeyRegistrar hotKeys;
    MemoryKeyboardLayout layout;
    MemoryModifierMonitor modifiers;
    TilewiseApp app{
        PlatformServices{windows, store, loop, alerts, hotKeys, layout, modifiers, {}, {}, {}, {}, {}, {}}};
    PageContext context{app, store, alerts, loop, layout, windows, "1.2", "", {}};
};

} // namespace tilewise::ui_test

#define TILEWISE_UI_TEST(Test) static const tilewise::ui_test::Registration<Test> registration##Test;
