// tilewisectl's commands, apart from the X connection and the session bus so
// that tests can run them against the in-memory platform and a fake Tilewise.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tilewise {

class WindowAccess;
class DefaultsStore;
class KeyboardLayout;
enum class OperationType : std::uint8_t;

// Exit codes of tilewisectl.
enum CtlExit : int {
    ctlOk = 0,
    ctlNoDisplay = 1,   // no display, or no window manager on it; a defaults key that does not
                        // exist; the settings file cannot be read or written, or the stored
                        // quick actions do not read; the running Tilewise could not answer;
                        // no shortcut slot left
    ctlUsage = 2,       // unknown command, operation or argument; a value the program would not use
    ctlUnavailable = 3, // the command needs a running Tilewise and none runs on the display
    ctlNothingToDo = 4, // no focused window to lay out
};

// What a command needs from the platform; opened only by the commands that
// talk to the display, so that usage errors never depend on it.
struct CtlPlatform {
    // Set before opening: only the commands that show keys need the keymap,
    // which costs several round trips to read.
    bool wantsKeys = false;
    WindowAccess* access = nullptr;
    // The display's current keyboard layout, for the text of shortcuts.
    const KeyboardLayout* keyboardLayout = nullptr;
    // The shortcuts the running Tilewise does not hold, by name, with the
    // reason; none when no Tilewise runs on the display.
    std::optional<std::map<std::string, std::string>> shortcutRefusals;
};

// What a running Tilewise on the display answered.
struct CtlRemoteReply {
    enum class Status { NotRunning, Failed, NoFocusedWindow, Done };
    Status status = Status::NotRunning;
    std::string message; // why, one line, when Failed
    std::string value;   // History's JSON text
};

// The Tilewise running on the display, reached over the session bus: one
// window history then serves its shortcuts, the command line and scripts.
// Connects on its first call; only the commands that need it call.
class CtlRemote {
public:
    virtual ~CtlRemote() = default;
    virtual CtlRemoteReply perform(OperationType op) = 0;
    virtual CtlRemoteReply history() = 0;
    // Answered once the quick action's last step has run.
    virtual CtlRemoteReply runAction(const std::string& id) = 0;
    // Opens the settings window at a page ("" for any).
    virtual CtlRemoteReply showSettings(const std::string& page) = 0;
    virtual CtlRemoteReply editAction(const std::string& id) = 0;
};

// Opens the platform, or returns an error line (and ctlNoDisplay) instead.
using CtlPlatformOpener = std::function<int(CtlPlatform& platform, std::string& error)>;

// False while the store's file exists but cannot be read; the store has then
// said why. Empty for a store that is always readable.
using CtlStoreReadable = std::function<bool()>;

// `store` serves the defaults commands and the settings of the others; the
// display is opened only by the commands that need it. `remote` is none
// where no session bus can be reached.
int runCtl(const std::vector<std::string>& args, DefaultsStore& store, const CtlPlatformOpener& open,
           std::ostream& out, std::ostream& err, const CtlStoreReadable& storeReadable = nullptr,
           CtlRemote* remote = nullptr);

} // namespace tilewise
