#include "platform/tray_icon.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include <wx/menu.h>
#include <wx/timer.h>
#include <wx/utils.h>

#include "platform/gio_owners_linux.h"
#include "platform/status_notifier_linux.h"

namespace {

constexpr const char* kWatcherName = "org.kde.StatusNotifierWatcher";
constexpr const char* kWatcherPath = "/StatusNotifierWatcher";
// Bounds the one synchronous question before the first display: a bus that takes longer has no
// watcher worth waiting for.
constexpr int kNameCheckTimeoutMs = 1000;
constexpr int kRegisterTimeoutMs = 5000;
// Pauses before registering again after the item was dropped or refused: doubled each time, so
// that a watcher that keeps refusing is not pressed, and short again after a registration that
// held for the longest one.
constexpr std::chrono::milliseconds kFirstPause{1000}, kLongestPause{30000};

// The session bus, when one runs. Without an address gio would start a bus of its own, on which
// no tray can be.
ConnectionPtr SessionBusIfRunning() {
    const char* address = g_getenv("DBUS_SESSION_BUS_ADDRESS");
    if (!address || !*address) {
        gchar* userBus = g_build_filename(g_get_user_runtime_dir(), "bus", nullptr);
        const bool running = g_file_test(userBus, G_FILE_TEST_EXISTS);
        g_free(userBus);
        if (!running) return nullptr;
    }
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

void SayNoTray() {
    static bool said = false;
    if (std::exchange(said, true)) return;
    std::cerr << "sentak: no system tray to show the icon in. KDE Plasma, Xfce, LXQt, MATE, "
                 "Cinnamon, Budgie and waybar show it; GNOME needs the AppIndicator extension "
                 "(gnome-shell-extension-appindicator). Sentak keeps watching the service, and "
                 "the icon appears when a tray starts."
              << std::endl;
}

}  // namespace

class TrayIcon::Host {
public:
    explicit Host(TrayIcon& icon) : m_icon(icon), m_cancel(g_cancellable_new()) {
        m_retry.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { Follow(); });
    }

    ~Host() {
        m_retry.Stop();
        g_cancellable_cancel(m_cancel.get());
        m_signals = Subscription();
        m_watch = NameWatch();
        // Gone from the hosts before the program ends: the item first, then its name.
        m_item.reset();
        m_name = OwnedName();
        if (m_bus) g_dbus_connection_flush_sync(m_bus.get(), nullptr, nullptr);
    }

    bool SetIcon(const wxBitmapBundle& image, const wxString& tooltip) {
        m_image = image;
        m_tooltip = tooltip;
        if (!m_decided) Decide();
        if (m_item) m_item->SetDisplay(image, tooltip);
        if (!m_xembed) return true;  // a StatusNotifierItem, or waiting for a tray to start
        return ShowXembed();
    }

    void MenuMayHaveChanged() {
        if (m_item) m_item->MenuMayHaveChanged();
    }

private:
    // Before the first display, so that a host that speaks both protocols never shows two icons.
    void Decide() {
        m_decided = true;
        m_x11 = wxGetDisplayInfo().type == wxDisplayX11;
        m_bus = SessionBusIfRunning();
        if (m_bus) {
            m_watcher = NameOwner(m_bus.get(), kWatcherName);
            if (!m_watcher.empty() && m_x11) {
                GError* error = nullptr;
                const VariantPtr reply(g_dbus_connection_call_sync(
                    m_bus.get(), kWatcherName, kWatcherPath, "org.freedesktop.DBus.Properties",
                    "Get", HostQuestion(), G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NONE,
                    kNameCheckTimeoutMs, nullptr, &error));
                const ErrorPtr failed(error);
                m_hostPresent = IsTrue(reply.get());
                if (!reply) AskForHost();  // slow to answer: the answer is followed when it comes
            }
            m_signals = Subscription(
                g_dbus_connection_signal_subscribe(m_bus.get(), kWatcherName, kWatcherName, nullptr,
                                                   kWatcherPath, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
                                                   &Host::OnWatcherSignal, this, nullptr),
                Unsubscribe{m_bus.get()});
            m_watch =
                NameWatch(g_bus_watch_name_on_connection(
                              m_bus.get(), kWatcherName, G_BUS_NAME_WATCHER_FLAGS_NONE,
                              &Host::OnWatcherAppeared, &Host::OnWatcherVanished, this, nullptr),
                          Unwatch{});
        }
        Follow();
    }

