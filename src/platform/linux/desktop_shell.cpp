#include <wx/artprov.h>
#include <wx/crt.h>
#include <wx/intl.h>
#include <wx/notifmsg.h>
#include <wx/utils.h>

#include "platform/desktop_shell.h"

// wxGTK sends notifications through libnotify to the desktop's notification daemon.
void PrepareNotifications(wxTaskBarIcon&) {}

wxString NotificationBody(const wxString& message) {
    wxString body = message;
    body.Replace("&", "&amp;");  // first, so that the escapes below stay as they are
    body.Replace("<", "&lt;");
    body.Replace(">", "&gt;");
    return body;
}

bool NotificationsHaveButtons() { return true; }

void PrepareBriefNotices(wxNotificationMessage& notice) {
    // The toolkit sends wxICON_INFORMATION with low urgency, which GNOME puts in its message list
    // without a banner: the warning flag gives normal urgency, the image keeps the notice's look.
    notice.SetFlags(wxICON_WARNING);
    notice.SetIcon(wxArtProvider::GetIcon(wxART_INFORMATION, wxART_MESSAGE_BOX));
}

bool ShiftKeyReadable() {
    // Wayland shows no program the keyboard outside its own windows, whatever backend the
    // toolkit uses: under XWayland the key reads as up.
    const wxString session = wxGetenv("XDG_SESSION_TYPE");
    return !wxGetenv("WAYLAND_DISPLAY") && session != "wayland";
}

wxString LogAccessAdvice() {
    // TRANSLATORS: Greyed menu entry when the system's journal is not readable by the user.
    return _("Add yourself to the systemd-journal group to see the service's log here.");
}

wxString DesktopName() {
    // The desktop's own names, as its session sets them: no path, no user.
    const wxString desktop = wxGetenv("XDG_CURRENT_DESKTOP"),
                   session = wxGetenv("XDG_SESSION_TYPE");
    if (desktop.empty() || session.empty()) return desktop + session;
    return desktop + " (" + session + ")";
}

wxString WhereTheIconIs() {
    // TRANSLATORS: Body of the notification when Sentak is started while it runs already.
    return _("Its icon is in the panel's system tray, where it shows the state of the service.");
}

wxString NoTrayAdvice() {
    // TRANSLATORS: Body of the notification when the desktop has no tray to show the icon in; the
    // desktop and package names stay as they are.
    return _(
        "KDE Plasma, Xfce, LXQt, MATE, Cinnamon, Budgie and waybar show it; GNOME needs the "
        "AppIndicator extension (gnome-shell-extension-appindicator). Sentak keeps watching "
        "the service, and the icon appears when a tray starts.");
}
