// tilewisectl: one-shot layout operations on the display in $DISPLAY.
#include "app/shortcut_status.hpp"
#include "app/single_instance.hpp"
#include "cli/ctl.hpp"

#include "platform/diagnostics.hpp"
#include "platform/memory/memory_keyboard_layout.hpp"
#include "platform/x11/x11_connection.hpp"
#include "platform/x11/x11_keyboard_layout.hpp"
#include "platform/x11/x11_window_access.hpp"
#include "settings/file_defaults_store.hpp"

#include <cstdlib>
#include <iostream>

int main(int argc, char** argv)
{
    using namespace tilewise;
    // The store reports its problems through the diagnostics, under this name.
    diag::setProgramName("tilewisectl");

    std::unique_ptr<X11Connection> connection;
    std::unique_ptr<X11WindowAccess> access;
    // The display's keymap; a US layout where the server has no XKB.
    std::unique_ptr<X11KeyboardLayout> xkbLayout;
    MemoryKeyboardLayout usLayout;
    usLayout.loadUs();
    // The user's settings, as the running program reads them.
    std::unique_ptr<FileDefaultsStore> store = FileDefaultsStore::fromEnvironment();

    auto open = [&](CtlPlatform& platform, std::string& error) {
        const char* display = std::getenv("DISPLAY");
        if (!display || !*display) {
            error = "no display: DISPLAY is not set";
            return int(ctlNoDisplay);
        }
        std::string why;
        connection = X11Connection::open(display, &why);
        if (!connection) {
            error = why.empty() ? "cannot open display '" + std::string(display) + "'" : why;
            return int(ctlNoDisplay);
        }
        access = std::make_unique<X11WindowAccess>(*connection);
        // One command is one operation: what is read once is kept current
        // by the events of its own writes.
        access->followEvents();
        // Read with everything else the command needs, in the same batches.
        if (!access->isProcessTrusted()) {
            error = "no EWMH window manager is running on display '" + std::string(display) + "'";
            return int(ctlNoDisplay);
        }
        platform.access = access.get();
        if (!platform.wantsKeys)
            return int(ctlOk);
        std::string noXkb;
        xkbLayout = X11KeyboardLayout::create(*connection, &noXkb);
        platform.keyboardLayout = xkbLayout ? static_cast<const KeyboardLayout*>(xkbLayout.get()) : &usLayout;
        // What the running Tilewise on this display could not grab.
        if (std::optional<std::string> path =
                SingleInstance::siblingPathFor(display, std::getenv("XDG_RUNTIME_DIR"), ".shortcuts"))
            platform.shortcutRefusals = readShortcutStatus(*path);
        return int(ctlOk);
    };

    std::vector<std::string> args(argv + 1, argv + argc);
    const int status = runCtl(args, *store, open, std::cout, std::cerr, [&] { return store->readable(); });
    // For anyone checking what a command costs a remote user: the blocking
    // exchanges with the server, the connection's set-up reply included.
    if (const char* count = std::getenv("TILEWISE_COUNT_ROUND_TRIPS"); count && *count && connection)
        std::cerr << "tilewisectl: " << connection->roundTrips() + 1 << " round trips\n";
    return status;
}
