// The session bus interface: a private bus daemon for the test process, the
// service turning with a PollRunLoop, callers on another thread as if in
// another process (their calls wait while the loop must keep turning).
#include "../quickactions/memory_slots.hpp"

#include "bus/bus_names.hpp"
#include "bus/tilewise_bus.hpp"
#include "bus/tilewise_bus_client.hpp"
#include "platform/memory/memory_alerts.hpp"
#include "platform/poll_run_loop.hpp"
#include "quickactions/action_editor.hpp"
#include "settings/notification_center.hpp"

#include <systemd/sd-bus.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <future>
#include <stdexcept>

namespace tilewise {
namespace {

TEST(BusNames, EveryDisplayIsADistinctValidNameElement)
{
    const std::pair<const char*, const char*> cases[] = {
        {":0", "d_3a0"},
        {":1.0", "d_3a1_2e0"},
        {"localhost:10.0", "dlocalhost_3a10_2e0"},
        {"_3a0", "d_5f3a0"}, // not ":0"
        {"host-1:0", "dhost_2d1_3a0"},
        {"\xc3\xa9:0", "d_c3_a9_3a0"},
    };
    for (auto [display, element] : cases)
        EXPECT_EQ(bus::busNameForDisplay(display), std::string("org.tilewise.Tilewise.") + element);
}

class BusTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        FILE* p = popen("dbus-daemon --session --fork --print-address=1 --print-pid=1", "r");
        if (!p)
            return;
        char address[1024] = "", pid[32] = "";
        if (std::fgets(address, sizeof address, p) && std::fgets(pid, sizeof pid, p)) {
            address_ = address;
            address_.pop_back();
            daemonPid_ = std::atoi(pid);
        }
        pclose(p);
    }
    static void TearDownTestSuite()
    {
        if (daemonPid_ > 0)
            kill(daemonPid_, SIGTERM);
    }

    void SetUp() override
    {
        ASSERT_FALSE(address_.empty()) << "dbus-daemon did not start";
        setenv("DBUS_SESSION_BUS_ADDRESS", address_.c_str(), 1);
    }
    void TearDown() override { unsetenv("DBUS_SESSION_BUS_ADDRESS"); }

    // Runs `call` on another thread while the loop turns.
    template <class Call> auto whileLooping(Call call)
    {
        auto answer = std::async(std::launch::async, call);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (answer.wait_for(std::chrono::seconds(0)) != std::future_status::ready &&
               std::chrono::steady_clock::now() < deadline)
            loop.runOnce(std::chrono::milliseconds(100));
        return answer.get();
    }

    std::unique_ptr<TilewiseBusService> open(const std::string& display, std::string& error)
    {
        BusHandlers handlers{[this](OperationType op) {
                                 performed.push_back(op);
                                 return performResult;
                             },
                             [this] {
                                 if (history.empty())
                                     throw std::runtime_error("no history here");
                                 return history;
                             },
                             [this](const std::string& id, std::function<void()> finished) {
                                 if (id != "A1")
                                     return BusRunResult::UnknownAction;
                                 // The run's steps take turns of the loop.
                                 loop.post([this, finished] { loop.post([finished] { finished(); }); });
                                 return BusRunResult::Started;
                             },
                             [] { return std::string(R"([{"id":"A1"}])"); },
                             [](const std::string& page) { return page == "about"; },
                             [](const std::string& id) { return id == "A1"; },
                             {}, {}, {}, {}, {}};
        return TilewiseBusService::open(display, std::move(handlers), loop, error);
    }

    static inline std::string address_;
    static inline int daemonPid_ = 0;
    PollRunLoop loop;
    std::vector<OperationType> performed;
    BusPerformResult performResult = BusPerformResult::Done;
    std::string history = R"({"currentWindowId":7,"pairs":[[7,9]]})";
};

