#pragma once

// What the Linux files that speak D-Bus share: where the session bus is, text made fit for a name
// or a path on the bus, and a call whose reply is read.

#include <gio/gio.h>

#include <functional>
#include <string>

// The session bus's address when one runs, else empty. Without an address gio would start a bus
// of its own, which no tray and no other Sentak share.
std::string SessionBusAddress();

// text as an element of a bus name or object path: every byte outside [A-Za-z0-9] as _xx, a
// leading digit too, and nothing as _, which is how systemd names its units' objects
// ("quenthal.service" is quenthal_2eservice, "3proxy.service" _33proxy_2eservice).
std::string BusLabel(const std::string& text);

// The reply of a call, or null where it failed.
using Reply = std::function<void(GVariant* reply)>;

// Calls method of interface at path of name's owner on bus, never starting a service that is not
// there, and hands got the reply of the type given. A service slower than 5 s to say where things
// stand is of no use: its signals tell what changes later. got is dropped unseen once cancel
// fires, as its caller cancels only when it goes away.
void CallForReply(GDBusConnection* bus, const char* name, const std::string& path,
                  const char* interface, const char* method, GVariant* args, const char* type,
                  GCancellable* cancel, Reply got);
