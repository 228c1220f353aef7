// The login manager's announcements on the system bus, which it broadcasts to anyone listening.
#include "platform/session_events.h"

#include <cstring>
#include <utility>

#include "platform/linux/dbus.h"
#include "platform/linux/gio_owners.h"
#include "platform/linux/signal_watch.h"

namespace {

constexpr const char* kLogin = "org.freedesktop.login1";
constexpr const char* kLoginPath = "/org/freedesktop/login1";
constexpr const char* kLoginManager = "org.freedesktop.login1.Manager";
constexpr const char* kProperties = "org.freedesktop.DBus.Properties";

class LoginWatch : public SessionWatch {
public:
    explicit LoginWatch(SessionEvents events)
        : m_events(std::move(events)),
          m_signals(
              {kLogin, kLoginPath, kLoginManager, {"PrepareForSleep", "PrepareForShutdown"}, "(b)"},
              [this](GDBusConnection* bus, GCancellable* reads) { Owned(bus, reads); },
              [this](const char* member, GVariant* parameters) { Heard(member, parameters); }) {}

private:
    // What was announced or cancelled while we did not listen (the bus or the login manager
    // away), read now that we listen, so that nothing falls between.
    void Owned(GDBusConnection* bus, GCancellable* reads) {
        Read(bus, reads, "PreparingForShutdown", true);
        Read(bus, reads, "PreparingForSleep", false);
    }

    // A shutdown is told as it stands, announced or not; a sleep only while it is announced,
    // since one that ended meanwhile shows by other means.
    void Read(GDBusConnection* bus, GCancellable* reads, const char* property, bool shutdown) {
        CallForReply(bus, kLogin, kLoginPath, kProperties, "Get",
                     g_variant_new("(ss)", kLoginManager, property), "(v)", reads,
                     [this, shutdown](GVariant* reply) {
                         if (!reply) return;
                         GVariant* value = nullptr;
                         g_variant_get(reply, "(v)", &value);
                         const VariantPtr owned(value);
                         if (!g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN)) return;
                         const bool now = g_variant_get_boolean(value);
                         if (shutdown && m_events.ending) m_events.ending(now);
                         if (!shutdown && now && m_events.sleeping) m_events.sleeping();
                     });
    }

    void Heard(const char* member, GVariant* parameters) {
        gboolean starting = FALSE;
        g_variant_get(parameters, "(b)", &starting);
        if (std::strcmp(member, "PrepareForShutdown") == 0) {
            if (m_events.ending) m_events.ending(starting);
        } else if (starting) {
            if (m_events.sleeping) m_events.sleeping();
        } else if (m_events.resumed) {
            m_events.resumed();
        }
    }

    const SessionEvents m_events;
    SignalWatch m_signals;  // last: the first to go
};

}  // namespace

std::unique_ptr<SessionWatch> WatchSession(SessionEvents events) {
    return std::make_unique<LoginWatch>(std::move(events));
}
