// The system bus connection: one private connection of ours, let go of once it has closed, so
// that the next command connects anew (GLib's shared one would come back closed while anyone
// still holds it).
#include "platform/linux/system_bus.h"

#include <utility>
#include <vector>

#include "platform/linux/gio_owners.h"

namespace {

using Got = std::function<void(GDBusConnection* bus, const GError* error)>;

class SystemBusOwner {
public:
    static SystemBusOwner& Get() {
        static SystemBusOwner owner;
        return owner;
    }

    void With(GCancellable* cancel, Got got) {
        m_waiting.push_back({CancellablePtr(cancel ? G_CANCELLABLE(g_object_ref(cancel)) : nullptr),
                             std::move(got)});
        // From the main loop, never from within the caller's own call.
        if (!std::exchange(m_round, true)) g_idle_add(&SystemBusOwner::OnRound, nullptr);
    }

private:
    struct Waiting {
        CancellablePtr cancel;
        Got got;
    };

    ~SystemBusOwner() { LetGo(); }

    static gboolean OnRound(gpointer) {
        Guarded([] { Get().Round(); });
        return G_SOURCE_REMOVE;
    }

    void Round() {
        // Closed even if its signal has not come yet: the next command needs a new one.
        if (m_bus && g_dbus_connection_is_closed(m_bus.get())) LetGo();
        if (m_bus) return HandOut(nullptr);
        GError* error = nullptr;
        const StringPtr address(
            g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SYSTEM, nullptr, &error));
        const ErrorPtr failed(error);
        if (!address) return HandOut(error);
        // Asynchronously: a system bus that does not answer must not freeze the tray.
        g_dbus_connection_new_for_address(
            address.get(),
            GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                 G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, &SystemBusOwner::OnConnected, nullptr);
    }

    static void OnConnected(GObject*, GAsyncResult* result, gpointer) {
        GError* error = nullptr;
        ConnectionPtr bus(g_dbus_connection_new_for_address_finish(result, &error));
        const ErrorPtr failed(error);
        SystemBusOwner& self = Get();
        if (bus) self.Keep(std::move(bus));
        self.HandOut(error);
    }

    void Keep(ConnectionPtr bus) {
        // The bus going away ends a command, never the program.
        g_dbus_connection_set_exit_on_close(bus.get(), FALSE);
        m_closed =
            g_signal_connect(bus.get(), "closed", G_CALLBACK(&SystemBusOwner::OnClosed), nullptr);
        m_bus = std::move(bus);
    }

    static void OnClosed(GDBusConnection*, gboolean, GError*, gpointer) { Get().LetGo(); }

    void LetGo() {
        if (m_closed) g_signal_handler_disconnect(m_bus.get(), std::exchange(m_closed, 0));
        m_bus.reset();
    }

    void HandOut(const GError* error) {
        m_round = false;
        // Held while they run: one of them may start the next round or see the bus close.
        const ConnectionPtr bus(m_bus ? G_DBUS_CONNECTION(g_object_ref(m_bus.get())) : nullptr);
        for (Waiting& waiting : std::exchange(m_waiting, {}))
            if (!g_cancellable_is_cancelled(waiting.cancel.get()))
                Guarded([&] { waiting.got(bus.get(), error); });
    }

    ConnectionPtr m_bus;
    gulong m_closed = 0;   // our handler of its closing
    bool m_round = false;  // a round of handing out is under way
    std::vector<Waiting> m_waiting;
};

}  // namespace

void WithSystemBus(GCancellable* cancel, Got got) {
    SystemBusOwner::Get().With(cancel, std::move(got));
}
