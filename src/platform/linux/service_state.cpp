// The unit's properties from systemd's manager on the system bus, which anyone may read.
#include "platform/service_state.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "base/lifetime.h"
#include "platform/linux/dbus.h"
#include "platform/linux/gio_owners.h"
#include "platform/linux/system_bus.h"
#include "platform/linux/unit_state.h"

namespace {

constexpr const char* kSystemd = "org.freedesktop.systemd1";
constexpr const char* kManagerPath = "/org/freedesktop/systemd1";
constexpr const char* kManager = "org.freedesktop.systemd1.Manager";
constexpr const char* kProperties = "org.freedesktop.DBus.Properties";
constexpr const char* kService = "org.freedesktop.systemd1.Service";

// The unit's object path, which systemd serves whether or not the unit is loaded.
std::string UnitPath(const std::string& unit) {
    return "/org/freedesktop/systemd1/unit/" + BusLabel(unit);
}

// Every property of the unit in one call: systemd takes the empty interface name for all of the
// unit's interfaces (Unit, Service, ...). got has them, or nothing where the manager did not
// answer or said not even what the unit is.
void ReadUnit(GDBusConnection* bus, const std::string& path, GCancellable* cancel,
              std::function<void(const std::optional<UnitProperties>&)> got) {
    CallForReply(bus, kSystemd, path, kProperties, "GetAll", g_variant_new("(s)", ""), "(a{sv})",
                 cancel, [got = std::move(got)](GVariant* reply) {
                     UnitProperties unit;
                     if (reply) {
                         const VariantPtr properties(g_variant_get_child_value(reply, 0));
                         ReadUnitProperties(properties.get(), unit);
                     }
                     if (unit.loadState.empty() || unit.activeState.empty()) return got({});
                     got(unit);
                 });
}

// Follows the unit's main process and systemd's count of its restarts from what systemd signals
// unasked, on each connection to the system bus, and tells each change once.
class UnitWatch {
public:
    UnitWatch(std::string path, ServiceStateReader::Changed changed)
        : m_path(std::move(path)),
          m_changed(std::move(changed)),
          m_follower([this](GDBusConnection* bus) { Connected(bus); }) {}
    ~UnitWatch() {
        m_lifetime.End();
        g_cancellable_cancel(m_cancel.get());
    }

private:
    using Self = Watched<UnitWatch>;
    void* Give() { return Self(*this, m_lifetime).Give(); }

    void Connected(GDBusConnection* bus) {
        m_manager = NameWatch();
        m_changes = Subscription();
        m_bus.reset(bus ? G_DBUS_CONNECTION(g_object_ref(bus)) : nullptr);
        if (!bus) return;
        // Only the Service interface's changes of this unit reach us, matched by the bus.
        m_changes = Subscription(
            g_dbus_connection_signal_subscribe(bus, kSystemd, kProperties, "PropertiesChanged",
                                               m_path.c_str(), kService, G_DBUS_SIGNAL_FLAGS_NONE,
                                               &UnitWatch::OnChanged, Give(), &Self::Forget),
            Unsubscribe{bus});
        // Told now if the manager is there, and each time it takes its name anew.
        m_manager = NameWatch(
            g_bus_watch_name_on_connection(bus, kSystemd, G_BUS_NAME_WATCHER_FLAGS_NONE,
                                           &UnitWatch::OnManager, nullptr, Give(), &Self::Forget));
    }

    // A manager, new or the first one: it signals changes only to the clients that subscribed
    // with it, and what happened before is read once.
    static void OnManager(GDBusConnection* bus, const gchar*, const gchar*, gpointer data) {
        UnitWatch* const self = Self::Of(data);
        if (!self) return;
        g_dbus_connection_call(bus, kSystemd, kManagerPath, kManager, "Subscribe", nullptr, nullptr,
                               G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
        ReadUnit(bus, self->m_path, self->m_cancel.get(),
                 [self](const std::optional<UnitProperties>& unit) {
                     if (!unit) return;
                     self->m_unit = *unit;
                     self->Tell();
                 });
    }

    static void OnChanged(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                          GVariant* parameters, gpointer data) {
        UnitWatch* const self = Self::Of(data);
        if (!self || !g_variant_is_of_type(parameters, G_VARIANT_TYPE("(sa{sv}as)"))) return;
        const VariantPtr changes(g_variant_get_child_value(parameters, 1));
        Guarded([&] {
            ReadUnitProperties(changes.get(), self->m_unit);
            self->Tell();
        });
    }

    void Tell() {
        if (const auto change = m_told.Follow(m_unit)) m_changed(*change);
    }

    Lifetime m_lifetime;
    const std::string m_path;
    const ServiceStateReader::Changed m_changed;
    CancellablePtr m_cancel{g_cancellable_new()};  // of the reads under way
    UnitProperties m_unit;                         // as the manager said last
    MainProcessFollower m_told;
    ConnectionPtr m_bus;  // held while we follow signals on it, so it goes after them
    Subscription m_changes;
    NameWatch m_manager;
    SystemBusFollower m_follower;  // last: the first to go
};

class SystemdStateReader : public ServiceStateReader {
public:
    SystemdStateReader() : m_cancel(g_cancellable_new()) {}
    ~SystemdStateReader() override {
        m_lifetime.End();
        g_cancellable_cancel(m_cancel.get());
    }

    void Ask(const wxString& name, Got got) override {
        const std::string path = UnitPath(name.utf8_string());
        // Held by the call too, so that cancelling reaches it after the reader is gone.
        const std::shared_ptr<GCancellable> cancel(G_CANCELLABLE(g_object_ref(m_cancel.get())),
                                                   GObjectUnref{});
        WithSystemBus([got = m_lifetime.Guard(std::move(got)), path, cancel](GDBusConnection* bus,
                                                                             const GError*) {
            if (g_cancellable_is_cancelled(cancel.get())) return;
            if (!bus) return got(std::nullopt);
            ReadUnit(bus, path, cancel.get(), [got](const std::optional<UnitProperties>& unit) {
                got(unit ? std::optional(DecodeUnit(*unit)) : std::nullopt);
            });
        });
    }

    // One watch at a time: a second replaces the first.
    void Watch(const wxString& name, Changed changed) override {
        m_watch.reset();
        m_watch = std::make_unique<UnitWatch>(UnitPath(name.utf8_string()), std::move(changed));
    }

private:
    Lifetime m_lifetime;
    CancellablePtr m_cancel;  // of the calls under way, which need not finish once it is gone
    std::unique_ptr<UnitWatch> m_watch;
};

}  // namespace

std::unique_ptr<ServiceStateReader> MakeServiceStateReader() {
    return std::make_unique<SystemdStateReader>();
}