    // The item while a watcher may show it (on X11 only one with a host: a watcher alone draws
    // nothing, and XEmbed does), otherwise the toolkit's icon. The toolkit's icon goes only once
    // the item is registered, so that the icon is never missing while both could show it.
    void Follow() {
        if (m_watcher.empty() || (m_x11 && !m_hostPresent)) {
            m_retry.Stop();
            return FallBack();
        }
        if (m_registered) return HideXembed();
        if (!m_item) {
            DbusMenu::Callbacks menu{[this] { return m_icon.OpenMenu(); },
                                     [this] { return m_icon.QuietMenu(); },
                                     [this](int command) { Choose(command); }};
            auto item = std::make_unique<StatusNotifierItem>(m_bus.get(), std::move(menu), [this] {
                m_icon.QueueEvent(new wxTaskBarIconEvent(wxEVT_TASKBAR_LEFT_DCLICK, &m_icon));
            });
            if (!item->exported()) return FallBack();
            item->SetDisplay(m_image, m_tooltip);
            m_item = std::move(item);
        }
        if (!m_name || m_nameLost) {
            // A name lost is not asked for again: another takes its place.
            static int items = 0;
            m_busName = "org.kde.StatusNotifierItem-" + std::to_string(getpid()) + "-" +
                        std::to_string(++items);
            m_nameLost = false;
            // Registered with the watcher once the name is ours.
            m_name =
                OwnedName(g_bus_own_name_on_connection(
                              m_bus.get(), m_busName.c_str(), G_BUS_NAME_OWNER_FLAGS_DO_NOT_QUEUE,
                              &Host::OnNameAcquired, &Host::OnNameLost, this, nullptr),
                          Unown{});
        } else if (m_nameOwned && !m_registering) {
            m_registering = true;
            g_dbus_connection_call(
                m_bus.get(), kWatcherName, kWatcherPath, kWatcherName, "RegisterStatusNotifierItem",
                g_variant_new("(s)", m_busName.c_str()), nullptr, G_DBUS_CALL_FLAGS_NONE,
                kRegisterTimeoutMs, m_cancel.get(), &Host::OnRegistered, this);
        }
    }

    // The item is not (or no longer) registered: the toolkit's icon meanwhile, and another try
    // after a pause while the watcher lives.
    void Dropped() {
        m_registered = false;
        FallBack();
        if (m_watcher.empty() || m_retry.IsRunning()) return;
        if (m_registeredAt && std::chrono::steady_clock::now() - *m_registeredAt >= kLongestPause)
            m_pause = kFirstPause;
        m_registeredAt.reset();
        m_retry.StartOnce(int(m_pause.count()));
        m_pause = std::min(m_pause * 2, kLongestPause);
    }

    // Asks the watcher again whether a host shows its items; on X11 that decides the protocol.
    void AskForHost() {
        if (!m_x11) return Follow();
        g_dbus_connection_call(m_bus.get(), kWatcherName, kWatcherPath,
                               "org.freedesktop.DBus.Properties", "Get", HostQuestion(),
                               G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NONE, kRegisterTimeoutMs,
                               m_cancel.get(), &Host::OnHostAnswer, this);
    }

    // The toolkit's icon, on a display that has XEmbed trays; it docks whenever one starts.
    void FallBack() {
        if (m_x11) ShowXembed();
        if (!m_x11 || !wxTaskBarIcon::IsAvailable()) SayNoTray();
    }

    // Hands the toolkit a display only when it differs from the one it shows: every tick sets
    // its display, mostly the same one, and the toolkit would redraw it each time.
    bool ShowXembed() {
        if (m_xembed && m_image.IsSameAs(m_xembedImage) && m_tooltip == m_xembedTooltip)
            return m_xembedShown;
        m_xembed = true;  // every display goes there from now on, even if this one fails
        m_xembedImage = m_image;
        m_xembedTooltip = m_tooltip;
        return m_xembedShown = m_icon.ShowInToolkit(m_image, m_tooltip);
    }

    void HideXembed() {
        if (std::exchange(m_xembed, false)) m_icon.wxTaskBarIcon::RemoveIcon();
    }

    void Choose(int command) {
        // After the answer has gone out, as a click in the popup menu arrives after it closed.
        TrayIcon* icon = &m_icon;
        m_icon.CallAfter([icon, command] {
            wxCommandEvent event(wxEVT_MENU, command);
            event.SetEventObject(icon);
            icon->SafelyProcessEvent(event);
        });
    }

    static void OnWatcherAppeared(GDBusConnection*, const gchar*, const gchar* owner,
                                  gpointer self) {
        Guarded([&] {
            Host& host = *static_cast<Host*>(self);
            if (host.m_watcher == owner) return;  // the one we registered with, or are
            host.m_watcher = owner;               // a new or restarted watcher: register again
            host.m_registered = false;
            host.m_registeredAt.reset();
            host.m_pause = kFirstPause;
            host.m_retry.Stop();
            host.AskForHost();
        });
    }

