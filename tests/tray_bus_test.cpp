// Where the Linux tray icon shows, the item's registration with a stand-in watcher, and what
// its menu tells hosts, on a session bus of the test run's own.
#include <wx/imagpng.h>

#include "bus_support.h"
#include "platform/linux/tray_protocol.h"
#include "platform/single_instance.h"

namespace {

// A watcher that records registrations, with a host as the test says.
struct Watcher {
    ConnectionPtr c = Connect(g_getenv("DBUS_SESSION_BUS_ADDRESS"));
    std::vector<std::string> items;
    bool host = false;
    Registration object;
    Watcher() {
        static GDBusNodeInfo* const node = g_dbus_node_info_new_for_xml(
            "<node><interface name='org.kde.StatusNotifierWatcher'>"
            "<method name='RegisterStatusNotifierItem'><arg type='s'/></method>"
            "<property name='IsStatusNotifierHostRegistered' type='b' access='read'/>"
            "</interface></node>",
            nullptr);
        static const GDBusInterfaceVTable vtable{
            [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
               GVariant* args, GDBusMethodInvocation* call, gpointer self) {
                const gchar* item = nullptr;
                g_variant_get(args, "(&s)", &item);
                static_cast<Watcher*>(self)->items.push_back(item);
                g_dbus_method_invocation_return_value(call, nullptr);
            },
            [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GError**,
               gpointer self) { return g_variant_new_boolean(static_cast<Watcher*>(self)->host); },
            nullptr,
            {}};
        object = Registration(
            g_dbus_connection_register_object(c.get(), "/StatusNotifierWatcher",
                                              node->interfaces[0], &vtable, this, nullptr, nullptr),
            Unexport{c.get()});
        g_variant_unref(g_dbus_connection_call_sync(
            c.get(), "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
            "RequestName", g_variant_new("(su)", "org.kde.StatusNotifierWatcher", 0), nullptr,
            G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr));
    }
    void Emit(const char* signal, GVariant* args) {
        g_dbus_connection_emit_signal(c.get(), nullptr, "/StatusNotifierWatcher",
                                      "org.kde.StatusNotifierWatcher", signal, args, nullptr);
    }
};

// A call of the host to the item's menu or other object, and the reply as text or the error's name.
std::string CallItem(Watcher& watcher, const char* method, GVariant* args,
                     const char* path = "/MenuBar",
                     const char* interface = "com.canonical.dbusmenu") {
    std::optional<std::string> answer;
    g_dbus_connection_call(
        watcher.c.get(), watcher.items[0].c_str(), path, interface, method, args, nullptr,
        G_DBUS_CALL_FLAGS_NONE, -1, nullptr,
        [](GObject* c, GAsyncResult* result, gpointer answer) {
            GError* error = nullptr;
            const VariantPtr reply(
                g_dbus_connection_call_finish(G_DBUS_CONNECTION(c), result, &error));
            const ErrorPtr failed(error);
            *static_cast<std::optional<std::string>*>(answer) =
                StringPtr(reply ? g_variant_print(reply.get(), FALSE)
                                : g_dbus_error_get_remote_error(error))
                    .get();
        },
        &answer);
    Until([&] { return answer.has_value(); });
    return answer.value_or("no answer");
}

// The real tray icon, counting what it hands the toolkit's own and the menus it pops up.
struct CountingSentak : Sentak {
    using Sentak::Sentak;
    bool ShowInToolkit(const wxBitmapBundle& image, const wxString& tooltip) override {
        return ++shown, Sentak::ShowInToolkit(image, tooltip);
    }
    bool PopupMenu(wxMenu*) override { return ++popups, true; }
    int shown = 0, popups = 0;
};

// One Sentak per display and pipe: a test's or demo's on a pipe of its own, or another
// display's, runs beside the installed one.
TEST(Instance, OnePerDisplayAndPipe) {
    const ScopedEnv pipe("QUENTHAL_PIPE", PrivatePipePath().c_str());
    const ScopedEnv x11("WAYLAND_DISPLAY", nullptr);  // so that the X display names the session
    const InstanceClaim claim;
    const auto beside = [](const char* variable, const char* value) {
        const ScopedEnv other(variable, value);
        return !InstanceClaim().AnotherRuns();
    };
    EXPECT_FALSE(claim.AnotherRuns());
    EXPECT_TRUE(beside("QUENTHAL_PIPE", nullptr)) << "the installed pipe's";
    EXPECT_TRUE(beside("DISPLAY", ":sentak-test")) << "another X display's";
    EXPECT_TRUE(beside("WAYLAND_DISPLAY", "wayland-sentak-test")) << "a Wayland display's";
}

// The user hears of a missing tray once a run, 10 s after the first display: time for a tray of
// the same login to start.
TEST(TrayProtocol, NoTrayToldOnceTenSecondsAfterTheFirstDisplay) {
    NoTrayNotice notice;
    const auto t = NoTrayNotice::Clock::now();
    EXPECT_EQ((notice.Displayed(t).value_or(t) - t) / std::chrono::milliseconds(1), 10000);
    EXPECT_FALSE(notice.Displayed(t + std::chrono::seconds(3))) << "waited again";
    EXPECT_TRUE(notice.Check(false));
    EXPECT_FALSE(notice.Check(false)) << "told again";
}

TEST(TrayProtocol, TheItemWhereAWatcherShowsItAndPausesThatGrowUntilARegistrationHolds) {
    EXPECT_EQ(ChooseProtocol({true, "", true}), TrayProtocol::Xembed);
    EXPECT_EQ(ChooseProtocol({true, ":1.5", false}), TrayProtocol::Xembed);
    EXPECT_EQ(ChooseProtocol({true, ":1.5", true}), TrayProtocol::Item);
    EXPECT_EQ(ChooseProtocol({false, ":1.5", false}), TrayProtocol::Item);
    EXPECT_EQ(ChooseProtocol({false, "", true}), TrayProtocol::None);

    RegistrationBackoff backoff;
    const auto t = RegistrationBackoff::Clock::now();
    std::vector<long> seconds;
    for (int i = 0; i < 7; ++i) seconds.push_back(backoff.NextPause(t).count() / 1000);
    EXPECT_EQ(seconds, (std::vector<long>{1, 2, 4, 8, 16, 30, 30}));
    backoff.Registered(t);
    EXPECT_EQ(backoff.NextPause(t + std::chrono::seconds(29)).count(), 30000) << "held too short";
    backoff.Registered(t);
    EXPECT_EQ(backoff.NextPause(t + std::chrono::seconds(30)).count(), 1000);
    EXPECT_EQ(backoff.NextPause(t).count(), 2000);
    backoff.Restart();
    EXPECT_EQ(backoff.NextPause(t).count(), 1000);
}

// Each signal of the menu as its name and its arguments.
void Record(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* signal,
            GVariant* args, gpointer signals) {
    gchar* text = g_variant_print(args, FALSE);
    static_cast<std::vector<std::string>*>(signals)->push_back(std::string(signal) + " " + text);
    g_free(text);
}

// The XEmbed icon until a host appears; then the item, whose menu tells the host each change of
// the copy it keeps and nothing else; registered again when the watcher drops it.
TEST(Item, XembedUntilAHostAppearsToldOfEachMenuChangeAndRegisteredAgainWhenDropped) {
    Watcher watcher;  // with no host: the XEmbed icon, set again only when its display changes
    TestService service(ServeOptions{MakeRecord(u"1.0", 8080, 0, 0, 0, 0)});
    FakeDesktop desktop;
    CountingSentak tray(desktop, std::make_unique<FakeServiceControl>());
    const wxBitmapBundle image(wxBitmap(16, 16));
    tray.Show({TrayDisplay::Kind::Running, image, "up"});
    tray.Show({TrayDisplay::Kind::Running, image, "up"});
    EXPECT_EQ(tray.shown, 1);
    // A round trip on the tray's connection: the bus has its match rules before the signal.
    const ConnectionPtr bus(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr));
    g_variant_unref(g_dbus_connection_call_sync(bus.get(), "org.freedesktop.DBus", "/",
                                                "org.freedesktop.DBus", "GetId", nullptr, nullptr,
                                                G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr));
    watcher.host = true;
    watcher.Emit("StatusNotifierHostRegistered", nullptr);
    ASSERT_TRUE(Until([&] { return !tray.IsIconInstalled(); })) << "no switch to the host";
    ASSERT_EQ(watcher.items.size(), 1u);
    // Hosts without an icon theme draw the icon's name from the item's folder, where the build
    // put images of the names the tray sets at the panels' sizes.
    const wxString themes = SENTAK_BIN_DIR "/Resources/Icons/theme";
    tray.SetIconThemePath(themes);
    EXPECT_EQ(CallItem(watcher, "Get",
                       g_variant_new("(ss)", "org.kde.StatusNotifierItem", "IconThemePath"),
                       "/StatusNotifierItem", "org.freedesktop.DBus.Properties"),
              "(<'" + themes + "'>,)");
    // A told stop needs the user's attention, where the host hides the item too; never Passive.
    const auto item = [&](const char* property) {
        return CallItem(watcher, "Get",
                        g_variant_new("(ss)", "org.kde.StatusNotifierItem", property),
                        "/StatusNotifierItem", "org.freedesktop.DBus.Properties");
    };
    tray.Show({TrayDisplay::Kind::Stopped, image, "down", true});
    EXPECT_EQ(item("Status") + item("AttentionIconName"),
              "(<'NeedsAttention'>,)(<'dialog-warning'>,)");
    tray.Show({TrayDisplay::Kind::Running, image, "up"});
    EXPECT_EQ(item("Status"), "(<'Active'>,)");
    wxImage::AddHandler(new wxPNGHandler);  // unless added already
    for (const wxString name : {"dialog-question", "dialog-warning"})
        for (const int n : {16, 22, 24, 32, 48, 64, 0}) {  // 0: the one at the top, of 64 px
            const wxString file =
                (n ? wxString::Format("/hicolor/%dx%d/status/", n, n) : "/") + name;
            EXPECT_EQ(wxImage(themes + file + ".png", wxBITMAP_TYPE_PNG).GetSize(),
                      n ? wxSize(n, n) : wxSize(64, 64))
                << file;
        }
    // Other items' unregistrations, one whose name begins as ours does, leave ours registered;
    // a left click pops up the menu, after the signals sent before it.
    for (const std::string& other :
         {watcher.items[0] + "0", std::string(":1.9/StatusNotifierItem")})
        watcher.Emit("StatusNotifierItemUnregistered", g_variant_new("(s)", other.c_str()));
    g_dbus_connection_call(watcher.c.get(), watcher.items[0].c_str(), "/StatusNotifierItem",
                           "org.kde.StatusNotifierItem", "Activate", g_variant_new("(ii)", 0, 0),
                           nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
    EXPECT_TRUE(Until([&] { return tray.popups == 1; })) << "a left click opened no menu";
    EXPECT_EQ(tray.shown, 1) << "another item's unregistration taken for ours";
    // Each id answered once, and no list of more than 256 taken.
    const std::vector<gint32> ids(257, 0);
    const auto idList = [&](gsize n) {
        return g_variant_new_fixed_array(G_VARIANT_TYPE_INT32, ids.data(), n, sizeof(gint32));
    };
    const std::vector<const char*> names(257, "children-display");
    const auto nameList = [&](gssize n) { return g_variant_new_strv(names.data(), n); };
    EXPECT_EQ(
        CallItem(watcher, "GetGroupProperties", g_variant_new("(@ai@as)", idList(3), nameList(1))),
        "([(0, {'children-display': <'submenu'>})],)");
    for (GVariant* args : {g_variant_new("(@ai@as)", idList(257), nameList(0)),
                           g_variant_new("(@ai@as)", idList(1), nameList(257))})
        EXPECT_EQ(CallItem(watcher, "GetGroupProperties", args),
                  "org.freedesktop.DBus.Error.InvalidArgs");

    std::vector<std::string> signals;
    const Subscription subscription(
        g_dbus_connection_signal_subscribe(watcher.c.get(), nullptr, "com.canonical.dbusmenu",
                                           nullptr, "/MenuBar", nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
                                           &Record, &signals, nullptr),
        Unsubscribe{watcher.c.get()});
    // Every change here sends one signal at most, so a wrong signal, or one from a change that
    // should send none, is the first to come.
    const auto told = [&] {
        Until([&] { return !signals.empty(); });
        return std::exchange(signals, {});
    };
    using Signals = std::vector<std::string>;
    tray.RefreshStatus();
    desktop.shift = true;  // an opening in the extended form: more entries
    g_dbus_connection_call(watcher.c.get(), watcher.items[0].c_str(), "/MenuBar",
                           "com.canonical.dbusmenu", "AboutToShow", g_variant_new("(i)", 0),
                           nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
    EXPECT_EQ(told(), Signals{"LayoutUpdated (2, 0)"});
    tray.RefreshStatus();  // nothing changed
    wxCommandEvent restart(wxEVT_MENU, ID_RESTART_SERVICE);
    tray.SafelyProcessEvent(restart);  // greys Stop and Restart while it runs
    EXPECT_EQ(told(), Signals{"ItemsPropertiesUpdated ([(6003, {'enabled': <false>}), (6004, "
                              "{'enabled': <false>})], [])"});
    service.Start(ServeOptions{MakeRecord(u"2.0", 8080, 0, 0, 0, 0)});
    tray.RefreshStatus();
    EXPECT_EQ(told(),
              Signals{"ItemsPropertiesUpdated ([(6102, {'label': <'Version: 2.0'>})], [])"});

    watcher.Emit("StatusNotifierItemUnregistered", g_variant_new("(s)", watcher.items[0].c_str()));
    ASSERT_TRUE(Until([&] { return watcher.items.size() == 2 && !tray.IsIconInstalled(); }));
    EXPECT_EQ(tray.shown, 2) << "no XEmbed icon while the item was dropped";
    // As some watchers name an item: its bus name and object path.
    const std::string named = watcher.items[1] + "/StatusNotifierItem";
    watcher.Emit("StatusNotifierItemUnregistered", g_variant_new("(s)", named.c_str()));
    EXPECT_TRUE(Until([&] { return watcher.items.size() == 3 && !tray.IsIconInstalled(); }));
    EXPECT_EQ(tray.shown, 3);
}

}  // namespace
