#include "platform/tray_icon.h"

#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <utility>

#include <wx/intl.h>
#include <wx/menu.h>
#include <wx/timer.h>
#include <wx/utils.h>

#include "base/diagnostics.h"
#include "base/lifetime.h"
#include "platform/linux/dbus.h"
#include "platform/linux/gio_owners.h"
#include "platform/linux/status_notifier.h"
#include "platform/linux/tray_protocol.h"

namespace {

constexpr const char* kWatcherName = "org.kde.StatusNotifierWatcher";
constexpr const char* kWatcherPath = "/StatusNotifierWatcher";
// Bounds the one synchronous question before the first display: a bus that takes longer has no
// watcher worth waiting for.
constexpr int kNameCheckTimeoutMs = 1000;
constexpr int kRegisterTimeoutMs = 5000;

// The session bus, when one runs.
ConnectionPtr SessionBusIfRunning() {
    if (SessionBusAddress().empty()) return nullptr;
    GError* error = nullptr;
    ConnectionPtr bus(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error));
    const ErrorPtr failed(error);
    // A bus that goes away ends our tray, not the program.
    if (bus) g_dbus_connection_set_exit_on_close(bus.get(), FALSE);
    return bus;
}

std::string NameOwner(GDBusConnection* bus, const char* name) {
    GError* error = nullptr;
    const VariantPtr reply(g_dbus_connection_call_sync(
        bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "GetNameOwner", g_variant_new("(s)", name), G_VARIANT_TYPE("(s)"), G_DBUS_CALL_FLAGS_NONE,
        kNameCheckTimeoutMs, nullptr, &error));
    const ErrorPtr failed(error);
    if (!reply) return {};
    const gchar* owner = nullptr;
    g_variant_get(reply.get(), "(&s)", &owner);
    return owner;
}

// The name of the program that owns the bus name unique, as the kernel keeps it (at most 15
// characters, no path); empty when the bus or the process does not tell.
std::string ProgramOf(GDBusConnection* bus, const std::string& unique) {
    GError* error = nullptr;
    const VariantPtr reply(g_dbus_connection_call_sync(
        bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "GetConnectionUnixProcessID", g_variant_new("(s)", unique.c_str()), G_VARIANT_TYPE("(u)"),
        G_DBUS_CALL_FLAGS_NONE, kNameCheckTimeoutMs, nullptr, &error));
    const ErrorPtr failed(error);
    if (!reply) return {};
    guint32 pid = 0;
    g_variant_get(reply.get(), "(u)", &pid);
    std::string name;
    std::getline(std::ifstream("/proc/" + std::to_string(pid) + "/comm"), name);
    return name;
}

// Whether a reply of Properties.Get holds true.
bool IsTrue(GVariant* reply) {
    if (!reply) return false;
    GVariant* value = nullptr;
    g_variant_get(reply, "(v)", &value);
    const VariantPtr owned(value);
    return g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN) && g_variant_get_boolean(value);
}

GVariant* HostQuestion() {
    return g_variant_new("(ss)", kWatcherName, "IsStatusNotifierHostRegistered");
}

// Whether a watcher's word for an item is our bus name, alone or followed by an object path as
// some watchers say it ("busname/ObjectPath"). Another program's item, or ours under a name given
// up, is not ours.
bool NamesItem(const std::string& said, const std::string& busName) {
    if (said.compare(0, busName.size(), busName) != 0) return false;
    const std::string path = said.substr(busName.size());
    return path.empty() || (path[0] == '/' && g_variant_is_object_path(path.c_str()));
}

void SayNoTray() {
    static bool said = false;
    if (std::exchange(said, true)) return;
    InternalMessage(
        "no system tray to show the icon in. KDE Plasma, Xfce, LXQt, MATE, Cinnamon, Budgie and "
        "waybar show it; GNOME needs the AppIndicator extension "
        "(gnome-shell-extension-appindicator). Sentak keeps watching the service, and the icon "
        "appears when a tray starts.");
}

}  // namespace

