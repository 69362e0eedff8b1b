// tilewise: the resident program. It answers its global shortcuts on the X
// display in $DISPLAY until it is told to stop (SIGINT, SIGTERM, or Quit in
// its tray menu), with a tray icon and settings window unless --headless.
#include "app/shortcut_status.hpp"
#include "app/single_instance.hpp"
#include "app/tilewise_app.hpp"
#include "bus/tilewise_bus.hpp"
#include "bus/tilewise_bus_client.hpp"
#include "ui/desktop_shell.hpp"

#include "platform/alerts.hpp"
#include "platform/diagnostics.hpp"
#include "platform/memory/memory_keyboard_layout.hpp"
#include "platform/memory/memory_modifier_monitor.hpp"
#include "platform/poll_run_loop.hpp"
#include "platform/x11/x11_active_window_monitor.hpp"
#include "platform/x11/x11_connection.hpp"
#include "platform/x11/x11_desktops.hpp"
#include "platform/x11/x11_hot_keys.hpp"
#include "platform/x11/x11_keyboard_layout.hpp"
#include "platform/x11/x11_modifier_monitor.hpp"
#include "platform/x11/x11_presence.hpp"
#include "platform/x11/x11_window_access.hpp"
#include "platform/x11/x11_workspace.hpp"
#include "quickactions/action_editor.hpp"
#include "settings/file_defaults_store.hpp"
#include "settings/launch_at_login.hpp"
#include "shortcuts/keyboard_shortcuts.hpp"

#include <signal.h>

#include <cstdlib>
#include <cstring>
#include <iostream>

namespace {

using namespace tilewise;

// Without a user interface yet, a notice is a line on standard output and
// every question takes its default answer.
class ConsoleAlerts : public Alerts {
public:
    void showNotice(const std::string& message) override { diag::line(message); }
    int ask(const std::string& message, const std::string& informativeText,
            const std::vector<std::string>&) override
    {
        diag::line(message + (informativeText.empty() ? "" : " " + informativeText));
        return 0;
    }
};

constexpr const char* usage = R"(Usage: tilewise [--headless] [--help] [--version]

Keyboard-driven window layouts for the X display in $DISPLAY: runs until
interrupted or quit from its tray menu, answering its global shortcuts
(Control-Alt-arrows for the clip cycles, Control-Alt-F to maximize,
Control-Alt-Super-arrows to move, Control-Alt-P to pair, ...). Its tray
icon's menu lays out the focused window and opens the settings window;
started again while it runs, it opens that window and exits.
--headless runs without tray and windows (for sessions without a tray, and
scripts): hot keys, tilewisectl and the bus only. It follows the focus to keep the window
history that pairs and Restore use, runs quick actions from their slot
shortcuts, and answers 'tilewisectl perform', 'history' and 'actions run'
over the session bus. One per user and display.
Settings: $XDG_CONFIG_HOME/tilewise/defaults.json (see 'tilewisectl defaults').
)";

} // namespace

