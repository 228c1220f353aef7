// Stands in for the shared connection owner until it lands: gio's own shared system bus.
#include "platform/system_bus_linux.h"

#include <memory>

#include "platform/gio_owners_linux.h"

namespace {
using Got = std::function<void(GDBusConnection*, const GError*)>;

void OnBus(GObject*, GAsyncResult* result, gpointer data) {
    const std::unique_ptr<Got> got(static_cast<Got*>(data));
    GError* error = nullptr;
    const ConnectionPtr bus(g_bus_get_finish(result, &error));
    const ErrorPtr failed(error);
    if (error && g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED)) return;
    if (bus) g_dbus_connection_set_exit_on_close(bus.get(), FALSE);
    Guarded([&] { (*got)(bus.get(), error); });
}
}  // namespace

void WithSystemBus(GCancellable* cancel, Got got) {
    g_bus_get(G_BUS_TYPE_SYSTEM, cancel, &OnBus, new Got(std::move(got)));
}
