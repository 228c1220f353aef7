// systemd-standin: a stand-in for systemd's manager on the bus that DBUS_SYSTEM_BUS_ADDRESS
// names, knowing one unit: the stand-in service statusd, run as a process of its own. Starting
// the unit serves the status socket, stopping it stops serving; each job ends with JobRemoved,
// as systemd's do. The unit's state reads as systemd's unit properties, told as they change to
// subscribed clients; KillUnit signals its process, and Restart=always starts it again. For demos
// and tests.
#include <gio/gio.h>
#include <glib-unix.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <iostream>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/linux/dbus.h"
#include "platform/linux/gio_owners.h"
#include "platform/status_pipe.h"
#include "run_journal.h"
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
    "  --restart-always   as Restart=always: a service process that ends unasked is started\n"
    "                     again after 100 ms (the property Restart, \"no\" or \"always\", may\n"
    "                     also be set over the bus)\n"
    "  --job-ms N         how long each job takes (default 300)\n"
    "  --refuse WHY       every command fails: access-denied, no-such-unit, or job-fails (the\n"
    "                     job is queued and ends with the result \"failed\")\n"
    "  --journal DIR      the service's standard error, line by line, as the entries of a\n"
    "                     journal file of each run's own in DIR "
    "(DIR/system@<InvocationID>.journal),\n"
    "                     with the unit, the run's id and the priority of a line's <N>\n"
    "  --last-words TEXT  the service, on SIGUSR1, says TEXT as an error and exits with code 3\n"
    "  --malformed-signal before each job's JobRemoved, one of the wrong signature (s), as a\n"
    "                     client must survive\n"
    "Calls without the interactive-authorization flag are refused, as polkit would. The unit\n"
    "runs statusd, from this program's folder, as a process of its own; KillUnit (systemctl\n"
    "kill --signal=SEGV) or kill(1) sends it a signal. The unit's properties (LoadState,\n"
    "ActiveState, SubState, InvocationID, Result, StatusText, ExecMainCode, ExecMainStatus,\n"
    "ExecMainPID, ExecMainStartTimestamp, NRestarts) say how it runs and how it last ended;\n"
    "GetAll with the empty interface name gives them all, as systemd's does. Once a client\n"
    "has called Subscribe, their changes come as PropertiesChanged on the unit's path.\n";

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
    <property name="InvocationID" type="ay" access="read"/>
  </interface>
  <interface name="org.freedesktop.systemd1.Service">
    <property name="Result" type="s" access="read"/>
    <property name="StatusText" type="s" access="read"/>
    <property name="ExecMainCode" type="i" access="read"/>
    <property name="ExecMainStatus" type="i" access="read"/>
    <property name="ExecMainPID" type="u" access="read"/>
    <property name="ExecMainStartTimestamp" type="t" access="read"/>
    <property name="NRestarts" type="u" access="read"/>
    <property name="Restart" type="s" access="readwrite"/>
  </interface>
</node>)";

// How systemd's children end (siginfo's si_code), and how long its Restart= waits by default.
constexpr gint32 kExited = 1, kKilled = 2, kDumped = 3;
constexpr guint kRestartMs = 100;

struct Settings {
    std::string unit = "quenthal.service", path = StatusPipePath(), refuse;
    std::string journal, lastWords;  // where the runs log; what the service says as it gives up
    bool running = false, malformed = false, restartAlways = false;
    guint jobMs = 300;
};

// The stand-in service's program, beside this one.
std::string ServiceProgram() {
    const StringPtr self(g_file_read_link("/proc/self/exe", nullptr));
    const StringPtr folder(g_path_get_dirname(self ? self.get() : "."));
    return std::string(folder.get()) + "/statusd";
}

// Whether a server accepts connections at path, as the service does once it is up.
bool Answers(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size());
    const int client = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool up =
        client >= 0 && connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    if (client >= 0) close(client);
    return up;
}

// In the service's process before it runs: it ends with the manager, however that ends, and
// leaves no core file where the manager was started.
void InService(gpointer) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    const rlimit none{0, 0};
    setrlimit(RLIMIT_CORE, &none);
}

