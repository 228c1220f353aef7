#include "platform/linux/signal_watch.h"

#include <utility>

SignalWatch::SignalWatch(Signals signals, Owned owned, Heard heard)
    : m_signals(std::move(signals)),
      m_owned(std::move(owned)),
      m_heard(std::move(heard)),
      m_follower([this](GDBusConnection* bus) { Connected(bus); }) {}

SignalWatch::~SignalWatch() {
    m_lifetime.End();
    g_cancellable_cancel(m_reads.get());
}

void SignalWatch::Connected(GDBusConnection* bus) {
    m_owner = NameWatch();
    m_subscriptions.clear();
    m_bus.reset(bus ? G_DBUS_CONNECTION(g_object_ref(bus)) : nullptr);
    if (!bus) return;
    // By the well-known name: the bus passes on what its owner sends the moment it has the name,
    // and GDBus hands on only what the name's owner sent, whoever else sends to us.
    for (const char* member : m_signals.members)
        m_subscriptions.emplace_back(
            g_dbus_connection_signal_subscribe(bus, m_signals.name, m_signals.interface, member,
                                               m_signals.path.c_str(), m_signals.arg0,
                                               G_DBUS_SIGNAL_FLAGS_NONE, &SignalWatch::OnSignal,
                                               Self(*this, m_lifetime).Give(), &Self::Forget),
            Unsubscribe{bus});
    // Told now if the name has an owner, and each time it gets one anew; the bus has our match
    // rules by then, so that nothing that changes meanwhile falls between.
    m_owner = NameWatch(g_bus_watch_name_on_connection(
        bus, m_signals.name, G_BUS_NAME_WATCHER_FLAGS_NONE, &SignalWatch::OnOwner, nullptr,
        Self(*this, m_lifetime).Give(), &Self::Forget));
}

void SignalWatch::OnOwner(GDBusConnection* bus, const gchar*, const gchar*, gpointer data) {
    if (SignalWatch* const self = Self::Of(data))
        Guarded([&] { self->m_owned(bus, self->m_reads.get()); });
}

void SignalWatch::OnSignal(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                           const gchar* member, GVariant* parameters, gpointer data) {
    SignalWatch* const self = Self::Of(data);
    if (!self || !g_variant_is_of_type(parameters, G_VARIANT_TYPE(self->m_signals.type))) return;
    Guarded([&] { self->m_heard(member, parameters); });
}
