#include <wx/notifmsg.h>
#include <wx/taskbar.h>

#include "platform/platform.h"

void PrepareNotifications(wxTaskBarIcon& icon) {
    wxNotificationMessage::MSWUseToasts();
    wxNotificationMessage::UseTaskBarIcon(&icon);
}