// The unit: the stand-in service as a process of its own, serving while it runs, how its last
// run ended as systemd reports it, and, with Restart=always, started again when it dies unasked.
class Unit {
public:
    Unit(const Settings& settings, std::function<void()> changed)
        : m_path(settings.path),
          m_name(settings.unit),
          m_journalFolder(settings.journal),
          m_lastWords(settings.lastWords),
          m_changed(std::move(changed)) {}
    ~Unit() {
        m_changed = nullptr;  // the bus may be gone by now
        Stop();
    }
    Unit(const Unit&) = delete;
    Unit& operator=(const Unit&) = delete;

    // A start asked for, which clears the count of restarts as systemd's does.
    void Start() {
        if (m_pid) return;
        CancelRestart();
        m_restarts = 0;
        Launch();
    }
    // A stop asked for: SIGTERM, waited for; no restart follows.
    void Stop() {
        if (CancelRestart() && !m_pid) Changed();
        if (!m_pid) return;
        g_source_remove(m_watch);
        ::kill(m_pid, SIGTERM);
        int status = 0;
        waitpid(m_pid, &status, 0);
        Ended(status, true);
    }
    void Kill(int signal) {
        if (m_pid) ::kill(m_pid, signal);
    }
    bool SetRestart(const std::string& restart) {
        if (restart != "no" && restart != "always") return false;
        m_restartAlways = restart == "always";
        return true;
    }
    GVariant* Property(const std::string& name) const;

private:
    void Launch();
    void Ended(int status, bool asked);
    std::string InvocationText() const;
    void Changed() {
        if (m_changed) m_changed();
    }
    bool CancelRestart() {
        if (!m_restart) return false;
        g_source_remove(m_restart);
        m_restart = 0;
        return true;
    }
    static void OnDeath(GPid, gint status, gpointer unit) {
        static_cast<Unit*>(unit)->Ended(status, false);
    }
    static gboolean OnRestart(gpointer data) {
        Unit& unit = *static_cast<Unit*>(data);
        unit.m_restart = 0;
        ++unit.m_restarts;
        unit.Launch();
        return G_SOURCE_REMOVE;
    }

    // The service's standard error, line by line, to our own and to the run's journal.
    static gboolean OnOutput(GIOChannel* output, GIOCondition, gpointer journal);

    const std::string m_path, m_name, m_journalFolder, m_lastWords;
    std::function<void()> m_changed;
    bool m_restartAlways = false;
    GPid m_pid = 0;
    guint m_watch = 0, m_restart = 0;
    std::string m_result = "success";
    gint32 m_code = 0, m_status = 0;
    guint32 m_execPid = 0, m_restarts = 0;
    guint64 m_startUs = 0;
    std::uint8_t m_invocation[16] = {};  // of the last run, new with each
};

// Starts the service's process and waits until it serves (a few milliseconds), so that a job
// ends with the service answering, as systemd's start of a notifying service does.
void Unit::Launch() {
    std::string program = ServiceProgram(), version = "--version-text", text = "3.4.1-standin",
                pathOption = "--path", path = m_path, wordsOption = "--last-words",
                words = m_lastWords;
    char* argv[] = {program.data(), version.data(),
                    text.data(),    pathOption.data(),
                    path.data(),    m_lastWords.empty() ? nullptr : wordsOption.data(),
                    words.data(),   nullptr};
    for (std::uint8_t& byte : m_invocation) byte = std::uint8_t(g_random_int_range(0, 256));
    GError* error = nullptr;
    GPid pid = 0;
    int output = -1;
    const bool logged = !m_journalFolder.empty();
    if (!g_spawn_async_with_pipes(nullptr, argv, nullptr, G_SPAWN_DO_NOT_REAP_CHILD, &InService,
                                  nullptr, &pid, nullptr, nullptr, logged ? &output : nullptr,
                                  &error)) {
        std::cerr << "systemd-standin: " << error->message << std::endl;
        g_error_free(error);
        return;
    }
    if (logged) {
        // Each run's lines to its own journal, however late they come after the next run began.
        GIOChannel* channel = g_io_channel_unix_new(output);
        g_io_channel_set_close_on_unref(channel, TRUE);
        g_io_add_watch_full(channel, G_PRIORITY_DEFAULT, GIOCondition(G_IO_IN | G_IO_HUP),
                            &Unit::OnOutput,
                            new RunJournal(m_journalFolder, m_name, InvocationText()),
                            [](gpointer journal) { delete static_cast<RunJournal*>(journal); });
        g_io_channel_unref(channel);  // the watch holds it
    }
    int status = 0;
    for (int wait = 0; wait < 300 && !Answers(m_path); ++wait) {
        if (waitpid(pid, &status, WNOHANG) == pid) return Ended(status, true);
        g_usleep(10000);
    }
    m_pid = pid;
    m_execPid = guint32(pid);
    m_startUs = guint64(g_get_real_time());
    m_result = "success";
    m_code = m_status = 0;
    m_watch = g_child_watch_add(pid, &Unit::OnDeath, this);
    std::cerr << "systemd-standin: " << m_path << " served by process " << pid << std::endl;
    Changed();
}

