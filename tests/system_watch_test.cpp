// The watches of systemd's manager and of the login manager, against their stand-ins on a private
// system bus: read as they start, deaf to anyone else's signals, and listening again on a bus
// restarted under them.
#include "bus_support.h"
#include "platform/linux/system_bus.h"
#include "platform/service_state.h"
#include "platform/session_events.h"
#include "platform/status_pipe.h"

namespace {

// Another client of the bus: the login manager under its name, or one that forges signals.
struct Client {
    ConnectionPtr c = Connect(g_getenv("DBUS_SYSTEM_BUS_ADDRESS"));
    explicit Client(const char* name = nullptr) {
        if (name) Call("RequestName", g_variant_new("(su)", name, 0));
    }
    void Call(const char* method, GVariant* args = nullptr) {
        g_variant_unref(g_dbus_connection_call_sync(
            c.get(), "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
            method, args, nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr));
    }
    // To all, or to one connection alone; passed on by the bus before anything sent later.
    void Emit(const char* to, const char* member, GVariant* args,
              const char* path = "/org/freedesktop/login1",
              const char* interface = "org.freedesktop.login1.Manager") {
        g_dbus_connection_emit_signal(c.get(), to, path, interface, member, args, nullptr);
        Call("GetId");
    }
};

TEST(SystemWatches, ReadAsTheyStartDeafToOthersAndListeningOnABusRestartedUnderThem) {
    SystemBus bus("unix:path=" + PrivateFile(".bus"));
    const std::string pipe = PrivatePipePath();
    const ScopedEnv served("QUENTHAL_PIPE", pipe.c_str());
    bus.StartManager({"--running", "--path", pipe});
    std::optional<Client> login(std::in_place, "org.freedesktop.login1");
    std::vector<ServiceChange> changes;
    int sleeping = 0, resumed = 0, announced = 0;
    const auto reader = MakeServiceStateReader();
    reader->Watch("quenthal.service", [&](const ServiceChange& c) { changes.push_back(c); });
    const auto session = WatchSession(
        {[&] { ++sleeping; }, [&] { ++resumed; }, [&](bool starting) { announced += starting; }});
    ASSERT_TRUE(Until([&] { return changes.size() == 1; })) << "the unit not read as it began";
    ASSERT_EQ(changes[0].kind, ServiceChange::Kind::Started);
    // The socket tells its server as the process it is, the unit's main process here.
    EXPECT_EQ(StatusPipe::Open({})->ServerProcess(), changes[0].pid);

    // Another client says what the manager and the login manager say, to all and to the watches'
    // connection alone: only the names' owners are believed.
    std::string watched;
    WithSystemBus([&](GDBusConnection* bus, const GError*) {
        watched = g_dbus_connection_get_unique_name(bus);
    });
    ASSERT_TRUE(Until([&] { return !watched.empty(); }));
    Client forger;
    for (const char* to : {(const char*)nullptr, watched.c_str()}) {
        forger.Emit(to, "PropertiesChanged",
                    g_variant_new_parsed("('org.freedesktop.systemd1.Service', "
                                         "{'ExecMainPID': <uint32 4242>}, @as [])"),
                    "/org/freedesktop/systemd1/unit/quenthal_2eservice",
                    "org.freedesktop.DBus.Properties");
        forger.Emit(to, "PrepareForShutdown", g_variant_new("(b)", true));
        forger.Emit(to, "PrepareForSleep", g_variant_new("(b)", true));
    }
    kill(pid_t(changes[0].pid), SIGKILL);
    login->Emit(nullptr, "PrepareForSleep", g_variant_new("(b)", false));
    ASSERT_TRUE(Until([&] { return changes.size() == 2 && resumed == 1; })) << "the owners unheard";
    EXPECT_EQ(changes[1].kind, ServiceChange::Kind::Ended) << "a forged new process believed";
    EXPECT_EQ(sleeping + announced, 0) << "a forged announcement believed";

    // A new bus at the same address, with a new manager and login manager, found by the next try
    // of the bus or when its socket appears: read again, and heard.
    bus.Restart();
    bus.StartManager({"--running", "--path", pipe});
    login.emplace("org.freedesktop.login1");
    ASSERT_TRUE(Until([&] { return changes.size() == 3; }, std::chrono::seconds(40)))
        << "the unit not read on the new bus";
    ASSERT_EQ(changes[2].kind, ServiceChange::Kind::Started);
    kill(pid_t(changes[2].pid), SIGKILL);
    EXPECT_TRUE(Until([&] { return changes.size() == 4; })) << "the unit's watch deaf";
    EXPECT_TRUE(Until([&] {
        login->Emit(nullptr, "PrepareForSleep", g_variant_new("(b)", false));
        return Until([&] { return resumed == 2; }, std::chrono::milliseconds(200));
    })) << "the login watch deaf";
}

}  // namespace
