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
constexpr const char* kProperties = "org.freedesktop.DBus.Properties";
// A login manager slower than this to say where things stand has its signals to tell it later.
constexpr int kReadTimeoutMs = 5000;

class LoginWatch : public SessionWatch {
public:
    explicit LoginWatch(SessionEvents events)
        : m_events(std::move(events)),
          m_follower([this](GDBusConnection* bus) { Connected(bus); }) {}
    ~LoginWatch() override {
        m_lifetime.End();
        g_cancellable_cancel(m_cancel.get());
    }

private:
    using Self = Watched<LoginWatch>;

    void Connected(GDBusConnection* bus) {
        m_login = NameWatch();
        m_sleep = Subscription();
        m_shutdown = Subscription();
        m_bus.reset(bus ? G_DBUS_CONNECTION(g_object_ref(bus)) : nullptr);
        if (!bus) return;
        m_sleep = Subscribe(bus, "PrepareForSleep");
        m_shutdown = Subscribe(bus, "PrepareForShutdown");
        // Told now if the login manager is there, and each time it takes its name anew.
        m_login = NameWatch(g_bus_watch_name_on_connection(
            bus, kLogin, G_BUS_NAME_WATCHER_FLAGS_NONE, &LoginWatch::OnLogin, nullptr,
            Self(*this, m_lifetime).Give(), &Self::Forget));
    }

    // What was announced or cancelled while we did not listen (the bus or the login manager
    // away), read after subscribing, so that nothing falls between.
    static void OnLogin(GDBusConnection* bus, const gchar*, const gchar*, gpointer data) {
        LoginWatch* const self = Self::Of(data);
        if (!self) return;
        self->Read<true>(bus, "PreparingForShutdown");
        self->Read<false>(bus, "PreparingForSleep");
    }

    template <bool kShutdown>
    void Read(GDBusConnection* bus, const char* property) {
        g_dbus_connection_call(bus, kLogin, kLoginPath, kProperties, "Get",
                               g_variant_new("(ss)", kLoginManager, property),
                               G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NO_AUTO_START,
                               kReadTimeoutMs, m_cancel.get(), &LoginWatch::OnRead<kShutdown>,
                               Self(*this, m_lifetime).Give());
    }

    // A shutdown is told as it stands, announced or not; a sleep only while it is announced,
    // since one that ended meanwhile shows by other means.
    template <bool kShutdown>
    static void OnRead(GObject* bus, GAsyncResult* result, gpointer data) {
        LoginWatch* const self = Self::Take(data);
        FinishCall(bus, result, [&](GVariant* reply, const GError*) {
            if (!self || !reply) return;
            GVariant* value = nullptr;
            g_variant_get(reply, "(v)", &value);
            const VariantPtr owned(value);
            if (!g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN)) return;
            const bool now = g_variant_get_boolean(value);
            if (kShutdown && self->m_events.ending) self->m_events.ending(now);
            if (!kShutdown && now && self->m_events.sleeping) self->m_events.sleeping();
        });
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
    CancellablePtr m_cancel{g_cancellable_new()};  // of the reads under way
    ConnectionPtr m_bus;  // held while we follow signals on it, so it goes after them
    Subscription m_sleep, m_shutdown;
    NameWatch m_login;
    SystemBusFollower m_follower;  // last: the first to go
};

}  // namespace

std::unique_ptr<SessionWatch> WatchSession(SessionEvents events) {
    return std::make_unique<LoginWatch>(std::move(events));
}