std::string Unit::InvocationText() const {
    std::string text;
    for (const std::uint8_t byte : m_invocation)
        text += "0123456789abcdef"[byte >> 4], text += "0123456789abcdef"[byte & 15];
    return text;
}

gboolean Unit::OnOutput(GIOChannel* output, GIOCondition, gpointer journal) {
    gchar* line = nullptr;
    gsize length = 0;
    const GIOStatus status = g_io_channel_read_line(output, &line, &length, nullptr, nullptr);
    if (status == G_IO_STATUS_NORMAL && line) {
        const std::string text(line, length && line[length - 1] == '\n' ? length - 1 : length);
        std::cerr << text << std::endl;
        static_cast<RunJournal*>(journal)->Write(text);
    }
    g_free(line);
    // At its end the watch goes, and the run's journal with it, complete.
    return status == G_IO_STATUS_NORMAL || status == G_IO_STATUS_AGAIN ? G_SOURCE_CONTINUE
                                                                       : G_SOURCE_REMOVE;
}

// The process is gone (reaped): how it ended, and a restart when it died unasked.
void Unit::Ended(int status, bool asked) {
    if (m_pid) g_spawn_close_pid(m_pid);
    m_pid = 0;
    m_watch = 0;
    if (WIFSIGNALED(status)) {
        m_code = WCOREDUMP(status) ? kDumped : kKilled;
        m_status = WTERMSIG(status);
        const bool clean =
            m_status == SIGTERM || m_status == SIGINT || m_status == SIGHUP || m_status == SIGPIPE;
        m_result = clean ? "success" : m_code == kDumped ? "core-dump" : "signal";
    } else {
        m_code = kExited;
        m_status = WEXITSTATUS(status);
        m_result = m_status == 0 ? "success" : "exit-code";
    }
    std::cerr << "systemd-standin: process " << m_execPid << " ended: " << m_result << " " << m_code
              << " " << m_status << std::endl;
    if (!asked && m_restartAlways) m_restart = g_timeout_add(kRestartMs, &Unit::OnRestart, this);
    Changed();
}

GVariant* Unit::Property(const std::string& name) const {
    const bool running = m_pid != 0, failed = m_result != "success";
    if (name == "LoadState") return g_variant_new_string("loaded");
    if (name == "ActiveState")
        return g_variant_new_string(running     ? "active"
                                    : m_restart ? "activating"
                                    : failed    ? "failed"
                                                : "inactive");
    if (name == "SubState")
        return g_variant_new_string(running     ? "running"
                                    : m_restart ? "auto-restart"
                                    : failed    ? "failed"
                                                : "dead");
    // systemd keeps a run's id while it is failed or restarting, and drops it once stopped.
    if (name == "InvocationID")
        return g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, m_invocation,
                                         running || m_restart || failed ? 16 : 0, 1);
    if (name == "Result") return g_variant_new_string(m_result.c_str());
    // statusd never tells the manager anything of itself.
    if (name == "StatusText") return g_variant_new_string("");
    if (name == "ExecMainCode") return g_variant_new_int32(m_code);
    if (name == "ExecMainStatus") return g_variant_new_int32(m_status);
    if (name == "ExecMainPID") return g_variant_new_uint32(m_execPid);
    if (name == "ExecMainStartTimestamp") return g_variant_new_uint64(m_startUs);
    if (name == "NRestarts") return g_variant_new_uint32(m_restarts);
    if (name == "Restart") return g_variant_new_string(m_restartAlways ? "always" : "no");
    return nullptr;
}

