// The unit's properties from systemd's manager on the system bus, which anyone may read.
#include "platform/service_state.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "base/lifetime.h"
#include "platform/linux/dbus.h"
#include "platform/linux/gio_owners.h"
#include "platform/linux/signal_watch.h"
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
// unasked, and tells each change once.
class UnitWatch {
public:
    UnitWatch(std::string path, ServiceStateReader::Changed changed)
        : m_path(std::move(path)),
          m_changed(std::move(changed)),
          m_signals(
              {kSystemd, m_path, kProperties, {"PropertiesChanged"}, "(sa{sv}as)", kService},
              [this](GDBusConnection* bus, GCancellable* reads) { Owned(bus, reads); },
              [this](const char*, GVariant* parameters) { Heard(parameters); }) {}

private:
    // A manager, new or the first one: it signals changes only to the clients that subscribed
    // with it, and what happened before is read once.
    void Owned(GDBusConnection* bus, GCancellable* reads) {
        g_dbus_connection_call(bus, kSystemd, kManagerPath, kManager, "Subscribe", nullptr, nullptr,
                               G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
        ReadUnit(bus, m_path, reads, [this](const std::optional<UnitProperties>& unit) {
            if (!unit) return;
            m_unit = *unit;
            Tell();
        });
    }

    // Only the Service interface's changes reach us, matched by the bus.
    void Heard(GVariant* parameters) {
        const VariantPtr changes(g_variant_get_child_value(parameters, 1));
        ReadUnitProperties(changes.get(), m_unit);
        Tell();
    }

    void Tell() {
        if (const auto change = m_told.Follow(m_unit)) m_changed(*change);
    }

    const std::string m_path;
    const ServiceStateReader::Changed m_changed;
    UnitProperties m_unit;  // as the manager said last
    MainProcessFollower m_told;
    SignalWatch m_signals;  // last: the first to go
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
    CancellablePtr m_cancel;  // of the calls under way, which need not finish once it is gone
    std::unique_ptr<UnitWatch> m_watch;
};

}  // namespace

std::unique_ptr<ServiceStateReader> MakeServiceStateReader() {
    return std::make_unique<SystemdStateReader>();
}
