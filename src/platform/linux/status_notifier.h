#pragma once

// The tray icon as an org.kde.StatusNotifierItem, with its menu as com.canonical.dbusmenu, for
// the desktops whose trays speak only that (GNOME's AppIndicator extension, KDE Plasma, Xfce,
// LXQt, waybar).

#include <gio/gio.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <wx/bmpbndl.h>
#include <wx/image.h>
#include <wx/string.h>

#include "platform/linux/dbus_menu.h"
#include "platform/linux/gio_owners.h"

// An image's pixels as StatusNotifierItem wants them: 32-bit ARGB in network byte order, that
// is A, R, G, B for each pixel, alpha 255 where the image has none.
std::vector<std::uint8_t> ArgbPixels(const wxImage& image);

class StatusNotifierItem {
public:
    static constexpr const char* kPath = "/StatusNotifierItem";

    // Exported on connection at kPath with its menu, which shows menu until the next SetMenu;
    // not exported() when the bus refused it. activate is what a host's Activate (a primary
    // click where the host does not open the menu itself) does.
    StatusNotifierItem(GDBusConnection* connection, MenuModel menu, DbusMenu::Callbacks callbacks,
                       std::function<void()> activate);
    bool exported() const { return bool(m_registration) && m_menu.exported(); }

    // Takes a new display over and tells the hosts what changed; the same image object, icon name
    // and tooltip as before change nothing. iconName names an icon of the desktop's theme, which
    // hosts draw in their own style, with the image's pixmaps as the fallback; empty for an
    // image of our own.
    void SetDisplay(const wxBitmapBundle& image, const wxString& tooltip,
                    const std::string& iconName, bool attention);
    // Where hosts whose theme lacks the icon name find an image of it; empty for nowhere.
    void SetIconThemePath(const std::string& dir);
    // Hosts' copy of the menu follows this one, if it changed.
    void SetMenu(MenuModel menu) { m_menu.SetMenu(std::move(menu)); }

private:
    static void OnMethodCall(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                             const gchar* method, GVariant*, GDBusMethodInvocation* invocation,
                             gpointer self);
    static GVariant* OnGetProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                   const gchar* property, GError**, gpointer self);
    // The value of the property called name, for GDBus to take over.
    GVariant* Property(const char* name) const;
    const char* Status() const { return m_attention ? "NeedsAttention" : "Active"; }
    void Emit(const char* signal);

    GDBusConnection* m_connection;
    std::function<void()> m_activate;
    wxBitmapBundle m_image;  // held, so that its identity stays unique while compared
    VariantPtr m_pixmaps;    // a(iiay), encoded once for each image
    std::string m_iconName;
    std::string m_iconThemePath;
    wxString m_tooltip;
    bool m_attention = false;  // shown as NeedsAttention, else Active; never Passive, which hides
    DbusMenu m_menu;
    Registration m_registration;
};