// How far the item's registration with the watcher is.
enum class ItemStage {
    NoName,        // no bus name of ours: none asked for yet, or the last one lost
    NameAsked,     // the bus has not yet given us the name asked for
    Unregistered,  // the name is ours; the watcher has not got the item, or dropped it
    Registering,   // the watcher has been asked to take the item
    Registered,    // the watcher took the item and has not dropped it since
};

// Where the display shows. Nothing is decided before the first display, so that a tray that
// speaks both protocols never shows two icons.
enum class Place { Undecided, Nowhere, Xembed, Item };

// Follows the session's tray hosts as they come and go, and shows the tray icon's display and
// menu wherever one is: as a StatusNotifierItem, or as the toolkit's XEmbed icon.
class TrayIcon::HostFollower {
public:
    explicit HostFollower(TrayIcon& icon) : m_icon(icon), m_cancel(g_cancellable_new()) {
        m_retry.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { Follow(); });
        m_trayStart.Bind(wxEVT_TIMER, [this](wxTimerEvent&) {
            if (m_noTray.Check(ShownInTray())) m_icon.NoTrayShowsIcon();
        });
    }

    ~HostFollower() {
        m_lifetime.End();
        m_retry.Stop();
        m_trayStart.Stop();
        g_cancellable_cancel(m_cancel.get());
        m_signals = Subscription();
        m_watch = NameWatch();
        // Gone from the hosts before the program ends: the item first, then its name.
        m_item.reset();
        m_name = OwnedName();
        if (m_bus) g_dbus_connection_flush_sync(m_bus.get(), nullptr, nullptr);
    }

    wxString Description() const {
        if (m_place == Place::Item) {
            const std::string watcher = ProgramOf(m_bus.get(), m_session.watcher);
            return "StatusNotifierItem" + (watcher.empty() ? "" : " (" + watcher + ")");
        }
        if (m_place == Place::Xembed && ShownInTray()) return "XEmbed";
        // TRANSLATORS: What shows Sentak's icon, in the diagnostics report: nothing.
        return _("none");
    }

    // Asks the X server for an XEmbed tray: for the rare question, not for every display.
    bool ShownInTray() const {
        return TrayShowsIcon(m_session, m_session.x11 && wxTaskBarIcon::IsAvailable());
    }

    bool Show(const TrayDisplay& display) {
        m_display = display;
        if (m_place == Place::Undecided) Decide();
        if (m_item)
            m_item->SetDisplay(display.image, display.tooltip, ThemeIconName(), display.attention);
        // A StatusNotifierItem shows it, or nothing until a tray starts.
        if (m_place != Place::Xembed) return true;
        return ShowXembed();
    }

    void SetMenu(const MenuModel& menu) {
        m_menu = menu;
        if (m_item) m_item->SetMenu(menu);
    }

    void SetIconThemePath(const std::string& dir) {
        m_iconThemePath = dir;
        if (m_item) m_item->SetIconThemePath(dir);
    }

