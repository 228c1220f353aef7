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
constexpr const char* kPropertiesInterface = "org.freedesktop.DBus.Properties";
constexpr const char* kUnit = "org.freedesktop.systemd1.Unit";
constexpr const char* kService = "org.freedesktop.systemd1.Service";
// A manager slower than this cannot say why in time to be of use.
constexpr int kAskTimeoutMs = 5000;

// Each property, and the fact it gives: a text or a number.
struct Property {
    const char* interface;
    const char* name;
    wxString UnitProperties::*text;
    std::int32_t UnitProperties::*number;
};
// The unit's properties first: without them there is nothing to tell.
const Property kUnitQuestions[] = {
    {kUnit, "LoadState", &UnitProperties::loadState, nullptr},
    {kUnit, "ActiveState", &UnitProperties::activeState, nullptr},
    {kUnit, "SubState", &UnitProperties::subState, nullptr},
    {kService, "Result", &UnitProperties::result, nullptr},
    {kService, "ExecMainCode", nullptr, &UnitProperties::execMainCode},
    {kService, "ExecMainStatus", nullptr, &UnitProperties::execMainStatus}};
constexpr int kUnitProperties = 3;
constexpr int kPropertyCount = int(sizeof kUnitQuestions / sizeof kUnitQuestions[0]);

// The unit's object path, which systemd serves whether or not the unit is loaded.
std::string UnitPath(const std::string& unit) {
    return "/org/freedesktop/systemd1/unit/" + BusLabel(unit);
}

// One question: the six answers gathered, then told once, while the reader lives.
struct Question {
    ServiceStateReader::Got got;  // guarded: nothing once the reader is gone
    UnitProperties properties;
    int pending = kPropertyCount;
    bool failed = false;

    void Tell(bool answered) {
        if (answered)
            got(DecodeUnit(properties));
        else
            got(std::nullopt);
    }

    void Store(const Property& property, GVariant* value) {
        if (property.text && g_variant_is_of_type(value, G_VARIANT_TYPE_STRING))
            properties.*property.text = wxString::FromUTF8(g_variant_get_string(value, nullptr));
        if (property.number && g_variant_is_of_type(value, G_VARIANT_TYPE_INT32))
            properties.*property.number = g_variant_get_int32(value);
    }
};

struct Call {
    std::shared_ptr<Question> question;
    int index;
};

void OnProperty(GObject* bus, GAsyncResult* result, gpointer data) {
    // Taken first, so that a cancelled call lets go of its question too.
    const std::unique_ptr<Call> call(static_cast<Call*>(data));
    FinishCall(bus, result, [&](GVariant* reply, const GError*) {
        Question& question = *call->question;
        if (reply) {
            GVariant* value = nullptr;
            g_variant_get(reply, "(v)", &value);
            const VariantPtr owned(value);
            question.Store(kUnitQuestions[call->index], value);
        } else if (call->index < kUnitProperties) {
            question.failed = true;  // a unit not of the service kind lacks only the rest
        }
        if (--question.pending == 0) question.Tell(!question.failed);
    });
}

// Reads into process what systemd's properties of the Service interface (a{sv}) say of it,
// leaving the rest as it was. Words of an unexpected type are left out.
void ReadMainProcess(GVariant* properties, MainProcess& process) {
    // systemd's results are single words; more is not one of them.
    constexpr std::size_t kLongestResult = 64;
    GVariantIter iter;
    g_variant_iter_init(&iter, properties);
    const gchar* name = nullptr;
    GVariant* value = nullptr;
    while (g_variant_iter_loop(&iter, "{&sv}", &name, &value)) {
        const std::string property = name;
        if (property == "ExecMainPID" && g_variant_is_of_type(value, G_VARIANT_TYPE_UINT32))
            process.pid = g_variant_get_uint32(value);
        else if (property == "ExecMainStartTimestamp" &&
                 g_variant_is_of_type(value, G_VARIANT_TYPE_UINT64))
            process.startedUs = g_variant_get_uint64(value);
        else if (property == "ExecMainCode" && g_variant_is_of_type(value, G_VARIANT_TYPE_INT32))
            process.execMainCode = g_variant_get_int32(value);
        else if (property == "ExecMainStatus" && g_variant_is_of_type(value, G_VARIANT_TYPE_INT32))
            process.execMainStatus = g_variant_get_int32(value);
        else if (property == "Result" && g_variant_is_of_type(value, G_VARIANT_TYPE_STRING))
            process.result = wxString::FromUTF8(
                std::string(g_variant_get_string(value, nullptr)).substr(0, kLongestResult));
        else if (property == "NRestarts" && g_variant_is_of_type(value, G_VARIANT_TYPE_UINT32))
            process.restarts = g_variant_get_uint32(value);
    }
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
            g_dbus_connection_signal_subscribe(
                bus, kSystemd, kPropertiesInterface, "PropertiesChanged", m_path.c_str(), kService,
                G_DBUS_SIGNAL_FLAGS_NONE, &UnitWatch::OnChanged, Give(), &Self::Forget),
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
        g_dbus_connection_call(bus, kSystemd, self->m_path.c_str(), kPropertiesInterface, "GetAll",
                               g_variant_new("(s)", kService), G_VARIANT_TYPE("(a{sv})"),
                               G_DBUS_CALL_FLAGS_NO_AUTO_START, kAskTimeoutMs, self->m_cancel.get(),
                               &UnitWatch::OnRead, self->Give());
    }

    static void OnRead(GObject* bus, GAsyncResult* result, gpointer data) {
        UnitWatch* const self = Self::Take(data);
        FinishCall(bus, result, [&](GVariant* reply, const GError*) {
            if (!self || !reply) return;
            GVariant* properties = g_variant_get_child_value(reply, 0);
            const VariantPtr owned(properties);
            self->Update(properties);
        });
    }

    static void OnChanged(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                          GVariant* parameters, gpointer data) {
        UnitWatch* const self = Self::Of(data);
        if (!self || !g_variant_is_of_type(parameters, G_VARIANT_TYPE("(sa{sv}as)"))) return;
        GVariant* properties = g_variant_get_child_value(parameters, 1);
        const VariantPtr owned(properties);
        Guarded([&] { self->Update(properties); });
    }

    void Update(GVariant* properties) {
        ReadMainProcess(properties, m_process);
        if (const auto change = m_told.Follow(m_process)) m_changed(*change);
    }

    Lifetime m_lifetime;
    const std::string m_path;
    const ServiceStateReader::Changed m_changed;
    CancellablePtr m_cancel{g_cancellable_new()};  // of the reads under way
    MainProcess m_process;                         // as the manager said last
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
        auto question = std::make_shared<Question>();
        question->got = m_lifetime.Guard(std::move(got));
        const std::string path = UnitPath(name.utf8_string());
        // Held by the question's calls too, so that cancelling reaches them after the reader is
        // gone.
        const std::shared_ptr<GCancellable> cancel(G_CANCELLABLE(g_object_ref(m_cancel.get())),
                                                   GObjectUnref{});
        WithSystemBus([question, path, cancel](GDBusConnection* bus, const GError*) {
            if (g_cancellable_is_cancelled(cancel.get())) return;
            if (!bus) return question->Tell(false);
            for (int index = 0; index < kPropertyCount; ++index)
                g_dbus_connection_call(bus, kSystemd, path.c_str(), kPropertiesInterface, "Get",
                                       g_variant_new("(ss)", kUnitQuestions[index].interface,
                                                     kUnitQuestions[index].name),
                                       G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NO_AUTO_START,
                                       kAskTimeoutMs, cancel.get(), &OnProperty,
                                       new Call{question, index});
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
