#pragma once

// The one connection to the system bus that the service commands and the readers of the
// service's state share: a private one of ours, so that a closed connection that someone else
// still holds is never handed out again.

#include <gio/gio.h>

#include <functional>

#include "base/lifetime.h"
#include "platform/linux/gio_owners.h"

// Hands got the system bus connection, connecting on first use and connecting anew once the
// last connection has closed. got runs later on the main context, with the connection, or
// with nullptr and the error when the bus cannot be reached or has not answered within 10 s.
// A caller that may be gone by then guards got with its lifetime.
void WithSystemBus(std::function<void(GDBusConnection* bus, const GError* error)> got);

// Seldom enough to cost nothing while a bus socket that is there lets nobody in, soon enough to
// follow it once it does.
constexpr unsigned kSystemBusRetrySeconds = 10;

// Keeps signals that a reader follows on a live system bus connection: connected runs with each
// connection as it comes (the one there is, and each new one after the last closed), and with
// nullptr once it has closed, to let go of it. While there is none it tries again whenever anyone
// connects, and when the bus's socket appears; every kSystemBusRetrySeconds only while its socket
// is there (or the address names none) and does not let us in. While there is one it does
// nothing.
class SystemBusFollower {
public:
    using Connected = std::function<void(GDBusConnection* bus)>;
    explicit SystemBusFollower(Connected connected);
    ~SystemBusFollower();
    SystemBusFollower(const SystemBusFollower&) = delete;
    SystemBusFollower& operator=(const SystemBusFollower&) = delete;

    // From the owner of the connection.
    void Opened(GDBusConnection* bus);
    void Closed(GDBusConnection* bus);
    // The bus's socket, missing before, is there: worth a try at once.
    void Appeared(GDBusConnection* none);

private:
    void Try();
    void Retry();

    Lifetime m_lifetime;
    Connected m_connected;
    ConnectionPtr m_bus;
    Source m_retry;  // only while there is no connection
};