private:
    // The theme's names of the images that the toolkit's art provider draws for the question mark
    // and the warning sign; none for the service's own image.
    std::string ThemeIconName() const {
        if (m_display.kind == TrayDisplay::Kind::Unknown) return "dialog-question";
        return m_display.kind == TrayDisplay::Kind::Stopped ? "dialog-warning" : "";
    }

    void Decide() {
        m_place = Place::Nowhere;
        WaitForTray();
        m_session.x11 = wxGetDisplayInfo().type == wxDisplayX11;
        m_bus = SessionBusIfRunning();
        if (m_bus) {
            m_session.watcher = NameOwner(m_bus.get(), kWatcherName);
            if (!m_session.watcher.empty() && m_session.x11) {
                GError* error = nullptr;
                const VariantPtr reply(g_dbus_connection_call_sync(
                    m_bus.get(), kWatcherName, kWatcherPath, "org.freedesktop.DBus.Properties",
                    "Get", HostQuestion(), G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NONE,
                    kNameCheckTimeoutMs, nullptr, &error));
                const ErrorPtr failed(error);
                m_session.hostReported = IsTrue(reply.get());
                if (!reply) AskForHost();  // slow to answer: the answer is followed when it comes
            }
            m_signals = Subscription(g_dbus_connection_signal_subscribe(
                                         m_bus.get(), kWatcherName, kWatcherName, nullptr,
                                         kWatcherPath, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
                                         &HostFollower::OnWatcherSignal, Give(), &Self::Forget),
                                     Unsubscribe{m_bus.get()});
            m_watch = NameWatch(g_bus_watch_name_on_connection(
                                    m_bus.get(), kWatcherName, G_BUS_NAME_WATCHER_FLAGS_NONE,
                                    &HostFollower::OnWatcherAppeared,
                                    &HostFollower::OnWatcherVanished, Give(), &Self::Forget),
                                Unwatch{});
        }
        Follow();
    }

    // From a display on, the time a tray of the same login takes to start, if this is the first.
    void WaitForTray() {
        const auto now = NoTrayNotice::Clock::now();
        if (const auto due = m_noTray.Displayed(now))
            m_trayStart.StartOnce(
                int(std::chrono::duration_cast<std::chrono::milliseconds>(*due - now).count()));
    }

    // The one step towards where the icon belongs now, taken after every change of the session or
    // of the registration. The toolkit's icon goes only once the item is registered, so that the
    // icon is never missing while both could show it.
    void Follow() {
        if (ChooseProtocol(m_session) != TrayProtocol::Item) {
            m_retry.Stop();
            return FallBack();
        }
        if (m_stage == ItemStage::Registered) return HideXembed();
        if (!m_item) {
            DbusMenu::Callbacks menu{[this] { return m_icon.OpenMenu(); },
                                     [this](int command) { Choose(command); }};
            auto item = std::make_unique<StatusNotifierItem>(m_bus.get(), m_menu, std::move(menu),
                                                             [this] { PopUpMenu(); });
            if (!item->exported()) return FallBack();
            item->SetIconThemePath(m_iconThemePath);
            item->SetDisplay(m_display.image, m_display.tooltip, ThemeIconName(),
                             m_display.attention);
            m_item = std::move(item);
        }
        if (m_stage == ItemStage::NoName) return AskForName();
        if (m_stage == ItemStage::Unregistered) Register();
    }

    // The transitions of the registration, each from what the bus or the watcher said.

    // A new name each time, since a name lost is not asked for again: another takes its place.
    void AskForName() {
        static int items = 0;
        m_busName = "org.kde.StatusNotifierItem-" + std::to_string(getpid()) + "-" +
                    std::to_string(++items);
        m_stage = ItemStage::NameAsked;
        m_name = OwnedName(
            g_bus_own_name_on_connection(
                m_bus.get(), m_busName.c_str(), G_BUS_NAME_OWNER_FLAGS_DO_NOT_QUEUE,
                &HostFollower::OnNameAcquired, &HostFollower::OnNameLost, Give(), &Self::Forget),
            Unown{});
    }

    void NameAcquired() {
        m_stage = ItemStage::Unregistered;
        Follow();
    }

    void NameLost() {
        m_stage = ItemStage::NoName;
        Dropped();
    }

    void Register() {
        m_stage = ItemStage::Registering;
        g_dbus_connection_call(
            m_bus.get(), kWatcherName, kWatcherPath, kWatcherName, "RegisterStatusNotifierItem",
            g_variant_new("(s)", m_busName.c_str()), nullptr, G_DBUS_CALL_FLAGS_NONE,
            kRegisterTimeoutMs, m_cancel.get(), &HostFollower::OnRegistered, Give());
    }

    // A reply to a registration asked for under a name given up since counts as a refusal.
    void RegisterAnswered(bool accepted) {
        if (m_stage != ItemStage::Registering) return Dropped();
        if (!accepted) {
            m_stage = ItemStage::Unregistered;
            return Dropped();
        }
        m_stage = ItemStage::Registered;
        m_backoff.Registered(RegistrationBackoff::Clock::now());
        Follow();
    }

    // A new or restarted watcher knows nothing of ours: registered again at once.
    void WatcherAppeared(const std::string& watcher) {
        m_session.watcher = watcher;
        if (m_stage == ItemStage::Registered) m_stage = ItemStage::Unregistered;
        m_backoff.Restart();
        m_retry.Stop();
        AskForHost();
    }

    void WatcherVanished() {
        m_session.watcher.clear();
        if (m_stage == ItemStage::Registered) m_stage = ItemStage::Unregistered;
        Follow();
    }

    // The item is not (or no longer) registered: the toolkit's icon meanwhile, and another try
    // after a pause while the watcher lives.
    void Dropped() {
        if (m_stage == ItemStage::Registered) m_stage = ItemStage::Unregistered;
        FallBack();
        if (m_session.watcher.empty() || m_retry.IsRunning()) return;
        m_retry.StartOnce(int(m_backoff.NextPause(RegistrationBackoff::Clock::now()).count()));
    }

    // Asks the watcher again whether a host shows its items; on X11 that decides the protocol.
    void AskForHost() {
        if (!m_session.x11) return Follow();
        g_dbus_connection_call(m_bus.get(), kWatcherName, kWatcherPath,
                               "org.freedesktop.DBus.Properties", "Get", HostQuestion(),
                               G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NONE, kRegisterTimeoutMs,
                               m_cancel.get(), &HostFollower::OnHostAnswer, Give());
    }

    // The toolkit's icon, on a display that has XEmbed trays; it docks whenever one starts.
    void FallBack() {
        if (m_session.x11)
            ShowXembed();
        else
            m_place = Place::Nowhere;
        if (!m_session.x11 || !wxTaskBarIcon::IsAvailable()) SayNoTray();
    }

    // Hands the toolkit a display only when it differs from the one it shows: every tick sets
    // its display, mostly the same one, and the toolkit would redraw it each time.
    bool ShowXembed() {
        const wxBitmapBundle& image = m_display.image;
        const wxString& tooltip = m_display.tooltip;
        if (m_place == Place::Xembed && image.IsSameAs(m_toolkit.image) &&
            tooltip == m_toolkit.tooltip)
            return m_toolkit.taken;
        m_place = Place::Xembed;  // every display goes there from now on, even if this one fails
        m_toolkit = {image, tooltip, m_icon.ShowInToolkit(image, tooltip)};
        return m_toolkit.taken;
    }

    void HideXembed() {
        if (std::exchange(m_place, Place::Item) == Place::Xembed)
            m_icon.wxTaskBarIcon::RemoveIcon();
    }

    // The item says it is a menu, so hosts open it on a primary click; one that calls Activate
    // instead (LXQt's panel) gets the toolkit's popup at the pointer, as a right click on the
    // XEmbed icon does. After the answer has gone out, since the popup runs until it closes.
    void PopUpMenu() {
        TrayIcon* icon = &m_icon;
        m_lifetime.watch().Post([icon] {
            const std::unique_ptr<wxMenu> menu(icon->CreatePopupMenu());
            if (menu) icon->PopupMenu(menu.get());
        });
    }

    void Choose(int command) {
        // After the answer has gone out, as a click in the popup menu arrives after it closed.
        TrayIcon* icon = &m_icon;
        m_lifetime.watch().Post([icon, command] {
            wxCommandEvent event(wxEVT_MENU, command);
            event.SetEventObject(icon);
            icon->SafelyProcessEvent(event);
        });
    }

    static void OnWatcherAppeared(GDBusConnection*, const gchar*, const gchar* owner,
                                  gpointer data) {
        HostFollower* const self = Self::Of(data);
        if (!self) return;
        Guarded([&] {
            HostFollower& follower = *self;
            // The watcher we registered with, or are registering with, knows the item already.
            if (follower.m_session.watcher == owner) return;
            follower.WatcherAppeared(owner);
        });
    }

    static void OnWatcherVanished(GDBusConnection*, const gchar*, gpointer data) {
        HostFollower* const self = Self::Of(data);
        if (!self) return;
        Guarded([&] {
            HostFollower& follower = *self;
            if (follower.m_session.watcher.empty()) return;
            follower.WatcherVanished();
        });
    }

    static void OnWatcherSignal(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                const gchar* signal, GVariant* parameters, gpointer data) {
        HostFollower* const self = Self::Of(data);
        if (!self) return;
        Guarded([&] {
            HostFollower& follower = *self;
            if (std::strcmp(signal, "StatusNotifierItemUnregistered") == 0) {
                const gchar* service = nullptr;
                if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(s)"))) return;
                g_variant_get(parameters, "(&s)", &service);
                if (follower.m_stage == ItemStage::Registered &&
                    NamesItem(service, follower.m_busName))
                    follower.Dropped();
            } else if (std::strcmp(signal, "StatusNotifierHostRegistered") == 0 ||
                       std::strcmp(signal, "StatusNotifierHostUnregistered") == 0) {
                follower.AskForHost();
            }
        });
    }

    static void OnHostAnswer(GObject* bus, GAsyncResult* result, gpointer data) {
        HostFollower* const self = Self::Take(data);
        FinishCall(bus, result, [self](GVariant* reply, GError*) {
            if (!self) return;
            HostFollower& follower = *self;
            follower.m_session.hostReported = IsTrue(reply);
            follower.Follow();
        });
    }

    static void OnNameAcquired(GDBusConnection*, const gchar*, gpointer data) {
        if (HostFollower* const self = Self::Of(data)) Guarded([&] { self->NameAcquired(); });
    }

    static void OnNameLost(GDBusConnection*, const gchar*, gpointer data) {
        if (HostFollower* const self = Self::Of(data)) Guarded([&] { self->NameLost(); });
    }

    // The watcher's answer to the registration: no reply when it refused or did not answer in time.
    static void OnRegistered(GObject* bus, GAsyncResult* result, gpointer data) {
        HostFollower* const self = Self::Take(data);
        FinishCall(bus, result, [self](GVariant* reply, GError*) {
            if (self) self->RegisterAnswered(reply != nullptr);
        });
    }

    // What each of GLib's callbacks holds: this follower while it lives, nothing once it is gone.
    using Self = Watched<HostFollower>;
    void* Give() { return Self(*this, m_lifetime).Give(); }

    Lifetime m_lifetime;
    TrayIcon& m_icon;
    CancellablePtr m_cancel;  // ends the calls under way when the follower goes
    TrayDisplay m_display;    // the display last set, for whichever tray shows it next
    MenuModel m_menu;         // the menu last handed, for the item's hosts
    std::string m_iconThemePath;
    Place m_place = Place::Undecided;
    TraySession m_session;
    ConnectionPtr m_bus;
    Subscription m_signals;  // the watcher's
    NameWatch m_watch;
    std::unique_ptr<StatusNotifierItem> m_item;
    std::string m_busName;
    OwnedName m_name;
    ItemStage m_stage = ItemStage::NoName;
    RegistrationBackoff m_backoff;
    wxTimer m_retry;
    NoTrayNotice m_noTray;
    wxTimer m_trayStart;  // from the first display to the time a tray should show it
    // What the toolkit's icon was last handed, and whether it took it.
    struct {
        wxBitmapBundle image;
        wxString tooltip;
        bool taken = false;
    } m_toolkit;
};

TrayIcon::TrayIcon() : m_follower(std::make_unique<HostFollower>(*this)) {}

TrayIcon::~TrayIcon() = default;

bool TrayIcon::Show(const TrayDisplay& display) { return m_follower->Show(display); }

void TrayIcon::SetMenu(const MenuModel& menu) { m_follower->SetMenu(menu); }

void TrayIcon::SetIconThemePath(const wxString& dir) {
    m_follower->SetIconThemePath(dir.utf8_string());
}

bool TrayIcon::ShownInTray() const { return m_follower->ShownInTray(); }

wxString TrayIcon::ShownBy() const { return m_follower->Description(); }

bool TrayIcon::ShowInToolkit(const wxBitmapBundle& icon, const wxString& tooltip) {
    return wxTaskBarIcon::SetIcon(icon, tooltip);
}
