// The login manager's announcements on the system bus, which it broadcasts to anyone listening.
#include "platform/session_events.h"

#include <cstring>
#include <utility>

#include "base/lifetime.h"
#include "platform/linux/gio_owners.h"
#include "platform/linux/system_bus.h"

namespace {

constexpr const char* kLogin = "org.freedesktop.login1";
constexpr const char* kLoginPath = "/org/freedesktop/login1";
constexpr const char* kLoginManager = "org.freedesktop.login1.Manager";

class LoginWatch : public SessionWatch {
public:
    explicit LoginWatch(SessionEvents events)
        : m_events(std::move(events)),
          m_follower([this](GDBusConnection* bus) { Connected(bus); }) {}
    ~LoginWatch() override { m_lifetime.End(); }

private:
    using Self = Watched<LoginWatch>;

    void Connected(GDBusConnection* bus) {
        m_sleep = Subscription();
        m_shutdown = Subscription();
        m_bus.reset(bus ? G_DBUS_CONNECTION(g_object_ref(bus)) : nullptr);
        if (!bus) return;
        m_sleep = Subscribe(bus, "PrepareForSleep");
        m_shutdown = Subscribe(bus, "PrepareForShutdown");
    }

    // GDBus matches the sender by whoever owns the login manager's name.
    Subscription Subscribe(GDBusConnection* bus, const char* member) {
        return Subscription(
            g_dbus_connection_signal_subscribe(
                bus, kLogin, kLoginManager, member, kLoginPath, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
                &LoginWatch::OnSignal, Self(*this, m_lifetime).Give(), &Self::Forget),
            Unsubscribe{bus});
    }

    static void OnSignal(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                         const gchar* member, GVariant* parameters, gpointer data) {
        LoginWatch* const self = Self::Of(data);
        if (!self || !g_variant_is_of_type(parameters, G_VARIANT_TYPE("(b)"))) return;
        gboolean starting = FALSE;
        g_variant_get(parameters, "(b)", &starting);
        Guarded([&] { self->Tell(member, starting); });
    }

    void Tell(const char* member, bool starting) {
        if (std::strcmp(member, "PrepareForShutdown") == 0) {
            if (m_events.ending) m_events.ending(starting);
        } else if (starting) {
            if (m_events.sleeping) m_events.sleeping();
        } else if (m_events.resumed) {
            m_events.resumed();
        }
    }

    Lifetime m_lifetime;
    const SessionEvents m_events;
    ConnectionPtr m_bus;  // held while we follow signals on it, so it goes after them
    Subscription m_sleep, m_shutdown;
    SystemBusFollower m_follower;  // last: the first to go
};

}  // namespace

std::unique_ptr<SessionWatch> WatchSession(SessionEvents events) {
    return std::make_unique<LoginWatch>(std::move(events));
}
