// systemd-standin: a stand-in for systemd's manager on the bus that DBUS_SYSTEM_BUS_ADDRESS
// names, knowing one unit: the stand-in service. Starting the unit serves the status socket,
// stopping it stops serving; each job ends with JobRemoved, as systemd's do. The unit's state
// reads as systemd's unit properties, and KillUnit plays its process killed. For demos and tests.
#include <gio/gio.h>
#include <glib-unix.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/linux/dbus.h"
#include "platform/linux/gio_owners.h"
#include "service/status_pipe.h"
#include "status_server.h"

namespace {

const char kUsage[] =
    "Usage: systemd-standin [OPTION]...\n"
    "Owns org.freedesktop.systemd1 on the bus DBUS_SYSTEM_BUS_ADDRESS names and starts, stops\n"
    "and restarts one unit, which serves the status socket while it runs.\n"
    "\n"
    "  --unit NAME        the unit it knows (default quenthal.service)\n"
    "  --path PATH        socket the unit serves (default: where the tray looks for it)\n"
    "  --running          the unit runs from the start\n"
    "  --job-ms N         how long each job takes (default 300)\n"
    "  --refuse WHY       every command fails: access-denied, no-such-unit, or job-fails (the\n"
    "                     job is queued and ends with the result \"failed\")\n"
    "  --malformed-signal before each job's JobRemoved, one of the wrong signature (s), as a\n"
    "                     client must survive\n"
    "Calls without the interactive-authorization flag are refused, as polkit would. KillUnit\n"
    "(systemctl kill --signal=SEGV) stops serving as if the service's process died of the signal;\n"
    "the unit's properties (LoadState, ActiveState, SubState, Result, ExecMainCode,\n"
    "ExecMainStatus) say so.\n";

const char kIntrospection[] = R"(<node>
  <interface name="org.freedesktop.systemd1.Manager">
    <method name="Subscribe"/>
    <method name="Unsubscribe"/>
    <method name="StartUnit">
      <arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="o" direction="out"/>
    </method>
    <method name="StopUnit">
      <arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="o" direction="out"/>
    </method>
    <method name="RestartUnit">
      <arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="o" direction="out"/>
    </method>
    <method name="KillUnit">
      <arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="i" direction="in"/>
    </method>
    <signal name="JobRemoved">
      <arg type="u"/><arg type="o"/><arg type="s"/><arg type="s"/>
    </signal>
  </interface>
  <interface name="org.freedesktop.systemd1.Unit">
    <property name="LoadState" type="s" access="read"/>
    <property name="ActiveState" type="s" access="read"/>
    <property name="SubState" type="s" access="read"/>
  </interface>
  <interface name="org.freedesktop.systemd1.Service">
    <property name="Result" type="s" access="read"/>
    <property name="ExecMainCode" type="i" access="read"/>
    <property name="ExecMainStatus" type="i" access="read"/>
  </interface>
</node>)";

// How systemd's children end (siginfo's si_code).
constexpr gint32 kExited = 1, kKilled = 2;

struct Settings {
    std::string unit = "quenthal.service", path = StatusPipePath(), refuse;
    bool running = false, malformed = false;
    guint jobMs = 300;
};

// The unit: the stand-in service, serving while it runs, and how its last run ended as systemd
// reports it.
class Unit {
public:
    explicit Unit(std::string path) : m_path(std::move(path)) {}
    void Start() {
        if (m_serving.Serving()) return;
        ServeOptions options;
        options.record = MakeRecord(u"3.4.1-standin", 8080, 0, 554, 0, std::time(nullptr));
        m_serving.Start(m_path, options);
        m_result = "success";
        m_code = m_status = 0;
    }
    // A stop ends the process with SIGTERM, which systemd counts as success.
    void Stop() { Kill(SIGTERM); }
    void Kill(int signal) {
        if (!m_serving.Serving()) return;
        m_serving.Stop();
        m_code = kKilled;
        m_status = signal;
        const bool clean =
            signal == SIGTERM || signal == SIGINT || signal == SIGHUP || signal == SIGPIPE;
        m_result = clean ? "success" : "signal";
    }

