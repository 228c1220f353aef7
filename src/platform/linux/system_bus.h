#pragma once

// The one connection to the system bus that the service commands and the readers of the
// service's state share: a private one of ours, so that a closed connection that someone else
// still holds is never handed out again.

#include <gio/gio.h>

#include <functional>

// Hands got the system bus connection, connecting on first use and connecting anew once the
// last connection has closed. got runs later on the main context, with the connection, or
// with nullptr and the error when the bus cannot be reached or has not answered within 10 s.
// A caller that may be gone by then guards got with its lifetime.
void WithSystemBus(std::function<void(GDBusConnection* bus, const GError* error)> got);
