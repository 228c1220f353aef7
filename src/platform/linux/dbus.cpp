#include "platform/linux/dbus.h"

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