    GVariant* Property(const std::string& name) const {
        const bool running = m_serving.Serving(), failed = m_result != "success";
        if (name == "LoadState") return g_variant_new_string("loaded");
        if (name == "ActiveState")
            return g_variant_new_string(running ? "active" : failed ? "failed" : "inactive");
        if (name == "SubState")
            return g_variant_new_string(running ? "running" : failed ? "failed" : "dead");
        if (name == "Result") return g_variant_new_string(m_result.c_str());
        if (name == "ExecMainCode") return g_variant_new_int32(m_code);
        if (name == "ExecMainStatus") return g_variant_new_int32(m_status);
        return nullptr;
    }

private:
    std::string m_path;
    ServingThread m_serving;
    std::string m_result = "success";
    gint32 m_code = 0, m_status = 0;
};

struct Manager {
    explicit Manager(Settings given) : settings(std::move(given)), unit(settings.path) {}
    Settings settings;
    Unit unit;
    GDBusConnection* bus = nullptr;
    guint32 lastJob = 0;
};

struct Job {
    Manager* manager;
    guint32 id;
    std::string method;
};

gboolean RunJob(gpointer data) {
    const std::unique_ptr<Job> job(static_cast<Job*>(data));
    Manager& manager = *job->manager;
    const bool fails = manager.settings.refuse == "job-fails";
    if (!fails && job->method != "StartUnit") manager.unit.Stop();
    if (!fails && job->method != "StopUnit") manager.unit.Start();
    const std::string path = "/org/freedesktop/systemd1/job/" + std::to_string(job->id);
    const char* result = fails ? "failed" : "done";
    if (manager.settings.malformed)
        g_dbus_connection_emit_signal(manager.bus, nullptr, "/org/freedesktop/systemd1",
                                      "org.freedesktop.systemd1.Manager", "JobRemoved",
                                      g_variant_new("(s)", path.c_str()), nullptr);
    std::cerr << "systemd-standin: " << job->method << " " << manager.settings.unit << ": "
              << result << std::endl;
    g_dbus_connection_emit_signal(
        manager.bus, nullptr, "/org/freedesktop/systemd1", "org.freedesktop.systemd1.Manager",
        "JobRemoved",
        g_variant_new("(uoss)", job->id, path.c_str(), manager.settings.unit.c_str(), result),
        nullptr);
    return G_SOURCE_REMOVE;
}

void OnCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
            GVariant* parameters, GDBusMethodInvocation* invocation, gpointer data) {
    Manager& manager = *static_cast<Manager*>(data);
    if (std::strcmp(method, "Subscribe") == 0 || std::strcmp(method, "Unsubscribe") == 0)
        return g_dbus_method_invocation_return_value(invocation, nullptr);

    const gchar *unit = nullptr, *mode = nullptr;
    gint32 signal = 0;
    if (std::strcmp(method, "KillUnit") == 0)
        g_variant_get(parameters, "(&s&si)", &unit, &mode, &signal);
    else
        g_variant_get(parameters, "(&s&s)", &unit, &mode);
    const auto flags = g_dbus_message_get_flags(g_dbus_method_invocation_get_message(invocation));
    const std::string& refuse = manager.settings.refuse;
    std::cerr << "systemd-standin: " << method << " " << unit << " " << mode << std::endl;
    if (!(flags & G_DBUS_MESSAGE_FLAGS_ALLOW_INTERACTIVE_AUTHORIZATION))
        return g_dbus_method_invocation_return_dbus_error(
            invocation, "org.freedesktop.DBus.Error.InteractiveAuthorizationRequired",
            "Interactive authentication required.");
    if (refuse == "access-denied")
        return g_dbus_method_invocation_return_dbus_error(
            invocation, "org.freedesktop.DBus.Error.AccessDenied", "Access denied");
    if (refuse == "no-such-unit" || manager.settings.unit != unit) {
        const std::string message = std::string("Unit ") + unit + " not found.";
        return g_dbus_method_invocation_return_dbus_error(
            invocation, "org.freedesktop.systemd1.NoSuchUnit", message.c_str());
    }
    if (signal) {  // no job: the signal is sent at once
        manager.unit.Kill(signal);
        return g_dbus_method_invocation_return_value(invocation, nullptr);
    }
    auto job = std::make_unique<Job>(Job{&manager, ++manager.lastJob, method});
    const std::string path = "/org/freedesktop/systemd1/job/" + std::to_string(job->id);
    g_dbus_method_invocation_return_value(invocation, g_variant_new("(o)", path.c_str()));
    // After the reply, as systemd ends a job only once it has been queued.
    g_timeout_add(manager.settings.jobMs, &RunJob, job.release());
}

