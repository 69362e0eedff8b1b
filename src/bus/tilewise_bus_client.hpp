// tilewisectl's side of the session bus interface (bus/tilewise_bus.hpp):
// calls on the Tilewise that runs on a given display.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct sd_bus_message;

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
        std::string value;     // the JSON text of History and ListActions; AddAction's id
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
    Reply editAction(std::string_view id);
    // The edits of the quick actions, by id; the new id in `value`.
    Reply addAction(std::string_view name);
    Reply renameAction(std::string_view id, std::string_view name);
    Reply deleteActions(const std::vector<std::string>& ids);
    Reply moveAction(std::string_view id, std::uint32_t position);
    Reply appendOperations(std::string_view id, std::string_view json);

private:
    Reply call(const char* method, const std::string* argument);
    // `append` adds the arguments; `answersText` reads an "s" reply.
    Reply call(const char* method, const std::function<int(sd_bus_message*)>& append, bool answersText);

    struct Connection;
    std::string display_;
    std::chrono::milliseconds timeout_;
    std::unique_ptr<Connection> connection_;
};

} // namespace tilewise