TEST_F(BusTest, CallsReachTheHandlersAndRefusedOnesLeaveTheServiceAnswering)
{
    std::string error;
    std::unique_ptr<TilewiseBusService> service = open(":7", error);
    ASSERT_TRUE(service) << error;
    TilewiseBusClient client(":7");
    using Status = TilewiseBusClient::Status;

    auto reply = whileLooping([&] { return client.perform("LeftHalf"); });
    EXPECT_EQ(reply.status, Status::Done) << reply.message;
    EXPECT_EQ(performed, std::vector<OperationType>{OperationType::LeftHalf});

    reply = whileLooping([&] { return client.perform("Left\nHalf"); });
    EXPECT_EQ(reply.errorName, bus::unknownOperationError);
    EXPECT_NE(reply.message.find(R"("Left\nHalf")"), std::string::npos) << reply.message;

    // The bus library checks the signature before the service sees the call.
    const std::string wrongType = whileLooping([&] {
        sd_bus* bus = nullptr;
        sd_bus_error e = SD_BUS_ERROR_NULL;
        sd_bus_open_user(&bus);
        sd_bus_call_method(bus, service->busName().c_str(), bus::objectPath, bus::interfaceName, "Perform",
                           &e, nullptr, "i", 3);
        std::string name = e.name ? e.name : "";
        sd_bus_error_free(&e);
        sd_bus_close_unref(bus);
        return name;
    });
    EXPECT_EQ(wrongType, SD_BUS_ERROR_INVALID_ARGS);

    performResult = BusPerformResult::NoFocusedWindow;
    reply = whileLooping([&] { return client.perform("Maximize"); });
    EXPECT_EQ(reply.errorName, bus::noFocusedWindowError);
    EXPECT_EQ(performed.size(), 2u);

    reply = whileLooping([&] { return client.history(); });
    EXPECT_EQ(reply.status, Status::Done);
    EXPECT_EQ(reply.value, history);
    history.clear();
    reply = whileLooping([&] { return client.history(); });
    EXPECT_EQ(reply.status, Status::Failed);
    EXPECT_EQ(reply.message, "no history here");

    // Answered only when the run is over.
    reply = whileLooping([&] { return client.runAction("A1"); });
    EXPECT_EQ(reply.status, Status::Done) << reply.message;
    reply = whileLooping([&] { return client.runAction("B2"); });
    EXPECT_EQ(reply.errorName, bus::unknownActionError);
    reply = whileLooping([&] { return client.listActions(); });
    EXPECT_EQ(reply.value, R"([{"id":"A1"}])");
    EXPECT_EQ(whileLooping([&] { return client.showSettings("about"); }).status, Status::Done);
    EXPECT_EQ(whileLooping([&] { return client.showSettings("elsewhere"); }).errorName, bus::unknownPageError);
    EXPECT_EQ(whileLooping([&] { return client.editAction("A1"); }).status, Status::Done);
    EXPECT_EQ(whileLooping([&] { return client.editAction("B2"); }).errorName, bus::unknownActionError);

    // One Tilewise per display holds the name.
    EXPECT_FALSE(open(":7", error));
    EXPECT_NE(error.find("is taken (by another Tilewise on display :7?)"), std::string::npos) << error;

    EXPECT_EQ(TilewiseBusClient(":8").perform("LeftHalf").status, Status::NotRunning);
    service.reset();
    EXPECT_EQ(TilewiseBusClient(":7").history().status, Status::NotRunning);

    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    if (!std::getenv("XDG_RUNTIME_DIR")) {
        EXPECT_FALSE(open(":7", error));
        EXPECT_EQ(error.rfind("no session bus", 0), 0u) << error;
        EXPECT_EQ(TilewiseBusClient(":7").perform("LeftHalf").status, Status::NotRunning);
    }
}

// The edits reach the editor of the actions page; what the checks refuse is
// answered with a named error and changes nothing.
TEST_F(BusTest, ActionEditsAreMadeByTheEditorOrRefusedByName)
{
    MemorySlots memory;
    MemoryDefaultsStore& store = memory.store;
    MemoryAlerts alerts;
    NotificationCenter center;
    ActionEditor editor{store, memory.slots, alerts, loop, center};
    BusHandlers handlers;
    bindActionEditing(handlers, editor, store);
    std::string error;
    std::unique_ptr<TilewiseBusService> service = TilewiseBusService::open(":9", std::move(handlers), loop, error);
    ASSERT_TRUE(service) << error;
    TilewiseBusClient client(":9");
    using Status = TilewiseBusClient::Status;
    const std::string first = QuickAction::defaultActions()[0].id, second = QuickAction::defaultActions()[1].id;
    const QuickAction::Operation centered = QuickAction::newOperation(QuickAction::OperationType::moveToCenter);
    const std::string operation = nlohmann::ordered_json(centered).dump();

    const TilewiseBusClient::Reply added = whileLooping([&] { return client.addAction("Mine"); });
    ASSERT_EQ(added.status, Status::Done) << added.message;
    for (const TilewiseBusClient::Reply& r :
         {whileLooping([&] { return client.renameAction(added.value, "Yours"); }),
          whileLooping([&] { return client.moveAction(added.value, 1); }),
          whileLooping([&] { return client.appendOperations(added.value, operation); })})
        EXPECT_EQ(r.status, Status::Done) << r.message;
    const QuickAction::Action expected{added.value, "Yours", false, std::nullopt, -1, {centered}};
    EXPECT_EQ(quickActions(store).front(), expected);
    EXPECT_EQ(whileLooping([&] { return client.deleteActions({added.value, first}); }).status, Status::Done);
    EXPECT_EQ(quickActions(store).size(), 22u);

    const std::string stored = *store.stringValue("TilewiseQuickActions");
    const std::pair<TilewiseBusClient::Reply, const char*> refusals[] = {
        {whileLooping([&] { return client.deleteActions({second, "B2"}); }), bus::unknownActionError},
        {whileLooping([&] { return client.moveAction(second, 0); }), bus::invalidPositionError},
        {whileLooping([&] { return client.moveAction(second, 23); }), bus::invalidPositionError},
        {whileLooping([&] { return client.appendOperations(second, "{}"); }), bus::invalidOperationsError},
    };
    for (const auto& [reply, name] : refusals)
        EXPECT_EQ(reply.errorName, name) << reply.message;
    EXPECT_EQ(refusals[3].first.message, "operation 1: key 'id' not found");
    EXPECT_EQ(*store.stringValue("TilewiseQuickActions"), stored);

    // A stored list that does not read is not replaced by the built-in one.
    store.set("TilewiseQuickActions", "[1]");
    EXPECT_EQ(whileLooping([&] { return client.addAction("Mine"); }).errorName, SD_BUS_ERROR_FAILED);
    EXPECT_EQ(store.stringValue("TilewiseQuickActions"), "[1]");
}

} // namespace
} // namespace tilewise
