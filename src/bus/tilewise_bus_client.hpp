// tilewisectl's side of the session bus interface (bus/tilewise_bus.hpp):
// calls on the Tilewise that runs on a given display.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

namespace tilewise {

class TilewiseBusClient {
public:
    enum class Status {
        NotRunning, // no session bus, or no Tilewise holds the display's name
        Failed,     // the call failed: errorName and message say why
        Done,
    };
    struct Reply {
        Status status = Status::NotRunning;
        std::string errorName; // a D-Bus error name, when Failed
        std::string message;   // why, when NotRunning or Failed
        std::string value;     // the JSON text of History and ListActions
    };

    // Connects on the first call. Calls wait at most `timeout`: an
    // operation waits about a second for the window manager at worst.
    explicit TilewiseBusClient(std::string display,
                               std::chrono::milliseconds timeout = std::chrono::seconds(10));
    ~TilewiseBusClient();
    TilewiseBusClient(const TilewiseBusClient&) = delete;
    TilewiseBusClient& operator=(const TilewiseBusClient&) = delete;

    Reply perform(std::string_view operation);
    Reply history();
    // Answered once the action's last step has run.
    Reply runAction(std::string_view id);
    // The actions' JSON text in `value`.
    Reply listActions();
    // Opens the running program's settings window at `page` ("" for any).
    Reply showSettings(std::string_view page);

private:
    Reply call(const char* method, const std::string* argument);

    struct Connection;
    std::string display_;
    std::chrono::milliseconds timeout_;
    std::unique_ptr<Connection> connection_;
};

} // namespace tilewise
