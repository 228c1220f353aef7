#include "platform/single_instance.h"

#include <string>

#include "platform/chosen_pipe.h"
#include "platform/linux/dbus.h"
#include "platform/linux/gio_owners.h"

namespace {

constexpr const char* kPath = "/org/example/sentak/Instance";
constexpr const char* kInterface = "org.example.sentak.Instance";
constexpr const char* kIntrospection =
    "<node><interface name='org.example.sentak.Instance'>"
    "<method name='StartedAgain'/></interface></node>";
// RequestName's flag that makes it fail rather than wait in line, and its answer of success.
constexpr guint32 kDoNotQueue = 4, kPrimaryOwner = 1;
constexpr int kRequestTimeoutMs = 2000;

using MessagePtr = std::unique_ptr<GDBusMessage, GObjectUnref>;

// What runs when a later start tells this one; set by WhenStartedAgain.
std::function<void()>& StartedAgainHandler() {
    static std::function<void()> handler;
    return handler;
}

// A connection of its own, so that the name goes with the claim whatever else uses the bus.
ConnectionPtr SessionBus() {
    const std::string address = SessionBusAddress();
    if (address.empty()) return nullptr;
    GError* error = nullptr;
    ConnectionPtr bus(g_dbus_connection_new_for_address_sync(
        address.c_str(),
        GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                             G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &error));
    const ErrorPtr failed(error);
    return bus;
}

// Per display and pipe: the same user on two displays is two sessions, and a test's or demo's
// Sentak on a pipe of its own runs beside the installed one.
std::string InstanceName() {
    const char* display = g_getenv("WAYLAND_DISPLAY");
    if (!display || !*display) display = g_getenv("DISPLAY");
    std::string name = std::string(kInterface) + ".d" + BusLabel(display ? display : "");
    const wxString pipe = PipeKey();
    if (!pipe.empty()) name += ".p" + pipe.ToStdString();
    return name;
}

void OnMethodCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                  GVariant*, GDBusMethodInvocation* invocation, gpointer) {
    g_dbus_method_invocation_return_value(invocation, nullptr);
    Guarded([] {
        if (StartedAgainHandler()) StartedAgainHandler()();
    });
}

// Before the name is ours, so that no later start finds the name without the method.
Registration Export(GDBusConnection* bus) {
    const NodeInfoPtr node(g_dbus_node_info_new_for_xml(kIntrospection, nullptr),
                           &g_dbus_node_info_unref);
    static const GDBusInterfaceVTable vtable{&OnMethodCall, nullptr, nullptr, {}};
    return Registration(g_dbus_connection_register_object(bus, kPath, node->interfaces[0], &vtable,
                                                          nullptr, nullptr, nullptr),
                        Unexport{bus});
}

// RequestName's answer; 0 when the bus gave none.
guint32 RequestName(GDBusConnection* bus, const std::string& name) {
    GError* error = nullptr;
    const VariantPtr reply(g_dbus_connection_call_sync(
        bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
        g_variant_new("(su)", name.c_str(), kDoNotQueue), G_VARIANT_TYPE("(u)"),
        G_DBUS_CALL_FLAGS_NONE, kRequestTimeoutMs, nullptr, &error));
    const ErrorPtr failed(error);
    guint32 answer = 0;
    if (reply) g_variant_get(reply.get(), "(u)", &answer);
    return answer;
}

// Without waiting for an answer: a Sentak that hangs must not hold up this one's end.
void TellStartedAgain(GDBusConnection* bus, const std::string& name) {
    const MessagePtr message(
        g_dbus_message_new_method_call(name.c_str(), kPath, kInterface, "StartedAgain"));
    g_dbus_message_set_flags(message.get(), G_DBUS_MESSAGE_FLAGS_NO_REPLY_EXPECTED);
    g_dbus_connection_send_message(bus, message.get(), G_DBUS_SEND_MESSAGE_FLAGS_NONE, nullptr,
                                   nullptr);
    g_dbus_connection_flush_sync(bus, nullptr, nullptr);
}

}  // namespace

// The connection that owns the instance name (closing it gives the name up) and the object that a
// later start calls on it.
struct InstanceClaim::ClaimHandles {
    ConnectionPtr bus;
    Registration object;  // after the bus, so that it goes first
};

InstanceClaim::InstanceClaim() {
    ConnectionPtr bus = SessionBus();
    if (!bus) return;  // nothing to check: this one runs
    Registration object = Export(bus.get());
    const std::string name = InstanceName();
    const guint32 answer = RequestName(bus.get(), name);
    // Another process owns the instance name (or this one does, through another claim).
    if (answer != kPrimaryOwner && answer != 0) {
        m_anotherRuns = true;
        TellStartedAgain(bus.get(), name);
        return;
    }
    m_handles = std::make_unique<ClaimHandles>(ClaimHandles{std::move(bus), std::move(object)});
}

InstanceClaim::~InstanceClaim() = default;

void WhenStartedAgain(std::function<void()> handler) { StartedAgainHandler() = std::move(handler); }
