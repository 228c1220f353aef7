#include <wx/icon.h>
#include <wx/iconloc.h>
#include <wx/intl.h>
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

wxString ManageServicesLabel() {
    // TRANSLATORS: A menu command; keep one '&', on a letter the other commands do not use.
    return _("&Manage Windows services");
}

wxString ServiceManagerCommand() { return "services.msc"; }

bool StartServiceManager() {
    // The shell finds services.msc on the system path itself.
    return wxLaunchDefaultApplication(ServiceManagerCommand(), 0);
}

void StartBrowser(const wxString& url, std::function<void()> failed) {
    if (!wxLaunchDefaultBrowser(url, wxBROWSER_NEW_WINDOW)) failed();
}

bool ShiftKeyReadable() { return true; }
