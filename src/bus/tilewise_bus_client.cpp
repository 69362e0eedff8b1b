#include "bus/tilewise_bus_client.hpp"

#include "bus/bus_names.hpp"

#include <systemd/sd-bus.h>

#include <cstdlib>
#include <cstring>

namespace tilewise {

struct TilewiseBusClient::Connection {
    ~Connection()
    {
        if (bus)
            sd_bus_close_unref(bus);
    }
    sd_bus* bus = nullptr;
    std::string error; // why there is none
};

TilewiseBusClient::TilewiseBusClient(std::string display, std::chrono::milliseconds timeout)
    : display_(std::move(display)), timeout_(timeout)
{
}

TilewiseBusClient::~TilewiseBusClient() = default;

TilewiseBusClient::Reply TilewiseBusClient::perform(std::string_view operation)
{
    const std::string argument(operation);
    return call("Perform", &argument);
}

TilewiseBusClient::Reply TilewiseBusClient::history()
{
    return call("History", nullptr);
}

TilewiseBusClient::Reply TilewiseBusClient::runAction(std::string_view id)
{
    const std::string argument(id);
    return call("RunAction", &argument);
}

TilewiseBusClient::Reply TilewiseBusClient::listActions()
{
    return call("ListActions", nullptr);
}

TilewiseBusClient::Reply TilewiseBusClient::showSettings(std::string_view page)
{
    const std::string argument(page);
    return call("ShowSettings", &argument);
}

TilewiseBusClient::Reply TilewiseBusClient::editAction(std::string_view id)
{
    const std::string argument(id);
    return call("EditAction", &argument);
}

TilewiseBusClient::Reply TilewiseBusClient::addAction(std::string_view name)
{
    const std::string n(name);
    return call("AddAction", [&](sd_bus_message* m) { return sd_bus_message_append(m, "s", n.c_str()); }, true);
}

TilewiseBusClient::Reply TilewiseBusClient::renameAction(std::string_view id, std::string_view name)
{
    const std::string i(id), n(name);
    return call(
        "RenameAction", [&](sd_bus_message* m) { return sd_bus_message_append(m, "ss", i.c_str(), n.c_str()); },
        false);
}

TilewiseBusClient::Reply TilewiseBusClient::deleteActions(const std::vector<std::string>& ids)
{
    return call(
        "DeleteActions",
        [&](sd_bus_message* m) {
            int r = sd_bus_message_open_container(m, 'a', "s");
            for (const std::string& id : ids)
                if (r >= 0)
                    r = sd_bus_message_append(m, "s", id.c_str());
            return r < 0 ? r : sd_bus_message_close_container(m);
        },
        false);
}

TilewiseBusClient::Reply TilewiseBusClient::moveAction(std::string_view id, std::uint32_t position)
{
    const std::string i(id);
    return call(
        "MoveAction", [&](sd_bus_message* m) { return sd_bus_message_append(m, "su", i.c_str(), position); },
        false);
}

TilewiseBusClient::Reply TilewiseBusClient::appendOperations(std::string_view id, std::string_view json)
{
    const std::string i(id), j(json);
    return call(
        "AppendOperations",
        [&](sd_bus_message* m) { return sd_bus_message_append(m, "ss", i.c_str(), j.c_str()); }, false);
}

TilewiseBusClient::Reply TilewiseBusClient::call(const char* method, const std::string* argument)
{
    return call(
        method,
        [argument](sd_bus_message* m) { return argument ? sd_bus_message_append(m, "s", argument->c_str()) : 0; },
        !argument);
}

TilewiseBusClient::Reply TilewiseBusClient::call(const char* method,
                                                 const std::function<int(sd_bus_message*)>& append,
                                                 bool answersText)
{
    Reply reply;
    if (!connection_) {
        connection_ = std::make_unique<Connection>();
        const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
        const char* runtimeDir = std::getenv("XDG_RUNTIME_DIR");
        if ((!address || !*address) && (!runtimeDir || !*runtimeDir)) {
            connection_->error = "no session bus";
        } else if (int r = sd_bus_open_user_with_description(&connection_->bus, "tilewisectl"); r < 0) {
            connection_->bus = nullptr;
            connection_->error = std::string("no session bus: ") + std::strerror(-r);
        }
    }
    if (!connection_->bus) {
        reply.message = connection_->error;
        return reply;
    }

    const std::string name = bus::busNameForDisplay(display_);
    sd_bus_message* call = nullptr;
    sd_bus_message* answer = nullptr;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    int r = sd_bus_message_new_method_call(connection_->bus, &call, name.c_str(), bus::objectPath,
                                           bus::interfaceName, method);
    // Without an owner the call fails at once instead of asking the bus to
    // start one; that failure is how "not running" is told.
    if (r >= 0)
        r = sd_bus_message_set_auto_start(call, 0);
    if (r >= 0)
        r = append(call);
    if (r >= 0)
        r = sd_bus_call(connection_->bus, call, std::uint64_t(timeout_.count()) * 1000u, &error, &answer);
    if (r >= 0) {
        reply.status = Status::Done;
        const char* text = nullptr;
        if (answersText && (r = sd_bus_message_read(answer, "s", &text)) >= 0)
            reply.value = text;
    }
    if (r < 0) {
        if (sd_bus_error_has_names(&error, SD_BUS_ERROR_SERVICE_UNKNOWN, SD_BUS_ERROR_NAME_HAS_NO_OWNER)) {
            reply.status = Status::NotRunning;
            reply.message = "no Tilewise holds " + name;
        } else {
            reply.status = Status::Failed;
            reply.errorName = sd_bus_error_is_set(&error) ? error.name : "";
            reply.message = sd_bus_error_is_set(&error) && error.message ? error.message : std::strerror(-r);
        }
    }
    sd_bus_error_free(&error);
    sd_bus_message_unref(answer);
    sd_bus_message_unref(call);
    return reply;
}

} // namespace tilewise
