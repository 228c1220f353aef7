#pragma once

// The one connection to the system bus that the whole program shares.

#include <gio/gio.h>

#include <functional>

// Hands got the system bus, connecting first when there is no open connection; or null with why
// not. Runs got on the GUI thread; not when cancel is cancelled first.
void WithSystemBus(GCancellable* cancel,
                   std::function<void(GDBusConnection* bus, const GError* error)> got);