    static void OnWatcherVanished(GDBusConnection*, const gchar*, gpointer self) {
        Guarded([&] {
            Host& host = *static_cast<Host*>(self);
            if (host.m_watcher.empty()) return;
            host.m_watcher.clear();
            host.m_registered = false;
            host.Follow();
        });
    }

    static void OnWatcherSignal(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                const gchar* signal, GVariant* parameters, gpointer self) {
        Guarded([&] {
            Host& host = *static_cast<Host*>(self);
            if (std::strcmp(signal, "StatusNotifierItemUnregistered") == 0) {
                const gchar* service = nullptr;
                if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(s)"))) return;
                g_variant_get(parameters, "(&s)", &service);
                // Exactly ours: another program's item, or ours under a name given up, is not.
                if (host.m_registered && host.m_busName == service) host.Dropped();
            } else if (std::strcmp(signal, "StatusNotifierHostRegistered") == 0 ||
                       std::strcmp(signal, "StatusNotifierHostUnregistered") == 0) {
                host.AskForHost();
            }
        });
    }

    // Hands then the host and the reply of its call (null when the call failed); nothing when the
    // call was cancelled, as the host is going away.
    template <typename Then>
    static void WithReply(GObject* bus, GAsyncResult* result, gpointer self, Then then) {
        GError* error = nullptr;
        const VariantPtr reply(
            g_dbus_connection_call_finish(G_DBUS_CONNECTION(bus), result, &error));
        const ErrorPtr failed(error);
        if (error && g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED)) return;  // gone
        Guarded([&] { then(*static_cast<Host*>(self), reply.get()); });
    }

    static void OnHostAnswer(GObject* bus, GAsyncResult* result, gpointer self) {
        WithReply(bus, result, self, [](Host& host, GVariant* reply) {
            host.m_hostPresent = IsTrue(reply);
            host.Follow();
        });
    }

    static void OnNameAcquired(GDBusConnection*, const gchar*, gpointer self) {
        Guarded([&] {
            Host& host = *static_cast<Host*>(self);
            host.m_nameOwned = true;
            host.Follow();
        });
    }

    static void OnNameLost(GDBusConnection*, const gchar*, gpointer self) {
        Guarded([&] {
            Host& host = *static_cast<Host*>(self);
            host.m_nameOwned = false;
            host.m_nameLost = true;
            host.Dropped();
        });
    }

    static void OnRegistered(GObject* bus, GAsyncResult* result, gpointer self) {
        WithReply(bus, result, self, [](Host& host, GVariant* reply) {
            host.m_registering = false;
            // Refused, timed out, or meant for a name given up since.
            if (!reply || !host.m_nameOwned) return host.Dropped();
            host.m_registered = true;
            host.m_registeredAt = std::chrono::steady_clock::now();
            host.Follow();
        });
    }

    TrayIcon& m_icon;
    CancellablePtr m_cancel;  // cancelled first, so that no reply reaches a host that is gone
    wxBitmapBundle m_image;   // the display last set, for whichever host shows it next
    wxString m_tooltip;
    bool m_decided = false;
    bool m_x11 = false;
    ConnectionPtr m_bus;
    Subscription m_signals;  // the watcher's
    NameWatch m_watch;
    std::string m_watcher;       // the watcher's unique name, once known
    bool m_hostPresent = false;  // the watcher says a host shows its items
    std::unique_ptr<StatusNotifierItem> m_item;
    std::string m_busName;
    OwnedName m_name;
    bool m_nameOwned = false;
    bool m_nameLost = false;
    bool m_registering = false;
    bool m_registered = false;  // the watcher took the item and has not dropped it since
    std::optional<std::chrono::steady_clock::time_point> m_registeredAt;
    std::chrono::milliseconds m_pause = kFirstPause;
    wxTimer m_retry;
    bool m_xembed = false;  // the toolkit's icon shows the display
    wxBitmapBundle m_xembedImage;
    wxString m_xembedTooltip;
    bool m_xembedShown = false;
};

TrayIcon::TrayIcon() : m_host(std::make_unique<Host>(*this)) {}

TrayIcon::~TrayIcon() = default;

bool TrayIcon::SetIcon(const wxBitmapBundle& icon, const wxString& tooltip) {
    return m_host->SetIcon(icon, tooltip);
}

void TrayIcon::MenuMayHaveChanged() { m_host->MenuMayHaveChanged(); }

bool TrayIcon::ShowInToolkit(const wxBitmapBundle& icon, const wxString& tooltip) {
    return wxTaskBarIcon::SetIcon(icon, tooltip);
}
