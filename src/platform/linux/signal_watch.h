#pragma once

// The one way we follow what a service on the system bus signals: on each connection to the bus,
// the signals of one of its objects, heard only from the current owner of its name and only of
// the type they should have; and each time the name gets an owner, the first or a new one, a
// word to read what was missed while nobody listened.

#include <gio/gio.h>

#include <functional>
#include <string>
#include <vector>

#include "base/lifetime.h"
#include "platform/linux/gio_owners.h"
#include "platform/linux/system_bus.h"

class SignalWatch {
public:
    struct Signals {
        const char* name;  // the service's well-known name
        std::string path;  // of the object that signals
        const char* interface;
        std::vector<const char*> members;
        const char* type;            // of each signal's parameters, as in "(b)"
        const char* arg0 = nullptr;  // the first argument, where only one matters
    };
    // The name has an owner and we listen to it on bus: time to read what it says now. reads
    // cancels the calls made for it once the watch goes, so that no reply comes after.
    using Owned = std::function<void(GDBusConnection* bus, GCancellable* reads)>;
    using Heard = std::function<void(const char* member, GVariant* parameters)>;

    // Owned and heard run on the GUI thread while the watch lives.
    SignalWatch(Signals signals, Owned owned, Heard heard);
    ~SignalWatch();
    SignalWatch(const SignalWatch&) = delete;
    SignalWatch& operator=(const SignalWatch&) = delete;

private:
    using Self = Watched<SignalWatch>;
    void Connected(GDBusConnection* bus);
    static void OnOwner(GDBusConnection* bus, const gchar*, const gchar*, gpointer data);
    static void OnSignal(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                         const gchar* member, GVariant* parameters, gpointer data);

    Lifetime m_lifetime;
    const Signals m_signals;
    const Owned m_owned;
    const Heard m_heard;
    CancellablePtr m_reads{g_cancellable_new()};
    ConnectionPtr m_bus;  // held while we follow signals on it, so it goes after them
    std::vector<Subscription> m_subscriptions;
    NameWatch m_owner;
    SystemBusFollower m_follower;  // last: the first to go
};