struct Manager {
    explicit Manager(Settings given)
        : settings(std::move(given)),
          unitPath("/org/freedesktop/systemd1/unit/" + BusLabel(settings.unit)),
          unit(settings, [this] { Changed(); }) {
        unit.SetRestart(settings.restartAlways ? "always" : "no");
    }
    ~Manager() {
        for (const auto& [name, watch] : subscribers) g_bus_unwatch_name(watch);
    }
    void Changed();
    void Emit(const char* interface, std::initializer_list<const char*> names);

    Settings settings;
    std::string unitPath;
    Unit unit;
    GDBusConnection* bus = nullptr;
    const GDBusNodeInfo* node = nullptr;  // its interfaces, the unit's among them
    guint32 lastJob = 0;
    std::map<std::string, guint> subscribers;  // bus names, each watched until it goes
};

// systemd tells a unit's changes only while some client is subscribed.
void Manager::Changed() {
    if (!bus || subscribers.empty()) return;
    Emit("org.freedesktop.systemd1.Service",
         {"Result", "StatusText", "ExecMainCode", "ExecMainStatus", "ExecMainPID",
          "ExecMainStartTimestamp", "NRestarts"});
    Emit("org.freedesktop.systemd1.Unit", {"ActiveState", "SubState", "InvocationID"});
}

void Manager::Emit(const char* interface, std::initializer_list<const char*> names) {
    GVariantBuilder changed;
    g_variant_builder_init(&changed, G_VARIANT_TYPE("a{sv}"));
    for (const char* name : names)
        g_variant_builder_add(&changed, "{sv}", name, unit.Property(name));
    g_dbus_connection_emit_signal(
        bus, nullptr, unitPath.c_str(), "org.freedesktop.DBus.Properties", "PropertiesChanged",
        g_variant_new("(sa{sv}as)", interface, &changed, nullptr), nullptr);
}

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

void OnSubscriberGone(GDBusConnection*, const gchar* name, gpointer data) {
    Manager& manager = *static_cast<Manager*>(data);
    const auto found = manager.subscribers.find(name);
    if (found == manager.subscribers.end()) return;
    g_bus_unwatch_name(found->second);
    manager.subscribers.erase(found);
}

// Subscribe and Unsubscribe: a client is told of the unit's changes from its Subscribe until its
// Unsubscribe, or until it leaves the bus.
void Subscribe(Manager& manager, GDBusMethodInvocation* invocation, bool subscribe) {
    const std::string sender = g_dbus_method_invocation_get_sender(invocation);
    const bool known = manager.subscribers.count(sender) != 0;
    if (subscribe && !known)
        manager.subscribers[sender] = g_bus_watch_name_on_connection(
            manager.bus, sender.c_str(), G_BUS_NAME_WATCHER_FLAGS_NONE, nullptr, &OnSubscriberGone,
            &manager, nullptr);
    else if (!subscribe && known)
        OnSubscriberGone(nullptr, sender.c_str(), &manager);
    g_dbus_method_invocation_return_value(invocation, nullptr);
}

void OnCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
            GVariant* parameters, GDBusMethodInvocation* invocation, gpointer data) {
    Manager& manager = *static_cast<Manager*>(data);
    if (std::strcmp(method, "Subscribe") == 0 || std::strcmp(method, "Unsubscribe") == 0)
        return Subscribe(manager, invocation, std::strcmp(method, "Subscribe") == 0);

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

// Restart is the one property that may be set, as a unit file's Restart= would: "no" or "always".
gboolean OnSetProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                       const gchar* property, GVariant* value, GError** error, gpointer data) {
    Manager& manager = *static_cast<Manager*>(data);
    if (std::strcmp(property, "Restart") == 0 &&
        g_variant_is_of_type(value, G_VARIANT_TYPE_STRING) &&
        manager.unit.SetRestart(g_variant_get_string(value, nullptr))) {
        std::cerr << "systemd-standin: Restart=" << g_variant_get_string(value, nullptr)
                  << std::endl;
        return TRUE;
    }
    g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_PROPERTY_READ_ONLY, "%s cannot be set", property);
    return FALSE;
}

struct AllProperties {
    Manager* manager;
    GDBusMessage* call;
};

// The properties of both of the unit's interfaces, answered on the main loop, where the unit is.
gboolean AnswerAllProperties(gpointer data) {
    const std::unique_ptr<AllProperties> asked(static_cast<AllProperties*>(data));
    Manager& manager = *asked->manager;
    GVariantBuilder all;
    g_variant_builder_init(&all, G_VARIANT_TYPE_VARDICT);
    for (const GDBusInterfaceInfo* interface :
         {manager.node->interfaces[1], manager.node->interfaces[2]})
        for (GDBusPropertyInfo** property = interface->properties; *property; ++property)
            g_variant_builder_add(&all, "{sv}", (*property)->name,
                                  manager.unit.Property((*property)->name));
    GDBusMessage* reply = g_dbus_message_new_method_reply(asked->call);
    g_dbus_message_set_body(reply, g_variant_new("(a{sv})", &all));
    g_dbus_connection_send_message(manager.bus, reply, G_DBUS_SEND_MESSAGE_FLAGS_NONE, nullptr,
                                   nullptr);
    g_object_unref(reply);
    g_object_unref(asked->call);
    return G_SOURCE_REMOVE;
}

// GetAll with the empty interface name, which systemd answers with every interface's properties
// and GDBus refuses: taken from GDBus's worker thread before it dispatches.
GDBusMessage* TakeGetAllOfAll(GDBusConnection*, GDBusMessage* message, gboolean incoming,
                              gpointer data) {
    Manager& manager = *static_cast<Manager*>(data);  // its unit's path alone, which stays
    GVariant* const body = g_dbus_message_get_body(message);
    if (!incoming || g_dbus_message_get_message_type(message) != G_DBUS_MESSAGE_TYPE_METHOD_CALL ||
        g_strcmp0(g_dbus_message_get_path(message), manager.unitPath.c_str()) != 0 ||
        g_strcmp0(g_dbus_message_get_interface(message), "org.freedesktop.DBus.Properties") != 0 ||
        g_strcmp0(g_dbus_message_get_member(message), "GetAll") != 0 || !body ||
        !g_variant_is_of_type(body, G_VARIANT_TYPE("(s)")))
        return message;
    const gchar* interface = nullptr;
    g_variant_get(body, "(&s)", &interface);
    if (*interface) return message;
    g_idle_add(&AnswerAllProperties, new AllProperties{&manager, message});
    return nullptr;
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
        } else if (option == "--restart-always") {
            settings.restartAlways = true;
        } else if (option == "--journal") {
            settings.journal = value();
        } else if (option == "--last-words") {
            settings.lastWords = value();
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
    manager.node = node.get();
    g_dbus_connection_add_filter(bus.get(), &TakeGetAllOfAll, &manager, nullptr);
    const GDBusInterfaceVTable vtable{&OnCall, nullptr, nullptr, {}};
    const Registration object(
        g_dbus_connection_register_object(bus.get(), "/org/freedesktop/systemd1",
                                          node->interfaces[0], &vtable, &manager, nullptr, nullptr),
        Unexport{bus.get()});
    const GDBusInterfaceVTable properties{nullptr, &OnGetProperty, &OnSetProperty, {}};
    const std::string& unitPath = manager.unitPath;
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
    if (manager.settings.running) manager.unit.Start();  // its lines after the one saying ready
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
