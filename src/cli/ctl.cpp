#include "cli/ctl.hpp"

#include "layout/layout_listener.hpp"
#include "layout/layout_manager.hpp"
#include "layout/operation_type.hpp"
#include "platform/memory/manual_run_loop.hpp"
#include "platform/window_access.hpp"

#include <cstdio>
#include <ostream>

#ifndef TILEWISE_VERSION
#define TILEWISE_VERSION "0.0.0"
#endif

namespace tilewise {

namespace {

constexpr const char* usageText = R"(Usage: tilewisectl COMMAND [ARGS]

Moves and resizes the focused window of the X display in $DISPLAY.

Commands:
  perform OPERATION   lay out the focused window (e.g. LeftHalf, Left, Maximize,
                      MoveRightwardLittle, NextScreen)
  operations          list every operation name
  screens             list the screens: name, frame and visible frame
  windows             list the windows front to back: id, level, frame, pid, name

Options:
  --help              show this text
  --version           show the version

Exit status: 0 done, 1 no display or window manager, 2 bad usage,
3 operation needs a running Tilewise.
)";

// These read the window history that only a running Tilewise keeps.
bool needsRunningTilewise(OperationType op)
{
    switch (op) {
    case OperationType::Pair:
    case OperationType::PairFor3:
    case OperationType::PairLast:
    case OperationType::Restore:
    case OperationType::NextSpace:
    case OperationType::PreviousSpace:
        return true;
    default:
        return false;
    }
}

std::string hexId(WindowId id)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08x", id);
    return buf;
}

int perform(OperationType op, CtlPlatform& p, std::ostream& err)
{
    ManualRunLoop loop;
    LayoutListener listener(*p.access);
    LayoutManager manager(*p.access, *p.store, loop, listener);
    if (!p.access->focusedWindow())
        err << "tilewisectl: no focused window\n";
    manager.perform(op);
    // Deferred re-writes run before the command exits.
    loop.runPending();
    return ctlOk;
}

} // namespace

int runCtl(const std::vector<std::string>& args, const CtlPlatformOpener& open, std::ostream& out,
           std::ostream& err)
{
    if (args.empty()) {
        err << "tilewisectl: missing command (see 'tilewisectl --help')\n";
        return ctlUsage;
    }
    const std::string& command = args[0];
    if (command == "--help" || command == "-h" || command == "help") {
        out << usageText;
        return ctlOk;
    }
    if (command == "--version") {
        out << "tilewisectl " << TILEWISE_VERSION << "\n";
        return ctlOk;
    }

    auto expectArgs = [&](std::size_t n) {
        if (args.size() == n + 1)
            return true;
        if (args.size() > n + 1)
            err << "tilewisectl: unexpected argument '" << args[n + 1] << "'\n";
        else
            err << "tilewisectl: " << command << " needs an operation name (see 'tilewisectl operations')\n";
        return false;
    };

    if (command == "operations") {
        if (!expectArgs(0))
            return ctlUsage;
        for (OperationType op : allOperationTypes())
            out << caseName(op) << "\n";
        return ctlOk;
    }

    std::optional<OperationType> op;
    if (command == "perform") {
        if (!expectArgs(1))
            return ctlUsage;
        op = operationFromName(args[1]);
        if (!op) {
            err << "tilewisectl: unknown operation '" << args[1] << "' (see 'tilewisectl operations')\n";
            return ctlUsage;
        }
        if (needsRunningTilewise(*op)) {
            err << "tilewisectl: " << args[1]
                << " needs the window history of a running Tilewise, which is not available yet\n";
            return ctlUnavailable;
        }
    } else if (command == "screens" || command == "windows") {
        if (!expectArgs(0))
            return ctlUsage;
    } else {
        err << "tilewisectl: unknown command '" << command << "' (see 'tilewisectl --help')\n";
        return ctlUsage;
    }

    CtlPlatform platform;
    std::string error;
    if (int rc = open(platform, error); rc != ctlOk) {
        err << "tilewisectl: " << error << "\n";
        return rc;
    }

    if (op)
        return perform(*op, platform, err);

    if (command == "screens") {
        for (const Screen& s : platform.access->screens())
            out << s.localizedName << " frame " << describe(s.frame) << " visible " << describe(s.visibleFrame)
                << "\n";
        return ctlOk;
    }

    for (const WindowInfo& w : platform.access->windowList())
        out << hexId(w.id) << " level " << w.level << " frame " << describe(w.frame) << " pid " << w.pid << " "
            << w.processName.value_or("") << "\n";
    return ctlOk;
}

} // namespace tilewise
