// systemd's manager on the system bus, with polkit asking the user for the right.
#include "platform/service_control.h"

#include <cerrno>
#include <deque>
#include <memory>
#include <string>
#include <utility>

#include <wx/intl.h>

#include "base/lifetime.h"
#include "platform/linux/gio_owners.h"
#include "platform/linux/system_bus.h"

namespace {

constexpr const char* kSystemd = "org.freedesktop.systemd1";
constexpr const char* kManagerPath = "/org/freedesktop/systemd1";
constexpr const char* kManager = "org.freedesktop.systemd1.Manager";
// The call returns once the job is queued; polkit may first wait for the user's password.
constexpr int kQueueTimeoutMs = 10 * 60 * 1000;
// systemd ends a job by its own timeouts (90 s each way by default); this only keeps a job whose
// end was never signalled from greying the commands for good.
constexpr guint kJobTimeoutSeconds = 10 * 60;
// Jobs that ended before our call's reply named ours: the reply and the signal may cross.
constexpr std::size_t kEndedJobsKept = 16;

const char* MethodOf(ServiceCommand command) {
    switch (command) {
        case ServiceCommand::Start:
            return "StartUnit";
        case ServiceCommand::Stop:
            return "StopUnit";
        case ServiceCommand::Restart:
            return "RestartUnit";
    }
    return "";
}

ServiceOutcome Failure(const wxString& message) {
    return {ServiceOutcome::Result::Failed, message};
}

// The error's own text, without the D-Bus error name that GDBus puts before it.
ServiceOutcome Failure(const GError* error) {
    const ErrorPtr own(g_error_copy(error));
    g_dbus_error_strip_remote_error(own.get());
    return Failure(wxString::FromUTF8(own->message));
}

ServiceOutcome JobOutcome(const std::string& result) {
    if (result == "done") return {};
    return {ServiceOutcome::Result::Failed, wxString(), wxString::FromUTF8(result)};
}

class SystemdControl : public ServiceControl {
public:
    ~SystemdControl() override {
        m_lifetime.End();
        if (m_cancel) g_cancellable_cancel(m_cancel.get());
        m_jobTimeout = Source();
        Disconnect();
    }

    void Run(ServiceCommand command, const wxString& name, Done done) override {
        m_command = command;
        m_unit = name.utf8_string();
        m_done = std::move(done);
        m_job.clear();
        m_endedJobs.clear();
        m_cancel.reset(g_cancellable_new());
        WithSystemBus(m_lifetime.Guard([this](GDBusConnection* bus, const GError* error) {
            if (!bus) return Finish(Failure(error));
            if (bus != m_bus.get()) Connected(bus);
            Queue();
        }));
    }

private:
    // What each of GLib's callbacks holds: this control while it lives, nothing once it is gone.
    using Self = Watched<SystemdControl>;
    void* Give() { return Self(*this, m_lifetime).Give(); }

    // Lets go of the bus and what we asked of it.
    void Disconnect() {
        m_jobRemoved = Subscription();
        if (m_closed) g_signal_handler_disconnect(m_bus.get(), std::exchange(m_closed, 0));
        m_bus.reset();
    }

