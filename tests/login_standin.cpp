// The login manager as far as the tray listens to it: takes its name on the system bus and
// announces from there what the arguments say, as in PrepareForSleep true; or, as in serve true
// false, stays and answers PreparingForShutdown and PreparingForSleep so until it is killed.
#include <gio/gio.h>

#include <cstring>

static bool g_preparing[2];  // for shutdown, for sleep

static GVariant* Preparing(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                           const gchar* name, GError**, gpointer) {
    return g_variant_new_boolean(g_preparing[std::strcmp(name, "PreparingForSleep") == 0]);
}

int main(int argc, char** argv) {
    const bool serve = argc == 4 && std::strcmp(argv[1], "serve") == 0;
    if (argc != 3 && !serve) return 2;
    GError* error = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, &error);
    if (serve && bus) {
        g_preparing[0] = std::strcmp(argv[2], "true") == 0;
        g_preparing[1] = std::strcmp(argv[3], "true") == 0;
        static const GDBusInterfaceVTable vtable = {nullptr, &Preparing, nullptr, {}};
        GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(
            "<node><interface name='org.freedesktop.login1.Manager'>"
            "<property name='PreparingForShutdown' type='b' access='read'/>"
            "<property name='PreparingForSleep' type='b' access='read'/></interface></node>",
            nullptr);
        g_dbus_connection_register_object(bus, "/org/freedesktop/login1", node->interfaces[0],
                                          &vtable, nullptr, nullptr, nullptr);
    }
    // Listeners match the sender by the name's owner: the name first, then the signal.
    GVariant* owned =
        bus ? g_dbus_connection_call_sync(
                  bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                  "RequestName", g_variant_new("(su)", "org.freedesktop.login1", 4u),
                  G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, &error)
            : nullptr;
    if (owned && serve) g_main_loop_run(g_main_loop_new(nullptr, FALSE));
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
