// tilewisectl: layout operations on the display in $DISPLAY, by its running
// Tilewise when there is one, else one-shot.
#include "app/shortcut_status.hpp"
#include "app/single_instance.hpp"
#include "bus/bus_names.hpp"
#include "bus/tilewise_bus_client.hpp"
#include "cli/ctl.hpp"

#include "layout/operation_type.hpp"
#include "platform/diagnostics.hpp"
#include "platform/memory/memory_keyboard_layout.hpp"
#include "platform/x11/x11_connection.hpp"
#include "platform/x11/x11_keyboard_layout.hpp"
#include "platform/x11/x11_window_access.hpp"
#include "settings/file_defaults_store.hpp"

#include <cstdlib>
#include <iostream>

namespace {

using namespace tilewise;

// The Tilewise of the display, over the session bus.
class BusRemote : public CtlRemote {
public:
    explicit BusRemote(std::string display) : client_(std::move(display)) {}
    CtlRemoteReply perform(OperationType op) override { return convert(client_.perform(caseName(op))); }
    CtlRemoteReply history() override { return convert(client_.history()); }
    CtlRemoteReply runAction(const std::string& id) override { return convert(client_.runAction(id)); }
    CtlRemoteReply showSettings(const std::string& page) override
    {
        return convert(client_.showSettings(page));
    }
    CtlRemoteReply editAction(const std::string& id) override { return convert(client_.editAction(id)); }

private:
    static CtlRemoteReply convert(TilewiseBusClient::Reply r)
    {
        using Status = CtlRemoteReply::Status;
        switch (r.status) {
        case TilewiseBusClient::Status::Done:
            return {Status::Done, "", std::move(r.value)};
        case TilewiseBusClient::Status::NotRunning:
            return {};
        case TilewiseBusClient::Status::Failed:
            break;
        }
        if (r.errorName == bus::noFocusedWindowError)
            return {Status::NoFocusedWindow, std::move(r.message), ""};
        std::string why = "Tilewise on this display: " + r.message;
        if (!r.errorName.empty())
            why.append(" (").append(r.errorName).append(")");
        return {Status::Failed, std::move(why), ""};
    }

    TilewiseBusClient client_;
};

} // namespace

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

    // Connects only when a command calls it.
    std::unique_ptr<BusRemote> remote;
    if (const char* display = std::getenv("DISPLAY"); display && *display)
        remote = std::make_unique<BusRemote>(canonicalDisplay(display).value_or(display));

    std::vector<std::string> args(argv + 1, argv + argc);
    const int status = runCtl(
        args, *store, open, std::cout, std::cerr, [&] { return store->readable(); }, remote.get());
    // For anyone checking what a command costs a remote user: the blocking
    // exchanges with the server, the connection's set-up reply included.
    if (const char* count = std::getenv("TILEWISE_COUNT_ROUND_TRIPS"); count && *count && connection)
        std::cerr << "tilewisectl: " << connection->roundTrips() + 1 << " round trips\n";
    return status;
}