    // Follows a new connection: the owner's previous one has closed.
    void Connected(GDBusConnection* bus) {
        Disconnect();
        m_bus.reset(G_DBUS_CONNECTION(g_object_ref(bus)));
        m_closed = g_signal_connect_data(
            m_bus.get(), "closed", G_CALLBACK(&OnClosed), Give(),
            GClosureNotify(+[](gpointer data, GClosure*) { Self::Forget(data); }),
            GConnectFlags(0));
        m_jobRemoved = Subscription(
            g_dbus_connection_signal_subscribe(
                m_bus.get(), kSystemd, kManager, "JobRemoved", kManagerPath, nullptr,
                G_DBUS_SIGNAL_FLAGS_NONE, &SystemdControl::OnJobRemoved, Give(), &Self::Forget),
            Unsubscribe{m_bus.get()});
        // systemd signals the ends of jobs only to clients that asked for them. The bus keeps
        // our messages in order, so this is in place before the command that follows.
        g_dbus_connection_call(m_bus.get(), kSystemd, kManagerPath, kManager, "Subscribe", nullptr,
                               nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
    }

    void Queue() {
        g_dbus_connection_call(m_bus.get(), kSystemd, kManagerPath, kManager, MethodOf(m_command),
                               g_variant_new("(ss)", m_unit.c_str(), "replace"),
                               G_VARIANT_TYPE("(o)"),
                               G_DBUS_CALL_FLAGS_ALLOW_INTERACTIVE_AUTHORIZATION, kQueueTimeoutMs,
                               m_cancel.get(), &SystemdControl::OnQueued, Give());
    }

    static void OnQueued(GObject* bus, GAsyncResult* result, gpointer data) {
        // Taken before anything else, so that a cancelled call gives its user data back too.
        SystemdControl* const self = Self::Take(data);
        FinishCall(bus, result, [&](GVariant* reply, const GError* error) {
            if (!self) return;
            if (!reply) return self->Finish(Failure(error));
            const gchar* job = nullptr;
            g_variant_get(reply, "(&o)", &job);
            self->Queued(job);
        });
    }

    void Queued(const std::string& job) {
        for (const auto& [ended, result] : m_endedJobs)
            if (ended == job) return Finish(JobOutcome(result));
        m_job = job;
        m_jobTimeout = Source(g_timeout_add_seconds_full(G_PRIORITY_DEFAULT, kJobTimeoutSeconds,
                                                         &SystemdControl::OnJobTimeout, Give(),
                                                         &Self::Forget));
    }

    // Anyone the bus lets send it may get its arguments wrong: a signal of another shape is
    // none of systemd's.
    static void OnJobRemoved(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                             const gchar*, GVariant* parameters, gpointer data) {
        SystemdControl* const self = Self::Of(data);
        if (!self || !self->m_done) return;
        if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(uoss)"))) return;
        guint32 id = 0;
        const gchar *job = nullptr, *unit = nullptr, *result = nullptr;
        g_variant_get(parameters, "(u&o&s&s)", &id, &job, &unit, &result);
        Guarded([&] {
            if (self->m_job.empty()) {  // our call's reply has not come yet
                if (self->m_endedJobs.size() == kEndedJobsKept) self->m_endedJobs.pop_front();
                self->m_endedJobs.emplace_back(job, result);
            } else if (self->m_job == job) {
                self->Finish(JobOutcome(result));
            }
        });
    }

    // A job whose end can no longer be signalled has ended for us.
    static void OnClosed(GDBusConnection*, gboolean, GError* error, gpointer data) {
        SystemdControl* const self = Self::Of(data);
        if (!self || !self->m_done) return;
        Guarded([&] {
            self->Finish(
                Failure(wxString::FromUTF8(error ? error->message : g_strerror(ECONNRESET))));
        });
    }

    static gboolean OnJobTimeout(gpointer data) {
        if (SystemdControl* const self = Self::Of(data))
            Guarded([&] { self->Finish(JobOutcome("timeout")); });
        return G_SOURCE_REMOVE;
    }

    void Finish(const ServiceOutcome& outcome) {
        m_job.clear();
        m_jobTimeout = Source();
        if (Done done = std::exchange(m_done, nullptr)) done(outcome);
    }

    Lifetime m_lifetime;
    ConnectionPtr m_bus;
    gulong m_closed = 0;  // our handler of its closing
    Subscription m_jobRemoved;
    CancellablePtr m_cancel;  // of the command under way
    ServiceCommand m_command = ServiceCommand::Start;
    std::string m_unit, m_job;  // the job once systemd has queued it
    std::deque<std::pair<std::string, std::string>> m_endedJobs;
    Source m_jobTimeout;
    Done m_done;  // empty while no command is under way
};

}  // namespace

std::unique_ptr<ServiceControl> MakeServiceControl() { return std::make_unique<SystemdControl>(); }

wxString DefaultServiceName() { return "quenthal.service"; }

bool IsValidServiceName(const wxString& name) {
    // Unit names as systemd spells them; the D-Bus API wants the whole name, suffix included.
    const wxString suffix = ".service";
    if (name.length() <= suffix.length() || name.length() > 255 || !name.EndsWith(suffix))
        return false;
    const wxString punctuation = ":_.-@";
    for (const wxUniChar c : name)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              punctuation.Find(c) != wxNOT_FOUND))
            return false;
    return true;
}