int main(int argc, char** argv)
{
    diag::setProgramName("tilewise");
    bool headless = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--headless") {
            headless = true;
            continue;
        }
        if (a == "--help" || a == "-h") {
            std::cout << usage;
            return 0;
        }
        if (a == "--version") {
            std::cout << "tilewise " << TILEWISE_VERSION << "\n";
            return 0;
        }
        diag::problem("unknown argument '" + a + "' (see 'tilewise --help')");
        return 2;
    }

    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) {
        diag::problem("no display: DISPLAY is not set");
        return 1;
    }
    std::string error;
    std::unique_ptr<SingleInstance> instance =
        SingleInstance::acquire(display, std::getenv("XDG_RUNTIME_DIR"), error);
    if (!instance) {
        // Started again, as from the desktop's menu: the running one shows
        // its settings.
        if (error.empty() && !headless) {
            TilewiseBusClient running(canonicalDisplay(display).value_or(display));
            TilewiseBusClient::Reply reply = running.showSettings("");
            if (reply.status == TilewiseBusClient::Status::Done)
                return 0;
        }
        diag::problem(error.empty() ? "Tilewise is already running on display " + std::string(display)
                                    : error);
        return 1;
    }
    std::unique_ptr<X11Connection> x = X11Connection::open(display, &error);
    if (!x) {
        diag::problem(error.empty() ? "cannot open display " + std::string(display) : error);
        return 1;
    }
    if (!x->windowManagerRunning())
        diag::problem("no EWMH window manager is running on display " + std::string(display) +
                      "; windows will be left alone until one is");

    // The settings are read before anything that may show them.
    std::unique_ptr<FileDefaultsStore> store = FileDefaultsStore::fromEnvironment();
    std::unique_ptr<DesktopShell> shell;
    std::unique_ptr<PollRunLoop> plainLoop;
    if (!headless) {
        shell = DesktopShell::create(argc, argv, error);
        if (!shell) {
            diag::problem(error + "; 'tilewise --headless' runs without them");
            return 1;
        }
    } else {
        plainLoop = std::make_unique<PollRunLoop>();
    }
    EventLoop& loop = shell ? shell->loop() : static_cast<EventLoop&>(*plainLoop);
    loop.quitOnSignals({SIGINT, SIGTERM});
    X11WindowAccess windows(*x);
    // What the engine reads is kept current from events; only the monitors
    // are read again, once per turn of the loop.
    windows.followEvents();
    // The keymap and modifier state come from XKB; a server without it
    // still gets hot keys, with key text as on a US keyboard and no Fn tap.
    std::unique_ptr<X11KeyboardLayout> xkbLayout = X11KeyboardLayout::create(*x, &error);
    if (!xkbLayout)
        diag::problem(error + "; key names are shown as on a US keyboard");
    X11HotKeys hotKeys(*x, xkbLayout.get());
    MemoryKeyboardLayout usLayout;
    usLayout.loadUs();
    const KeyboardLayout& keyboardLayout =
        xkbLayout ? static_cast<const KeyboardLayout&>(*xkbLayout) : usLayout;
    std::unique_ptr<X11ModifierMonitor> xkbModifiers;
    MemoryModifierMonitor noModifiers;
    if (xkbLayout)
        xkbModifiers = std::make_unique<X11ModifierMonitor>(*x, *xkbLayout);
    ModifierMonitor& modifiers = xkbModifiers ? static_cast<ModifierMonitor&>(*xkbModifiers) : noModifiers;
    // Every hot key needs Control, Alt or Super, pressed before its key:
    // the monitors are asked for then, and the press finds them read.
    if (xkbModifiers) {
        xkbModifiers->addMonitor([&windows](const ModifierEvent& e) {
            if (e.modifierFlags & (KeyboardShortcuts::controlFlag | KeyboardShortcuts::optionFlag |
                                   KeyboardShortcuts::commandFlag))
                windows.prefetchMonitors();
        });
    }
    ConsoleAlerts consoleAlerts;
    Alerts& alerts = shell ? shell->alerts() : static_cast<Alerts&>(consoleAlerts);
    // Other writers (tilewisectl, the user's editor) are seen through the
    // file system's notifications; reads between them touch no file.
    if (int fd = store->changeFd(); fd >= 0)
        loop.watchFd(fd, [&store] { store->handleChanges(); });
    X11ActiveWindowMonitor activeWindow(*x);
    X11Workspace workspace(*x, windows.view(), loop);
    X11Desktops desktops(*x, windows.view());
    // The modifiers of the hot key press being dispatched: a desktop move
    // waits for their release.
    std::optional<std::uint64_t> pressFlags;
    std::unique_ptr<LaunchAtLogin> loginItem = LaunchAtLogin::fromEnvironment();

    PlatformServices services{
        windows,
        *store,
        loop,
        alerts,
        hotKeys,
        keyboardLayout,
        modifiers,
        [&loginItem](bool on) { loginItem->setEnabled(on); },
        [&windows]() -> std::optional<FrontmostApp> {
            std::optional<std::string> id = windows.frontmostBundleIdentifier();
            if (!id)
                return std::nullopt;
            return FrontmostApp{id, id};
        },
        [&activeWindow](std::function<void()> changed) { activeWindow.addHandler(std::move(changed)); },
        &workspace,
        &desktops,
        [&pressFlags] { return pressFlags; },
    };
    TilewiseApp app(services);
    // tilewisectl shows which shortcuts this program could not take.
    ShortcutStatusFile shortcutStatus(instance->siblingPath(".shortcuts"), app.shortcuts());

    // For anyone checking what a press costs a remote user: the blocking
    // exchanges with the server that each hot key or request caused.
    const char* countRoundTrips = std::getenv("TILEWISE_COUNT_ROUND_TRIPS");
    const bool counting = countRoundTrips && *countRoundTrips;
    // tilewisectl and scripts reach this program over the session bus;
    // without one the hot keys still work.
    BusHandlers bus;
    bus.perform = [&app, &x, &windows, counting](OperationType op) {
        windows.newOperation();
        const std::uint64_t before = x->roundTrips();
        const TilewiseApp::PerformResult result = app.performRequested(op);
        if (counting)
            std::cerr << "tilewise: bus perform: " << x->roundTrips() - before << " round trips\n";
        return result == TilewiseApp::PerformResult::Done ? BusPerformResult::Done
                                                          : BusPerformResult::NoFocusedWindow;
    };
    bus.history = [&app] { return app.historyJson(); };
    bus.runAction = [&app, &windows](const std::string& id, std::function<void()> finished) {
        windows.newOperation();
        switch (app.runActionRequested(id, std::move(finished))) {
        case TilewiseApp::RunResult::Started:
            return BusRunResult::Started;
        case TilewiseApp::RunResult::NoFocusedWindow:
            return BusRunResult::NoFocusedWindow;
        case TilewiseApp::RunResult::UnknownAction:
            break;
        }
        return BusRunResult::UnknownAction;
    };
    bus.listActions = [&app] { return app.quickActionsJson(); };
    if (shell) {
        bus.showSettings = [&shell](const std::string& page) { return shell->showSettings(page); };
        bus.editAction = [&shell, &app, &store, &loop](const std::string& id) {
            const std::vector<QuickAction::Action> actions = quickActions(*store);
            if (std::none_of(actions.begin(), actions.end(), [&](const auto& a) { return a.id == id; }))
                return false;
            shell->showSettings("actions");
            // After the page has been shown, so that the action's row is
            // there to open its editor.
            loop.post([&app, id] {
                app.notifications().post(notification_names::editAction, {{notification_keys::actionId, id}});
            });
            return true;
        };
    }
    // Scripts edit the quick actions as the actions page does.
    // Their refusals are the bus's answer: a modal alert would hold the reply.
    ActionEditor busActionEditor(*store, app.slotManager(), consoleAlerts, loop, app.notifications());
    bindActionEditing(bus, busActionEditor, *store);
    // Each step of a quick action runs in a turn of its own.
    if (counting)
        app.quickActionPerformer().setStepHook(
            [&x](const QuickAction::Operation& op, const std::function<void()>& step) {
                const std::uint64_t before = x->roundTrips();
                step();
                std::cerr << "tilewise: quick action step " << rawValue(op.type) << ": "
                          << x->roundTrips() - before << " round trips\n";
            });
    std::unique_ptr<TilewiseBusService> busService =
        TilewiseBusService::open(canonicalDisplay(display).value_or(display), bus, loop, error);
    if (!busService)
        diag::problem(error + "; tilewisectl cannot reach this Tilewise");

    // Events may wait in the connection's queue without waking poll (they
    // were read while a request waited for its reply), so every turn drains.
    bool connectionLost = false;
    auto drain = [&] {
        windows.newOperation();
        // Reading the keymap and grabbing again wait for replies, during
        // which more events may come in without waking poll: go on until
        // none is left.
        do {
            while (std::optional<XEvent> event = x->nextEvent()) {
                if (xkbLayout)
                    xkbLayout->handleEvent(**event);
                if (xkbModifiers)
                    xkbModifiers->handleEvent(**event);
                const std::uint64_t before = x->roundTrips();
                const bool press = ((**event).response_type & 0x7f) == XCB_KEY_PRESS;
                if (press)
                    pressFlags = X11ModifierMonitor::modifierFlags(
                        reinterpret_cast<const xcb_key_press_event_t&>(**event).state, false);
                const bool handled = hotKeys.handleEvent(**event);
                pressFlags.reset();
                if (handled && press && counting)
                    std::cerr << "tilewise: hot key: " << x->roundTrips() - before << " round trips\n";
                activeWindow.handleEvent(**event);
            }
            // A keyboard change comes as several notifications: the keymap is
            // read once they are all in, then the grabs made again for it.
            if (xkbLayout)
                xkbLayout->refresh();
            hotKeys.applyPendingKeyboardChange();
        } while (x->ok() && x->hasPendingEvents());
        // Both the descriptor and the turn hook come here: say it once.
        if (!x->ok() && !connectionLost) {
            connectionLost = true;
            diag::problem("the connection to display " + std::string(display) + " was lost");
            loop.quit();
        }
    };
    loop.watchFd(x->fd(), drain);
    loop.addTurnHook(drain);
    if (shell) {
        const bool wayland = std::getenv("WAYLAND_DISPLAY") ||
                             (std::getenv("XDG_SESSION_TYPE") && std::string(std::getenv("XDG_SESSION_TYPE")) == "wayland");
        shell->start(ShellContext{
            app,
            *store,
            windows,
            keyboardLayout,
            [&xkbLayout](std::uint32_t nativeKeyCode) -> std::optional<int> {
                if (!xkbLayout || nativeKeyCode > 255)
                    return std::nullopt;
                return xkbLayout->virtualKeyCode(static_cast<std::uint8_t>(nativeKeyCode));
            },
            // Windows of other programs are out of reach without an EWMH
            // window manager, or through XWayland.
            [&windows, wayland] { return !wayland && windows.isProcessTrusted(); },
            [&windows] { windows.newOperation(); },
            TILEWISE_VERSION,
            TILEWISE_BUILD,
        });
    }
    announceRunning(*x);
    loop.run();
    if (shell)
        shell->stop();
    if (!x->ok())
        return 1;
    withdrawRunning(*x);
    return 0;
}
