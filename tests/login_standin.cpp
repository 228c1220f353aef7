// The login manager as far as the tray listens to it: takes its name on the system bus and
// announces from there what the arguments say, as in PrepareForSleep true.
#include <gio/gio.h>

#include <cstring>

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    GError* error = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, &error);
    // Listeners match the sender by the name's owner: the name first, then the signal.
    GVariant* owned =
        bus ? g_dbus_connection_call_sync(
                  bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                  "RequestName", g_variant_new("(su)", "org.freedesktop.login1", 4u),
                  G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, &error)
            : nullptr;
    if (!owned ||
        !g_dbus_connection_emit_signal(
            bus, nullptr, "/org/freedesktop/login1", "org.freedesktop.login1.Manager", argv[1],
            g_variant_new("(b)", std::strcmp(argv[2], "true") == 0), &error) ||
        !g_dbus_connection_flush_sync(bus, nullptr, &error)) {
        g_printerr("login_standin: %s\n", error->message);
        return 1;
    }
    return 0;
}
