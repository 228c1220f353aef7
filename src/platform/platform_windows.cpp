#include <wx/icon.h>
#include <wx/iconloc.h>
#include <wx/notifmsg.h>
#include <wx/taskbar.h>
#include <wx/utils.h>

#include "platform/platform.h"

void ShowNotification(wxTaskBarIcon& icon, const wxString& title, const wxString& message) {
    wxNotificationMessage::MSWUseToasts();
    wxNotificationMessage::UseTaskBarIcon(&icon);
    // Left alive on purpose: it may still be a balloon of the tray icon after this returns, and
    // closing it is the user's business.
    auto* notification =
        new wxNotificationMessage(title, NotificationBody(message), nullptr, wxICON_WARNING);
    notification->Show(wxNotificationMessage::Timeout_Never);
}

wxString NotificationBody(const wxString& message) { return message; }

wxBitmapBundle LoadIconFile(const wxString& path) {
    // The system picks the image of icon 0 that suits the tray's size.
    return wxBitmapBundle(wxIcon(wxIconLocation(path, 0)));
}

bool OpenDocument(const wxString& document) {
    // The shell finds documents such as services.msc on the system path itself.
    return wxLaunchDefaultApplication(document, 0);
}
