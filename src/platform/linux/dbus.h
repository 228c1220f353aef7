#pragma once

// What the Linux files that speak D-Bus share: where the session bus is, and text made fit for a
// name or a path on the bus.

#include <string>

// The session bus's address when one runs, else empty. Without an address gio would start a bus
// of its own, which no tray and no other Sentak share.
std::string SessionBusAddress();

// text as an element of a bus name or object path: every byte outside [A-Za-z0-9] as _xx, a
// leading digit too, and nothing as _, which is how systemd names its units' objects
// ("quenthal.service" is quenthal_2eservice, "3proxy.service" _33proxy_2eservice).
std::string BusLabel(const std::string& text);
