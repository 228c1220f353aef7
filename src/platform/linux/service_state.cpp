// The unit's properties from systemd's manager on the system bus, which anyone may read.
#include "platform/service_state.h"

#include <memory>
#include <string>

#include "base/lifetime.h"
#include "platform/linux/dbus.h"
#include "platform/linux/gio_owners.h"
#include "platform/linux/system_bus.h"
#include "platform/linux/unit_state.h"

namespace {

constexpr const char* kSystemd = "org.freedesktop.systemd1";
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
const Property kProperties[] = {
    {kUnit, "LoadState", &UnitProperties::loadState, nullptr},
    {kUnit, "ActiveState", &UnitProperties::activeState, nullptr},
    {kUnit, "SubState", &UnitProperties::subState, nullptr},
    {kService, "Result", &UnitProperties::result, nullptr},
    {kService, "ExecMainCode", nullptr, &UnitProperties::execMainCode},
    {kService, "ExecMainStatus", nullptr, &UnitProperties::execMainStatus}};
constexpr int kUnitProperties = 3;
constexpr int kPropertyCount = int(sizeof kProperties / sizeof kProperties[0]);

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
            question.Store(kProperties[call->index], value);
        } else if (call->index < kUnitProperties) {
            question.failed = true;  // a unit not of the service kind lacks only the rest
        }
        if (--question.pending == 0) question.Tell(!question.failed);
    });
}

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
                g_dbus_connection_call(
                    bus, kSystemd, path.c_str(), "org.freedesktop.DBus.Properties", "Get",
                    g_variant_new("(ss)", kProperties[index].interface, kProperties[index].name),
                    G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NO_AUTO_START, kAskTimeoutMs,
                    cancel.get(), &OnProperty, new Call{question, index});
        });
    }

private:
    Lifetime m_lifetime;
    CancellablePtr m_cancel;  // of the calls under way, which need not finish once it is gone
};

}  // namespace

std::unique_ptr<ServiceStateReader> MakeServiceStateReader() {
    return std::make_unique<SystemdStateReader>();
}
