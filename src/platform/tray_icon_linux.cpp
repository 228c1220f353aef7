#include "platform/tray_icon.h"

#include <unistd.h>

#include <iostream>
#include <memory>
#include <string>
#include <utility>

#include <wx/menu.h>
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
    explicit Host(TrayIcon& icon) : m_icon(icon), m_cancel(g_cancellable_new()) {}

    ~Host() {
        g_cancellable_cancel(m_cancel.get());
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
        return m_icon.wxTaskBarIcon::SetIcon(image, tooltip);
    }

private:
    // Before the first display, so that a host that speaks both protocols never shows two icons.
    void Decide() {
        m_decided = true;
        m_x11 = wxGetDisplayInfo().type == wxDisplayX11;
        m_bus = SessionBusIfRunning();
        if (m_bus) {
            m_watcher = NameOwner(m_bus.get(), kWatcherName);
            m_watch =
                NameWatch(g_bus_watch_name_on_connection(
                              m_bus.get(), kWatcherName, G_BUS_NAME_WATCHER_FLAGS_NONE,
                              &Host::OnWatcherAppeared, &Host::OnWatcherVanished, this, nullptr),
                          Unwatch{});
        }
        if (m_watcher.empty())
            FallBack();
        else
            StartNotifier();
    }

    void StartNotifier() {
        if (!m_item) {
            DbusMenu::Callbacks menu{[this] { return m_icon.CreatePopupMenu(); },
                                     [this] { return m_icon.CreateQuietMenu(); },
                                     [this](int command) { Choose(command); }};
            auto item = std::make_unique<StatusNotifierItem>(m_bus.get(), std::move(menu), [this] {
                m_icon.QueueEvent(new wxTaskBarIconEvent(wxEVT_TASKBAR_LEFT_DCLICK, &m_icon));
            });
            if (!item->exported()) return FallBack();
            item->SetDisplay(m_image, m_tooltip);
            m_item = std::move(item);
        }
        if (!m_name) {
            static int items = 0;
            m_busName = "org.kde.StatusNotifierItem-" + std::to_string(getpid()) + "-" +
                        std::to_string(++items);
            // Registered with the watcher once the name is ours.
            m_name =
                OwnedName(g_bus_own_name_on_connection(
                              m_bus.get(), m_busName.c_str(), G_BUS_NAME_OWNER_FLAGS_DO_NOT_QUEUE,
                              &Host::OnNameAcquired, &Host::OnNameLost, this, nullptr),
                          Unown{});
        } else if (m_nameOwned) {
            Register();
        }
    }

    void Register() {
        g_dbus_connection_call(
            m_bus.get(), kWatcherName, kWatcherPath, kWatcherName, "RegisterStatusNotifierItem",
            g_variant_new("(s)", m_busName.c_str()), nullptr, G_DBUS_CALL_FLAGS_NONE,
            kRegisterTimeoutMs, m_cancel.get(), &Host::OnRegistered, this);
    }

    // The toolkit's icon, on a display that has XEmbed trays; it docks whenever one starts.
    void FallBack() {
        if (m_x11 && !m_xembed) {
            m_xembed = true;  // every display goes there from now on, even if this one fails
            m_icon.wxTaskBarIcon::SetIcon(m_image, m_tooltip);
        }
        if (!m_x11 || !wxTaskBarIcon::IsAvailable()) SayNoTray();
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
            host.StartNotifier();
        });
    }

    static void OnWatcherVanished(GDBusConnection*, const gchar*, gpointer self) {
        Guarded([&] {
            Host& host = *static_cast<Host*>(self);
            if (host.m_watcher.empty()) return;
            host.m_watcher.clear();
            host.FallBack();
        });
    }

    static void OnNameAcquired(GDBusConnection*, const gchar*, gpointer self) {
        Guarded([&] {
            Host& host = *static_cast<Host*>(self);
            host.m_nameOwned = true;
            if (!host.m_watcher.empty()) host.Register();
        });
    }

    static void OnNameLost(GDBusConnection*, const gchar*, gpointer self) {
        Guarded([&] {
            Host& host = *static_cast<Host*>(self);
            host.m_nameOwned = false;
            host.FallBack();
        });
    }

    static void OnRegistered(GObject* bus, GAsyncResult* result, gpointer self) {
        GError* error = nullptr;
        const VariantPtr reply(
            g_dbus_connection_call_finish(G_DBUS_CONNECTION(bus), result, &error));
        const ErrorPtr failed(error);
        if (error && g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED)) return;  // gone
        Guarded([&] {
            Host& host = *static_cast<Host*>(self);
            if (!reply) return host.FallBack();
            // Only now, so that the icon is never missing while both could show it.
            if (std::exchange(host.m_xembed, false)) host.m_icon.wxTaskBarIcon::RemoveIcon();
        });
    }

    TrayIcon& m_icon;
    CancellablePtr m_cancel;  // cancelled first, so that no reply reaches a host that is gone
    wxBitmapBundle m_image;   // the display last set, for whichever host shows it next
    wxString m_tooltip;
    bool m_decided = false;
    bool m_x11 = false;
    ConnectionPtr m_bus;
    NameWatch m_watch;
    std::string m_watcher;  // the watcher's unique name, once known
    std::unique_ptr<StatusNotifierItem> m_item;
    std::string m_busName;
    OwnedName m_name;
    bool m_nameOwned = false;
    bool m_xembed = false;  // the toolkit's icon shows the display
};

TrayIcon::TrayIcon() : m_host(std::make_unique<Host>(*this)) {}

TrayIcon::~TrayIcon() = default;

bool TrayIcon::SetIcon(const wxBitmapBundle& icon, const wxString& tooltip) {
    return m_host->SetIcon(icon, tooltip);
}