GVariant* OnGetProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                        const gchar* property, GError** error, gpointer data) {
    GVariant* value = static_cast<Manager*>(data)->unit.Property(property);
    if (!value) g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_PROPERTY, "%s", property);
    return value;
}

Settings ParseArguments(int argc, char** argv) {
    Settings settings;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        const auto value = [&]() -> std::string {
            if (i + 1 >= argc) throw std::runtime_error(option + " needs a value");
            return argv[++i];
        };
        if (option == "--unit") {
            settings.unit = value();
        } else if (option == "--path") {
            settings.path = value();
        } else if (option == "--malformed-signal") {
            settings.malformed = true;
        } else if (option == "--running") {
            settings.running = true;
        } else if (option == "--job-ms") {
            settings.jobMs = guint(std::stoul(value()));
        } else if (option == "--refuse") {
            settings.refuse = value();
            if (settings.refuse != "access-denied" && settings.refuse != "no-such-unit" &&
                settings.refuse != "job-fails")
                throw std::runtime_error("--refuse wants access-denied, no-such-unit or job-fails");
        } else {
            if (option != "--help")
                std::cerr << "systemd-standin: unknown option " << option << '\n';
            std::cerr << kUsage;
            std::exit(option == "--help" ? 0 : 2);
        }
    }
    return settings;
}

}  // namespace

int main(int argc, char** argv) {
    std::unique_ptr<Manager> standin;
    try {
        standin = std::make_unique<Manager>(ParseArguments(argc, argv));
        if (standin->settings.running) standin->unit.Start();
    } catch (const std::exception& e) {
        std::cerr << "systemd-standin: " << e.what() << '\n';
        return 2;
    }
    Manager& manager = *standin;
    GError* error = nullptr;
    const ConnectionPtr bus(g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, &error));
    const ErrorPtr failed(error);
    if (!bus) {
        std::cerr << "systemd-standin: no bus: " << error->message << '\n';
        return 1;
    }
    manager.bus = bus.get();
    const NodeInfoPtr node(g_dbus_node_info_new_for_xml(kIntrospection, nullptr),
                           &g_dbus_node_info_unref);
    const GDBusInterfaceVTable vtable{&OnCall, nullptr, nullptr, {}};
    const Registration object(
        g_dbus_connection_register_object(bus.get(), "/org/freedesktop/systemd1",
                                          node->interfaces[0], &vtable, &manager, nullptr, nullptr),
        Unexport{bus.get()});
    const GDBusInterfaceVTable properties{nullptr, &OnGetProperty, nullptr, {}};
    const std::string unitPath =
        "/org/freedesktop/systemd1/unit/" + BusLabel(manager.settings.unit);
    const Registration unit(
        g_dbus_connection_register_object(bus.get(), unitPath.c_str(), node->interfaces[1],
                                          &properties, &manager, nullptr, nullptr),
        Unexport{bus.get()});
    const Registration service(
        g_dbus_connection_register_object(bus.get(), unitPath.c_str(), node->interfaces[2],
                                          &properties, &manager, nullptr, nullptr),
        Unexport{bus.get()});
    const VariantPtr owned(g_dbus_connection_call_sync(
        bus.get(), "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "RequestName", g_variant_new("(su)", "org.freedesktop.systemd1", 4 /* do not queue */),
        G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr));
    guint32 reply = 0;
    if (owned) g_variant_get(owned.get(), "(u)", &reply);
    if (reply != 1) {  // the primary owner
        std::cerr << "systemd-standin: org.freedesktop.systemd1 is taken on this bus\n";
        return 1;
    }
    std::cerr << "systemd-standin: ready, " << manager.settings.unit << " on "
              << manager.settings.path << (manager.settings.running ? " running" : " stopped")
              << std::endl;
    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    const auto quit = [](gpointer loop) {
        g_main_loop_quit(static_cast<GMainLoop*>(loop));
        return gboolean(G_SOURCE_CONTINUE);
    };
    g_unix_signal_add(SIGTERM, quit, loop);
    g_unix_signal_add(SIGINT, quit, loop);
    g_main_loop_run(loop);
    g_main_loop_unref(loop);
    return 0;
}
