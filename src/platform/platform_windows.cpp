#include <wx/icon.h>
#include <wx/iconloc.h>
#include <wx/notifmsg.h>
#include <wx/taskbar.h>
#include <wx/utils.h>

#include "platform/platform.h"

void PrepareNotifications(wxTaskBarIcon& icon) {
    wxNotificationMessage::MSWUseToasts();
    wxNotificationMessage::UseTaskBarIcon(&icon);
}

wxBitmapBundle LoadIconFile(const wxString& path) {
    // The system picks the image of icon 0 that suits the tray's size.
    return wxBitmapBundle(wxIcon(wxIconLocation(path, 0)));
}

bool OpenDocument(const wxString& document) {
    // The shell finds documents such as services.msc on the system path itself.
    return wxLaunchDefaultApplication(document, 0);
}
