#pragma once

// The few things that differ per operating system; one implementation file per OS.

#include <functional>
#include <optional>

#include <wx/bmpbndl.h>
#include <wx/string.h>

#include "base/file_stamp.h"

class wxNotificationMessage;
class wxTaskBarIcon;

// Makes the desktop notifications come from icon where the toolkit shows them as its balloons
// (Windows 10 and 11 show a balloon as a toast). Elsewhere the toolkit's own notifications need
// nothing.
void PrepareNotifications(wxTaskBarIcon& icon);

// message as this system's notifications must be given it to show it as written: Linux
// notification services render markup in the body, so & < > are escaped there.
wxString NotificationBody(const wxString& message);

// Whether this system's notifications carry buttons. Windows' balloons do not: there a click on
// the notification itself is what the user has.
bool NotificationsHaveButtons();

// Sets up the one object that shows brief notices, once, so that every desktop shows them as a
// banner rather than only in its message list, with the information image where that is free.
void PrepareBriefNotices(wxNotificationMessage& notice);

// The first icon of the .ico file at path, for the tray, in every size the file holds, so that
// the tray is given the file's own image for its size; not IsOk() when it cannot be read. What
// the toolkit logs on the way is the caller's to silence.
wxBitmapBundle LoadIconFile(const wxString& path);

// The stamp of the file at path now; none when it cannot be looked at (missing, say).
std::optional<FileStamp> StampOf(const wxString& path);

// The extended menu's entry for this system's service manager, translated.
wxString ManageServicesLabel();

// What the user is told to run by hand when the service manager does not start; service is the
// name the service has on this system.
wxString ServiceManagerCommand(const wxString& service);

// Opens this system's service manager on service (on Windows the console of every service);
// false when nothing was started.
bool StartServiceManager(const wxString& service);

// What the user is told to run by hand when the service's log does not open.
wxString ServiceLogCommand(const wxString& service);

// Opens what this system logged about service, as the user; false when nothing was started.
bool StartServiceLog(const wxString& service);

// Starts the default browser on url in a new window, without waiting for it. failed runs on the
// GUI thread when the browser does not start, which may be known only later, after its caller
// has gone: it may hold only what lives until the process exits.
void StartBrowser(const wxString& url, std::function<void()> failed);

// Where this system shows the tray icon, translated: told to a user who started Sentak again.
wxString WhereTheIconIs();

// Whether the Shift key can be seen while the menu opens: not in a Wayland session.
bool ShiftKeyReadable();
