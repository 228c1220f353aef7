#include "platform/linux/dbus.h"

#include <memory>
#include <utility>

#include "platform/linux/gio_owners.h"

std::string SessionBusAddress() {
    const char* address = g_getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address && *address) return address;
    // Where systemd's user session keeps it, when the variable is not passed on.
    const StringPtr userBus(g_build_filename(g_get_user_runtime_dir(), "bus", nullptr));
    if (!g_file_test(userBus.get(), G_FILE_TEST_EXISTS)) return {};
    const StringPtr escaped(g_dbus_address_escape_value(userBus.get()));
    return std::string("unix:path=") + escaped.get();
}

std::string BusLabel(const std::string& text) {
    static const char hex[] = "0123456789abcdef";
    // An element may neither be empty nor begin with a digit. systemd signals on the path so
    // spelt, though it resolves others when asked.
    if (text.empty()) return "_";
    std::string label;
    for (const unsigned char c : text) {
        const bool digit = c >= '0' && c <= '9' && !label.empty();
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || digit) {
            label += char(c);
        } else {
            label += '_';
            label += hex[c >> 4];
            label += hex[c & 15];
        }
    }
    return label;
}

void CallForReply(GDBusConnection* bus, const char* name, const std::string& path,
                  const char* interface, const char* method, GVariant* args, const char* type,
                  GCancellable* cancel, Reply got) {
    constexpr int kTimeoutMs = 5000;
    g_dbus_connection_call(
        bus, name, path.c_str(), interface, method, args, G_VARIANT_TYPE(type),
        G_DBUS_CALL_FLAGS_NO_AUTO_START, kTimeoutMs, cancel,
        [](GObject* bus, GAsyncResult* result, gpointer data) {
            // Taken first, so that a cancelled call lets go of it too.
            const std::unique_ptr<Reply> got(static_cast<Reply*>(data));
            FinishCall(bus, result, [&](GVariant* reply, const GError*) { (*got)(reply); });
        },
        new Reply(std::move(got)));
}
