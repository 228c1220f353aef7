#include <wx/intl.h>
#include <wx/notifmsg.h>
#include <wx/taskbar.h>
#include <wx/utils.h>

#include "platform/desktop_shell.h"

void PrepareNotifications(wxTaskBarIcon& icon) {
    // Does nothing in a toolkit built without WinRT, as MinGW builds it: every notification is
    // then the icon's balloon. Kept for a toolkit that can show toasts of its own.
    wxNotificationMessage::MSWUseToasts();
    wxNotificationMessage::UseTaskBarIcon(&icon);
}

wxString NotificationBody(const wxString& message) { return message; }

bool NotificationsHaveButtons() { return false; }

// A balloon is always shown as one; its information image stays as the toolkit draws it.
void PrepareBriefNotices(wxNotificationMessage&) {}

void StartBrowser(const wxString& url, std::function<void()> failed) {
    if (!wxLaunchDefaultBrowser(url, wxBROWSER_NEW_WINDOW)) failed();
}

bool ShiftKeyReadable() { return true; }

wxString LogAccessAdvice() {
    // TRANSLATORS: Greyed menu entry when the event log is not readable by the user.
    return _("Ask an administrator to let you read the event log to see the service's log here.");
}

// The system's description says all there is: Windows has one desktop.
wxString DesktopName() { return {}; }

wxString WhereTheIconIs() {
    return _(
        // TRANSLATORS: Body of the notification when Sentak is started while it runs already,
        // shown from its icon; "Show hidden icons" is the name Windows gives that arrow.
        "Its icon is in the notification area of the taskbar. If you do not see it, "
        "click the arrow \"Show hidden icons\" beside the notification area.");
}

wxString NoTrayAdvice() {
    // TRANSLATORS: Body of the notification when no taskbar shows the icon (Windows Explorer is
    // not running).
    return _("Sentak keeps watching the service, and the icon appears when the taskbar starts.");
}
